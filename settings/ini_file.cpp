#include "settings/ini_file.h"

#include <algorithm>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/profile.h"

namespace {

// The size of every result area, in bytes of the system code page.
constexpr uint32_t kAreaSize = 32767;

platform::ProfileLinks Links(bool refuse) {
  return refuse ? platform::ProfileLinks::kRefuse : platform::ProfileLinks::kFollow;
}

}  // namespace

int32_t clsIniFile::EmnumSection(std::vector<std::string>& strSection) {
  std::string area(kAreaSize, '\0');
  GetPrivateProfileSectionNamesA(area.data(), kAreaSize,
                                 platform::ToMultiByte(strFileName_).c_str());
  return SplitNullList(strSection, area);
}

int32_t clsIniFile::EnumSectionString(std::vector<std::string>& strSectionString) {
  std::string area(kAreaSize, '\0');
  GetPrivateProfileSectionA(platform::ToMultiByte(strSection_).c_str(), area.data(), kAreaSize,
                            platform::ToMultiByte(strFileName_).c_str());
  return SplitNullList(strSectionString, area);
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
  std::string failure;  // a caller that must know reads the key back
  platform::DeleteProfileKey(
      platform::ToMultiByte(strSection_).c_str(), platform::ToMultiByte(strKey).c_str(),
      platform::ToMultiByte(strFileName_).c_str(), Links(refuseLinks_), &failure);
}

void clsIniFile::DeleteSection(std::string& strSection) {
  if (strSection.empty()) strSection = strSection_;
  WritePrivateProfileStringA(platform::ToMultiByte(strSection).c_str(), nullptr, nullptr,
                             platform::ToMultiByte(strFileName_).c_str());
}

bool clsIniFile::SetString(const std::string& strKey, const std::string& strValue) {
  return WritePrivateProfileStringA(platform::ToMultiByte(strSection_).c_str(),
                                    platform::ToMultiByte(strKey).c_str(),
                                    platform::ToMultiByte(strValue).c_str(),
                                    platform::ToMultiByte(strFileName_).c_str()) != 0;
}

std::string clsIniFile::SetStringUnderFreeKey(const std::string& strKey,
                                              const std::string& strValue) {
  std::string failure;
  const std::optional<std::string> written = platform::WriteProfileStringUnderFreeKey(
      platform::ToMultiByte(strSection_).c_str(), platform::ToMultiByte(strKey).c_str(),
      platform::ToMultiByte(strValue).c_str(), platform::ToMultiByte(strFileName_).c_str(),
      &failure, Links(refuseLinks_));
  if (!written) throw platform::Error("Cannot write " + strFileName_ + ": " + failure);
  return platform::ToUtf8(*written);
}

std::string clsIniFile::GetString(const std::string& strKey, const std::string& strDefault) {
  std::string area(kAreaSize, '\0');
  const uint32_t copied = GetPrivateProfileStringA(
      platform::ToMultiByte(strSection_).c_str(), platform::ToMultiByte(strKey).c_str(),
      platform::ToMultiByte(strDefault).c_str(), area.data(), kAreaSize,
      platform::ToMultiByte(strFileName_).c_str());
  // Cut on the bytes the platform counted before converting, so a value of
  // double-byte characters ends exactly where the platform ended it.
  area.resize(std::min(copied, kAreaSize));
  std::string text = platform::ToUtf8(area);
  return text.empty() ? strDefault : text;
}

int32_t clsIniFile::GetInteger(const std::string& strKey, int16_t lngDefault) {
  return static_cast<int32_t>(GetPrivateProfileIntA(
      platform::ToMultiByte(strSection_).c_str(), platform::ToMultiByte(strKey).c_str(), lngDefault,
      platform::ToMultiByte(strFileName_).c_str()));
}

int32_t clsIniFile::SplitNullList(std::vector<std::string>& array, std::string_view list) {
  int32_t i = 0;
  for (;;) {
    const size_t nul = list.find('\0');
    // No NUL, or one at the start: the empty item that ends the list.
    if (nul == std::string_view::npos || nul == 0) return i;
    array.resize(static_cast<size_t>(i) + 1);
    array[static_cast<size_t>(i)] = platform::ToUtf8(list.substr(0, nul));
    list.remove_prefix(nul + 1);
    ++i;
  }
}
