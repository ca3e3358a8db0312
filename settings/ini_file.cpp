#include "settings/ini_file.h"

#include "platform/error.h"
#include "platform/profile.h"

namespace {

// Replaces array with items; leaves it alone when there are none.
int32_t Take(std::vector<std::string>& array, std::vector<std::string> items) {
  if (items.empty()) return 0;
  array = std::move(items);
  return static_cast<int32_t>(array.size());
}

}  // namespace

int32_t clsIniFile::EmnumSection(std::vector<std::string>& strSection) {
  return Take(strSection, platform::ListProfileSections(strFileName_));
}

int32_t clsIniFile::EnumSectionString(std::vector<std::string>& strSectionString) {
  return Take(strSectionString, platform::ListProfileLines(strFileName_, strSection_));
}

void clsIniFile::FileName(std::string strNewFileName) {
  strFileName_ = std::move(strNewFileName);
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
  platform::RemoveProfileKey(strFileName_, strSection_, strKey);
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
  const std::optional<std::string> written =
      platform::SetProfileValueUnderFreeKey(strFileName_, strSection_, strKey, strValue, &failure);
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
