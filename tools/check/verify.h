// slotbackup-check --verify: the newest archive of each slot that runs
// (found by the run's own naming rule, run/slot_plan.h) and its fixed-name
// copy, read back in full (tools/check/read_back.h), each found verified,
// damaged or missing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace check {

enum class ArchiveState { kVerified, kDamaged, kMissing };

struct ArchiveCheck {
  std::string path;  // empty when no archive of the slot was found
  ArchiveState state = ArchiveState::kMissing;
  uint64_t members = 0;
  uint64_t bytes = 0;
  // Damaged: the member whose data failed, or the one read last before a
  // header that could not be read (after); the reader's message. Missing:
  // why.
  std::string member;
  std::string after;
  std::string message;
};

struct VerifiedSlot {
  std::string key;
  ArchiveCheck archive;
  std::optional<ArchiveCheck> copy;  // when the slot has a fixed name
  // Damaged when either is, else missing when either is, else verified.
  ArchiveState State() const;
};

struct Verification {
  std::string settingsPath;
  bool supported = true;  // archives can be read back on this system
  bool readable = false;
  std::string readError;
  std::vector<VerifiedSlot> slots;
};

// Archive names are expanded as of now, as the run expands them; a name
// without "%D" is the archive itself.
Verification Verify(const std::string& settingsPath, const platform::LocalTime& now);

// 0 when every archive is verified, 1 when one is damaged or missing, 2 when
// the settings cannot be read or archives cannot be read back here.
int ExitStatus(const Verification& verification);

// Plain words, and one JSON object, each ended by a line break.
std::string VerificationText(const Verification& verification);
std::string VerificationJson(const Verification& verification);

}  // namespace check
