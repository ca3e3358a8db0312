// Source code as a project holds it: files in C++, C, Python and JavaScript
// that share a project's license header, its identifiers, types and layout,
// with statements, comments and declarations in the shape real code has;
// and the files its tools generate. One header for them all.
#pragma once

#include "bench/corpus/c_family.h"
#include "bench/corpus/generated.h"
#include "bench/corpus/project.h"
#include "bench/corpus/scripts.h"
