// Files a project's tools write rather than its people: lock files of
// package versions and hashes, and tables of records that code generators
// emit.
#pragma once

#include <string>

#include "bench/corpus/project.h"
#include "bench/corpus/random.h"

namespace corpus {

// A lock file of package versions and hashes, as package managers write it.
std::string PackageLock(Random& random, const Project& project, size_t bytes);
// A generated table of records in C, such as code generators emit.
std::string GeneratedTable(Random& random, const Project& project, size_t bytes);

}  // namespace corpus
