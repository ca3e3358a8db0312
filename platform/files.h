// The few file operations the run needs, each naming the file and the
// system's reason when it throws platform::Error.
#pragma once

#include <string>

namespace platform {

// Replaces destination with a copy of source atomically: the copy goes to a
// temporary file beside destination, is flushed, and is renamed over it. On
// any failure (missing source, a read-only destination, a full disk)
// destination is left exactly as it was and the temporary file is removed.
// An interrupt signal stops the copy with platform::Interrupted, the same way.
void ReplaceWithCopy(const std::string& source, const std::string& destination);

// For a file the run keeps for itself (its error log, its recovery record):
// throws Error "Cannot write <path>: it is a symbolic link, not a regular
// file" (a folder, a FIFO, ...) when anything but a regular file has its
// name. A link (on Windows any reparse point) is never followed. Nothing
// happens when a regular file or nothing has the name.
void RequireRegularFileOrNothing(const std::string& path);

}  // namespace platform
