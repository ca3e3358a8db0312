#include "testing/support.h"

#include <algorithm>
#include <fstream>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/ini/ini_document.h"
#include "platform/ini/profile_text.h"
#include "platform/temp_name.h"

namespace test_support {

ScratchFolder::ScratchFolder() {
  std::random_device seed;
  for (int attempt = 0;; ++attempt) {
    path_ = fs::temp_directory_path() / ("slotbackup-test-" + std::to_string(seed()));
    if (fs::create_directory(path_)) return;
    if (attempt == 100) throw std::runtime_error("cannot make a scratch folder");
  }
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  for (auto it = fs::recursive_directory_iterator(path_, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (!it->is_symlink(ignored)) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
  }
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

fs::path PathOf(std::string_view utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Of(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(Utf8Of(entry.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> TemporaryFiles(const fs::path& folder) {
  std::vector<std::string> names = Names(folder);
  std::erase_if(names,
                [](const std::string& n) { return !platform::TemporaryNameOwner(n).has_value(); });
  return names;
}

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
  if (file.has_parent_path()) fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

std::vector<std::string> SectionLines(const fs::path& file, std::string_view section) {
  using platform::ini::ProfileText;
  const std::string bytes = ReadBytes(file);
  const ProfileText::Encoding encoding = ProfileText::EncodingOf(bytes);
  if (encoding != ProfileText::Encoding::kCodePage) {
    // A UTF-16 file's own characters, those its reader's code page lacks too.
    const bool bigEndian = encoding == ProfileText::Encoding::kUtf16BigEndian;
    std::u16string units;
    for (size_t i = ProfileText::kMarkSize; i + 1 < bytes.size(); i += 2) {
      const auto high = static_cast<uint8_t>(bytes[bigEndian ? i : i + 1]);
      const auto low = static_cast<uint8_t>(bytes[bigEndian ? i + 1 : i]);
      units += static_cast<char16_t>(high << 8 | low);
    }
    return platform::ini::SectionLines(Utf8Of(fs::path(units)), section);
  }
  std::vector<std::string> lines = platform::ini::SectionLines(bytes, section);
  for (std::string& line : lines) line = platform::ToUtf8(line);
  return lines;
}

std::string Noise(std::mt19937& random, size_t size) {
  std::string out(size, '\0');
  for (char& c : out) c = static_cast<char>(random());
  return out;
}

std::string Words(std::mt19937& random, size_t size) {
  static const char* const kWords[] = {"slot ", "backup ", "folder\n", "archive ", "of ", "the "};
  std::string out;
  while (out.size() < size) out += kWords[random() % 6];
  out.resize(size);
  return out;
}

std::string Utf16File(std::u16string_view text, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

std::string FailureOf(const std::function<void()>& body) {
  try {
    body();
  } catch (const platform::Error& e) {
    return e.what();
  }
  return "";
}

}  // namespace test_support
