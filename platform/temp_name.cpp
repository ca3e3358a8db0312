#include "platform/temp_name.h"

namespace platform {

namespace {

constexpr std::string_view kPrefix = ".slotbackup-";
constexpr std::string_view kSuffix = ".tmp";
constexpr size_t kRandomDigits = 16;
constexpr size_t kMaxIdDigits = 10;  // 4294967295

bool IsLowerHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

}  // namespace

std::string TemporaryName(uint32_t processId, uint64_t random) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string digits(kRandomDigits, '0');
  for (size_t i = kRandomDigits; i-- > 0; random >>= 4) digits[i] = kHex[random & 0xF];
  return std::string(kPrefix) + std::to_string(processId) + "-" + digits + std::string(kSuffix);
}

std::optional<uint32_t> TemporaryNameOwner(std::string_view name) {
  if (name.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
  name.remove_prefix(kPrefix.size());
  if (name.size() < kSuffix.size() || name.substr(name.size() - kSuffix.size()) != kSuffix) {
    return std::nullopt;
  }
  name.remove_suffix(kSuffix.size());

  const size_t dash = name.find('-');
  if (dash == std::string_view::npos || dash == 0 || dash > kMaxIdDigits) return std::nullopt;
  const std::string_view id = name.substr(0, dash);
  const std::string_view random = name.substr(dash + 1);
  if (id.size() > 1 && id[0] == '0') return std::nullopt;
  uint64_t value = 0;
  for (char c : id) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value > UINT32_MAX) return std::nullopt;
  if (random.size() != kRandomDigits) return std::nullopt;
  for (char c : random) {
    if (!IsLowerHex(c)) return std::nullopt;
  }
  return static_cast<uint32_t>(value);
}

}  // namespace platform
