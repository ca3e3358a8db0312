// Packs a folder with our archiver libraries the way a backup run calls them,
// as a program of its own, so that the benchmark measures it exactly as it
// measures the other archivers.
//   bench_ours lh5|lh7|zip|7z ARCHIVE FOLDER
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "archiver/unlha32.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: bench_ours lh5|lh7|zip|7z ARCHIVE FOLDER\n");
    return 2;
  }
  const std::string method = argv[1];
  const fs::path archive = fs::absolute(argv[2]);
  const std::string save = archive.parent_path().string(), name = archive.filename().string();
  try {
    Unlha32::Archivers archivers;
    Unlha32::Result result;
    if (method == "lh5" || method == "lh7") {
      std::string line = Unlha32::LhaCommandLine(save, name, argv[3]);
      // lh7 is the run's command line with the method switch added.
      const std::string switches = " -r2 -x1 ";
      const size_t at = line.find(switches);
      if (method == "lh7") {
        if (at == std::string::npos) throw std::runtime_error("no -x1 in " + line);
        line.insert(at + switches.size(), "-o7 ");
      }
      result = archivers.RunUnlha(0, line);
    } else if (method == "zip" || method == "7z") {
      result = archivers.RunSevenZip(0, Unlha32::ZipCommandLine(save, name, argv[3]));
    } else {
      std::fprintf(stderr, "bench_ours: unknown method %s\n", method.c_str());
      return 2;
    }
    if (!result.succeeded) {
      std::fprintf(stderr, "bench_ours: the archiver failed on %s: %s\n", argv[3],
                   result.message.c_str());
    }
    return result.succeeded ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_ours: %s\n", e.what());
    return 1;
  }
}
