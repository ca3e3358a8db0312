#include "lha/verify.h"

#include <archive.h>
#include <archive_entry.h>

#include <cerrno>
#include <memory>
#include <string>

#include "archlib/entry.h"
#include "lha/crc16.h"
#include "platform/thread_locale.h"

namespace lha {

namespace {

constexpr size_t kReadSize = 1 << 16;

// Thrown inside the reader thread when the writer gave up: not a finding.
struct Stopped {};

}  // namespace

Verifier::Verifier(const platform::OpenFile& file)
    : file_(file), buffer_(kReadSize), reader_([this] { AskToStop(); }) {
  reader_.Start(1, [this](unsigned) {
    try {
      Check();
    } catch (const Stopped&) {
    }
  });
}

void Verifier::AskToStop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
}

void Verifier::Add(const ExpectedMember& member, uint64_t finalBytes) {
  bool wake;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    expected_.push_back(member);
    // The reader waits for bytes or for the next member; most members
    // bring neither it waits for (bytes become final a buffer at a time).
    wake = finalBytes > final_ || waitingForMember_;
    final_ = finalBytes;
  }
  if (wake) changed_.notify_all();
}

void Verifier::Finish(uint64_t size) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    final_ = size;
    complete_ = true;
  }
  changed_.notify_all();
  reader_.Join();
}

long Verifier::Read(const void** data) {
  size_t want;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return stopping_ || complete_ || final_ > offset_; });
    if (stopping_) return -1;
    want = static_cast<size_t>(std::min<uint64_t>(final_ - offset_, buffer_.size()));
  }
  try {
    file_.ReadAt(offset_, buffer_.data(), want);
  } catch (const platform::Error&) {
    return -1;
  }
  offset_ += want;
  *data = buffer_.data();
  return static_cast<long>(want);
}

void Verifier::Check() {
  // An archive of no members is the end marker alone, which readers do not
  // recognise as a format; there is nothing to decode.
  {
    std::unique_lock<std::mutex> lock(mutex_);
    waitingForMember_ = true;
    changed_.wait(lock, [&] { return stopping_ || complete_ || !expected_.empty(); });
    waitingForMember_ = false;
    if (stopping_) throw Stopped{};
    if (expected_.empty()) return;
  }
  // libarchive converts names from the archive's code page to the calling
  // thread's locale and fails a member whose name it cannot convert. Names
  // are not what is checked here, so the reading thread uses UTF-8, which
  // holds every name.
  platform::ThreadLocale utf8(platform::ThreadLocale::Of::kUtf8);
  std::unique_ptr<archive, int (*)(archive*)> a(archive_read_new(), archive_read_free);
  if (!a) throw std::bad_alloc();
  archive_read_support_format_lha(a.get());
  auto fail = [&](const std::string& what) -> archlib::Failure {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) throw Stopped{};
    }
    const char* reason = archive_error_string(a.get());
    return archlib::Failure("verification of the new archive failed: " + what +
                            (reason ? std::string(": ") + reason : std::string()));
  };
  auto read = [](archive* self, void* me, const void** data) -> la_ssize_t {
    long n = static_cast<Verifier*>(me)->Read(data);
    if (n < 0) archive_set_error(self, EIO, "cannot read the new archive");
    return n;
  };
  if (archive_read_open(a.get(), this, nullptr, read, nullptr) != ARCHIVE_OK) {
    throw fail("cannot open it");
  }
  for (size_t index = 0;; ++index) {
    ExpectedMember want;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      waitingForMember_ = true;
      changed_.wait(lock, [&] { return stopping_ || complete_ || expected_.size() > index; });
      waitingForMember_ = false;
      if (stopping_) throw Stopped{};
      if (index == expected_.size()) break;
      want = expected_[index];
    }
    const std::string which = "member " + std::to_string(index + 1);
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
