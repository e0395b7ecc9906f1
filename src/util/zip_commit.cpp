// Committing unpacked entries in archive order.
#include "util/zip_commit.h"

#include <utility>

void OrderedCommits::Done(std::uint64_t index, PendingEntry entry) noexcept {
  if (index >= m_failed || entry.fault != EntryFault::kNone) {
    // The writer's destructor removes the temporary file.
    if (entry.fault != EntryFault::kNone) Fail(index, entry.fault);
    return;
  }
  Slot& slot = SlotOf(index);
  slot.entry = std::move(entry);
  slot.index = index;
  slot.filled = true;
  CommitReady();
}

void OrderedCommits::Fail(std::uint64_t index, EntryFault fault) noexcept {
  if (index >= m_failed) return;
  m_failed = index;
  m_fault = fault;
  DiscardFrom(index);
}

EntryFault OrderedCommits::Commit(PendingEntry& entry) {
  if (entry.writer == nullptr) return EntryFault::kNone;
  // Checked now rather than before unpacking: an earlier entry of the same
  // name may only just have taken the place.
  if (!platform::CanReplaceFile(entry.path)) return EntryFault::kPlaceTaken;
  if (entry.writer->Commit(entry.path)) return EntryFault::kNone;
  return entry.writer->DiskFull() ? EntryFault::kDiskFull : EntryFault::kRenameFailed;
}

void OrderedCommits::CommitReady() noexcept {
  while (m_next < m_failed && SlotOf(m_next).filled) {
    Slot& slot = SlotOf(m_next);
    EntryFault fault = EntryFault::kOutOfMemory;
    try {
      fault = Commit(slot.entry);
    } catch (...) {
      // Out of memory while converting the path: the entry fails.
    }
    slot.filled = false;
    slot.entry = PendingEntry{};
    if (fault != EntryFault::kNone) {
      Fail(m_next, fault);
      return;
    }
    ++m_next;
  }
}

void OrderedCommits::DiscardFrom(std::uint64_t index) noexcept {
  for (Slot& slot : m_slots) {
    if (!slot.filled || slot.index < index) continue;
    slot.filled = false;
    slot.entry = PendingEntry{};  // removes the temporary file
  }
}
