// The read-modify-write beneath the POSIX profile functions' writes: the
// file's text read under an exclusive flock() on it, edited by the INI
// engine (platform/ini/ini_document.h) and put in place atomically
// (platform/posix/atomic_file.h) with the old file's permissions.
#pragma once

#include <functional>
#include <string_view>

#include "platform/ini/ini_document.h"
#include "platform/profile.h"

namespace platform::posix {

using ProfileEdit = std::function<ini::Splices(std::string_view)>;

// Applies edit to the text of file. A missing file is created only when
// create is set (an empty file, removed again if the write fails); without
// it, a missing file has nothing to edit and that is success. A symbolic
// link at the name is followed or refused as links says. False on failure,
// with errno saying why where the system said.
bool ModifyProfile(const char* file, bool create, ProfileLinks links, const ProfileEdit& edit);

}  // namespace platform::posix
