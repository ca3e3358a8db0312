#include "sevenzip/add_command.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "archlib/command_line.h"
#include "archlib/entry.h"
#include "archlib/temp_file.h"
#include "sevenzip/seven_z.h"
#include "sevenzip/source.h"
#include "sevenzip/zip_reader.h"
#include "sevenzip/zip_writer.h"

namespace sevenzip {

namespace {

bool IsZipName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  if (base.size() < 4) return false;
  std::string extension = base.substr(base.size() - 4);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".zip";
}

// An archive already at path, opened for reading; nothing when there is none.
class Existing {
 public:
  explicit Existing(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (fd_ < 0) {
      if (errno == ENOENT) return;
      throw archlib::Failure("cannot read " + path + ": " + std::strerror(errno));
    }
    struct stat info;
    if (fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
      close(fd_);
      throw archlib::Failure(path + " exists and is not a file");
    }
  }
  ~Existing() {
    if (fd_ >= 0) close(fd_);
  }
  Existing(const Existing&) = delete;
  Existing& operator=(const Existing&) = delete;
  bool Present() const { return fd_ >= 0; }
  int Descriptor() const { return fd_; }

 private:
  int fd_ = -1;
};

size_t WriteZipArchive(const std::string& archive, archlib::TempFile& temp,
                       const std::vector<Source>& sources) {
  Existing existing(archive);
  std::optional<ZipOrigin> origin;
  if (existing.Present()) {
    origin = ZipOrigin{existing.Descriptor(), archive,
                       ReadCentralDirectory(existing.Descriptor(), archive)};
  }
  const std::vector<ZipRecord> written =
      WriteZip(temp.Descriptor(), temp.Path(), sources, origin ? &*origin : nullptr);

  // Read back what is on disk, independently of what the writer remembers.
  const std::vector<ZipRecord> stored = ReadCentralDirectory(temp.Descriptor(), temp.Path());
  if (stored.size() != written.size()) {
    throw archlib::Failure("check of " + archive + " failed: entry count differs");
  }
  for (size_t i = 0; i < stored.size(); ++i) {
    if (stored[i].name != written[i].name || stored[i].crc != written[i].crc ||
        stored[i].size != written[i].size) {
      throw archlib::Failure("check of " + archive + " failed: " + written[i].name);
    }
  }
  VerifyEntries(temp.Descriptor(), temp.Path(), stored);
  return stored.size();
}

size_t WriteSevenZArchive(const std::string& archive, archlib::TempFile& temp,
                          const std::vector<Source>& sources) {
  Existing existing(archive);
  const std::vector<Expected> written =
      WriteSevenZ(temp.Descriptor(), temp.Path(), sources, existing.Present() ? archive : "");
  VerifySevenZ(temp.Path(), written);
  return written.size();
}

}  // namespace

std::string RunAdd(std::string_view commandLine) {
  const std::vector<std::string> tokens = archlib::SplitCommandLine(commandLine);
  if (tokens.empty()) throw archlib::Failure("empty command line");
  if (tokens[0] != "a" && tokens[0] != "A") {
    throw archlib::Failure("unknown command " + tokens[0] + ": only a is supported");
  }
  if (tokens.size() < 3) throw archlib::Failure("usage: a \"<archive>\" \"<target>\" ...");
  const std::string& archive = tokens[1];
  if (archive.empty() || archive.back() == '/') {
    throw archlib::Failure("no archive file name in \"" + archive + "\"");
  }
  const std::vector<std::string> targets(tokens.begin() + 2, tokens.end());

  archlib::TempFile temp(archive);
  struct stat self;
  if (fstat(temp.Descriptor(), &self) != 0) {
    throw archlib::Failure("cannot read " + temp.Path() + ": " + std::strerror(errno));
  }
  const std::vector<Source> sources = GatherSources(targets, self.st_dev, self.st_ino);
  const size_t count = IsZipName(archive) ? WriteZipArchive(archive, temp, sources)
                                          : WriteSevenZArchive(archive, temp, sources);
  temp.Commit();
  return "wrote " + std::to_string(count) + " entries to " + archive;
}

}  // namespace sevenzip
