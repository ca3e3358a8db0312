// An in-process stand-in for the archiver libraries in tests: it records
// each line handed to it and answers with what the test chose, so that what
// the run does around an archiver run is tested without loading a library.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "archiver/archiver_runner.h"
#include "platform/error.h"

namespace Unlha32 {

class FakeArchiverRunner : public ArchiverRunner {
 public:
  struct Call {
    Library library;
    std::string commandLine;
  };

  // Every line handed over, in order.
  std::vector<Call> calls;
  // Libraries that cannot be loaded: Load and Run throw for them, as a
  // missing library makes the real ones throw.
  std::set<Library> missing;
  // The answer to a call; by default success with the message "fake". The
  // test may act here as a library would (write the archive, look at the
  // target's attributes during the call, throw).
  std::function<Result(const Call&)> respond;

  void Load(Library library) override {
    if (missing.count(library) != 0) {
      throw platform::Error(std::string("Cannot load ") + LibraryName(library) +
                            ": no such file (fake)");
    }
  }

  Result Run(Library library, const std::string& commandLine) override {
    Load(library);
    calls.push_back(Call{library, commandLine});
    return respond ? respond(calls.back()) : Result{true, "fake"};
  }

  std::vector<std::string> CommandLines() const {
    std::vector<std::string> lines;
    for (const Call& call : calls) lines.push_back(call.commandLine);
    return lines;
  }
};

}  // namespace Unlha32
