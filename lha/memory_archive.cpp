#include "lha/memory_archive.h"

#include <archive.h>
#include <archive_entry.h>

#include <cstring>

#include "lha/crc16.h"
#include "lha/encoder.h"
#include "lha/header.h"

namespace lha {

std::vector<uint8_t> CompressToArchive(const std::vector<uint8_t>& data, const Method& method) {
  std::vector<uint8_t> packed;
  Encoder encoder(method,
                  [&](const uint8_t* d, size_t n) { packed.insert(packed.end(), d, d + n); });
  encoder.Begin();
  encoder.Write(data.data(), data.size());
  if (data.empty() || !encoder.Finish()) return {};
  MemberHeader h;
  std::memcpy(h.method, method.id, sizeof h.method);
  h.path = "data";
  h.mode = 0100644;
  h.originalSize = data.size();
  h.packedSize = packed.size();
  h.crc = Crc16(0, data.data(), data.size());
  std::vector<uint8_t> archive = EncodeHeader(h);
  archive.insert(archive.end(), packed.begin(), packed.end());
  archive.push_back(0);
  return archive;
}

bool DecodeWithLibarchive(const std::vector<uint8_t>& archiveBytes, std::vector<uint8_t>& data,
                          std::string& error) {
  data.clear();
  archive* a = archive_read_new();
  archive_read_support_format_lha(a);
  bool ok = archive_read_open_memory(a, archiveBytes.data(), archiveBytes.size()) == ARCHIVE_OK;
  archive_entry* entry = nullptr;
  ok = ok && archive_read_next_header(a, &entry) == ARCHIVE_OK;
  while (ok) {
    const void* block;
    size_t n;
    la_int64_t offset;
    int r = archive_read_data_block(a, &block, &n, &offset);
    if (r == ARCHIVE_EOF) break;
    ok = r == ARCHIVE_OK;
    if (ok)
      data.insert(data.end(), static_cast<const uint8_t*>(block),
                  static_cast<const uint8_t*>(block) + n);
  }
  ok = ok && archive_read_next_header(a, &entry) == ARCHIVE_EOF;
  if (!ok) error = archive_error_string(a) ? archive_error_string(a) : "unknown error";
  archive_read_free(a);
  return ok;
}

}  // namespace lha
