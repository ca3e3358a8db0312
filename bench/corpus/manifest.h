// The manifest of a folder: one line per file and folder below it, sorted by
// path, with its type, mode, modification time, size and the SHA-256 of its
// bytes; and the digest, the SHA-256 of the manifest. Two folders with the
// same digest hold the same names, bytes, modes and times.
#pragma once

#include <filesystem>
#include <string>

namespace corpus {

// Lines "<type> <mode> <mtime> <size> <sha256 or -> <path>\n", type f (file),
// d (folder), l (link: its target's SHA-256), o (anything else).
std::string Manifest(const std::filesystem::path& root);

std::string Digest(const std::string& manifest);

}  // namespace corpus
