// Unpacking an archive's entries on two threads, committed in order.
#include "util/zip_walk.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "platform/fs.h"
#include "util/zip_commit.h"
#include "util/zip_data.h"
#include "util/zip_entry.h"
#include "util/zip_names.h"

namespace {

// One entry taken by a worker: everything it needs to unpack it without
// touching minizip.
struct Claim {
  std::uint64_t index = 0;
  EntryData data;
  std::vector<std::wstring> levels;  // ends in an empty level for a folder entry
  platform::LocalTime time;
};

// Where the entry's data starts, from its local header, which minizip
// checks against the central directory's record. None when the header is
// damaged.
std::optional<EntryData> LocateData(unzFile archive, const unz_file_info64& raw) {
  if (unzOpenCurrentFile(archive) != UNZ_OK) return std::nullopt;
  ZPOS64_T start = unzGetCurrentFileZStreamPos64(archive);
  if (unzCloseCurrentFile(archive) != UNZ_OK || start == 0) return std::nullopt;
  EntryData data;
  data.offset = start;
  data.compressed_size = raw.compressed_size;
  data.uncompressed_size = raw.uncompressed_size;
  data.crc = static_cast<std::uint32_t>(raw.crc);
  data.deflated = IsDeflated(raw);
  return data;
}

class Walk {
 public:
  Walk(unzFile archive, std::uint64_t count, const std::wstring& target,
       const platform::ArchiveFile& file)
      : m_archive(archive), m_count(count), m_target(target), m_file(file) {}

  // One worker's loop: takes entries and unpacks them until none is left
  // or one failed.
  void Work() noexcept;
  // After every worker returned: success when every entry was committed;
  // otherwise takes back the folders of entries after the failure.
  Outcome Finish();

 private:
  std::vector<Claim> TakeBatch();
  std::optional<Claim> TakeNext(bool wait);
  bool WaitForTurn(std::uint64_t index, bool wait);
  EntryFault TakeEntry(std::uint64_t index, Claim& claim);
  void Done(std::uint64_t index, PendingEntry entry);
  PendingEntry Unpack(const Claim& claim, EntryDecoder& decoder);

  unzFile m_archive;
  const std::uint64_t m_count;
  const std::wstring& m_target;
  const platform::ArchiveFile& m_file;

  // Taking entries and committing them have locks of their own, so that
  // neither holds up the other; folders are made under neither. When both
  // are held, m_take_mutex is taken first.
  std::mutex m_take_mutex;      // guards minizip's cursor, m_next and m_held
  std::uint64_t m_next = 0;     // the entry to take next
  std::optional<Claim> m_held;  // taken, but it begins the next batch
  FolderCache m_folders;
  std::mutex m_commit_mutex;  // guards m_commits
  std::condition_variable m_committed;
  OrderedCommits m_commits;
};

void Walk::Work() noexcept {
  EntryDecoder decoder;
  for (;;) {
    std::vector<Claim> batch;
    try {
      batch = TakeBatch();
    } catch (...) {
      // Out of memory before any entry was taken: the other worker, if
      // any, carries on; without one, the walk ends incomplete.
      return;
    }
    if (batch.empty()) return;
    for (const Claim& claim : batch) {
      PendingEntry entry;  // out of memory unless unpacked
      try {
        entry = Unpack(claim, decoder);
      } catch (...) {
        entry = PendingEntry{};  // out of memory: the entry fails
      }
      Done(claim.index, std::move(entry));
    }
  }
}

Outcome Walk::Finish() {
  std::uint64_t failed = m_commits.FirstFailure();
  if (failed == OrderedCommits::kNoFailure) {
    // Otherwise no worker had the memory to take the next entries.
    if (m_commits.Committed() == m_count) return Outcome::Success();
    return Outcome::Failure("out of memory");
  }
  m_folders.RemoveMadeAfter(failed);
  return Outcome::Failure(
      EntryFaultReason(m_commits.FirstFault(), NameForReason(m_archive, failed)));
}

bool SameFolder(const Claim& a, const Claim& b) {
  return !a.levels.empty() && a.levels.size() == b.levels.size() &&
         std::equal(a.levels.begin(), a.levels.end() - 1, b.levels.begin());
}

// Hands out the next entries that lie in one folder. Creating a file or a
// folder holds its parent folder's lock in the kernel, and the inode
// allocation under it is slow on a file system that has just deleted many
// files: two threads working in one folder would mostly wait for each
// other, two in different folders do not.
std::vector<Claim> Walk::TakeBatch() {
  constexpr std::size_t kMaxBatch = OrderedCommits::kWindow / 2;
  std::vector<Claim> batch;
  batch.reserve(kMaxBatch);  // the only allocation: nothing taken can be lost
  std::lock_guard<std::mutex> lock(m_take_mutex);
  std::optional<Claim> next = std::exchange(m_held, std::nullopt);
  if (!next) next = TakeNext(true);
  while (next) {
    if (batch.size() == kMaxBatch || (!batch.empty() && !SameFolder(batch.front(), *next))) {
      m_held = std::move(next);
      break;
    }
    batch.push_back(std::move(*next));
    // Never waits for commits: the entries already in this batch may be
    // the ones they wait for.
    next = TakeNext(false);
  }
  return batch;
}

std::optional<Claim> Walk::TakeNext(bool wait) {
  if (m_next >= m_count || !WaitForTurn(m_next, wait)) return std::nullopt;
  Claim claim;
  claim.index = m_next++;
  PendingEntry failed;
  try {
    failed.fault = TakeEntry(claim.index, claim);
  } catch (...) {
    // Out of memory while building paths: the entry fails.
  }
  if (failed.fault == EntryFault::kNone) return claim;
  Done(claim.index, std::move(failed));
  return std::nullopt;
}

// True when entry `index` is within the window of entries in flight, which
// bounds the temporary files and memory when one large entry holds up the
// commits behind it; when `wait`, waits until it is. False once an entry
// failed: nothing after it is worth taking.
bool Walk::WaitForTurn(std::uint64_t index, bool wait) {
  std::unique_lock<std::mutex> lock(m_commit_mutex);
  auto may_take = [this, index] {
    return index < m_commits.Committed() + OrderedCommits::kWindow ||
           m_commits.FirstFailure() != OrderedCommits::kNoFailure;
  };
  if (wait) {
    m_committed.wait(lock, may_take);
  } else if (!may_take()) {
    return false;
  }
  return m_commits.FirstFailure() == OrderedCommits::kNoFailure;
}

void Walk::Done(std::uint64_t index, PendingEntry entry) {
  std::lock_guard<std::mutex> lock(m_commit_mutex);
  m_commits.Done(index, std::move(entry));
  m_committed.notify_all();
}

EntryFault Walk::TakeEntry(std::uint64_t index, Claim& claim) {
  if (index > 0 && unzGoToNextFile(m_archive) != UNZ_OK) return EntryFault::kUnreadableRecord;
  EntryInfo info;
  if (EntryFault fault = ReadEntryInfo(m_archive, info); fault != EntryFault::kNone) return fault;
  if (EntryFault fault = CheckSupported(info.raw); fault != EntryFault::kNone) return fault;
  std::optional<EntryData> data = LocateData(m_archive, info.raw);
  if (!data) return EntryFault::kDamagedHeader;
  claim.data = *data;
  claim.levels = SplitEntryName(info.name);
  claim.time = EntryTime(info.raw.tmu_date);
  return EntryFault::kNone;
}

// Makes the entry's folders and writes a file entry to a temporary file
// beside its place; the commit renames it only once its turn comes, so a
// failure never leaves a cut-short file at the entry's path.
PendingEntry Walk::Unpack(const Claim& claim, EntryDecoder& decoder) {
  PendingEntry entry;
  entry.fault = EntryFault::kFolderRefused;
  std::optional<std::wstring> folder =
      CreateFolders(m_target, claim.levels, claim.index, m_folders);
  if (!folder) return entry;
  if (claim.levels.back().empty()) {
    // A folder entry counts as unpacked only when its folder is there.
    if (platform::IsDirectory(*folder)) entry.fault = EntryFault::kNone;
    return entry;
  }
  entry.path = *folder + claim.levels.back();
  entry.writer = std::make_unique<platform::FileWriter>();
  if (!entry.writer->Create(*folder)) {
    entry.fault = entry.writer->DiskFull() ? EntryFault::kDiskFull : EntryFault::kNoTemporaryFile;
    return entry;
  }
  entry.fault = decoder.Decode(m_file, claim.data, *entry.writer);
  // A time the platform cannot represent leaves the file's own time.
  if (entry.fault == EntryFault::kNone) entry.writer->SetTimes(claim.time);
  return entry;
}

}  // namespace

Outcome UnpackEntries(unzFile archive, std::uint64_t count, const std::wstring& target,
                      const platform::ArchiveFile& file) {
  Walk walk(archive, count, target, file);
  std::thread helper;
  try {
    helper = std::thread([&walk] { walk.Work(); });
  } catch (const std::system_error&) {
    // No second thread: this one unpacks every entry.
  }
  walk.Work();
  if (helper.joinable()) helper.join();
  return walk.Finish();
}
