#include "lha/member_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
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

class InputFile {
 public:
  explicit InputFile(const std::string& path) : path_(path) {
    fd_ = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd_ < 0) Fail();
  }
  ~InputFile() { close(fd_); }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  size_t Read(uint8_t* data, size_t size) {
    for (;;) {
      ssize_t n = read(fd_, data, size);
      if (n >= 0) return static_cast<size_t>(n);
      if (errno != EINTR) Fail();
    }
  }
  void Rewind() {
    if (lseek(fd_, 0, SEEK_SET) != 0) Fail();
  }

 private:
  [[noreturn]] void Fail() {
    throw archlib::Failure("cannot read " + path_ + ": " + std::strerror(errno));
  }
  std::string path_;
  int fd_;
};

void CheckSize(uint64_t size, const std::string& path) {
  if (size > kMaxMemberSize) {
    throw archlib::Failure("file too large for an LHA archive (4 GiB or more): " + path);
  }
}

// Compresses the file after the header; false when storing is better.
bool Compress(InputFile& in, const Method& method, const std::string& path, OutFile& out,
              MemberHeader& h, std::vector<uint8_t>& buffer) {
  Encoder encoder(method, [&](const uint8_t* d, size_t n) { out.Write(d, n); });
  uint16_t crc = 0;
  for (;;) {
    size_t n = in.Read(buffer.data(), buffer.size());
    if (n == 0) break;
    crc = Crc16(crc, buffer.data(), n);
    encoder.Write(buffer.data(), n);
    CheckSize(encoder.InputBytes(), path);
    if (encoder.InputBytes() >= kGiveUpAfter && encoder.OutputBytes() >= encoder.InputBytes()) {
      return false;
    }
  }
  if (encoder.InputBytes() == 0 || !encoder.Finish()) return false;
  if (encoder.OutputBytes() >= encoder.InputBytes()) return false;
  std::memcpy(h.method, method.id, sizeof h.method);
  h.originalSize = encoder.InputBytes();
  h.packedSize = encoder.OutputBytes();
  h.crc = crc;
  return true;
}

void Store(InputFile& in, const std::string& path, OutFile& out, MemberHeader& h,
           std::vector<uint8_t>& buffer) {
  in.Rewind();
  uint16_t crc = 0;
  uint64_t size = 0;
  for (;;) {
    size_t n = in.Read(buffer.data(), buffer.size());
    if (n == 0) break;
    crc = Crc16(crc, buffer.data(), n);
    out.Write(buffer.data(), n);
    size += n;
    CheckSize(size, path);
  }
  std::memcpy(h.method, "-lh0-", sizeof h.method);
  h.originalSize = h.packedSize = size;
  h.crc = crc;
}

}  // namespace

ExpectedMember WriteMember(const archlib::TreeEntry& entry, const Method& method,
                           std::optional<uint32_t> codePage, OutFile& out) {
  MemberHeader h;
  h.path = entry.archivePath;
  h.mtime = entry.info.st_mtime;
  h.mode = entry.info.st_mode;
  h.uid = entry.info.st_uid;
  h.gid = entry.info.st_gid;
  h.codePage = codePage;
  using Kind = archlib::TreeEntry::Kind;
  if (entry.kind != Kind::kFile) {
    h.kind = entry.kind == Kind::kDirectory ? MemberHeader::Kind::kDirectory
                                            : MemberHeader::Kind::kSymlink;
    h.linkTarget = entry.linkTarget;
    std::memcpy(h.method, "-lhd-", sizeof h.method);
    std::vector<uint8_t> header = EncodeHeader(h);
    out.Write(header.data(), header.size());
    return ExpectedMember{0, 0, true};
  }

  InputFile in(entry.diskPath);
  const uint64_t headerAt = out.Offset();
  std::vector<uint8_t> header = EncodeHeader(h);  // sizes filled in below
  out.Write(header.data(), header.size());
  const uint64_t dataAt = out.Offset();
  std::vector<uint8_t> buffer(kReadSize);
  if (!Compress(in, method, entry.diskPath, out, h, buffer)) {
    out.Truncate(dataAt);
    Store(in, entry.diskPath, out, h, buffer);
  }
  std::vector<uint8_t> final = EncodeHeader(h);
  out.Patch(headerAt, final.data(), final.size());
  return ExpectedMember{h.originalSize, h.crc, true};
}

}  // namespace lha
