// A report in the two forms slotbackup-check prints: plain words for people
// and JSON for scripts.
#pragma once

#include <string>

#include "tools/check/report.h"

namespace check {

// UTF-8 text, lines ended by '\n'; control characters from the file are
// shown as '?' so that nothing it holds can steer the terminal, and bytes
// that are not text as \xNN.
std::string TextReport(const Report& report);

// One JSON object and a line break.
std::string JsonReport(const Report& report);

}  // namespace check
