// Source code as a project holds it: files in C++, C, Python and JavaScript
// that share a project's license header, its identifiers, types and layout,
// with statements, comments and declarations in the shape real code has.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "bench/corpus/random.h"

namespace corpus {

class Project {
 public:
  // name seeds everything the project's files share.
  explicit Project(std::string_view name);
  const std::string& name() const { return name_; }
  const std::string& license() const { return license_; }
  // Identifiers and types, frequent ones first.
  std::string_view Identifier(Random& random) const;
  std::string_view Type(Random& random) const;
  std::string_view Function(Random& random) const;

 private:
  std::string name_, license_;
  std::vector<std::string> identifiers_, types_, functions_;
};

std::string CppHeader(Random& random, const Project& project, std::string_view path, size_t bytes);
std::string CppSource(Random& random, const Project& project, std::string_view path, size_t bytes);
// C in the kernel's style: tabs, structs, macros.
std::string CSource(Random& random, const Project& project, std::string_view path, size_t bytes);
std::string PythonModule(Random& random, const Project& project, size_t bytes);
std::string JavaScript(Random& random, const Project& project, size_t bytes);
// A lock file of package versions and hashes, as package managers write it.
std::string PackageLock(Random& random, const Project& project, size_t bytes);
// A generated table of records in C, such as code generators emit.
std::string GeneratedTable(Random& random, const Project& project, size_t bytes);
std::string CMakeLists(Random& random, const Project& project,
                       const std::vector<std::string>& sources);

}  // namespace corpus
