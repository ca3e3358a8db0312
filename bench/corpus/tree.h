// Writes the corpus's files and folders below a root with fixed modes (0644,
// 0755 for programs and folders) and fixed modification times derived from
// each path, so that the tree is the same wherever and whenever it is made.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace corpus {

class Tree {
 public:
  explicit Tree(std::filesystem::path root);

  // path is relative to the root, '/'-separated, UTF-8. Parent folders are
  // made as needed. Throws std::runtime_error when the file cannot be written.
  void File(std::string_view path, std::string_view bytes, bool executable = false);
  void Folder(std::string_view path);
  // Gives every folder its mode and time, deepest first (writing into a
  // folder changes its time). Call once, after the last file.
  void Finish();

  uint64_t files() const { return files_; }
  uint64_t bytes() const { return bytes_; }

 private:
  std::filesystem::path root_;
  std::vector<std::string> folders_;
  uint64_t files_ = 0, bytes_ = 0;
};

// The modification time a path gets: within 2023 for files, a little later
// for folders; even seconds, which DOS time (ZIP, LHA) keeps exactly.
long long FixedTime(std::string_view path, bool folder);

}  // namespace corpus
