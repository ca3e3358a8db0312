// SHA-256 of our own, so that the corpus digest needs no library whose
// presence or version differs between machines.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace corpus {

class Sha256 {
 public:
  Sha256();
  void Add(std::string_view bytes);
  // The digest as 64 lower-case hex digits; ends this object's use.
  std::string Hex();

 private:
  void Block(const unsigned char* block);

  std::array<uint32_t, 8> h_;
  unsigned char buffer_[64];
  size_t buffered_ = 0;
  uint64_t length_ = 0;
};

std::string Sha256Hex(std::string_view bytes);

}  // namespace corpus
