// Programs and databases: ELF executables and libraries (machine code,
// relocations, symbol and string tables, read-only data), a Windows installer
// (a small program and its compressed payload) and a database file of
// records in fixed-size pages.
#pragma once

#include <string>
#include <string_view>

#include "bench/corpus/random.h"

namespace corpus {

std::string Elf(Random& random, std::string_view name, bool library, size_t bytes);
std::string WindowsInstaller(Random& random, std::string_view product, size_t bytes);
std::string Database(Random& random, size_t bytes);

}  // namespace corpus
