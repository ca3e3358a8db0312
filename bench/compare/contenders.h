// The archivers the benchmark compares, per format: ours (through the
// libraries' entry points, as a backup run calls them) and the usual tools
// for the same format, each with the command that packs a folder.
#pragma once

#include <string>
#include <vector>

namespace bench {

struct Contender {
  std::string format;  // "LHA", "ZIP" or "7z"
  std::string name;    // "ours lh5", "zip -6", ...
  bool ours = false;
  std::string extension;
  // The command, with ARCHIVE and FOLDER in place of the archive's path and
  // the folder's name; it runs in the folder's parent.
  std::vector<std::string> command;
  // What must be there for it to run: programs on PATH or files.
  std::vector<std::string> needs;
};

// ours is the folder of bench_ours; formats "lha", "zip", "7z" select.
std::vector<Contender> Contenders(const std::string& ours, const std::vector<std::string>& formats);

// The command with ARCHIVE and FOLDER filled in.
std::vector<std::string> CommandFor(const Contender& contender, const std::string& archive,
                                    const std::string& folder);

// Why it cannot run here, or "" when it can.
std::string Missing(const Contender& contender);

}  // namespace bench
