// Packs a folder through the LHA library's entry point with lh5 and with
// lh7 and prints wall and CPU time, throughput, ratio and peak memory. The
// call reads the archive back on a second thread while it compresses; the
// CPU time of that reading is measured by reading the archive again with
// libarchive, and what remains of the call's CPU time is the compression's.
// The call's wall time over that compression time says how much the
// read-back adds to the call.
//   lha_bench CORPUS_FOLDER OUTPUT_FOLDER
#include <archive.h>
#include <archive_entry.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/archiver_entry.h"

ARCHIVER_EXPORT int ARCHIVER_CALL Unlha(uint32_t, const char*, char*, uint32_t);

namespace fs = std::filesystem;

namespace {

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

uint64_t FolderBytes(const fs::path& folder) {
  uint64_t total = 0;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    if (e.is_symlink()) continue;
    if (e.is_regular_file()) total += e.file_size();
  }
  return total;
}

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

// Decodes every member; returns the CPU seconds it took.
double ReadBack(const std::string& archivePath) {
  const double start = ThreadCpuSeconds();
  archive* a = archive_read_new();
  archive_read_support_format_lha(a);
  if (archive_read_open_filename(a, archivePath.c_str(), 1 << 16) != ARCHIVE_OK) return -1;
  archive_entry* e;
  while (archive_read_next_header(a, &e) >= ARCHIVE_WARN) {
    const void* d;
    size_t n;
    la_int64_t off;
    while (archive_read_data_block(a, &d, &n, &off) == ARCHIVE_OK) {
    }
  }
  archive_read_free(a);
  return ThreadCpuSeconds() - start;
}

void Run(const char* label, const char* switches, const fs::path& corpus, const fs::path& out,
         uint64_t inputBytes) {
  const fs::path archivePath = out / (std::string("bench-") + label + ".lzh");
  fs::remove(archivePath);
  const std::string line = std::string("a  -r2 -x1 ") + switches + " \"" + archivePath.string() +
                           "\" \"" + corpus.string() + "\"";
  auto start = std::chrono::steady_clock::now();
  // A child per run, so that its peak memory is its own.
  pid_t pid = fork();
  if (pid == 0) {
    char output[256];
    int r = Unlha(0, line.c_str(), output, sizeof output);
    if (r != 0) std::fprintf(stderr, "%s: %s\n", label, output);
    _exit(r == 0 ? 0 : 1);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const double wall = Seconds(std::chrono::steady_clock::now() - start);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::printf("%-4s failed\n", label);
    return;
  }
  const double verify = ReadBack(archivePath.string());
  const uint64_t packed = fs::file_size(archivePath);
  // CPU time too: on a busy machine wall time says little about the code.
  const double cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                     usage.ru_stime.tv_usec / 1e6;
  const double compress = cpu - verify;
  std::printf(
      "%-4s wall %6.2f s %6.1f MB/s  cpu %6.2f s  ratio %.4f  peak %5.1f MiB  "
      "compression %.2f s %5.1f MB/s, read-back %.2f s, call wall %.2fx of compression\n",
      label, wall, inputBytes / wall / 1e6, cpu, double(packed) / double(inputBytes),
      usage.ru_maxrss / 1024.0, compress, inputBytes / compress / 1e6, verify, wall / compress);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  std::setlocale(LC_ALL, "C.UTF-8");  // names in the corpus are UTF-8
  const fs::path corpus = fs::absolute(argv[1]);
  const fs::path out = fs::absolute(argv[2]);
  fs::create_directories(out);
  const uint64_t bytes = FolderBytes(corpus);
  std::printf("corpus %s: %.1f MB\n", corpus.c_str(), bytes / 1e6);
  Run("lh5", "", corpus, out, bytes);
  Run("lh7", "-o7", corpus, out, bytes);
  return 0;
}
