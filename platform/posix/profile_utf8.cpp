// The profile functions in the program's text, over the ones in the
// system's code page (profile.cpp): every text converted losslessly
// (platform/codepage.h), so a file's bytes reach the program as they are.
#include <algorithm>

#include "platform/codepage.h"
#include "platform/profile.h"

namespace platform {

namespace {

// The size of every result area, in bytes of the system code page.
constexpr uint32_t kAreaSize = 32767;

// A NUL-separated list in the system's code page, ended by an empty item,
// in the program's text.
std::string ListText(const std::string& area) {
  std::string list;
  for (std::string_view rest(area);;) {
    const size_t nul = rest.find('\0');
    if (nul == std::string_view::npos || nul == 0) break;
    list += ToUtf8(rest.substr(0, nul));
    list += '\0';
    rest.remove_prefix(nul + 1);
  }
  return list + '\0';
}

}  // namespace

std::string GetProfileValue(const std::string& file, const std::string& section,
                            const std::string& key, const std::string& def) {
  std::string area(kAreaSize, '\0');
  const uint32_t copied = GetPrivateProfileStringA(
      ToMultiByte(section).c_str(), ToMultiByte(key).c_str(), ToMultiByte(def).c_str(), area.data(),
      kAreaSize, ToMultiByte(file).c_str());
  // Cut on the bytes the function counted before converting, so a value of
  // double-byte characters ends exactly where the function ended it.
  area.resize(std::min(copied, kAreaSize));
  return ToUtf8(area);
}

uint32_t GetProfileInteger(const std::string& file, const std::string& section,
                           const std::string& key, int def) {
  return GetPrivateProfileIntA(ToMultiByte(section).c_str(), ToMultiByte(key).c_str(), def,
                               ToMultiByte(file).c_str());
}

std::string GetProfileSectionNames(const std::string& file) {
  std::string area(kAreaSize, '\0');
  GetPrivateProfileSectionNamesA(area.data(), kAreaSize, ToMultiByte(file).c_str());
  return ListText(area);
}

std::string GetProfileSection(const std::string& file, const std::string& section) {
  std::string area(kAreaSize, '\0');
  GetPrivateProfileSectionA(ToMultiByte(section).c_str(), area.data(), kAreaSize,
                            ToMultiByte(file).c_str());
  return ListText(area);
}

bool SetProfileValue(const std::string& file, const std::string& section, const std::string& key,
                     const std::string& value) {
  return WritePrivateProfileStringA(ToMultiByte(section).c_str(), ToMultiByte(key).c_str(),
                                    ToMultiByte(value).c_str(), ToMultiByte(file).c_str()) != 0;
}

bool RemoveProfileKey(const std::string& file, const std::string& section, const std::string& key,
                      ProfileLinks links, std::string* failure) {
  std::string reason;
  return DeleteProfileKey(ToMultiByte(section).c_str(), ToMultiByte(key).c_str(),
                          ToMultiByte(file).c_str(), links, failure != nullptr ? failure : &reason);
}

bool RemoveProfileSection(const std::string& file, const std::string& section) {
  return WritePrivateProfileStringA(ToMultiByte(section).c_str(), nullptr, nullptr,
                                    ToMultiByte(file).c_str()) != 0;
}

std::optional<std::string> SetProfileValueUnderFreeKey(const std::string& file,
                                                       const std::string& section,
                                                       const std::string& key,
                                                       const std::string& value,
                                                       std::string* failure, ProfileLinks links) {
  const std::optional<std::string> written = WriteProfileStringUnderFreeKey(
      ToMultiByte(section).c_str(), ToMultiByte(key).c_str(), ToMultiByte(value).c_str(),
      ToMultiByte(file).c_str(), failure, links);
  if (!written) return std::nullopt;
  return ToUtf8(*written);
}

}  // namespace platform
