// What the Windows file layer beneath the archiver DLLs adds over its POSIX
// twin: devices, pipes and reparse points refused with their kind named, a
// file another program holds without sharing refused with the system's
// reason, an atomic replace that a failing disk or a refused move leaves
// undone, and names the ANSI code page lacks kept whole, messages in it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/file_info.h"
#include "platform/folder_names.h"
#include "platform/input_file.h"
#include "platform/name_text.h"
#include "platform/thread_locale.h"
#include "platform/win32/fault_injection.h"
#include "testing/support.h"

namespace {

namespace fs = std::filesystem;
using platform::win32::FaultInjector;
using test_support::FailureOf;
using test_support::PathOf;
using test_support::ReadBytes;
using test_support::Utf8Of;
using test_support::WriteBytes;

// The system's reason for error as the layer's messages give it: in the
// ANSI code page.
std::string Reason(DWORD error) {
  return platform::ToMultiByte(platform::SystemErrorText(static_cast<int>(error)));
}

TEST(Win32FileLayer, DevicesAndPipesAreRefusedByKindAndNeverRead) {
  EXPECT_EQ(FailureOf([] { platform::InputFile::Open("NUL"); }),
            "cannot read NUL: it is a device, not a regular file");
  const std::wstring pipe =
      L"\\\\.\\pipe\\slotbackup-layer-" + std::to_wstring(GetCurrentProcessId());
  const HANDLE server =
      CreateNamedPipeW(pipe.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  const std::string name = Utf8Of(fs::path(pipe));
  EXPECT_EQ(FailureOf([&] { platform::InputFile::Open(name); }),
            "cannot read " + name + ": it is a FIFO, not a regular file");
  CloseHandle(server);
}

TEST(Win32FileLayer, AReparsePointIsSeenAsItselfAndOpenedOnlyWhenFollowed) {
  test_support::ScratchFolder scratch;
  WriteBytes(scratch.path() / "target.txt", "target");
  const fs::path link = scratch.path() / "link.txt";
  constexpr DWORD kUnprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
  // Wine has no reparse points: there the call does nothing, or makes a
  // link of the host's, which Windows programs see through.
  if (!CreateSymbolicLinkW(link.c_str(), (scratch.path() / "target.txt").c_str(), kUnprivileged) ||
      !(GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) ||
      GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "no reparse points here";
  }
  const std::string path = Utf8Of(link);
  EXPECT_EQ(platform::Inspect(path, platform::Links::kNotFollowed).kind,
            platform::FileKind::kReparsePoint);
  EXPECT_EQ(
      FailureOf([&] { platform::InputFile::Open(path); }),
      "cannot read " + path + ": it is a reparse point (a link or junction), not a regular file");
  EXPECT_EQ(platform::InputFile::Open(path, platform::Links::kFollowed).Size(), 6u);
}

TEST(Win32FileLayer, AFileHeldWithoutSharingIsRefusedWithTheSystemsReason) {
  test_support::ScratchFolder scratch;
  const fs::path file = scratch.path() / "held.xlsx";
  WriteBytes(file, "held by another program");
  const HANDLE held = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const std::string path = Utf8Of(file);
  EXPECT_EQ(FailureOf([&] { platform::InputFile::Open(path); }),
            "cannot read " + path + ": " + Reason(ERROR_SHARING_VIOLATION));
  // Its size and identity are still there to see.
  EXPECT_EQ(platform::Inspect(path, platform::Links::kNotFollowed).size, 23u);
  CloseHandle(held);
  EXPECT_EQ(platform::InputFile::Open(path).Size(), 23u);
}

// A write, flush or move failing at each point of an atomic replace: the
// old archive stays whole and no temporary file is left.
TEST(Win32FileLayer, AFailedWriteFlushOrMoveLeavesTheOldFileWholeAndNoTemporaryFile) {
  test_support::ScratchFolder scratch;
  const fs::path archive = scratch.path() / "backup.lzh";
  const std::string old = "old archive", replacement(300000, 'n');
  struct Fault {
    const char* what;
    void (*plan)(FaultInjector&);
    std::string message;
  };
  const std::string path = Utf8Of(archive);
  const std::vector<Fault> faults = {
      {"a full disk at the first write",
       [](FaultInjector& f) { f.FailWrite(1, 0, ERROR_DISK_FULL); },
       "cannot write " + Utf8Of(scratch.path()) + "\\"},
      {"a write cut short", [](FaultInjector& f) { f.FailWrite(1, 4096, ERROR_WRITE_FAULT); },
       "cannot write " + Utf8Of(scratch.path()) + "\\"},
      {"a failed flush", [](FaultInjector& f) { f.FailFlush(1, ERROR_WRITE_FAULT); },
       "cannot write " + path + ": " + Reason(ERROR_WRITE_FAULT)},
      {"a refused move", [](FaultInjector& f) { f.FailMove(1, ERROR_ACCESS_DENIED); },
       "cannot replace " + path + ": " + Reason(ERROR_ACCESS_DENIED)},
  };
  for (const Fault& fault : faults) {
    WriteBytes(archive, old);
    FaultInjector injector;
    fault.plan(injector);
    const std::string failure = FailureOf([&] {
      platform::AtomicFile file(path);
      file.File().WriteAt(0, replacement.data(), replacement.size());
      file.Commit();
    });
    EXPECT_EQ(failure.substr(0, fault.message.size()), fault.message) << fault.what;
    EXPECT_EQ(ReadBytes(archive), old) << fault.what;
    EXPECT_EQ(test_support::Names(scratch.path()), std::vector<std::string>{"backup.lzh"})
        << fault.what;
  }
  FaultInjector injector;
  platform::AtomicFile file(path);
  file.File().WriteAt(0, replacement.data(), replacement.size());
  file.Commit();
  EXPECT_EQ(ReadBytes(archive), replacement);
  const FaultInjector::Counts seen = injector.Seen();
  EXPECT_EQ(seen.flushes, 1u);
  EXPECT_EQ(seen.moves, 1u);
  EXPECT_EQ(seen.bytes, replacement.size());
}

// Code page 932: 表 95 5C, ソ 83 5C, 能 94 5C, ポ 83 7C.
TEST(Win32FileLayer, NamesTheAnsiCodePageLacksAreKeptWholeAndShownWithoutBestFit) {
  if (GetACP() != 932) GTEST_SKIP() << "needs ANSI code page 932";
  test_support::ScratchFolder scratch;
  const std::string folder = Utf8Of(scratch.path());
  for (const char* name : {"表ソ能ポ.txt", "写真😀.jpg", "a¥b.txt"}) {
    WriteBytes(PathOf(platform::JoinPath(folder, name)), "photo");
    EXPECT_EQ(platform::InputFile::Open(platform::JoinPath(folder, name)).Size(), 5u) << name;
  }

  const platform::ArchiveName japanese = platform::NameForArchive("ソ能/表ソ能ポ.txt");
  EXPECT_EQ(japanese.bytes, "\x83\x5C\x94\x5C/\x95\x5C\x83\x5C\x94\x5C\x83\x7C.txt");
  EXPECT_TRUE(japanese.inSystemCodePage);
  for (const char* lacking : {"写真😀.jpg", "a¥b.txt", "한국.txt"}) {
    const platform::ArchiveName name = platform::NameForArchive(lacking);
    EXPECT_EQ(name.bytes, lacking) << "stored in UTF-8, not as '?' or a look-alike";
    EXPECT_FALSE(name.inSystemCodePage) << lacking;
  }
  EXPECT_EQ(platform::PathFromCommandLine("C:\\\x95\x5C\\\x83\x7C"), "C:\\表\\ポ");
  // One '?' for each UTF-16 unit: the emoji is two.
  EXPECT_EQ(platform::ShownPath("a¥b\\写真😀"), "a?b\\\x8E\xCA\x90\x5E??");

  const std::string missing = platform::JoinPath(folder, "表😀.txt");
  EXPECT_EQ(FailureOf([&] { platform::InputFile::Open(missing); }),
            "cannot read " + platform::ShownPath(missing) + ": " + Reason(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(platform::SystemCodePage(), 932u);
  EXPECT_TRUE(platform::IsTextInCodePage("\x95\x5C", 932));
  EXPECT_FALSE(platform::IsTextInCodePage("\x85\x40", 932));
}

// libarchive and the C library convert names in the thread's locale.
TEST(Win32FileLayer, AThreadLocaleConvertsNamesInTheAnsiCodePage) {
  if (GetACP() != 932) GTEST_SKIP() << "needs ANSI code page 932";
  const platform::ThreadLocale locale(platform::ThreadLocale::Of::kEnvironment);
  wchar_t c = 0;
  std::mbstate_t state{};
  EXPECT_EQ(std::mbrtowc(&c, "\x95\x5C", 2, &state), 2u);
  EXPECT_EQ(c, L'表');
}

}  // namespace
