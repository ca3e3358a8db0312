// The POSIX side of the code-page conversion, open to tests: conversion
// between named codesets. The codeset of the environment's locale is
// platform/posix/locale.h's LocaleCodeset.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Converts text from one codeset to another with iconv. A character the
// target cannot represent becomes '?'; a byte sequence invalid in the source
// becomes U+FFFD when the target is UTF-8 and '?' otherwise; conversion goes
// on after either. Throws platform::Error when iconv knows neither name.
std::string ConvertCodeset(std::string_view text, const char* from, const char* to);

// The lossless pair behind ToUtf8 and ToMultiByte (platform/codepage.h):
// DecodeCodeset turns text in codeset into UTF-8, each byte it cannot decode
// into an escaped byte, and records that byte's offset in invalid when given;
// EncodeCodeset turns UTF-8 into codeset, each escaped byte back into its
// byte and anything else as ConvertCodeset does.
std::string DecodeCodeset(std::string_view text, const char* codeset,
                          std::vector<size_t>* invalid = nullptr);
std::string EncodeCodeset(std::string_view utf8, const char* codeset);

}  // namespace platform
