#include "platform/file_info.h"

namespace platform {

const char* KindName(FileKind kind) {
  switch (kind) {
    case FileKind::kRegular:
      return "a regular file";
    case FileKind::kFolder:
      return "a folder";
    case FileKind::kLink:
      return "a symbolic link";
    case FileKind::kReparsePoint:
      return "a reparse point (a link or junction)";
    case FileKind::kFifo:
      return "a FIFO";
    case FileKind::kDevice:
      return "a device";
    case FileKind::kSocket:
      return "a socket";
    case FileKind::kOther:
      break;
  }
  return "not a file";
}

}  // namespace platform
