#include "lha/verify.h"

#include <archive.h>
#include <archive_entry.h>
#include <locale.h>

#include <memory>

#include "archlib/entry.h"
#include "lha/crc16.h"

namespace lha {

namespace {

// libarchive converts names from the archive's code page to the calling
// thread's locale and fails a member whose name it cannot convert. Names
// are not what is checked here, so the reading thread uses UTF-8, which
// holds every name.
class Utf8Locale {
 public:
  Utf8Locale() : own_(newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0))) {
    if (own_ != static_cast<locale_t>(0)) previous_ = uselocale(own_);
  }
  ~Utf8Locale() {
    if (own_ == static_cast<locale_t>(0)) return;
    uselocale(previous_);
    freelocale(own_);
  }
  Utf8Locale(const Utf8Locale&) = delete;
  Utf8Locale& operator=(const Utf8Locale&) = delete;

 private:
  locale_t own_;
  locale_t previous_ = static_cast<locale_t>(0);
};

}  // namespace

void VerifyArchive(const std::string& path, const std::vector<ExpectedMember>& expected) {
  // An archive of no members is the end marker alone, which readers do not
  // recognise as a format; there is nothing to decode.
  if (expected.empty()) return;
  Utf8Locale utf8;
  std::unique_ptr<archive, int (*)(archive*)> a(archive_read_new(), archive_read_free);
  if (!a) throw std::bad_alloc();
  archive_read_support_format_lha(a.get());
  auto fail = [&](const std::string& what) -> archlib::Failure {
    const char* reason = archive_error_string(a.get());
    return archlib::Failure("verification of the new archive failed: " + what +
                            (reason ? std::string(": ") + reason : std::string()));
  };
  if (archive_read_open_filename(a.get(), path.c_str(), 1 << 16) != ARCHIVE_OK) {
    throw fail("cannot open it");
  }
  size_t index = 0;
  for (const ExpectedMember& want : expected) {
    ++index;
    const std::string which = "member " + std::to_string(index);
    archive_entry* entry = nullptr;
    int r = archive_read_next_header(a.get(), &entry);
    // A warning here is about converting the name to this process's
    // locale, not about the archive.
    if (r != ARCHIVE_OK && r != ARCHIVE_WARN) throw fail(which + " is unreadable");
    if (!want.decode) {
      if (archive_read_data_skip(a.get()) != ARCHIVE_OK) throw fail(which + " is unreadable");
      continue;
    }
    uint16_t crc = 0;
    uint64_t size = 0;
    for (;;) {
      const void* data;
      size_t n;
      la_int64_t offset;
      r = archive_read_data_block(a.get(), &data, &n, &offset);
      if (r == ARCHIVE_EOF) break;
      if (r != ARCHIVE_OK) throw fail(which + " does not decode");
      if (offset < 0 || static_cast<uint64_t>(offset) != size) throw fail(which + " has a gap");
      crc = Crc16(crc, static_cast<const uint8_t*>(data), n);
      size += n;
    }
    if (size != want.size || crc != want.crc) throw fail(which + " decodes to other data");
  }
  archive_entry* entry = nullptr;
  if (archive_read_next_header(a.get(), &entry) != ARCHIVE_EOF) {
    throw fail("it holds more members than were written");
  }
}

}  // namespace lha
