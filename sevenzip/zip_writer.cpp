#include "sevenzip/zip_writer.h"

#include <zlib.h>

#include <optional>
#include <string_view>
#include <unordered_set>

#include "archlib/entry.h"
#include "archlib/left_out.h"
#include "sevenzip/byte_io.h"
#include "sevenzip/deflate.h"
#include "sevenzip/zip_pipelines.h"
#include "sevenzip/zip_records.h"

namespace sevenzip {

namespace {

constexpr uint32_t k32 = 0xFFFFFFFF;
// A streamed file this large gets ZIP64 sizes in its local header up front.
constexpr uint64_t kZip64StreamThreshold = 0xF0000000;

// Compresses a large file straight into the archive, then fills in the
// CRC and sizes in its local header.
void StreamFile(FileWriter& out, RegularFile& file, ZipRecord& r) {
  const bool zip64 = file.Size() >= kZip64StreamThreshold;
  r.method = kMethodDeflate;
  r.localOffset = out.Offset();
  out.Write(LocalHeader(r, zip64));
  uLong crc = crc32(0, nullptr, 0);
  r.size = r.compressedSize = 0;
  PartPipeline parts(file);
  for (bool last = false; !last;) {
    const PartPipeline::Part part = parts.Take();
    out.Write(
        std::string_view(reinterpret_cast<const char*>(part.packed.data()), part.packed.size()));
    crc = crc32_combine(crc, part.crc, static_cast<z_off_t>(part.size));
    r.size += part.size;
    r.compressedSize += part.packed.size();
    last = part.last;
  }
  r.crc = static_cast<uint32_t>(crc);
  archlib::CheckUnchanged(file.Path(), file.Info(), file.File().Info(), r.size);
  if (!zip64 && (r.size >= k32 || r.compressedSize >= k32)) {
    throw archlib::Failure(file.Path() + " grew while it was being read");
  }
  PatchLocalHeader(out, r, zip64);
}

void CopyEntry(FileWriter& out, const ZipOrigin& origin, ZipRecord r,
               std::vector<ZipRecord>& written) {
  const ZipSpan span = EntrySpan(origin.fd, origin.name, r);
  r.localOffset = out.Offset();
  CopyRange(out, origin.fd, origin.name, span.offset, span.length);
  written.push_back(std::move(r));
}

}  // namespace

std::vector<ZipRecord> WriteZip(int fd, const std::string& name, const std::vector<Source>& sources,
                                const ZipOrigin* origin) {
  FileWriter out(fd, name);
  std::vector<ZipRecord> written;
  if (origin != nullptr) {
    std::unordered_set<std::string> replaced;
    for (const Source& s : sources) replaced.insert(s.archivePath);
    for (const ZipRecord& r : origin->records) {
      if (!replaced.count(r.name)) CopyEntry(out, *origin, r, written);
    }
  }

  PackPipeline pipeline(sources);
  for (size_t i = 0; i < sources.size(); ++i) {
    const Source& s = sources[i];
    ZipRecord r = NewRecord(s);
    if (s.IsFile() && !pipeline.Parallel(i)) {
      std::optional<RegularFile> file;
      try {
        file.emplace(RegularFile::Open(s.entry.diskPath));
      } catch (const archlib::Failure& failure) {
        throw archlib::AsReadFault(s.entry.diskPath, failure);
      }
      StreamFile(out, *file, r);
    } else {
      std::string data;
      Packed p;
      if (s.IsFile()) p = pipeline.Take(i);
      if (p.stream) {
        StreamFile(out, *p.stream, r);
      } else if (s.IsFile()) {
        r.method = p.method;
        r.crc = p.crc;
        r.size = p.size;
        r.compressedSize = p.data.size();
        r.localOffset = out.Offset();
        out.Write(LocalHeader(r, false));
        out.Write(std::string_view(reinterpret_cast<const char*>(p.data.data()), p.data.size()));
      } else {
        // A link keeps its target as its data; a folder has none.
        if (s.IsLink()) data = s.entry.linkTarget;
        r.crc = Crc32(0, data.data(), data.size());
        r.size = r.compressedSize = data.size();
        r.versionNeeded = 10;
        r.localOffset = out.Offset();
        out.Write(LocalHeader(r, false));
        out.Write(data);
      }
    }
    pipeline.Done(i);
    written.push_back(std::move(r));
  }

  std::string directory;
  const uint64_t cdOffset = out.Offset();
  for (const ZipRecord& r : written) AppendCentral(directory, r);
  const uint64_t cdSize = directory.size();
  AppendEnd(directory, written.size(), cdOffset, cdSize);
  out.Write(directory);
  out.Flush();
  return written;
}

}  // namespace sevenzip
