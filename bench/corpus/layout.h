// What the corpus holds and where: a desktop user's home folder of about
// 85 MB in some 5,000 files at scale 1000 (per mille). Smaller scales keep the
// mix with fewer files and smaller large files, for tests.
#pragma once

#include <cstdint>

#include "bench/corpus/tree.h"

namespace corpus {

void Lay(Tree& tree, uint32_t permille);

}  // namespace corpus
