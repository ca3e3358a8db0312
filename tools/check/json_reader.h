// Test support: a strict JSON reader (RFC 8259; any deviation throws
// std::runtime_error), to read back what slotbackup-check prints.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace check_test {

struct Json {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = Kind::kNull;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<Json> items;
  std::map<std::string, Json> members;

  const Json& operator[](const std::string& key) const {
    const auto found = members.find(key);
    if (kind != Kind::kObject || found == members.end()) throw std::runtime_error("no " + key);
    return found->second;
  }
  const Json& operator[](size_t index) const { return items.at(index); }
};

Json ParseJson(const std::string& text);

}  // namespace check_test
