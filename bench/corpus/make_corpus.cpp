// Builds the benchmark corpus: the same files, bytes, modes and times on every
// machine, checked by the digest it prints.
//
//   make_corpus FOLDER [PER_MILLE]   build FOLDER (scale in per mille, 1000 =
//                                    about 85 MB); FOLDER.manifest lists it
//   make_corpus --digest FOLDER      the digest of any folder
//
// FOLDER is built as FOLDER.partial and renamed into place when complete, so
// an interrupted build leaves no corpus behind. When FOLDER is there already
// and matches FOLDER.manifest, it is kept; when it differs (changed files,
// another scale, made by another version of this program) it is built again.
// A FOLDER without a manifest is not ours and is left alone: that is an
// error.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

#include "bench/corpus/layout.h"
#include "bench/corpus/manifest.h"
#include "bench/corpus/reference.h"
#include "bench/corpus/tree.h"

namespace fs = std::filesystem;

namespace {

// The header names the generator by the reference digest, which changes with
// every change to what it makes: a corpus an older generator made no longer
// matches and is built again.
std::string Header(uint32_t permille, const std::string& digest) {
  return "# slotbackup benchmark corpus, scale " + std::to_string(permille) + ", generator " +
         std::string(corpus::kReferenceDigest).substr(0, 16) + ", digest " + digest + "\n";
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteAtomically(const fs::path& path, const std::string& text) {
  const fs::path temporary = path.string() + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) throw std::runtime_error("cannot write " + temporary.string());
  }
  fs::rename(temporary, path);
}

std::string Grouped(uint64_t n) {
  std::string digits = std::to_string(n), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

void Describe(const fs::path& folder, const std::string& manifest, uint32_t permille) {
  uint64_t files = 0, folders = 0, bytes = 0;
  std::istringstream lines(manifest);
  std::string type, mode, time, size;
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    fields >> type >> mode >> time >> size;
    if (type == "f") {
      ++files;
      bytes += std::stoull(size);
    } else if (type == "d") {
      ++folders;
    }
  }
  const std::string digest = corpus::Digest(manifest);
  std::printf("corpus %s: %s files, %s folders, %s bytes (%.1f MB), scale %u per mille\n",
              folder.c_str(), Grouped(files).c_str(), Grouped(folders).c_str(),
              Grouped(bytes).c_str(), bytes / 1e6, permille);
  std::printf("digest %s\n", digest.c_str());
  if (permille == 1000) {
    std::printf(digest == corpus::kReferenceDigest
                    ? "this is the reference corpus the README's figures were measured on\n"
                    : "NOT the reference corpus (digest %s): figures are not comparable\n",
                corpus::kReferenceDigest);
  }
}

int Build(const fs::path& folder, uint32_t permille) {
  const fs::path manifestPath = folder.string() + ".manifest";
  if (fs::exists(folder)) {
    if (!fs::exists(manifestPath)) {
      std::fprintf(stderr,
                   "make_corpus: %s exists but is not a corpus (no %s beside it); left alone\n",
                   folder.c_str(), manifestPath.filename().c_str());
      return 1;
    }
    const std::string recorded = ReadFile(manifestPath);
    const std::string manifest = corpus::Manifest(folder);
    if (recorded == Header(permille, corpus::Digest(manifest)) + manifest) {
      Describe(folder, manifest, permille);
      return 0;
    }
    std::printf("corpus %s differs from %s: building it again\n", folder.c_str(),
                manifestPath.filename().c_str());
    fs::remove_all(folder);
  }
  const fs::path partial = folder.string() + ".partial";
  fs::remove_all(partial);
  fs::create_directories(partial);
  corpus::Tree tree(partial);
  corpus::Lay(tree, permille);
  tree.Finish();
  const std::string manifest = corpus::Manifest(partial);
  WriteAtomically(manifestPath, Header(permille, corpus::Digest(manifest)) + manifest);
  fs::rename(partial, folder);
  Describe(folder, manifest, permille);
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: make_corpus FOLDER [PER_MILLE]   (1000: the full corpus, about 85 MB)\n"
               "       make_corpus --digest FOLDER\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 3 && std::string(argv[1]) == "--digest") {
      std::printf("%s\n", corpus::Digest(corpus::Manifest(argv[2])).c_str());
      return 0;
    }
    if (argc < 2 || argc > 3 || argv[1][0] == '-') return Usage();
    char* end = nullptr;
    const unsigned long permille = argc == 3 ? std::strtoul(argv[2], &end, 10) : 1000;
    if ((argc == 3 && *end != '\0') || permille < 1 || permille > 10000) return Usage();
    return Build(fs::absolute(argv[1]).lexically_normal(), uint32_t(permille));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_corpus: %s\n", e.what());
    return 1;
  }
}
