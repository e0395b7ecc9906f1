// An entry's failure in words.
#include "util/zip_fault.h"

namespace {

const char* FaultText(EntryFault fault) {
  switch (fault) {
    case EntryFault::kNone:
      return "unpacked";
    case EntryFault::kUnreadableRecord:
      return "record cannot be read";
    case EntryFault::kNameTooLong:
      return "name too long";
    case EntryFault::kUndecodableName:
      return "name cannot be decoded";
    case EntryFault::kNameLeavesFolder:
      return "name leaves the folder";
    case EntryFault::kEncrypted:
      return "encrypted";
    case EntryFault::kUnsupportedMethod:
      return "compression method not supported";
    case EntryFault::kDamagedHeader:
      return "local header damaged";
    case EntryFault::kFolderRefused:
      return "a folder on its path cannot be made, or a link stands in its place";
    case EntryFault::kDataCutShort:
      return "data cut short";
    case EntryFault::kDataDamaged:
      return "data damaged";
    case EntryFault::kSizeDiffers:
      return "size differs";
    case EntryFault::kCrcDiffers:
      return "CRC differs";
    case EntryFault::kNoTemporaryFile:
      return "temporary file cannot be created";
    case EntryFault::kWriteFailed:
      return "cannot be written";
    case EntryFault::kDiskFull:
      return "disk full";
    case EntryFault::kPlaceTaken:
      return "a read-only file or a folder stands in its place";
    case EntryFault::kRenameFailed:
      return "cannot be renamed into place";
    case EntryFault::kOutOfMemory:
      return "out of memory";
  }
  return "failed";
}

}  // namespace

std::string EntryFaultReason(EntryFault fault, const std::string& entry) {
  if (fault == EntryFault::kDiskFull) return "disk full writing " + entry;
  return "entry " + entry + ": " + FaultText(fault);
}
