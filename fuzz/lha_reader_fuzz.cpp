// The LHA archive reader an update relies on (lha::ListMembers) over
// arbitrary bytes, as it meets an existing archive: listing the members
// must fail cleanly or give members that lie inside the file, each of whose
// bytes can be copied; never crash, hang or read outside the file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "archlib/entry.h"
#include "archlib/unsafe_name.h"
#include "lha/archive_reader.h"
#include "platform/open_file.h"
#include "platform/posix/io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = memfd_create("fuzz.lzh", MFD_CLOEXEC);
  if (fd < 0) return 0;
  try {
    platform::posix::WriteAll(fd, "fuzz.lzh", data, size);
    const platform::OpenFile file(fd, "fuzz.lzh");
    for (const lha::StoredMember& m : lha::ListMembers(file, size, "fuzz.lzh")) {
      if (m.offset > size || m.size > size - m.offset) abort();
      uint64_t copied = 0;
      lha::CopyBytes(
          file, m.offset, m.size, [&](const uint8_t*, size_t n) { copied += n; }, "fuzz.lzh");
      if (copied != m.size) abort();
      archlib::IsUnsafeName(m.path);
    }
  } catch (const archlib::Failure&) {
  }
  close(fd);
  return 0;
}
