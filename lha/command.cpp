#include "lha/command.h"

#include "archlib/command_line.h"
#include "archlib/entry.h"
#include "platform/name_text.h"

namespace lha {

Command ParseCommand(std::string_view line) {
  std::vector<bool> quoted;
  std::vector<std::string> tokens = archlib::SplitCommandLine(line, &quoted);
  if (tokens.empty()) throw archlib::Failure("empty command line");
  if (tokens[0] != "a" && tokens[0] != "A") {
    throw archlib::Failure("unknown command: " + tokens[0]);
  }
  Command command;
  bool haveArchive = false;
  for (size_t i = 1; i < tokens.size(); ++i) {
    const std::string& t = tokens[i];
    if (!quoted[i] && t.size() > 1 && t[0] == '-') {
      if (t == "-r2") {
        command.recurse = true;
      } else if (t == "-x1") {
        // Paths relative to the target's parent are the only kind stored.
      } else if (t == "-o5") {
        command.method = &kLh5;
      } else if (t == "-o7") {
        command.method = &kLh7;
      } else {
        throw archlib::Failure("unknown switch: " + t);
      }
    } else if (!haveArchive) {
      if (t.empty()) throw archlib::Failure("empty archive name");
      command.archive = platform::PathFromCommandLine(t);
      haveArchive = true;
    } else {
      command.targets.push_back(platform::PathFromCommandLine(t));
    }
  }
  if (!haveArchive) throw archlib::Failure("no archive named");
  if (command.targets.empty()) throw archlib::Failure("no target named");
  return command;
}

}  // namespace lha
