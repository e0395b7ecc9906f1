// Committing unpacked entries in archive order.
#include "util/zip_commit.h"

#include <utility>

void OrderedCommits::Done(std::uint64_t index, PendingEntry entry) noexcept {
  if (index >= m_failed || !entry.ok) {
    // The writer's destructor removes the temporary file.
    if (!entry.ok) Fail(index);
    return;
  }
  Slot& slot = SlotOf(index);
  slot.entry = std::move(entry);
  slot.index = index;
  slot.filled = true;
  CommitReady();
}

void OrderedCommits::Fail(std::uint64_t index) noexcept {
  if (index >= m_failed) return;
  m_failed = index;
  DiscardFrom(index);
}

bool OrderedCommits::Commit(PendingEntry& entry) {
  if (entry.writer == nullptr) return true;
  // Checked now rather than before unpacking: an earlier entry of the same
  // name may only just have taken the place.
  return platform::CanReplaceFile(entry.path) && entry.writer->Commit(entry.path);
}

void OrderedCommits::CommitReady() noexcept {
  while (m_next < m_failed && SlotOf(m_next).filled) {
    Slot& slot = SlotOf(m_next);
    bool committed = false;
    try {
      committed = Commit(slot.entry);
    } catch (...) {
      // Out of memory while converting the path: the entry fails.
    }
    slot.filled = false;
    slot.entry = PendingEntry{};
    if (!committed) {
      Fail(m_next);
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
