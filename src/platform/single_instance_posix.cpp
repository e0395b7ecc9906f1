// Single instance over an flock()ed file and activation over a Unix socket,
// both in the user's runtime folder.
#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

#include "platform/fs.h"

namespace platform {
namespace {

bool IsPrivateFolder(const std::string& folder) {
  struct stat info {};
  return lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid();
}

std::string FileIn(const std::wstring& name, const char* suffix) {
  std::string folder = InstanceRuntimeFolder();
  if (folder.empty()) return {};
  return folder + "/" + ToFsName(name) + suffix;
}

bool FillSocketAddress(const std::string& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof(address));
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size());
  return true;
}

// Accepts requests until the process ends; one byte per request, then closed.
void ServeActivation(int listener, std::function<void()> on_request) {
  for (;;) {
    int connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;
    }
    char request = 0;
    ssize_t got = recv(connection, &request, 1, 0);
    close(connection);
    if (got == 1 && request == 'A') on_request();
  }
}

}  // namespace

std::string InstanceRuntimeFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime != '\0' && IsPrivateFolder(runtime)) return runtime;
  std::string fallback = "/tmp/quillory-" + std::to_string(getuid());
  mkdir(fallback.c_str(), 0700);  // fails harmlessly when it exists
  return IsPrivateFolder(fallback) ? fallback : std::string();
}

bool AcquireInstanceLock(const std::wstring& name) {
  std::string path = FileIn(name, ".lock");
  if (path.empty()) return true;
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return true;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;  // fd stays open: the lock lives with us
  bool held_by_other = errno == EWOULDBLOCK;
  close(fd);
  return !held_by_other;
}

void ListenForActivation(const std::wstring& name, std::function<void()> on_request) {
  sockaddr_un address;
  std::string path = FileIn(name, ".sock");
  if (!FillSocketAddress(path, address)) return;
  int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener < 0) return;
  unlink(path.c_str());  // left behind by an instance that died; we hold the lock now
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(listener, 4) != 0) {
    close(listener);
    return;
  }
  std::thread(ServeActivation, listener, std::move(on_request)).detach();
}

bool RequestActivation(const std::wstring& name) {
  sockaddr_un address;
  if (!FillSocketAddress(FileIn(name, ".sock"), address)) return false;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool sent = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
              send(fd, "A", 1, MSG_NOSIGNAL) == 1;
  close(fd);
  return sent;
}

}  // namespace platform
