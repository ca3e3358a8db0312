#include "sevenzip/add_command.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <unordered_set>

#include "archlib/command_line.h"
#include "archlib/entry.h"
#include "archlib/left_out.h"
#include "archlib/unsafe_name.h"
#include "platform/archive_format.h"
#include "platform/posix/atomic_file.h"
#include "platform/posix/file_error.h"
#include "platform/posix/regular_file.h"
#include "sevenzip/seven_z.h"
#include "sevenzip/source.h"
#include "sevenzip/zip_reader.h"
#include "sevenzip/zip_writer.h"

namespace sevenzip {

namespace {

// What a command wrote: entries in the new archive, and entries of the old
// one left out for unsafe names.
struct Written {
  size_t entries = 0;
  size_t dropped = 0;
};

// An archive already at the path is opened as a regular file only: a FIFO or
// link planted at the name fails the command at once.
using platform::posix::RegularFile;

Written WriteZipArchive(const std::string& archive, platform::posix::AtomicFile& temp,
                        const std::vector<Source>& sources) {
  const std::optional<RegularFile> existing = RegularFile::OpenIfPresent(archive);
  std::optional<ZipOrigin> origin;
  size_t dropped = 0;
  if (existing) {
    origin = ZipOrigin{existing->Descriptor(), archive,
                       ReadCentralDirectory(existing->Descriptor(), archive)};
    dropped = std::erase_if(origin->records,
                            [](const ZipRecord& r) { return archlib::IsUnsafeName(r.name); });
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
  return {stored.size(), dropped};
}

Written WriteSevenZArchive(const std::string& archive, platform::posix::AtomicFile& temp,
                           const std::vector<Source>& sources) {
  const std::optional<RegularFile> existing = RegularFile::OpenIfPresent(archive);
  SevenZOrigin origin{existing ? existing->Descriptor() : -1, archive};
  const std::vector<Expected> written =
      WriteSevenZ(temp.Descriptor(), temp.Path(), sources, existing ? &origin : nullptr);
  VerifySevenZ(temp.Path(), written);
  return {written.size(), origin.dropped};
}

// Empties the archive being written, to write it again.
void StartOver(platform::posix::AtomicFile& temp) {
  if (ftruncate(temp.Descriptor(), 0) != 0 || lseek(temp.Descriptor(), 0, SEEK_SET) != 0) {
    platform::posix::ThrowFileError("cannot write", temp.Path(), errno);
  }
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

  platform::posix::AtomicFile temp(archive);
  struct stat self;
  if (fstat(temp.Descriptor(), &self) != 0) {
    platform::posix::ThrowFileError("cannot read", temp.Path(), errno);
  }
  archlib::LeftOut leftOut;
  std::vector<Source> sources = GatherSources(targets, self.st_dev, self.st_ino, &leftOut);
  // A file that fails while it is read, or changes, cannot be taken out of
  // what is written already: the archive is written again without it (a
  // changed file is first read once more). An old entry of its name stays.
  std::unordered_set<std::string> readAgain;
  Written written;
  for (;;) {
    try {
      leftOut.ThrowIfNothingRead(static_cast<size_t>(std::count_if(
          sources.begin(), sources.end(), [](const Source& s) { return s.IsFile(); })));
      written = platform::WritesZip(archive) ? WriteZipArchive(archive, temp, sources)
                                             : WriteSevenZArchive(archive, temp, sources);
      break;
    } catch (const archlib::ReadFault& fault) {
      if (fault.Changed() && readAgain.insert(fault.DiskPath()).second) {
        archlib::SettleBeforeReadingAgain();
      } else {
        const size_t before = sources.size();
        std::erase_if(sources,
                      [&](const Source& s) { return s.entry.diskPath == fault.DiskPath(); });
        if (sources.size() == before) throw;  // not a file of ours: nothing to leave out
        leftOut.Add(fault.what());
      }
      StartOver(temp);
    }
  }
  temp.Commit();
  leftOut.Record(archive);
  const std::string done = "wrote " + std::to_string(written.entries) + " entries to " + archive +
                           archlib::DroppedNote(written.dropped);
  leftOut.ThrowIfAny(archive, done);
  return done;
}

}  // namespace sevenzip
