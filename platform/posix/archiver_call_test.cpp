// The archiver's entry point called in a child process: what comes back
// when it returns, crashes, ends its process, or is stopped by a signal.
#include "platform/archiver_call.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>

#include "platform/interrupt.h"

namespace {

int ARCHIVER_CALL Echo(uint32_t window, const char* commandLine, char* output, uint32_t size) {
  std::snprintf(output, size, "window %u: %s", window, commandLine);
  return 7;
}

int ARCHIVER_CALL Silent(uint32_t, const char*, char*, uint32_t) {
  return 0;
}

// Fills the whole area: more than a pipe holds at once.
int ARCHIVER_CALL Fills(uint32_t, const char*, char* output, uint32_t size) {
  for (uint32_t i = 0; i + 1 < size; ++i) output[i] = static_cast<char>('a' + i % 26);
  output[size - 1] = '\0';
  return 1;
}

int ARCHIVER_CALL Aborts(uint32_t, const char*, char*, uint32_t) {
  std::raise(SIGABRT);
  return 0;
}

int ARCHIVER_CALL EndsItsProcess(uint32_t, const char*, char*, uint32_t) {
  _exit(3);
}

int ARCHIVER_CALL TakesLong(uint32_t, const char*, char*, uint32_t) {
  std::this_thread::sleep_for(std::chrono::seconds(60));
  return 0;
}

TEST(CallArchiver, TheResultAndTheOutputAreThoseOfTheEntryPoint) {
  const platform::ArchiverCall call = platform::CallArchiver(Echo, 5, "a \"x.zip\" \"y\"", 64);
  EXPECT_TRUE(call.returned);
  EXPECT_EQ(call.result, 7);
  EXPECT_EQ(call.output, "window 5: a \"x.zip\" \"y\"");
  // An entry point that writes nothing leaves the area as it was given.
  const platform::ArchiverCall silent = platform::CallArchiver(Silent, 0, "a", 8);
  EXPECT_TRUE(silent.returned);
  EXPECT_EQ(silent.result, 0);
  EXPECT_EQ(silent.output, std::string(8, ' '));
}

TEST(CallArchiver, AnOutputLargerThanAPipeHoldsComesBackWhole) {
  const uint32_t size = 1 << 20;
  const platform::ArchiverCall call = platform::CallArchiver(Fills, 0, "a", size);
  EXPECT_TRUE(call.returned);
  EXPECT_EQ(call.result, 1);
  std::string expected;
  for (uint32_t i = 0; i + 1 < size; ++i) expected += static_cast<char>('a' + i % 26);
  EXPECT_TRUE(call.output == expected) << call.output.size() << " bytes came back";
}

TEST(CallArchiver, ACrashOrAnEndedProcessIsAFailedCallThatSaysWhat) {
  const platform::ArchiverCall crashed = platform::CallArchiver(Aborts, 0, "a", 64);
  EXPECT_FALSE(crashed.returned);
  EXPECT_EQ(crashed.failure, "the archiver crashed: signal 6 (Aborted)");
  const platform::ArchiverCall ended = platform::CallArchiver(EndsItsProcess, 0, "a", 64);
  EXPECT_FALSE(ended.returned);
  EXPECT_EQ(ended.failure, "the archiver ended without a result (exit status 3)");
  // This process goes on as before.
  EXPECT_EQ(platform::CallArchiver(Echo, 1, "b", 64).result, 7);
}

// In a process of its own: the handlers and the note of a signal are for
// the whole process.
TEST(CallArchiverDeathTest, ASignalStopsTheChildAtOnceAndIsThrown) {
  EXPECT_EXIT(
      {
        platform::InstallInterruptHandlers();
        std::thread signaller([] {
          std::this_thread::sleep_for(std::chrono::milliseconds(200));
          kill(getpid(), SIGTERM);
        });
        const auto started = std::chrono::steady_clock::now();
        int caught = 0;
        try {
          platform::CallArchiver(TakesLong, 0, "a", 64);
        } catch (const platform::Interrupted& e) {
          caught = e.Signal();
        }
        signaller.join();
        const bool soon = std::chrono::steady_clock::now() - started < std::chrono::seconds(30);
        std::exit(caught == SIGTERM && soon ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
