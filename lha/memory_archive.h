// Test support: one member compressed into an archive in memory and read
// back with libarchive, for tests and the fuzz target.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "lha/method.h"

namespace lha {

// Compresses data as one member "data" and returns the whole archive, or
// an empty vector when the encoder declined (the data would be stored).
std::vector<uint8_t> CompressToArchive(const std::vector<uint8_t>& data, const Method& method);

// Decodes the archive's single member with libarchive; sets `error` and
// returns false when libarchive reports any problem.
bool DecodeWithLibarchive(const std::vector<uint8_t>& archive, std::vector<uint8_t>& data,
                          std::string& error);

}  // namespace lha
