#include "run/installation_fixture.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <thread>

#include "platform/temp_name.h"
#include "run/program_files.h"

namespace slotbackup_test {

namespace {

constexpr char kTestUser[] = "slotbackup-test";

}  // namespace

std::string Quoted(const fs::path& p) {
  std::string text = "'";
  for (char c : p.string()) text += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return text + "'";
}

void MakeReadOnly(const fs::path& folder) {
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                              fs::perms::group_exec | fs::perms::others_read |
                              fs::perms::others_exec);
}

OrphansLeftUncollected::OrphansLeftUncollected() {
  prctl(PR_SET_CHILD_SUBREAPER, 1);
}

OrphansLeftUncollected::~OrphansLeftUncollected() {
  prctl(PR_SET_CHILD_SUBREAPER, 0);
  while (waitpid(-1, nullptr, WNOHANG) > 0) {
  }
}

std::string Ending::Text() const {
  return exited ? "exit status " + std::to_string(status)
                : "killed by signal " + std::to_string(status);
}

std::mt19937 SeededRandom() {
  const char* given = std::getenv("SLOTBACKUP_TEST_SEED");
  const unsigned seed = given != nullptr ? static_cast<unsigned>(std::strtoul(given, nullptr, 10))
                                         : std::random_device{}();
  std::cout << "random timing seed " << seed << " (SLOTBACKUP_TEST_SEED=" << seed << " repeats it)"
            << std::endl;
  ::testing::Test::RecordProperty("seed", std::to_string(seed));
  return std::mt19937(seed);
}

void Installation::SetUp() {
  root_ =
      fs::temp_directory_path() / ("slotbackup-e2e-" + std::to_string(getpid()) + "-" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::remove_all(root_);
  program_ = root_ / "program";
  data_ = root_ / "データ";
  save_ = root_ / "save folder";
  fs::create_directories(program_);
  fs::create_directories(data_);
  fs::create_directories(save_);
  fs::copy_file(SLOTBACKUP_PROGRAM, program_ / "slotbackup");
}

void Installation::TearDown() {
  std::error_code ignored;
  for (auto e = fs::recursive_directory_iterator(root_, ignored);
       e != fs::recursive_directory_iterator(); e.increment(ignored)) {
    if (e->is_directory() && !e->is_symlink()) {
      fs::permissions(e->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
  }
  if (!HasFailure()) fs::remove_all(root_, ignored);
}

void Installation::InstallArchivers(const char* lha, const char* zip) {
  fs::copy_file(lha, program_ / "libUnlha32.so", fs::copy_options::overwrite_existing);
  fs::copy_file(zip, program_ / "lib7-zip32.so", fs::copy_options::overwrite_existing);
}
void Installation::InstallFakeArchivers() {
  InstallArchivers(FAKE_ARCHIVER, FAKE_ARCHIVER);
}
void Installation::InstallRealArchivers() {
  InstallArchivers(LHA_ARCHIVER, ZIP_ARCHIVER);
}

void Installation::InstallChecker() {
  fs::copy_file(SLOTBACKUP_CHECK, program_ / "slotbackup-check",
                fs::copy_options::overwrite_existing);
}

void Installation::Settings(const std::string& text) {
  WriteBytes(program_ / "slotbackup.ini", text);
}

std::string Installation::SaveSection(const std::string& type) const {
  return "[BackUP_Save]\nSavePath=" + save_.string() + "\nArchiveType=" + type + "\n";
}

std::string Installation::Slots(const std::vector<fs::path>& targets) {
  std::string keys, names;
  for (size_t i = 0; i < targets.size(); ++i) {
    char key[24];
    std::snprintf(key, sizeof key, "%04zu", i);
    keys += std::string(key) + "=" + targets[i].string() + "\n";
    names += std::string(key) + "=" + std::to_string(i) + "_%D.zip\n";
  }
  return "[BackUP_Target]\n" + keys + "[BackUP_Name]\n" + names;
}

fs::path Installation::Target(const std::string& name) {
  const fs::path folder = data_ / name;
  WriteBytes(folder / "報告書.txt", "2024年度 報告書\n" + std::string(2000, 'a'));
  WriteBytes(folder / "sub dir" / "notes.txt", "notes for " + name + "\n");
  fs::create_directories(folder / "empty");
  return folder;
}

pid_t Installation::Start(const std::map<std::string, std::string>& fake) {
  return Launch("slotbackup", {}, fake);
}

pid_t Installation::StartProgram(const std::string& program,
                                 const std::vector<std::string>& arguments) {
  return Launch(program, arguments, {});
}

pid_t Installation::Launch(const std::string& program, const std::vector<std::string>& arguments,
                           const std::map<std::string, std::string>& fake) {
  std::vector<std::string> environment{"FAKE_ARCHIVER_LOG=" + CallLog().string()};
  for (const auto& [name, value] : fake)
    environment.push_back("FAKE_ARCHIVER_" + name + "=" + value);
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  const std::string exe = (program_ / program).string();
  std::vector<std::string> words{exe};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const fs::path printed = root_ / ("printed-" + std::to_string(++runs_) + ".txt");
  const int out = ::open(printed.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  const pid_t run = fork();
  if (run == 0) {
    dup2(out, 1);
    dup2(out, 2);
    if (chdir("/") != 0) _exit(126);
    if (unprivileged_ && (setgroups(0, nullptr) != 0 || setgid(gid_) != 0 || setuid(uid_) != 0)) {
      _exit(126);
    }
    execve(exe.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  ::close(out);
  printed_[run] = printed;
  return run;
}

Ending Installation::Wait(pid_t run) {
  int status = 0;
  while (waitpid(run, &status, 0) < 0 && errno == EINTR) {
  }
  Ending ending;
  ending.exited = WIFEXITED(status);
  ending.status = ending.exited ? WEXITSTATUS(status) : WTERMSIG(status);
  return ending;
}

std::string Installation::Printed(pid_t run) const {
  const auto found = printed_.find(run);
  return found == printed_.end() ? "" : ReadBytes(found->second);
}

int Installation::Run(int fakeResult) {
  return Run({{"RESULT", std::to_string(fakeResult)}});
}

int Installation::Run(const std::map<std::string, std::string>& fake) {
  const pid_t run = Start(fake);
  const Ending ending = Wait(run);
  output_ = Printed(run);
  return ending.exited ? ending.status : -1;
}

void Installation::RunUnprivileged() {
  if (geteuid() != 0) return;  // already an ordinary user
  if (getpwnam(kTestUser) == nullptr &&
      Shell(std::string("useradd --system --no-create-home --shell /usr/sbin/nologin ") +
            kTestUser) != 0) {
    GTEST_SKIP() << "running as root, and no ordinary user " << kTestUser
                 << " could be made (useradd)";
  }
  const passwd* user = getpwnam(kTestUser);
  ASSERT_NE(user, nullptr);
  uid_ = user->pw_uid;
  gid_ = user->pw_gid;
  unprivileged_ = true;
  for (const auto& e : fs::recursive_directory_iterator(root_)) {
    lchown(e.path().c_str(), uid_, gid_);
  }
  lchown(root_.c_str(), uid_, gid_);
}

std::vector<std::string> Installation::Calls() const {
  std::vector<std::string> lines;
  std::ifstream in(CallLog());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool Installation::AwaitCalls(size_t count, int timeoutMs) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Calls().size() < count) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::vector<std::string> Installation::ErrorLog() const {
  return SectionLines(program_ / "slotbackup.ini", AppModule::kErrorLogSection);
}
std::vector<std::string> Installation::LogFile() const {
  return SectionLines(program_ / "slotbackup.log", AppModule::kErrorDescriptionSection);
}
std::vector<std::string> Installation::ArchiverMessages() const {
  return SectionLines(program_ / "slotbackup.log", AppModule::kArchiverMessageSection);
}
std::vector<std::string> Installation::Recovery() const {
  return SectionLines(program_ / "slotbackup.log", AppModule::kRecoverySection);
}
std::vector<std::string> Installation::ClearedFolderRecords() const {
  return SectionLines(program_ / "slotbackup.recovery", AppModule::kClearedFolderSection);
}

std::vector<fs::path> Installation::TemporaryFiles() const {
  std::vector<fs::path> found;
  std::error_code ignored;
  for (auto e = fs::recursive_directory_iterator(root_, ignored);
       e != fs::recursive_directory_iterator(); e.increment(ignored)) {
    if (e->is_regular_file() && !e->is_symlink() &&
        platform::TemporaryNameOwner(e->path().filename().string())) {
      found.push_back(e->path());
    }
  }
  return found;
}

bool Installation::Writable(const fs::path& folder) {
  return (fs::status(folder).permissions() & fs::perms::owner_write) != fs::perms::none;
}

std::string Installation::Mismatch(const fs::path& archive, const std::vector<fs::path>& folders) {
  const test_support::ScratchFolder out;
  std::string text, wrong;
  if (Shell("bsdtar -xf " + Quoted(archive) + " -C " + Quoted(out), &text) != 0) {
    wrong = "bsdtar cannot read " + archive.string() + ": " + text;
  }
  for (const fs::path& folder : folders) {
    for (auto e = fs::recursive_directory_iterator(folder);
         wrong.empty() && e != fs::recursive_directory_iterator(); ++e) {
      const fs::path mirror = out / folder.filename() / fs::relative(e->path(), folder);
      if (!fs::exists(fs::symlink_status(mirror))) {
        wrong = archive.string() + " lacks " + mirror.string();
      } else if (e->is_regular_file() && ReadBytes(mirror) != ReadBytes(e->path())) {
        wrong = archive.string() + " holds other bytes for " + mirror.string();
      }
    }
  }
  return wrong;
}

}  // namespace slotbackup_test
