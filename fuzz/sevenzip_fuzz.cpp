// The ZIP reader of lib7-zip32 over arbitrary bytes, as it meets an existing
// archive to update: reading the central directory, finding each entry's
// span and checking every entry must fail cleanly, never crash.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

#include "archlib/entry.h"
#include "sevenzip/byte_io.h"
#include "sevenzip/zip_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = memfd_create("fuzz.zip", MFD_CLOEXEC);
  if (fd < 0) return 0;
  try {
    sevenzip::WriteAll(fd, "fuzz.zip", data, size);
    const auto records = sevenzip::ReadCentralDirectory(fd, "fuzz.zip");
    for (const auto& r : records) sevenzip::EntrySpan(fd, "fuzz.zip", r);
    sevenzip::VerifyEntries(fd, "fuzz.zip", records);
  } catch (const archlib::Failure&) {
  }
  close(fd);
  return 0;
}
