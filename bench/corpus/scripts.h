// Script files of a project: Python modules of classes and methods, and
// JavaScript modules of async functions.
#pragma once

#include <string>

#include "bench/corpus/project.h"
#include "bench/corpus/random.h"

namespace corpus {

std::string PythonModule(Random& random, const Project& project, size_t bytes);
std::string JavaScript(Random& random, const Project& project, size_t bytes);

}  // namespace corpus
