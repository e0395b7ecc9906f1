// Walks folders through descriptors opened without following links, so a
// planted link never leads the clean-up elsewhere.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/process.h"
#include "platform/stale_files.h"

namespace platform {
namespace {

// Deeper folders are left alone: every level holds a descriptor open.
constexpr int kMaxDepth = 32;

// The entry's kind without following a link: DT_DIR, DT_REG or DT_UNKNOWN.
unsigned char KindOf(int dir_fd, const dirent& entry) {
  if (entry.d_type != DT_UNKNOWN) return entry.d_type;
  struct stat info {};
  if (fstatat(dir_fd, entry.d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) return DT_UNKNOWN;
  return S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
}

// Takes over `dir_fd`.
void RemoveIn(int dir_fd, const TempNamePattern& pattern, bool recursive, int depth) {
  DIR* dir = fdopendir(dir_fd);
  if (dir == nullptr) {
    close(dir_fd);
    return;
  }
  std::vector<std::string> stale;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const unsigned char kind = KindOf(dirfd(dir), *entry);
    if (kind == DT_DIR && recursive && depth < kMaxDepth) {
      const int sub =
          openat(dirfd(dir), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (sub >= 0) RemoveIn(sub, pattern, recursive, depth + 1);
    } else if (kind == DT_REG) {
      const std::optional<long> owner = TempNameOwner(name, pattern);
      if (owner && !IsProcessRunning(*owner)) stale.push_back(name);
    }
  }
  // unlinkat removes a link put in the file's place, never what it points to.
  for (const std::string& name : stale) unlinkat(dirfd(dir), name.c_str(), 0);
  closedir(dir);
}

}  // namespace

void RemoveFilesOfEndedProcesses(const std::string& folder, const TempNamePattern& pattern,
                                 bool recursive) {
  // The folder itself is the one the writers use, link or not.
  const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) RemoveIn(fd, pattern, recursive, 0);
}

}  // namespace platform
