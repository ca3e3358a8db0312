// The settings file line by line, through the INI engine's outline: what
// the run never reads, and the line it is on.
#include <algorithm>
#include <set>

#include "platform/codepage.h"
#include "platform/ini/ini_outline.h"
#include "run/program_files.h"
#include "run/slot_plan.h"
#include "tools/check/inspection.h"

namespace check {

namespace {

using platform::ini::LineKind;
using platform::ini::NamesMatch;
using platform::ini::OutlineLine;

enum class SectionKind { kSave, kSlots, kErrorLog, kUnknown };

SectionKind KindOf(std::string_view section) {
  if (NamesMatch(section, AppModule::kSaveSection)) return SectionKind::kSave;
  for (const char* slots : AppModule::kSlotSections) {
    if (NamesMatch(section, slots)) return SectionKind::kSlots;
  }
  if (NamesMatch(section, AppModule::kErrorLogSection)) return SectionKind::kErrorLog;
  return SectionKind::kUnknown;
}

// A misspelt section name, such as "Backup Target", compared on its letters
// and digits alone.
std::string Letters(std::string_view name) {
  std::string letters;
  for (char c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')) letters += c;
  }
  return letters;
}

std::string SuggestSection(std::string_view name) {
  const std::string letters = Letters(name);
  for (const char* known :
       {AppModule::kSaveSection, AppModule::kTargetSection, AppModule::kNameSection,
        AppModule::kConstantNameSection, AppModule::kKeepSection, AppModule::kErrorLogSection}) {
    if (letters == Letters(known)) return " Did you mean [" + std::string(known) + "]?";
  }
  return "";
}

bool IsDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

class StructureCheck {
 public:
  explicit StructureCheck(Report& report) : report_(report) {}

  void Line(const OutlineLine& line) {
    if (line.kind == LineKind::kSection) {
      Header(line);
      return;
    }
    if (line.kind == LineKind::kBlank || line.kind == LineKind::kComment) return;
    const std::string text = platform::ToUtf8(line.text);
    if (!headerSeen_) {
      Problem(line, "outside-section", "", "",
              "Line " + std::to_string(line.number) + " " + Quoted(text) +
                  " comes before the first section header: the run never reads it.",
              "Move it under the section it belongs to, or delete it.");
      return;
    }
    if (!sectionRead_ || kind_ == SectionKind::kErrorLog || kind_ == SectionKind::kUnknown) return;
    if (line.kind == LineKind::kOther) {
      Problem(line, "not-a-key", section_, "",
              "In [" + section_ + "] the line " + Quoted(text) +
                  " has no '=': it is not a key and is never read.",
              "Write it as key=value, or delete it.");
      return;
    }
    const std::string key = platform::ToUtf8(line.name);
    if (!line.read) {
      Problem(line, "duplicate-key", section_, key,
              "In [" + section_ + "] the key " + key +
                  " appears more than once: only its first line is read.",
              "Keep one line for it.");
    } else if (kind_ == SectionKind::kSlots) {
      SlotKey(line, key);
    } else if (!NamesMatch(key, AppModule::kSavePathKey) &&
               !NamesMatch(key, AppModule::kArchiveTypeKey)) {
      Problem(line, "unknown-key", section_, key,
              "In [" + section_ + "] the key " + key + " is never read: the run reads only " +
                  AppModule::kSavePathKey + " and " + AppModule::kArchiveTypeKey + ".",
              "Delete it, or correct its name.");
    }
  }

 private:
  void Header(const OutlineLine& line) {
    headerSeen_ = true;
    section_ = platform::ToUtf8(line.name);
    kind_ = KindOf(section_);
    sectionRead_ = line.read;
    if (kind_ == SectionKind::kUnknown) {
      if (!unknown_.insert(LowerCase(section_)).second) return;
      Problem(line, "unknown-section", section_, "",
              "The section [" + section_ +
                  "] is not one the run reads: everything in it is ignored." +
                  SuggestSection(section_),
              "Rename it to a section the run reads, or delete it.");
    } else if (!line.read) {
      Problem(line, "duplicate-section", section_, "",
              "The section [" + section_ +
                  "] appears more than once: the run reads only the first, so the lines of "
                  "this one are never read.",
              "Move its lines into the first [" + section_ + "].");
    }
  }

  void SlotKey(const OutlineLine& line, const std::string& key) {
    switch (AppModule::FormOfKey(key)) {
      case AppModule::KeyForm::kSlot:
        return;
      case AppModule::KeyForm::kBeyondLastSlot:
        Problem(line, "slot-out-of-range", section_, key,
                "In [" + section_ + "] the key " + key + " lies beyond the last slot, " +
                    AppModule::SlotKey(AppModule::kSlotCount - 1) + ": it is never read.",
                "Use a free key from " + AppModule::SlotKey(0) + " to " +
                    AppModule::SlotKey(AppModule::kSlotCount - 1) + ".");
        return;
      case AppModule::KeyForm::kNotSlotKey:
        break;
    }
    const bool shortNumber = IsDigits(key) && key.size() < 4;
    Problem(line, "not-a-slot-key", section_, key,
            "In [" + section_ + "] the key " + key + " is not a slot key: slot keys are " +
                AppModule::SlotKey(0) + " to " + AppModule::SlotKey(AppModule::kSlotCount - 1) +
                ", exactly four digits, so this line is never read.",
            shortNumber ? "Write it as " + AppModule::SlotKey(std::stoi(key)) + "."
                        : "Give it a slot key.");
  }

  void Problem(const OutlineLine& line, std::string code, std::string section, std::string key,
               std::string message, std::string action) {
    check::Problem(report_, std::move(code), std::move(section), std::move(key), std::move(message),
                   std::move(action), line.number);
  }

  Report& report_;
  std::string section_;
  SectionKind kind_ = SectionKind::kUnknown;
  bool sectionRead_ = false;
  bool headerSeen_ = false;
  std::set<std::string> unknown_;
};

// Bytes that are not text in the system's code page: a file saved in
// another encoding (Shift-JIS on a UTF-8 system, say).
void CheckCodePage(std::string_view text, Report& report) {
  std::vector<size_t> lines;
  for (const size_t offset : platform::InvalidBytes(text)) {
    const size_t line = platform::ini::LineNumberAt(text, offset);
    if (lines.empty() || lines.back() != line) lines.push_back(line);
  }
  if (lines.empty()) return;
  std::string listed;
  const size_t shown = std::min<size_t>(lines.size(), 10);
  for (size_t i = 0; i < shown; ++i) {
    listed += (i == 0 ? "" : i + 1 == lines.size() ? " and " : ", ") + std::to_string(lines[i]);
  }
  if (lines.size() > shown) listed += " and " + std::to_string(lines.size() - shown) + " more";
  Problem(report, "not-in-code-page", "", "",
          std::string(lines.size() == 1 ? "Line " : "Lines ") + listed +
              (lines.size() == 1 ? " holds" : " hold") +
              " bytes that are not text in the system's code page: the file was saved in another "
              "encoding (such as Shift-JIS where the system uses UTF-8). The run takes those "
              "bytes as they are, so a folder or name written there is found only if it is "
              "named in those very bytes, and messages show them as \\xNN.",
          "Save the file in the system's code page, or as UTF-16 (\"Unicode\" in Notepad).",
          lines.front());
}

}  // namespace

void CheckStructure(std::string_view text, Report& report) {
  CheckCodePage(text, report);
  StructureCheck check(report);
  for (const OutlineLine& line : platform::ini::Outline(text)) check.Line(line);
}

}  // namespace check
