#include "bench/corpus/manifest.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "bench/corpus/sha256.h"

namespace fs = std::filesystem;

namespace corpus {

namespace {

std::string FileHash(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  Sha256 sha;
  std::string buffer(1 << 16, '\0');
  while (in) {
    in.read(buffer.data(), buffer.size());
    sha.Add(std::string_view(buffer.data(), in.gcount()));
  }
  if (in.bad()) throw std::runtime_error("cannot read " + path.string());
  return sha.Hex();
}

std::string Line(const fs::path& full, const std::string& relative) {
  struct stat st {};
  if (lstat(full.c_str(), &st) != 0) {
    throw std::runtime_error("cannot stat " + full.string() + ": " + std::strerror(errno));
  }
  char type = 'o';
  std::string hash = "-";
  uint64_t size = 0;
  if (S_ISREG(st.st_mode)) {
    type = 'f';
    size = st.st_size;
    hash = FileHash(full);
  } else if (S_ISDIR(st.st_mode)) {
    type = 'd';
  } else if (S_ISLNK(st.st_mode)) {
    type = 'l';
    hash = Sha256Hex(fs::read_symlink(full).string());
  }
  char head[96];
  std::snprintf(head, sizeof head, "%c %04o %lld %llu ", type, unsigned(st.st_mode & 07777),
                static_cast<long long>(st.st_mtim.tv_sec), static_cast<unsigned long long>(size));
  return head + hash + " " + relative + "\n";
}

}  // namespace

std::string Manifest(const fs::path& root) {
  std::vector<std::string> paths;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    paths.push_back(it->path().lexically_relative(root).generic_string());
  }
  std::sort(paths.begin(), paths.end());
  std::string manifest;
  for (const std::string& path : paths) manifest += Line(root / path, path);
  return manifest;
}

std::string Digest(const std::string& manifest) {
  return Sha256Hex(manifest);
}

}  // namespace corpus
