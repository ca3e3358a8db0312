// slotbackup.exe under Windows (Wine in CI), installed as a user installs it:
// a folder of its own holding slotbackup.ini and the archiver DLLs, started
// the way Task Scheduler starts it, from another working folder. The fake
// archiver DLL stands in for Unlha32.dll and 7-zip32.dll: it appends each
// command line it gets to FAKE_ARCHIVER_LOG and returns FAKE_ARCHIVER_RESULT.
// Where a case needs what a real archiver does, our own Unlha32.dll is
// installed (its archives are read back on the host by
// lha_read_back_test.sh).
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <regex>

#include "platform/codepage.h"
#include "platform/file_lock.h"
#include "platform/library.h"
#include "run/program_files.h"
#include "settings/ini_file.h"
#include "testing/support.h"

namespace fs = std::filesystem;

namespace {

using test_support::PathOf;
using test_support::ReadBytes;
using test_support::SectionLines;
using test_support::Utf8Of;
using test_support::WriteBytes;

class Installation : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(program_);
    fs::create_directories(save_);
    fs::copy_file(PathOf(SLOTBACKUP_PROGRAM), program_ / "slotbackup.exe");
  }
  // The marks taken off, so that the scratch folder can be removed.
  void TearDown() override {
    for (const auto& entry : fs::recursive_directory_iterator(root_)) {
      SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
  }

  void InstallFakeArchivers() {
    for (const char* name : {"Unlha32.dll", "7-zip32.dll"}) {
      fs::copy_file(PathOf(FAKE_ARCHIVER), program_ / name);
    }
  }

  // A target folder with a Japanese name holding one file.
  fs::path Target(const std::string& name) {
    const fs::path folder = root_ / PathOf("データ") / PathOf(name);
    WriteBytes(folder / PathOf("報告書.txt"), "2024");
    return folder;
  }

  // Writes one key through the settings object, so the file is in the ANSI
  // code page as Windows programs write it.
  void Set(const std::string& section, const std::string& key, const std::string& value) {
    clsIniFile ini;
    ini.FileName(Utf8Of(program_ / "slotbackup.ini"));
    ini.Section(section);
    ASSERT_TRUE(ini.SetString(key, value));
  }
  void SaveSection(const std::string& type) {
    Set("BackUP_Save", "SavePath", Utf8Of(save_));
    Set("BackUP_Save", "ArchiveType", type);
  }
  void Slot(const std::string& key, const fs::path& target, const std::string& name,
            const std::string& constantName = "") {
    Set("BackUP_Target", key, Utf8Of(target));
    Set("BackUP_Name", key, name);
    if (!constantName.empty()) Set("BackUP_ConstantName", key, constantName);
  }

  // Starts slotbackup.exe from the system folder, as Task Scheduler does.
  HANDLE Start(int fakeResult = 0) {
    SetEnvironmentVariableW(L"FAKE_ARCHIVER_LOG", (root_ / "calls.log").c_str());
    SetEnvironmentVariableW(L"FAKE_ARCHIVER_RESULT", std::to_wstring(fakeResult).c_str());
    std::wstring commandLine = L"\"" + (program_ / "slotbackup.exe").wstring() + L"\"";
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, system,
                        &startup, &process)) {
      ADD_FAILURE() << "cannot start slotbackup.exe: " << GetLastError();
      return nullptr;
    }
    CloseHandle(process.hThread);
    return process.hProcess;
  }

  // Waits for a run started by Start() and returns its exit status.
  DWORD Wait(HANDLE process) {
    if (process == nullptr) return 0xFFFFFFFF;
    DWORD status = 0xFFFFFFFF;
    if (WaitForSingleObject(process, 60000) == WAIT_OBJECT_0) {
      GetExitCodeProcess(process, &status);
    } else {
      ADD_FAILURE() << "slotbackup.exe did not end within a minute";
      TerminateProcess(process, 1);
    }
    CloseHandle(process);
    return status;
  }

  DWORD Run(int fakeResult = 0) { return Wait(Start(fakeResult)); }

  // The command lines the archiver got, each converted from the ANSI code
  // page back to UTF-8.
  std::vector<std::string> Calls() const {
    std::vector<std::string> lines;
    std::ifstream in(root_ / "calls.log", std::ios::binary);
    for (std::string line; std::getline(in, line);) lines.push_back(platform::ToUtf8(line));
    return lines;
  }

  test_support::ScratchFolder root_;
  fs::path program_ = root_ / "program", save_ = root_ / "save folder";
};

TEST_F(Installation, TheArchiverDllsBesideTheProgramGetBackslashedCommandLines) {
  InstallFakeArchivers();
  const fs::path a = Target("仕事 a"), b = Target("b");
  SaveSection("zip");
  Slot("0002", a, "仕事_%D.zip");
  Slot("0005", b, "b.zip");
  ASSERT_EQ(Run(), 0u) << ReadBytes(program_ / "slotbackup.log");
  const auto calls = Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_TRUE(std::regex_match(calls[0], std::regex("a \"(.*)\\\\仕事_\\d{14}\\.zip\" \"(.*)\"")))
      << calls[0];
  EXPECT_EQ(calls[0].substr(calls[0].rfind(" \"")), " \"" + Utf8Of(a) + "\"");
  EXPECT_EQ(calls[1], "a \"" + Utf8Of(save_) + "\\b.zip\" \"" + Utf8Of(b) + "\"");

  SaveSection("Lha");
  std::filesystem::remove(root_ / "calls.log");
  ASSERT_EQ(Run(), 0u);
  ASSERT_EQ(Calls().size(), 2u);
  EXPECT_EQ(Calls()[1], "a  -r2 -x1 \"" + Utf8Of(save_) + "\\b.zip\" \"" + Utf8Of(b) + "\"");
}

TEST_F(Installation, AFixedNameCopyIsRefreshedAndAHiddenFolderKeepsItsAttributes) {
  InstallFakeArchivers();
  const fs::path t = Target("t");
  SetFileAttributesW(t.c_str(), FILE_ATTRIBUTE_HIDDEN);
  WriteBytes(save_ / "same.zip", "archive of this run");
  WriteBytes(save_ / "latest.zip", "older copy");
  SaveSection("ZIP");
  Slot("0001", t, "same.zip", "latest.zip");
  ASSERT_EQ(Run(), 0u) << ReadBytes(program_ / "slotbackup.log");
  EXPECT_EQ(ReadBytes(save_ / "latest.zip"), "archive of this run");
  EXPECT_EQ(GetFileAttributesW(t.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY),
            static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_FALSE(fs::exists(program_ / "slotbackup.log"));
}

TEST_F(Installation, AFailedArchiverRunIsRecordedUnderTheSystemsDateTime) {
  InstallFakeArchivers();
  const fs::path t = Target("t");
  WriteBytes(save_ / "latest.zip", "previous copy");
  SaveSection("LHA");
  Slot("0001", t, "t.lzh", "latest.zip");
  EXPECT_EQ(Run(1), 2u);
  const auto entries = SectionLines(program_ / "slotbackup.ini", "Error_LOG");
  ASSERT_EQ(entries.size(), 1u);
  const std::string key = entries[0].substr(0, entries[0].find('='));
  // The Japanese short date and long time.
  if (GetACP() == 932) {
    EXPECT_TRUE(
        std::regex_match(key, std::regex("\\d{4}/\\d\\d?/\\d\\d?( \\d\\d?:\\d\\d:\\d\\d)?")))
        << key;
  }
  EXPECT_EQ(entries[0].substr(entries[0].find('=') + 1), Utf8Of(t));
  EXPECT_EQ(ReadBytes(save_ / "latest.zip"), "previous copy");
  // The archiver's message is logged beside it, under the same key.
  EXPECT_EQ(SectionLines(program_ / "slotbackup.log", AppModule::kArchiverMessageSection),
            std::vector<std::string>{key + "=Target:" + Utf8Of(t) + "\tMessage:fake archiver"});
}

TEST_F(Installation, AMissingTargetOrDllEndsTheRunWithOneErrorLogEntry) {
  const fs::path t = Target("t");
  SaveSection("LHA");
  Slot("0001", t, "t.lzh");
  EXPECT_EQ(Run(), 1u);
  auto log = SectionLines(program_ / "slotbackup.log", "ErrorDescription");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("=ModuleName:Main\tObjectName:AppModule\tErrorInfo:"), std::string::npos);
  EXPECT_NE(log[0].find("Unlha32.dll"), std::string::npos) << log[0];

  InstallFakeArchivers();
  const fs::path absent = root_ / "absent";
  Slot("0000", absent, "a.lzh");
  fs::remove(program_ / "slotbackup.log");
  EXPECT_EQ(Run(), 1u);
  EXPECT_TRUE(Calls().empty());
  log = SectionLines(program_ / "slotbackup.log", "ErrorDescription");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("ErrorInfo:Path not found: " + Utf8Of(absent)), std::string::npos)
      << log[0];
}

TEST_F(Installation, AMissingSettingsFileEndsTheRunWithAnEntryNamingIt) {
  InstallFakeArchivers();
  EXPECT_EQ(Run(), 1u);
  const auto log = SectionLines(program_ / "slotbackup.log", "ErrorDescription");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("ErrorInfo:Cannot read " + Utf8Of(program_ / "slotbackup.ini") + ": "),
            std::string::npos)
      << log[0];
}

TEST_F(Installation, ARunWaitsWhileAnotherHoldsTheRunLock) {
  InstallFakeArchivers();
  const fs::path t = Target("t");
  SaveSection("ZIP");
  Slot("0000", t, "t.zip");
  auto holder = std::make_unique<platform::FileLock>(Utf8Of(program_ / "slotbackup.lock"));
  ASSERT_TRUE(holder->Acquire(std::chrono::milliseconds(0)));
  HANDLE run = Start();
  EXPECT_EQ(WaitForSingleObject(run, 500), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(Calls().empty());
  holder.reset();
  EXPECT_EQ(Wait(run), 0u) << ReadBytes(program_ / "slotbackup.log");
  EXPECT_EQ(Calls().size(), 1u);
}

// The common failure on Windows: a file another program holds open without
// sharing (an open workbook). It is left out with the system's reason, the
// rest of the folder is archived, the slot counts as failed, and the folder
// gets its attributes back.
TEST_F(Installation, AFileHeldWithoutSharingIsLeftOutNamedAndTheRestArchived) {
  fs::copy_file(PathOf(UNLHA32_DLL), program_ / "Unlha32.dll");
  const fs::path t = Target("t");
  WriteBytes(t / PathOf("表.txt"), "readable");
  ASSERT_TRUE(SetFileAttributesW(t.c_str(), FILE_ATTRIBUTE_HIDDEN));
  const fs::path held = t / PathOf("報告書.txt");
  const HANDLE holder = CreateFileW(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  SaveSection("LHA");
  Slot("0000", t, "t.lzh");
  const DWORD status = Run();
  CloseHandle(holder);
  EXPECT_EQ(status, 2u) << ReadBytes(program_ / "slotbackup.log");
  const auto messages =
      SectionLines(program_ / "slotbackup.log", AppModule::kArchiverMessageSection);
  ASSERT_EQ(messages.size(), 1u);
  wchar_t reason[512] = {};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 ERROR_SHARING_VIOLATION, 0, reason, 512, nullptr);
  std::wstring text = reason;
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
  EXPECT_NE(messages[0].find("cannot read " + Utf8Of(held) + ": " + Utf8Of(fs::path(text))),
            std::string::npos)
      << messages[0];
  const std::string archive = ReadBytes(save_ / "t.lzh");
  EXPECT_NE(archive.find(platform::ToMultiByteExactly("表.txt")), std::string::npos);
  EXPECT_EQ(archive.find(platform::ToMultiByteExactly("報告書.txt")), std::string::npos);
  // The list of what the archive lacks, in the ANSI code page as messages are.
  EXPECT_NE(ReadBytes(save_ / "t.lzh.missing.txt").find(platform::ToMultiByteExactly(Utf8Of(held))),
            std::string::npos);
  EXPECT_EQ(GetFileAttributesW(t.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY),
            static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY));
}

// Task Scheduler ends a task with TerminateProcess, which nothing can
// intercept: what such a run leaves, the next one restores.
TEST_F(Installation, WhatATerminatedRunLeftIsRestoredAndRemovedByTheNext) {
  InstallFakeArchivers();
  const fs::path t = Target("t");
  SaveSection("ZIP");
  ASSERT_TRUE(SetFileAttributesW(t.c_str(), FILE_ATTRIBUTE_NORMAL));  // as cleared
  const int word = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN;
  clsIniFile records;
  records.FileName(Utf8Of(program_ / "slotbackup.recovery"));
  records.Section(AppModule::kClearedFolderSection);
  ASSERT_TRUE(records.SetString("0004", std::to_string(word) + " " + Utf8Of(t)));
  // Windows process ids are multiples of 4: no process ever has this one.
  const std::string abandoned = ".slotbackup-4294967291-0123456789abcdef.tmp";
  WriteBytes(save_ / abandoned, "left by a killed run");
  WriteBytes(save_ / (abandoned + ".bak"), "a user's file");
  fs::create_directories(save_ / ".slotbackup-4294967287-0123456789abcdef.tmp");

  ASSERT_EQ(Run(), 0u) << ReadBytes(program_ / "slotbackup.log");
  EXPECT_EQ(GetFileAttributesW(t.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY),
            static_cast<DWORD>(word));
  EXPECT_TRUE(
      SectionLines(program_ / "slotbackup.recovery", AppModule::kClearedFolderSection).empty());
  EXPECT_FALSE(fs::exists(save_ / abandoned));
  EXPECT_TRUE(fs::exists(save_ / (abandoned + ".bak")));
  EXPECT_TRUE(fs::is_directory(save_ / ".slotbackup-4294967287-0123456789abcdef.tmp"));
  const auto recovery = SectionLines(program_ / "slotbackup.log", AppModule::kRecoverySection);
  ASSERT_EQ(recovery.size(), 2u);
  EXPECT_NE(recovery[0].find("=Restored:" + Utf8Of(t) + "\tAttributes:" + std::to_string(word)),
            std::string::npos)
      << recovery[0];
  EXPECT_NE(
      recovery[1].find("=RemovedTemporaryFile:" + Utf8Of(save_) + "\\" + abandoned + "\tBytes:20"),
      std::string::npos)
      << recovery[1];
}

// The same with our Unlha32.dll, ended while it writes its temporary file.
TEST_F(Installation, ARunEndedWhileOurDllWritesIsRecoveredByTheNext) {
  fs::copy_file(PathOf(UNLHA32_DLL), program_ / "Unlha32.dll");
  const fs::path t = Target("t");
  std::mt19937 random(7);
  for (int i = 0; i < 40; ++i) {
    WriteBytes(t / ("part " + std::to_string(i) + ".txt"), test_support::Words(random, 1 << 20));
  }
  ASSERT_TRUE(SetFileAttributesW(t.c_str(), FILE_ATTRIBUTE_HIDDEN));
  SaveSection("LHA");
  Slot("0000", t, "t.lzh");
  const auto temporaryFiles = [&] {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(save_)) {
      count += entry.path().extension() == ".tmp" ? 1 : 0;
    }
    return count;
  };
  HANDLE run = Start();
  ASSERT_NE(run, nullptr);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (temporaryFiles() == 0 && std::chrono::steady_clock::now() < until &&
         WaitForSingleObject(run, 10) == WAIT_TIMEOUT) {
  }
  const bool writing = temporaryFiles() > 0;
  TerminateProcess(run, 1);
  WaitForSingleObject(run, INFINITE);
  CloseHandle(run);
  ASSERT_TRUE(writing) << "the run ended before its archive was begun";

  ASSERT_EQ(Run(), 0u) << ReadBytes(program_ / "slotbackup.log");
  EXPECT_EQ(temporaryFiles(), 0);
  EXPECT_TRUE(fs::exists(save_ / "t.lzh"));
  EXPECT_EQ(GetFileAttributesW(t.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY),
            static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY));
}

// Paths cross into the archiver DLL in the ANSI code page. Under code page
// 932, ¥ (U+00A5) would best fit to 0x5C, the path separator, and a Korean
// or emoji character to '?': a UTF-16 settings file naming such folders
// fails those slots with the reason, and nothing is archived in their place.
TEST_F(Installation, APathTheAnsiCodePageCannotHoldFailsItsSlotAndNamesIt) {
  if (GetACP() != 932) GTEST_SKIP() << "needs ANSI code page 932";
  InstallFakeArchivers();
  const fs::path yen = Target("a¥b"), korean = Target("한국"), plain = Target("ok");
  const fs::path lookAlike = root_ / PathOf("データ") / "a" / "b";  // a\b
  WriteBytes(lookAlike / "x.txt", "not to be archived");
  std::u16string settings = u"[BackUP_Save]\r\nSavePath=" + save_.u16string() +
                            u"\r\nArchiveType=LHA\r\n[BackUP_Target]\r\n";
  settings += u"0000=" + yen.u16string() + u"\r\n0001=" + korean.u16string() + u"\r\n";
  settings += u"0002=" + plain.u16string() + u"\r\n";
  settings += u"[BackUP_Name]\r\n0000=y.lzh\r\n0001=k.lzh\r\n0002=ok.lzh\r\n";
  test_support::WriteBytes(program_ / "slotbackup.ini", test_support::Utf16File(settings, false));

  // As for any failed archiver run, the run goes on and exits 2.
  ASSERT_EQ(Run(), 2u) << ReadBytes(program_ / "slotbackup.log");
  EXPECT_EQ(Calls(), std::vector<std::string>{"a  -r2 -x1 \"" + Utf8Of(save_) + "\\ok.lzh\" \"" +
                                              Utf8Of(plain) + "\""});
  const auto errors = SectionLines(program_ / "slotbackup.ini", "Error_LOG");
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0].substr(errors[0].find('=') + 1), Utf8Of(yen));
  EXPECT_EQ(errors[1].substr(errors[1].find('=') + 1), Utf8Of(korean));
  const auto messages =
      SectionLines(program_ / "slotbackup.log", AppModule::kArchiverMessageSection);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_NE(messages[0].find("Target:" + Utf8Of(yen) + "\tMessage:the target folder " +
                             Utf8Of(yen) + " holds ¥ (U+00A5), which the system's code page lacks"),
            std::string::npos)
      << messages[0];
  EXPECT_NE(messages[1].find(" holds 한 (U+D55C), which"), std::string::npos) << messages[1];
  // The log took text its code page lacks: it is in UTF-16 now.
  EXPECT_EQ(ReadBytes(program_ / "slotbackup.log").substr(0, 2), "\xFF\xFE");
  EXPECT_TRUE(
      SectionLines(program_ / "slotbackup.recovery", AppModule::kClearedFolderSection).empty());
}

// Names whose second byte is '\' (表 95 5C, ソ 83 5C, 能 94 5C) or '|' (ポ
// 83 7C) reach the DLL as the same bytes the settings file holds.
TEST_F(Installation, ACodePage932SettingsFileNamesJapaneseFoldersByteForByte) {
  if (GetACP() != 932) GTEST_SKIP() << "needs ANSI code page 932";
  InstallFakeArchivers();
  const fs::path t = Target("表ソ能ポ");
  SaveSection("LHA");
  Slot("0000", t, "表ソ能ポ.lzh");
  const std::string settings = ReadBytes(program_ / "slotbackup.ini");
  ASSERT_NE(settings.find("\x95\x5C\x83\x5C\x94\x5C\x83\x7C.lzh"), std::string::npos);
  ASSERT_EQ(Run(), 0u) << ReadBytes(program_ / "slotbackup.log");
  EXPECT_EQ(ReadBytes(root_ / "calls.log"),
            platform::ToMultiByteExactly("a  -r2 -x1 \"" + Utf8Of(save_) + "\\表ソ能ポ.lzh\" \"" +
                                         Utf8Of(t) + "\"") +
                "\n");
  EXPECT_EQ(ReadBytes(program_ / "slotbackup.ini"), settings) << "the file keeps its code page";
}

// A DLL of the archivers' name in the working folder or on PATH, where
// anyone may have put it, is never loaded: only the program's folder and
// the system's folders are searched.
TEST_F(Installation, ADllInTheWorkingFolderOrOnPathIsNeverLoaded) {
  const fs::path t = Target("t");
  SaveSection("LHA");
  Slot("0000", t, "t.lzh");
  const fs::path working = root_ / "working", onPath = root_ / "on path";
  for (const fs::path& folder : {working, onPath}) {
    fs::create_directories(folder);
    fs::copy_file(PathOf(FAKE_ARCHIVER), folder / "Unlha32.dll");
  }
  const DWORD length = GetEnvironmentVariableW(L"PATH", nullptr, 0);
  std::wstring path(length, L'\0');
  path.resize(GetEnvironmentVariableW(L"PATH", path.data(), length));
  SetEnvironmentVariableW(L"PATH", (onPath.wstring() + L";" + path).c_str());
  SetEnvironmentVariableW(L"FAKE_ARCHIVER_LOG", (root_ / "calls.log").c_str());
  std::wstring commandLine = L"\"" + (program_ / "slotbackup.exe").wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0,
                                      nullptr, working.c_str(), &startup, &process);
  SetEnvironmentVariableW(L"PATH", path.c_str());
  ASSERT_TRUE(started) << GetLastError();
  CloseHandle(process.hThread);
  EXPECT_EQ(Wait(process.hProcess), 1u);
  EXPECT_TRUE(Calls().empty());
  const auto log = SectionLines(program_ / "slotbackup.log", "ErrorDescription");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("Cannot load Unlha32.dll: it is neither in " + Utf8Of(program_)),
            std::string::npos)
      << log[0];
}

// The Windows folder, where archiver DLLs have long been installed, is
// searched after the program's folder and the system folder.
TEST(ArchiverDllSearch, ADllInTheWindowsFolderIsFound) {
  wchar_t windows[MAX_PATH];
  ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
  const std::string name = "slotbackup-search-" + std::to_string(GetCurrentProcessId());
  const fs::path installed = fs::path(windows) / PathOf(name + ".dll");
  fs::copy_file(PathOf(FAKE_ARCHIVER), installed, fs::copy_options::overwrite_existing);
  {
    test_support::ScratchFolder program;
    const platform::DynamicLibrary library(name, Utf8Of(program.path()));
    EXPECT_NE(library.Symbol("Unlha"), nullptr);
  }
  fs::remove(installed);
}

}  // namespace
