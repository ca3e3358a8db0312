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

// The items of a NUL-separated list ended by an empty item.
std::vector<std::string> Items(std::string_view list) {
  std::vector<std::string> items;
  for (;;) {
    const size_t nul = list.find('\0');
    if (nul == std::string_view::npos || nul == 0) return items;
    items.push_back(ToUtf8(list.substr(0, nul)));
    list.remove_prefix(nul + 1);
  }
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

std::vector<std::string> ListProfileSections(const std::string& file) {
  std::string area(kAreaSize, '\0');
  GetPrivateProfileSectionNamesA(area.data(), kAreaSize, ToMultiByte(file).c_str());
  return Items(area);
}

std::vector<std::string> ListProfileLines(const std::string& file, const std::string& section) {
  std::string area(kAreaSize, '\0');
  GetPrivateProfileSectionA(ToMultiByte(section).c_str(), area.data(), kAreaSize,
                            ToMultiByte(file).c_str());
  return Items(area);
}

bool SetProfileValue(const std::string& file, const std::string& section, const std::string& key,
                     const std::string& value) {
  return WritePrivateProfileStringA(ToMultiByte(section).c_str(), ToMultiByte(key).c_str(),
                                    ToMultiByte(value).c_str(), ToMultiByte(file).c_str()) != 0;
}

bool RemoveProfileKey(const std::string& file, const std::string& section, const std::string& key) {
  return WritePrivateProfileStringA(ToMultiByte(section).c_str(), ToMultiByte(key).c_str(), nullptr,
                                    ToMultiByte(file).c_str()) != 0;
}

bool RemoveProfileSection(const std::string& file, const std::string& section) {
  return WritePrivateProfileStringA(ToMultiByte(section).c_str(), nullptr, nullptr,
                                    ToMultiByte(file).c_str()) != 0;
}

std::optional<std::string> SetProfileValueUnderFreeKey(const std::string& file,
                                                       const std::string& section,
                                                       const std::string& key,
                                                       const std::string& value,
                                                       std::string* failure) {
  const std::optional<std::string> written = WriteProfileStringUnderFreeKey(
      ToMultiByte(section).c_str(), ToMultiByte(key).c_str(), ToMultiByte(value).c_str(),
      ToMultiByte(file).c_str(), failure);
  if (!written) return std::nullopt;
  return ToUtf8(*written);
}

}  // namespace platform
