// Writing a file so that a reader never sees it half written: the bytes go to
// a temporary file beside its final place, which is renamed over the final
// path only when complete. Safe on any thread; one FileWriter per thread.
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>

#include "platform/native_handle.h"

namespace platform {

// A wall-clock time in the local time zone (month 1-12, day 1-31).
struct LocalTime {
  int year = 1980;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

class FileWriter {
 public:
  FileWriter() = default;
  // Removes the temporary file unless it was committed.
  ~FileWriter();
  FileWriter(const FileWriter&) = delete;
  FileWriter& operator=(const FileWriter&) = delete;

  // Creates a new, empty temporary file inside `folder`, which must exist.
  // False when it cannot be created.
  bool Create(const std::wstring& folder);
  // Writes all `size` bytes. False on any failure, a short write included.
  bool Write(const char* data, std::size_t size);
  // Sets the file's last-access and last-write times (and its creation time
  // where the platform keeps one) to `time`, read as local time.
  bool SetTimes(const LocalTime& time);
  // Gives the temporary file the permission bits of `mode` (a file mode word;
  // on Windows, no write bit at all is the read-only attribute).
  bool SetPermissions(unsigned mode);
  // Flushes the written bytes to the disk, so that the final name never ends
  // up on a file cut short by a crash after Commit.
  bool Flush();
  // Closes the temporary file and renames it to `path`, replacing a file
  // there. False on failure; the temporary file is removed then.
  bool Commit(const std::wstring& path);
  // Closes and removes the temporary file. Harmless when there is none.
  void Discard();
  // True when the last of Create, Write, Flush and Commit that failed did so
  // because the disk (or the user's quota) was full.
  bool DiskFull() const { return m_disk_full; }

 private:
  FileHandle m_fd = kNoFile;
  std::string m_temp_name;  // file-system name of the temporary file
  bool m_disk_full = false;
};

// Opens a new, empty file at `path` for binary writing. Whatever file is
// there is removed first (a symbolic link as a link, never what it points
// to), and the file is created only if nothing took its place meanwhile, so
// the bytes never go through a planted link. None when it cannot be created.
// The caller closes the stream.
std::FILE* CreateNewFile(const std::wstring& path);

// Copies the regular file `from` over `to` through a temporary file beside
// `to`, flushed and then renamed over it: `to` is never written in place, so
// a program still executing it keeps running and a copy cut short never
// takes its name (Windows itself refuses to replace a file that is being
// executed: the copy fails then). The copy carries the permission bits of
// `from` (an executable stays executable). False on any failure; `to` is then
// unchanged.
bool CopyFileReplacing(const std::wstring& from, const std::wstring& to);

// Removes the temporary files that writers of processes no longer running
// left in `folder` and, when `recursive`, in every folder below it. Only
// regular files named exactly as a writer names its temporary file go;
// links inside `folder` are neither removed nor followed.
void RemoveStaleTempFiles(const std::wstring& folder, bool recursive);

// True when a file may be created or replaced at `path`: nothing is there,
// or a regular file that carries write permission. A file without any write
// permission bit counts as read-only even for a privileged process, as a
// read-only attribute would.
bool CanReplaceFile(const std::wstring& path);

// Last-write time of the object at `path`, as local time; none when it
// cannot be read.
std::optional<LocalTime> FileLocalTime(const std::wstring& path);

}  // namespace platform
