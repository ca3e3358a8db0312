// The digest of the full corpus (scale 1000): the corpus the README's
// figures were measured on. It changes only when the generator is changed on
// purpose, and then the figures are measured again.
#pragma once

namespace corpus {

inline constexpr const char* kReferenceDigest =
    "0112f4748fbaaf633d61cace50b380750b41a171bc643568418c53655858a3f8";

}  // namespace corpus
