// The program's one error type, which the archiver libraries report through
// too (archlib::Failure). Its what() is the description that the run's
// single error path writes to the error log, or a library writes to its
// caller's output area, so every throw site says what failed and why (a
// path, a library name, the system's reason).
#pragma once

#include <stdexcept>
#include <string>

namespace platform {

class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The system's description of an errno / GetLastError value.
std::string SystemErrorText(int code);

}  // namespace platform
