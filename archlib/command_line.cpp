#include "archlib/command_line.h"

#include "archlib/entry.h"

namespace archlib {

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> tokens;
  std::string token;
  bool inToken = false;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      inToken = true;  // "" is an empty token, not nothing
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (inToken) tokens.push_back(std::move(token));
      token.clear();
      inToken = false;
    } else {
      token += c;
      inToken = true;
    }
  }
  if (quoted) throw Failure("unterminated quote in command line");
  if (inToken) tokens.push_back(std::move(token));
  return tokens;
}

}  // namespace archlib
