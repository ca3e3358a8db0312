// Windows: the entry point is called in this process, as the archiver DLLs
// are made to be called.
#include <cstring>
#include <vector>

#include "platform/archiver_call.h"

namespace platform {

ArchiverCall CallArchiver(ArchiverEntryPoint entry, uint32_t window, const std::string& commandLine,
                          uint32_t outputSize) {
  std::vector<char> output(static_cast<size_t>(outputSize) + 1, ' ');
  output[outputSize] = '\0';
  ArchiverCall call;
  call.result = entry(window, commandLine.c_str(), output.data(), outputSize);
  call.returned = true;
  call.output = output.data();
  return call;
}

}  // namespace platform
