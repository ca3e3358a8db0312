#include "settings/ini_file.h"

#include "platform/error.h"
#include "platform/profile.h"

namespace {

platform::ProfileLinks Links(bool refuse) {
  return refuse ? platform::ProfileLinks::kRefuse : platform::ProfileLinks::kFollow;
}

}  // namespace

int32_t clsIniFile::EmnumSection(std::vector<std::string>& strSection) {
  return SplitNullList(strSection, platform::GetProfileSectionNames(strFileName_));
}

int32_t clsIniFile::EnumSectionString(std::vector<std::string>& strSectionString) {
  return SplitNullList(strSectionString, platform::GetProfileSection(strFileName_, strSection_));
}

void clsIniFile::FileName(std::string strNewFileName) {
  strFileName_ = std::move(strNewFileName);
}

void clsIniFile::RefuseLinks() {
  refuseLinks_ = true;
}

void clsIniFile::Section(std::string strNewValue) {
  strSection_ = std::move(strNewValue);
}

std::string clsIniFile::Section() const {
  return strSection_;
}

std::string clsIniFile::FileName() const {
  return strFileName_;
}

void clsIniFile::DeleteKeyName(const std::string& strKey) {
  // A caller that must know reads the key back.
  platform::RemoveProfileKey(strFileName_, strSection_, strKey, Links(refuseLinks_));
}

void clsIniFile::DeleteSection(std::string& strSection) {
  if (strSection.empty()) strSection = strSection_;
  platform::RemoveProfileSection(strFileName_, strSection);
}

bool clsIniFile::SetString(const std::string& strKey, const std::string& strValue) {
  return platform::SetProfileValue(strFileName_, strSection_, strKey, strValue);
}

std::string clsIniFile::SetStringUnderFreeKey(const std::string& strKey,
                                              const std::string& strValue) {
  std::string failure;
  const std::optional<std::string> written = platform::SetProfileValueUnderFreeKey(
      strFileName_, strSection_, strKey, strValue, &failure, Links(refuseLinks_));
  if (!written) throw platform::Error("Cannot write " + strFileName_ + ": " + failure);
  return *written;
}

std::string clsIniFile::GetString(const std::string& strKey, const std::string& strDefault) {
  std::string text = platform::GetProfileValue(strFileName_, strSection_, strKey, strDefault);
  return text.empty() ? strDefault : text;
}

int32_t clsIniFile::GetInteger(const std::string& strKey, int16_t lngDefault) {
  return static_cast<int32_t>(
      platform::GetProfileInteger(strFileName_, strSection_, strKey, lngDefault));
}

int32_t clsIniFile::SplitNullList(std::vector<std::string>& array, std::string_view list) {
  int32_t i = 0;
  for (;;) {
    const size_t nul = list.find('\0');
    // No NUL, or one at the start: the empty item that ends the list.
    if (nul == std::string_view::npos || nul == 0) return i;
    array.resize(static_cast<size_t>(i) + 1);
    array[static_cast<size_t>(i)] = std::string(list.substr(0, nul));
    list.remove_prefix(nul + 1);
    ++i;
  }
}
