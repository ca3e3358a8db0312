#include "archlib/command_line.h"

#include "archlib/entry.h"

namespace archlib {

std::vector<std::string> SplitCommandLine(std::string_view line, std::vector<bool>* quoted) {
  std::vector<std::string> tokens;
  std::vector<bool> tokenQuoted;
  std::string token;
  bool inToken = false;
  bool inQuotes = false;
  bool hadQuotes = false;
  const auto finish = [&] {
    tokens.push_back(std::move(token));
    tokenQuoted.push_back(hadQuotes);
    token.clear();
    inToken = hadQuotes = false;
  };
  for (char c : line) {
    if (c == '"') {
      inQuotes = !inQuotes;
      inToken = hadQuotes = true;  // "" is an empty token, not nothing
    } else if ((c == ' ' || c == '\t') && !inQuotes) {
      if (inToken) finish();
    } else {
      token += c;
      inToken = true;
    }
  }
  if (inQuotes) throw Failure("unterminated quote in command line");
  if (inToken) finish();
  if (quoted != nullptr) *quoted = std::move(tokenQuoted);
  return tokens;
}

}  // namespace archlib
