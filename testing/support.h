// Test support the same on every system, for native tests and the Windows
// tests under Wine alike: scratch folders, paths from and to the program's
// UTF-8 text, whole files read and written, a settings or log file's
// section lines, bytes that do or do not compress, the message an
// operation fails with.
#pragma once

#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace test_support {

namespace fs = std::filesystem;

// A new empty folder under the system's temporary folder, removed with
// everything in it (write permission given back first) when the object goes.
// It stands for its path wherever a path is asked for.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const fs::path& path() const { return path_; }
  operator const fs::path&() const { return path_; }
  fs::path operator/(const fs::path& name) const { return path_ / name; }

 private:
  fs::path path_;
};

// The program's text (UTF-8) as a path, and a path as that text.
fs::path PathOf(std::string_view utf8);
std::string Utf8Of(const fs::path& path);

// The names in a folder, sorted.
std::vector<std::string> Names(const fs::path& folder);
// The names in a folder that are temporary files of ours (TemporaryNameOwner).
std::vector<std::string> TemporaryFiles(const fs::path& folder);

// A whole file's bytes ("" when it cannot be read).
std::string ReadBytes(const fs::path& file);
// Writes the file whole, making the folders above it first.
void WriteBytes(const fs::path& file, const std::string& bytes);

// The key=value lines of section in a settings or log file, in the
// program's text: a file in the code page as the profile functions read it,
// a UTF-16 file as its own characters, those the code page lacks included.
std::vector<std::string> SectionLines(const fs::path& file, std::string_view section);

// `size` bytes drawn from random: they do not compress.
std::string Noise(std::mt19937& random, size_t size);
// `size` bytes of a few words in random order: text that compresses well.
std::string Words(std::mt19937& random, size_t size);

// The bytes of a settings file as Notepad saves it "Unicode" (UTF-16 behind
// a byte-order mark), from text written as a UTF-16 literal, so that the
// expected bytes never come from the conversions under test.
std::string Utf16File(std::u16string_view text, bool bigEndian);

// The message of the platform::Error that body throws, or "" when it
// throws nothing.
std::string FailureOf(const std::function<void()>& body);

}  // namespace test_support
