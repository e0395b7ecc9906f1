// Settings files on POSIX systems: read with stdio, replaced through a
// temporary file and a rename, so readers never see a half-written file and a
// crash leaves either the old or the new one. The files are stored as their
// text's bytes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/ini_file.h"
#include "platform/stale_files.h"

namespace platform {
namespace {

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Temporary files are the settings file's name, the writer's process id, a
// counter and ".tmp", so that the leftovers of a killed writer can be found.
TempNamePattern TempPatternFor(const std::string& leaf) { return {leaf + ".", ".", ".tmp"}; }

ProfileWriteFailure WriteFailureFromErrno() {
  return errno == ENOSPC || errno == EDQUOT ? ProfileWriteFailure::kDiskFull
                                            : ProfileWriteFailure::kUnwritable;
}

}  // namespace

ProfileRead ReadProfileFile(const std::wstring& path, ProfileFile& file) {
  FILE* stream = std::fopen(ToFsName(path).c_str(), "rb");
  if (stream == nullptr) return errno == ENOENT ? ProfileRead::kMissing : ProfileRead::kFailed;
  char chunk[4096];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof(chunk), stream)) > 0) file.bytes.append(chunk, got);
  const bool failed = std::ferror(stream) != 0;
  std::fclose(stream);
  return failed ? ProfileRead::kFailed : ProfileRead::kOk;
}

ProfileWriteFailure ReplaceProfileFile(const std::wstring& path, const ProfileFile& file) {
  const std::string name = ToFsName(path);
  const std::string& bytes = file.bytes;
  static std::atomic<unsigned> counter{0};
  const TempNamePattern pattern = TempPatternFor(name);
  const std::string temp = pattern.prefix + std::to_string(::getpid()) + pattern.separator +
                           std::to_string(counter.fetch_add(1)) + pattern.suffix;
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return WriteFailureFromErrno();
  struct stat old_file;
  bool ok = true;
  if (::stat(name.c_str(), &old_file) == 0) ok = ::fchmod(fd, old_file.st_mode & 07777) == 0;
  ok = ok && WriteAll(fd, bytes) && ::fsync(fd) == 0;
  ProfileWriteFailure failure = ok ? ProfileWriteFailure::kNone : WriteFailureFromErrno();
  if (::close(fd) != 0 && ok) failure = WriteFailureFromErrno();
  if (failure == ProfileWriteFailure::kNone && ::rename(temp.c_str(), name.c_str()) != 0) {
    failure = WriteFailureFromErrno();
  }
  // The folder is not synced: the rename reaches the disk with the next
  // journal commit, and until then the old file stays whole.
  if (failure != ProfileWriteFailure::kNone) ::unlink(temp.c_str());
  return failure;
}

void RemoveStaleProfileTemps(const std::wstring& path) {
  const std::string name = ToFsName(path);
  const std::size_t cut = name.rfind('/');
  const std::string folder = cut == std::string::npos ? "." : name.substr(0, cut + 1);
  const std::string leaf = cut == std::string::npos ? name : name.substr(cut + 1);
  RemoveFilesOfEndedProcesses(folder, TempPatternFor(leaf), false);
}

}  // namespace platform
