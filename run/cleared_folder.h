// A target folder with its attributes cleared for the archiver, and the
// record that lets a later run give them back when this one cannot.
//
// Before a folder that clearing changes is cleared, its saved word is
// written durably to the recovery file beside the program (key = slot key,
// value = "<word> <folder>") and handed to the interrupt handler; once the
// word is restored,
// the record is removed. So whatever ends a run (an error, a signal, kill -9,
// a crash, a power loss), either the run itself or the next one restores the
// folder, and no run ever takes a cleared word for the folder's own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace AppModule {

// The recovery file's record of one cleared folder.
struct ClearedFolderRecord {
  int16_t word = 0;
  std::string folder;
};
std::string FormatRecord(const ClearedFolderRecord& record);
// Nothing when value is not a record.
std::optional<ClearedFolderRecord> ParseRecord(const std::string& value);

class ClearedFolder {
 public:
  // Records the folder's word under slotKey in recoveryFile, then clears it;
  // a folder whose word is the directory flag alone, which clearing leaves
  // as it is, needs and gets no record.
  // Throws platform::Error when the folder is missing or the record cannot
  // be written (the folder is then left as it was).
  ClearedFolder(const std::string& recoveryFile, const std::string& slotKey,
                const std::string& path);
  // Restores the word when Restore() was not reached, as best it can: the
  // error already on its way out is the one to report.
  ~ClearedFolder();
  ClearedFolder(const ClearedFolder&) = delete;
  ClearedFolder& operator=(const ClearedFolder&) = delete;

  // Gives the folder its word back and removes the record. Throws
  // platform::Error; the record then stays for the next run.
  void Restore();

 private:
  std::string recoveryFile_;
  std::string slotKey_;
  std::string path_;
  int16_t saved_;
  bool recorded_;
  bool restored_ = false;
};

}  // namespace AppModule
