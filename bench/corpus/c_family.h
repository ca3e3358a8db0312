// C-family source files of a project: C++ headers and sources, C in the
// kernel's style (tabs, structs, macros), and the CMakeLists.txt that builds
// them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "bench/corpus/project.h"
#include "bench/corpus/random.h"

namespace corpus {

std::string CppHeader(Random& random, const Project& project, std::string_view path, size_t bytes);
std::string CppSource(Random& random, const Project& project, std::string_view path, size_t bytes);
std::string CSource(Random& random, const Project& project, std::string_view path, size_t bytes);
std::string CMakeLists(Random& random, const Project& project,
                       const std::vector<std::string>& sources);

}  // namespace corpus
