// Confined opening on Linux: openat2 with RESOLVE_BENEATH does the whole
// check in the one system call that opens the file. Names it refuses with
// EXDEV (a link or ".." that leaves the folder, or any absolute link) and
// systems without openat2 take the slow way, which compares real paths, so
// that an absolute link to a place inside the folder is still followed.
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "platform/contained_folder.h"

namespace platform {

namespace {

constexpr int kOpenFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// Set once openat2 has been found missing (older kernels, some sandboxes).
std::atomic<bool> s_no_openat2{false};

std::optional<ReadOnlyFile> AdoptIfRegular(int fd) {
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return std::nullopt;
  }
  return ReadOnlyFile(fd, static_cast<std::uint64_t>(info.st_size));
}

// -1 with errno on failure; errno ENOSYS when the call is missing.
int OpenBeneath(int folder, const char* relative) {
  if (s_no_openat2.load(std::memory_order_relaxed)) {
    errno = ENOSYS;
    return -1;
  }
  open_how how{};
  how.flags = kOpenFlags;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
  long fd = syscall(SYS_openat2, folder, relative, &how, sizeof how);
  if (fd < 0 && errno == ENOSYS) s_no_openat2.store(true, std::memory_order_relaxed);
  return static_cast<int>(fd);
}

// The real path of a name; "" when it cannot be resolved.
std::string RealPath(const std::string& name) {
  char resolved[PATH_MAX];
  return realpath(name.c_str(), resolved) == nullptr ? std::string() : std::string(resolved);
}

// The real path of what an open handle refers to; "" when unknown.
std::string RealPathOfHandle(int fd) {
  char resolved[PATH_MAX];
  std::string link = "/proc/self/fd/" + std::to_string(fd);
  ssize_t length = readlink(link.c_str(), resolved, sizeof resolved);
  if (length <= 0 || length >= static_cast<ssize_t>(sizeof resolved)) return {};
  return std::string(resolved, static_cast<std::size_t>(length));
}

bool LiesInside(const std::string& path, const std::string& folder) {
  if (folder == "/") return path.size() > 1 && path[0] == '/';
  return path.size() > folder.size() + 1 && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == '/';
}

}  // namespace

ContainedFolder::~ContainedFolder() { close(m_handle); }

std::optional<ReadOnlyFile> ContainedFolder::OpenFile(const char* relative) const {
  const char* name = relative;
  while (*name == '/') ++name;
  if (*name == '\0') return std::nullopt;  // the folder itself
  int fd = OpenBeneath(m_handle, name);
  if (fd >= 0) return AdoptIfRegular(fd);
  if (errno == EXDEV || errno == ENOSYS || errno == EPERM) return OpenCheckingRealPath(name);
  return std::nullopt;
}

std::optional<ReadOnlyFile> ContainedFolder::OpenCheckingRealPath(
    const std::string& relative) const {
  // Checking before opening keeps files outside from being opened at all;
  // checking the open handle catches a link that changed in between.
  std::string resolved = RealPath(m_real_path + "/" + relative);
  if (!LiesInside(resolved, m_real_path)) return std::nullopt;
  int fd = open(resolved.c_str(), kOpenFlags | O_NOFOLLOW);
  if (fd < 0) return std::nullopt;
  if (!LiesInside(RealPathOfHandle(fd), m_real_path)) {
    close(fd);
    return std::nullopt;
  }
  return AdoptIfRegular(fd);
}

std::shared_ptr<const ContainedFolder> OpenContainedFolder(const std::string& fs_name) {
  int fd = open(fs_name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  std::string real_path = RealPathOfHandle(fd);
  if (real_path.empty()) real_path = RealPath(fs_name);
  if (real_path.empty()) {
    close(fd);
    return nullptr;
  }
  try {
    return std::make_shared<const ContainedFolder>(fd, std::move(real_path));
  } catch (...) {
    close(fd);
    return nullptr;
  }
}

}  // namespace platform
