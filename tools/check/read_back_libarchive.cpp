#include <archive.h>
#include <archive_entry.h>

#include <memory>

#include "archlib/archive_end.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/posix/locale.h"
#include "platform/posix/regular_file.h"
#include "tools/check/read_back.h"

namespace check {

namespace {

// Why the read failed. A 7z archive whose file is shorter than its start
// header says (one cut short) is named as such: libarchive gives no reason
// for it at all.
std::string ErrorOf(archive* reader, const char* step, int fd, const std::string& name) {
  try {
    const std::string end = archlib::SevenZEndProblem(fd, name);
    if (!end.empty()) return end;
  } catch (const platform::Error& e) {
    return platform::ToUtf8(e.what());
  }
  const char* text = archive_error_string(reader);
  return text != nullptr ? text : std::string("libarchive failed ") + step + " without a reason";
}

// libarchive takes an LHA archive that ends right after its last member for
// whole, though the end marker that must follow is missing.
std::string EndProblem(archive* reader, int fd, const std::string& name) {
  if (archive_format(reader) != ARCHIVE_FORMAT_LHA) return "";
  try {
    return archlib::LhaEndProblem(fd, static_cast<uint64_t>(archive_read_header_position(reader)),
                                  name);
  } catch (const platform::Error& e) {
    return platform::ToUtf8(e.what());
  }
}

}  // namespace

bool CanReadBack() {
  return true;
}

ReadBack ReadArchiveBack(const std::string& path) {
  ReadBack result;
  // The archive may be reached through a link; a FIFO or device at its name
  // is refused at once instead of blocking the read.
  std::optional<platform::posix::RegularFile> file;
  try {
    file = platform::posix::RegularFile::OpenIfPresent(platform::ToMultiByte(path),
                                                       platform::posix::Links::kFollow);
  } catch (const platform::Error& e) {
    result.message = platform::ToUtf8(e.what());
    return result;
  }
  if (!file) {
    result.message = "there is no file of that name";
    return result;
  }
  result.found = true;
  // Names are stored in the environment's code page, as the libraries store
  // them; libarchive converts them in this thread's locale.
  const platform::posix::ThreadLocale locale(platform::posix::ThreadLocale::Of::kEnvironment);
  std::unique_ptr<archive, int (*)(archive*)> reader(archive_read_new(), archive_read_free);
  archive_read_support_format_lha(reader.get());
  // A ZIP is read through its central directory, as the archivers' readers
  // read it: one that lost its end is damaged, even where every member
  // before the cut could be read on from the start.
  archive_read_support_format_zip_seekable(reader.get());
  archive_read_support_format_7zip(reader.get());
  const int fd = file->Descriptor();
  const std::string name = file->Path();
  if (archive_read_open_fd(reader.get(), fd, 1 << 16) != ARCHIVE_OK) {
    result.message = ErrorOf(reader.get(), "to open it", fd, name);
    return result;
  }
  std::string member;
  for (;;) {
    archive_entry* entry = nullptr;
    const int header = archive_read_next_header(reader.get(), &entry);
    if (header == ARCHIVE_EOF) break;
    if (header != ARCHIVE_OK && header != ARCHIVE_WARN) {
      result.after = member;
      result.message = ErrorOf(reader.get(), "to read a member's header", fd, name);
      return result;
    }
    const char* name = archive_entry_pathname_utf8(entry);
    if (name == nullptr) name = archive_entry_pathname(entry);
    member = name != nullptr ? platform::ToUtf8(name) : "";
    ++result.members;
    for (;;) {
      const void* block = nullptr;
      size_t size = 0;
      la_int64_t offset = 0;
      const int read = archive_read_data_block(reader.get(), &block, &size, &offset);
      if (read == ARCHIVE_EOF) break;
      // A CRC that does not match the data comes as a warning at its end.
      if (read != ARCHIVE_OK) {
        result.member = member;
        result.message = ErrorOf(reader.get(), "to read a member's data", fd, name);
        return result;
      }
      result.bytes += size;
    }
  }
  result.message = EndProblem(reader.get(), fd, name);
  result.after = result.message.empty() ? "" : member;
  result.whole = result.message.empty();
  return result;
}

}  // namespace check
