// The error log: one "ErrorDescription" entry in "<program>.log" beside the
// executable for the error that ended the run, and the same description as a
// line on standard error.
#pragma once

#include <string>

namespace ErrModule {

// Records the error being handled (call only inside a catch block) as
// "ModuleName:<module>\tObjectName:<object>\tErrorInfo:<description>".
// Returns whether the entry was written; never throws.
bool WriteErrorLog(const std::string& strModuleName, const std::string& strObjectName);

}  // namespace ErrModule
