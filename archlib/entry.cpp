#include "archlib/entry.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace archlib {

namespace {
// Result codes: 0 success; the rest only say that the call failed.
constexpr int kFailed = 1;
constexpr int kOutOfMemory = 2;
constexpr int kInternal = 3;
}  // namespace

void WriteOutput(char* output, uint32_t size, std::string_view message) {
  if (output == nullptr || size == 0) return;
  size_t n = std::min<size_t>(message.size(), size - 1);
  // A message is one line: stop at its first line break.
  n = std::min(n, message.substr(0, n).find_first_of("\r\n") == std::string_view::npos
                      ? n
                      : message.substr(0, n).find_first_of("\r\n"));
  std::memcpy(output, message.data(), n);
  output[n] = '\0';
}

int RunCommand(char* output, uint32_t size, const std::function<std::string()>& command) {
  try {
    WriteOutput(output, size, command());
    return 0;
  } catch (const Failure& e) {
    WriteOutput(output, size, e.what());
    return kFailed;
  } catch (const std::bad_alloc&) {
    WriteOutput(output, size, "out of memory");
    return kOutOfMemory;
  } catch (const std::exception& e) {
    WriteOutput(output, size, std::string("internal error: ") + e.what());
    return kInternal;
  } catch (...) {
    WriteOutput(output, size, "internal error");
    return kInternal;
  }
}

}  // namespace archlib
