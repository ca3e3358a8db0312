// POSIX test support around processes: a call run in a child so that one
// that blocks (on a FIFO, say) cannot hang the test, a child without
// privilege, and the command-line tools (independent archive readers) a
// test runs.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace test_support {

// Runs `body` in a child process and returns what it returns, or "blocked"
// when the child has not finished within `bound` (it is then killed): a
// call that a FIFO blocks would never return.
std::string InChild(const std::function<std::string()>& body,
                    std::chrono::seconds bound = std::chrono::seconds(60));

// Whether a command-line tool is installed. A shell command run in a UTF-8
// locale: its exit status (-1 when it did not exit) and what it prints,
// standard error included; or only what it prints.
bool Installed(const std::string& tool);
int Shell(const std::string& command, std::string* output = nullptr);
std::string Output(const std::string& command);

// Runs `body` in a child process without privilege: as uid and gid 65534
// when the test runs as root, as the same user otherwise. Returns the
// child's exit status, or -1 when it did not exit normally.
int AsAnotherUser(const std::function<int()>& body);
// The same, returning what body returns (as InChild does), or "no ordinary
// user" when the child could not give up root.
std::string InChildAsAnotherUser(const std::function<std::string()>& body);

}  // namespace test_support
