#include "lha/member_writer.h"

#include <cstring>
#include <memory>
#include <vector>

#include "archlib/entry.h"
#include "lha/crc16.h"
#include "lha/encoder.h"
#include "lha/header.h"

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

MemberWriter::MemberWriter(const Method& method, std::optional<uint32_t> codePage, OutFile& out)
    : method_(method),
      codePage_(codePage),
      out_(out),
      encoder_(method, [this](const uint8_t* d, size_t n) { out_.Write(d, n); }),
      buffer_(kReadSize) {}

// Compresses the file after the header; false when storing is better.
bool MemberWriter::Compress(InputFile& in, const std::string& path, MemberHeader& h) {
  encoder_.Begin();
  uint16_t crc = 0;
  for (;;) {
    size_t n = in.Read(buffer_.data(), buffer_.size());
    if (n == 0) break;
    crc = Crc16(crc, buffer_.data(), n);
    encoder_.Write(buffer_.data(), n);
    CheckSize(encoder_.InputBytes(), path);
    if (encoder_.InputBytes() >= kGiveUpAfter && encoder_.OutputBytes() >= encoder_.InputBytes()) {
      return false;
    }
  }
  if (encoder_.InputBytes() == 0 || !encoder_.Finish()) return false;
  if (encoder_.OutputBytes() >= encoder_.InputBytes()) return false;
  std::memcpy(h.method, method_.id, sizeof h.method);
  h.originalSize = encoder_.InputBytes();
  h.packedSize = encoder_.OutputBytes();
  h.crc = crc;
  return true;
}

void MemberWriter::Store(InputFile& in, const std::string& path, MemberHeader& h) {
  in.Rewind();
  uint16_t crc = 0;
  uint64_t size = 0;
  for (;;) {
    size_t n = in.Read(buffer_.data(), buffer_.size());
    if (n == 0) break;
    crc = Crc16(crc, buffer_.data(), n);
    out_.Write(buffer_.data(), n);
    size += n;
    CheckSize(size, path);
  }
  std::memcpy(h.method, "-lh0-", sizeof h.method);
  h.originalSize = h.packedSize = size;
  h.crc = crc;
}

ExpectedMember MemberWriter::Write(const archlib::TreeEntry& entry) {
  MemberHeader h;
  h.path = entry.archivePath;
  h.mtime = entry.info.st_mtime;
  h.mode = entry.info.st_mode;
  h.uid = entry.info.st_uid;
  h.gid = entry.info.st_gid;
  h.codePage = codePage_;
  using Kind = archlib::TreeEntry::Kind;
  if (entry.kind != Kind::kFile) {
    h.kind = entry.kind == Kind::kDirectory ? MemberHeader::Kind::kDirectory
                                            : MemberHeader::Kind::kSymlink;
    h.linkTarget = entry.linkTarget;
    std::memcpy(h.method, "-lhd-", sizeof h.method);
    std::vector<uint8_t> header = EncodeHeader(h);
    out_.Write(header.data(), header.size());
    return ExpectedMember{0, 0, true};
  }

  InputFile in = InputFile::Open(entry.diskPath);
  const uint64_t headerAt = out_.Offset();
  std::vector<uint8_t> header = EncodeHeader(h);  // sizes filled in below
  out_.Write(header.data(), header.size());
  const uint64_t dataAt = out_.Offset();
  if (!Compress(in, entry.diskPath, h)) {
    out_.Truncate(dataAt);
    Store(in, entry.diskPath, h);
  }
  std::vector<uint8_t> final = EncodeHeader(h);
  out_.Patch(headerAt, final.data(), final.size());
  return ExpectedMember{h.originalSize, h.crc, true};
}

}  // namespace lha
