// slotbackup-check: tells, in plain words or as JSON, what the next backup
// run will do with a settings file, what it will fail at or ignore, and which
// failures earlier runs recorded. Unlike the runner it takes arguments.
#include <charconv>
#include <cstdio>
#include <exception>
#include <string>

#include "archiver/unlha32.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/program.h"
#include "platform/utf8.h"
#include "run/slot_plan.h"
#include "tools/check/checker.h"
#include "tools/check/render.h"
#include "tools/check/verify.h"

namespace {

constexpr const char* kUsage =
    "Usage: slotbackup-check [--json] [--walk-seconds N] [SETTINGS.ini]\n"
    "       slotbackup-check --verify [--json] [SETTINGS.ini]\n"
    "\n"
    "Reads a slotbackup settings file (by default slotbackup.ini beside this\n"
    "program, where the runner reads it) and tells what the next run will do,\n"
    "what it will fail at, ignore or harm and why, and what earlier runs\n"
    "recorded or left behind. The archiver libraries are loaded from the\n"
    "settings file's folder, as the runner installed there loads them.\n"
    "\n"
    "  --verify          instead, read back the newest archive of each slot and\n"
    "                    its fixed-name copy in full, every member's data and\n"
    "                    CRC, and say for each: verified, damaged or missing\n"
    "  --json            print the report as one JSON object, for scripts\n"
    "  --walk-seconds N  walk the target folders for at most N seconds in all\n"
    "                    (default 30; 0 walks none)\n"
    "  --help            print this help\n"
    "  --version         print the version\n"
    "\n"
    "Exit status: 0 the next run will do everything the file asks;\n"
    "1 something will fail or be ignored; 2 the file cannot be read, or the\n"
    "command line is wrong. With --verify: 0 every archive is verified; 1 one\n"
    "is damaged or missing; 2 the file cannot be read, or archives cannot be\n"
    "read back on this system.\n";

void Print(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

// The runner's settings file, which the runner finds beside itself under its
// own name; this program is installed in the same folder.
std::string DefaultSettingsPath() {
  const platform::ProgramPath program = platform::GetProgramPath();
  return program.directory + platform::kPathSeparator + "slotbackup.ini";
}

int Verify(const std::string& path, bool json) {
  const check::Verification verification = check::Verify(path, platform::Now());
  if (json) {
    Print(stdout, check::VerificationJson(verification));
  } else {
    const bool failed = !verification.readable || !verification.supported;
    Print(failed ? stderr : stdout, platform::ToMultiByte(check::VerificationText(verification)));
  }
  return check::ExitStatus(verification);
}

}  // namespace

bool ParseSeconds(const std::string& text, check::Options& options) {
  unsigned seconds = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (error != std::errc() || end != text.data() + text.size() || seconds > 86400) return false;
  options.walkTime = std::chrono::seconds(seconds);
  return true;
}

int main(int argc, char** argv) {
  bool json = false;
  bool verify = false;
  check::Options options;
  std::string path;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--walk-seconds") {
      if (i + 1 >= argc || !ParseSeconds(argv[++i], options)) {
        Print(stderr, "slotbackup-check: --walk-seconds needs a number of seconds, 0 to 86400\n\n" +
                          std::string(kUsage));
        return check::kCannotRead;
      }
      continue;
    }
    if (argument == "--help" || argument == "-h") {
      Print(stdout, kUsage);
      return check::kAllWillBeDone;
    }
    if (argument == "--version") {
      Print(stdout, "slotbackup-check " SLOTBACKUP_VERSION "\n");
      return check::kAllWillBeDone;
    }
    if (argument == "--json") {
      json = true;
    } else if (argument == "--verify") {
      verify = true;
    } else if (argument.size() > 1 && argument[0] == '-') {
      Print(stderr, "slotbackup-check: unknown option " + argument + "\n\n" + kUsage);
      return check::kCannotRead;
    } else if (!path.empty()) {
      Print(stderr, "slotbackup-check: give one settings file at most\n\n" + std::string(kUsage));
      return check::kCannotRead;
    } else {
      path = platform::ToUtf8(argument);
    }
  }

  try {
    if (path.empty()) path = DefaultSettingsPath();
    if (verify) return Verify(path, json);
    Unlha32::Archivers archivers(AppModule::ParentFolder(path));
    const check::Report report = check::Inspect(path, platform::Now(), archivers, options);
    if (json) {
      Print(stdout, check::JsonReport(report));
    } else {
      Print(report.readable ? stdout : stderr, platform::ToMultiByte(check::TextReport(report)));
    }
    return check::ExitStatus(report);
  } catch (const std::exception& error) {
    Print(stderr, platform::ToMultiByte(platform::Printable(
                      "slotbackup-check: " + std::string(error.what()) + "\n")));
    return check::kCannotRead;
  }
}
