#include "lha/member_writer.h"

#include <cstring>
#include <memory>
#include <vector>

#include "archlib/entry.h"
#include "archlib/left_out.h"
#include "lha/crc16.h"
#include "lha/encoder.h"
#include "lha/header.h"
#include "lha/name_codepage.h"
#include "platform/name_text.h"

namespace lha {

namespace {

constexpr size_t kReadSize = 1 << 18;
// Past this much input, compressed output no smaller than the input so far
// means the data does not compress: it is stored without finishing.
constexpr uint64_t kGiveUpAfter = 1 << 20;

void CheckSize(uint64_t size, const std::string& path) {
  if (size > kMaxMemberSize) {
    throw archlib::Failure("file too large for an LHA archive (4 GiB or more): " + path);
  }
}

}  // namespace

MemberHeader HeaderOf(const archlib::TreeEntry& entry, std::optional<uint32_t> codePage) {
  MemberHeader h;
  platform::ArchiveName name = platform::NameForArchive(entry.archivePath);
  h.path = std::move(name.bytes);
  h.mtime = entry.info.modifiedSeconds;
  h.mode = entry.info.mode;
  h.uid = entry.info.uid;
  h.gid = entry.info.gid;
  using Kind = archlib::TreeEntry::Kind;
  if (entry.kind != Kind::kFile) {
    h.kind = entry.kind == Kind::kDirectory ? MemberHeader::Kind::kDirectory
                                            : MemberHeader::Kind::kSymlink;
    h.linkTarget = entry.linkTarget;
    std::memcpy(h.method, "-lhd-", sizeof h.method);
  }
  h.codePage = name.inSystemCodePage ? CodePageOfName(StoredName(h), codePage) : 65001;
  return h;
}

MemberPacker::MemberPacker(const Method& method)
    : method_(method),
      encoder_(method, [this](const uint8_t* d, size_t n) { sink_->Write(d, n); }),
      buffer_(kReadSize) {}

void PackedData::ApplyTo(MemberHeader& header) const {
  std::memcpy(header.method, method, sizeof header.method);
  header.originalSize = originalSize;
  header.packedSize = packedSize;
  header.crc = crc;
}

// Compresses the file; false when storing is better. `packed` holds the
// file's size and CRC either way, and `whole` says whether all of its bytes
// are still in buffer_ (read at one go), so that storing need not read
// them again.
bool MemberPacker::Compress(InputFile& in, const std::string& path, PackedData& packed,
                            bool& whole) {
  encoder_.Begin();
  uint16_t crc = 0;
  int reads = 0;
  whole = false;
  for (;;) {
    size_t n = in.Read(buffer_.data(), buffer_.size());
    if (n == 0) break;
    ++reads;
    crc = Crc16(crc, buffer_.data(), n);
    encoder_.Write(buffer_.data(), n);
    CheckSize(encoder_.InputBytes(), path);
    if (encoder_.InputBytes() >= kGiveUpAfter && encoder_.OutputBytes() >= encoder_.InputBytes()) {
      return false;
    }
  }
  whole = reads <= 1;
  packed.originalSize = packed.packedSize = encoder_.InputBytes();
  packed.crc = crc;
  if (encoder_.InputBytes() == 0 || !encoder_.Finish()) return false;
  if (encoder_.OutputBytes() >= encoder_.InputBytes()) return false;
  std::memcpy(packed.method, method_.id, sizeof packed.method);
  packed.packedSize = encoder_.OutputBytes();
  return true;
}

PackedData MemberPacker::Store(InputFile& in, const std::string& path) {
  in.Rewind();
  uint16_t crc = 0;
  uint64_t size = 0;
  for (;;) {
    size_t n = in.Read(buffer_.data(), buffer_.size());
    if (n == 0) break;
    crc = Crc16(crc, buffer_.data(), n);
    sink_->Write(buffer_.data(), n);
    size += n;
    CheckSize(size, path);
  }
  PackedData packed;  // stored: "-lh0-"
  packed.originalSize = packed.packedSize = size;
  packed.crc = crc;
  return packed;
}

PackedData MemberPacker::PackOnce(const std::string& path) {
  InputFile in = InputFile::Open(path);
  // Refused before anything is read: no time spent on a file it cannot hold.
  if (in.Size() > kMaxMemberSize) {
    throw archlib::ReadFault(path, "file too large for an LHA archive (4 GiB or more): " + path,
                             false);
  }
  PackedData packed;
  bool whole;
  if (!Compress(in, path, packed, whole)) {
    sink_->Restart();
    if (!whole) {
      packed = Store(in, path);
    } else if (packed.originalSize != 0) {
      sink_->Write(buffer_.data(), packed.originalSize);  // stored: "-lh0-"
    }
  }
  archlib::CheckUnchanged(path, in.Info(), in.File().Info(), packed.originalSize);
  return packed;
}

PackedData MemberPacker::Pack(const std::string& path, DataSink& sink) {
  sink_ = &sink;
  try {
    try {
      return PackOnce(path);
    } catch (const archlib::ReadFault& fault) {
      if (!fault.Changed()) throw;
    }
    sink.Restart();
    archlib::SettleBeforeReadingAgain();
    return PackOnce(path);
  } catch (const archlib::Failure& failure) {
    throw archlib::AsReadFault(path, failure);
  }
}

}  // namespace lha
