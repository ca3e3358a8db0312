// Calls an archiver library's entry point once, as the runner does, and
// prints its message: for the tests that read its archives back on the
// host, and the benchmark of the DLL under Wine.
//   call_archiver <library> <entry point> <command line>
//   call_archiver Unlha32 Unlha "a -r2 -x1 -o7 \"C:\Save\x.lzh\" \"C:\Docs\""
// The library is loaded as the program loads it, from this program's folder
// first. The command line comes in the system's code page, as the runner
// gives it. Exits with the entry point's result, 125 when it cannot call.
#include <cstdio>
#include <exception>
#include <vector>

#include "platform/archiver_entry.h"
#include "platform/library.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: call_archiver <library> <entry point> <command line>\n");
    return 125;
  }
  try {
    const platform::DynamicLibrary library(argv[1]);
    const auto entry = reinterpret_cast<ArchiverEntryPoint>(library.Symbol(argv[2]));
    std::vector<char> output(1 << 16, '\0');
    const int result = entry(0, argv[3], output.data(), static_cast<uint32_t>(output.size()));
    std::printf("%d %s\n", result, output.data());
    return result;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "call_archiver: %s\n", failure.what());
    return 125;
  }
}
