#include "archlib/unsafe_name.h"

namespace archlib {

namespace {

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

bool IsUnsafeName(std::string_view name) {
  if (!name.empty() && IsSeparator(name[0])) return true;
  if (name.size() >= 2 && IsLetter(name[0]) && name[1] == ':') return true;
  size_t start = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && !IsSeparator(name[i])) continue;
    if (name.substr(start, i - start) == "..") return true;
    start = i + 1;
  }
  return false;
}

std::string DroppedNote(size_t dropped) {
  if (dropped == 0) return "";
  return " and dropped " + std::to_string(dropped) + " unsafe name" + (dropped == 1 ? "" : "s");
}

}  // namespace archlib
