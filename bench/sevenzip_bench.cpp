// Packs a folder through RunSevenZip into .zip and .7z, and the same folder
// with zip, 7zz and bsdtar when they are installed, and prints wall time,
// throughput and compression ratio side by side.
//   sevenzip_bench <folder> [work folder]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "archiver/unlha32.h"

namespace fs = std::filesystem;

namespace {

struct Figures {
  double seconds;
  uintmax_t bytes;
};

uintmax_t FolderBytes(const fs::path& folder) {
  uintmax_t total = 0;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    if (e.is_regular_file() && !e.is_symlink()) total += e.file_size();
  }
  return total;
}

bool Installed(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

void Report(const std::string& label, const fs::path& archive, uintmax_t input,
            const std::function<bool()>& pack) {
  fs::remove(archive);
  const auto start = std::chrono::steady_clock::now();
  const bool ok = pack();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!ok || !fs::exists(archive)) {
    std::printf("%-34s failed\n", label.c_str());
    return;
  }
  const uintmax_t bytes = fs::file_size(archive);
  std::printf("%-34s %8.2f s %8.1f MB/s %12ju bytes  ratio %.3f\n", label.c_str(), seconds,
              input / 1e6 / seconds, bytes, static_cast<double>(bytes) / input);
  fs::remove(archive);
}

bool Shell(const std::string& command) {
  return std::system(command.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <folder> [work folder]\n", argv[0]);
    return 2;
  }
  const fs::path folder = fs::absolute(argv[1]).lexically_normal();
  const fs::path work = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path();
  const std::string parent = "\"" + folder.parent_path().string() + "\"";
  const std::string name = "\"" + folder.filename().string() + "\"";
  const uintmax_t input = FolderBytes(folder);
  std::printf("%s: %ju bytes\n", folder.c_str(), input);

  Unlha32::Archivers archivers;
  for (const char* extension : {".zip", ".7z"}) {
    const fs::path archive = work / (std::string("bench-sevenzip") + extension);
    Report(std::string("RunSevenZip ") + extension + " (verified)", archive, input, [&] {
      return archivers
          .RunSevenZip(0, Unlha32::ZipCommandLine(archive.parent_path().string(),
                                                  archive.filename().string(), folder.string()))
          .succeeded;
    });
  }
  const fs::path zip = work / "bench-other.zip", sevenZ = work / "bench-other.7z";
  if (Installed("zip")) {
    Report("zip -r -6", zip, input, [&] {
      return Shell("cd " + parent + " && zip -q -r -6 \"" + zip.string() + "\" " + name);
    });
  }
  if (Installed("7zz")) {
    Report("7zz a -tzip", zip, input, [&] {
      return Shell("cd " + parent + " && 7zz a -bd -bso0 -tzip \"" + zip.string() + "\" " + name);
    });
    Report("7zz a -t7z", sevenZ, input, [&] {
      return Shell("cd " + parent + " && 7zz a -bd -bso0 -t7z \"" + sevenZ.string() + "\" " + name);
    });
  }
  if (Installed("bsdtar")) {
    Report("bsdtar -a -cf x.zip", zip, input, [&] {
      return Shell("cd " + parent + " && bsdtar -a -cf \"" + zip.string() + "\" " + name);
    });
    Report("bsdtar -a -cf x.7z", sevenZ, input, [&] {
      return Shell("cd " + parent + " && bsdtar -a -cf \"" + sevenZ.string() + "\" " + name);
    });
  }
  return 0;
}
