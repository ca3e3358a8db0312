// Splitting an archiver command line into its tokens, as both archiver
// libraries receive it: blanks separate tokens, double quotes group blanks
// into a token and are removed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace archlib {

// Throws archlib::Failure on an unterminated quote. When quoted is given, it
// receives for each token whether any of it was in quotes: a quoted "-x" is
// a path, not a switch.
std::vector<std::string> SplitCommandLine(std::string_view line,
                                          std::vector<bool>* quoted = nullptr);

}  // namespace archlib
