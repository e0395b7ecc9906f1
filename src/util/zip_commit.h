// Entries unpacked out of order, made visible in archive order: an entry's
// file takes its name only once every entry before it has, and after the
// first entry that fails nothing more is committed. Internal to the zip
// extraction; not thread-safe itself (the walk holds its lock around it).
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include "platform/file_writer.h"
#include "util/zip_fault.h"

// One entry's outcome, waiting for its turn.
struct PendingEntry {
  // kNone for an entry unpacked whole; until then, why it is not.
  EntryFault fault = EntryFault::kOutOfMemory;
  // The complete temporary file and where it goes; none for an entry with
  // nothing to rename (a folder entry).
  std::unique_ptr<platform::FileWriter> writer;
  std::wstring path;
};

class OrderedCommits {
 public:
  // At most this many entries may be waiting or being unpacked at once:
  // entry `i` may start only when i < Committed() + kWindow.
  static constexpr std::uint64_t kWindow = 16;
  static constexpr std::uint64_t kNoFailure = std::numeric_limits<std::uint64_t>::max();

  // Entry `index` is done. Commits it and the entries after it that are
  // ready, in order; an entry at or after the first failure is discarded,
  // its temporary file removed. Allocates nothing, so it cannot throw.
  void Done(std::uint64_t index, PendingEntry entry) noexcept;
  // Entry `index` failed for `fault` before anything was written for it.
  void Fail(std::uint64_t index, EntryFault fault) noexcept;
  // Entries before this index are committed.
  std::uint64_t Committed() const { return m_next; }
  std::uint64_t FirstFailure() const { return m_failed; }
  // Why the first failing entry failed; kNone while none has.
  EntryFault FirstFault() const { return m_fault; }

 private:
  struct Slot {
    bool filled = false;
    std::uint64_t index = 0;
    PendingEntry entry;
  };
  static EntryFault Commit(PendingEntry& entry);
  void CommitReady() noexcept;
  void DiscardFrom(std::uint64_t index) noexcept;
  Slot& SlotOf(std::uint64_t index) { return m_slots[index % kWindow]; }

  std::array<Slot, kWindow> m_slots;
  std::uint64_t m_next = 0;
  std::uint64_t m_failed = kNoFailure;
  EntryFault m_fault = EntryFault::kNone;
};
