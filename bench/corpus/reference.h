// The digest of the full corpus (scale 1000): the corpus the README's
// figures were measured on. It changes only when the generator is changed on
// purpose, and then the figures are measured again.
#pragma once

namespace corpus {

inline constexpr const char* kReferenceDigest =
    "61bb29b180d1c83d47761424607a6142051e02b90e4205d11748e3418673c1e8";

}  // namespace corpus
