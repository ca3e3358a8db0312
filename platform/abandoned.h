// Temporary files abandoned by processes that ended before removing them
// (killed, crashed, or stopped by a power loss): in one folder, the regular
// files whose name platform::TemporaryNameOwner accepts and whose process is
// no longer running. Nothing else is ever touched: not a link, folder, FIFO
// or device of such a name, nor the file of a process still running.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct AbandonedFile {
  std::string path;
  uint64_t bytes = 0;
  std::string failure;  // empty when removed, else why it could not be
};

// Removes the abandoned temporary files directly in folder (not in its
// sub-folders) and says which it found. A folder that cannot be listed
// (missing, unreadable) has none.
std::vector<AbandonedFile> RemoveAbandonedTemporaryFiles(const std::string& folder);

// The files RemoveAbandonedTemporaryFiles would remove now, left in place.
std::vector<AbandonedFile> FindAbandonedTemporaryFiles(const std::string& folder);

}  // namespace platform
