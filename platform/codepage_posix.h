// The POSIX side of the code-page conversion, open to tests: conversion
// between named codesets. The codeset of the environment's locale is
// platform/posix/locale.h's LocaleCodeset.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Converts text from one codeset to another with iconv. A character the
// target cannot represent becomes '?'; a byte sequence invalid in the source
// becomes U+FFFD when the target is UTF-8 and '?' otherwise; conversion goes
// on after either. Throws platform::Error when iconv knows neither name.
std::string ConvertCodeset(std::string_view text, const char* from, const char* to);

}  // namespace platform
