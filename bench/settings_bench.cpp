// The settings reads of one full backup run, made as the run makes them
// through its slot plan (run/slot_plan.h): the save settings, every slot for
// the folders the run sweeps, then every slot again as it runs, on a
// settings file that also holds 10,000 "Error_LOG" entries. Prints
// milliseconds per run with the log after the slots (where a run appends it)
// and before them (the most the reads can be made to scan), the same file
// saved as UTF-16 (read whole and converted on every read), and the cost of
// appending one more log entry to either.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "run/slot_plan.h"
#include "settings/ini_file.h"

namespace fs = std::filesystem;

namespace {

std::string SlotKey(int slot) {
  char key[8];
  std::snprintf(key, sizeof key, "%04d", slot);
  return key;
}

std::string SlotSections() {
  std::string text = "[BackUP_Save]\r\nSavePath=/srv/backup\r\nArchiveType=LHA\r\n\r\n";
  text += "[BackUP_Target]\r\n";
  for (int slot = 0; slot < 100; ++slot) {
    text += SlotKey(slot) + "=/home/user/documents/project_" + SlotKey(slot) + "\r\n";
  }
  text += "\r\n[BackUP_Name]\r\n";
  for (int slot = 0; slot < 100; ++slot) {
    text += SlotKey(slot) + "=project_" + SlotKey(slot) + "_yyyymmddhhnnss\r\n";
  }
  text += "\r\n[BackUP_ConstantName]\r\n";
  for (int slot = 0; slot < 100; slot += 2) {
    text += SlotKey(slot) + "=project_" + SlotKey(slot) + "_latest\r\n";
  }
  return text + "\r\n";
}

std::string ErrorLog() {
  std::string text = "[Error_LOG]\r\n";
  for (int i = 0; i < 10000; ++i) {
    char line[96];
    std::snprintf(line, sizeof line,
                  "2024/%02d/%02d %d:%02d:%02d=/home/user/documents/project_%04d\r\n", 1 + i % 12,
                  1 + i % 28, i % 24, i % 60, (i / 60) % 60, i % 100);
    text += line;
  }
  return text + "\r\n";
}

// The same text as Notepad saves it "Unicode": the text is ASCII, so each
// character is its byte and a zero, behind the byte-order mark.
std::string Utf16Le(const std::string& ascii) {
  std::string bytes = "\xFF\xFE";
  for (const char c : ascii) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

size_t OneRun(const std::string& file) {
  const platform::LocalTime now{2026, 12, 7, 22, 0, 5};
  clsIniFile settings;
  settings.FileName(file);
  const AppModule::SaveSettings save = AppModule::ReadSaveSettings(settings);
  size_t found = AppModule::FoldersWrittenInto(settings, save, now).size();
  for (int32_t slot = 0; slot < AppModule::kSlotCount; ++slot) {
    const AppModule::SlotPlan plan = AppModule::PlanSlot(settings, save, slot, now);
    found += plan.target.size() + plan.name.size() + plan.constantName.size();
  }
  return found;
}

// Milliseconds per run: the best and the mean of runs after a warm-up.
void Measure(const char* label, const std::string& file, int runs) {
  size_t found = 0;
  for (int i = 0; i < 3; ++i) found += OneRun(file);
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    found += OneRun(file);
    times.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }
  double total = 0;
  for (double t : times) total += t;
  std::printf("%-34s %8.2f ms/run mean %8.2f ms/run best  (%zu bytes, checksum %zu)\n", label,
              total / runs, *std::min_element(times.begin(), times.end()),
              static_cast<size_t>(fs::file_size(file)), found);
}

// Milliseconds per Error_LOG entry appended.
void MeasureWrites(const char* label, const std::string& file) {
  clsIniFile settings;
  settings.FileName(file);
  settings.Section("Error_LOG");
  const int writes = 20;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < writes; ++i) settings.SetString("2025/01/01 0:00:" + std::to_string(i), "/x");
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("%-34s %8.2f ms/entry (atomic replace with fsync)\n", label, ms / writes);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
  std::string dir = (fs::temp_directory_path() / "slotbackup-bench-XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string file = (fs::path(dir) / "slotbackup.ini").string();
  const std::string slots = SlotSections();
  const std::string log = ErrorLog();

  std::ofstream(file, std::ios::binary | std::ios::trunc) << slots << log;
  Measure("reads of one run, log after slots", file, runs);
  std::ofstream(file, std::ios::binary | std::ios::trunc) << log << slots;
  Measure("reads of one run, log before slots", file, runs);

  MeasureWrites("one more Error_LOG entry", file);

  std::ofstream(file, std::ios::binary | std::ios::trunc) << Utf16Le(slots + log);
  Measure("reads of one run, UTF-16 file", file, runs);
  MeasureWrites("one more entry, UTF-16 file", file);
  fs::remove_all(dir);
  return 0;
}
