// The command line this library accepts:
//   a [switches] <archive> <target>...
// -r2 recurses into folders (storing folder entries), -x1 stores paths
// relative to each target's parent (always the case here), -o5 and -o7
// choose lh5 (the default) or lh7. The archive path may be quoted. Paths
// are in the system's code page on the line and in the file layer's form
// (platform/name_text.h) in Command.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "lha/method.h"

namespace lha {

struct Command {
  bool recurse = false;
  const Method* method = &kLh5;
  std::string archive;
  std::vector<std::string> targets;
  // Threads that compress; 0 leaves it to the machine. No switch sets it:
  // the archive is the same whatever it is.
  unsigned threads = 0;
};

// Throws archlib::Failure with a one-line reason.
Command ParseCommand(std::string_view line);

}  // namespace lha
