// Why one entry of an archive could not be unpacked, as a small value that
// the walk's threads can pass around without allocating. Internal to the zip
// extraction; safe on any thread.
#pragma once

#include <cstdint>
#include <string>

enum class EntryFault : std::uint8_t {
  kNone,
  kUnreadableRecord,
  kNameTooLong,
  kUndecodableName,
  kNameLeavesFolder,
  kEncrypted,
  kUnsupportedMethod,
  kDamagedHeader,
  kFolderRefused,
  kDataCutShort,
  kDataDamaged,
  kSizeDiffers,
  kCrcDiffers,
  kNoTemporaryFile,
  kWriteFailed,
  kDiskFull,
  kPlaceTaken,
  kRenameFailed,
  kOutOfMemory,
};

// The failure's reason for `entry`, the entry's name as one line of text or
// "#" and its number when the name is unknown: "entry a/b.txt: CRC differs",
// "disk full writing a/b.txt".
std::string EntryFaultReason(EntryFault fault, const std::string& entry);
