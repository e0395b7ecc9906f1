// File-system stand-ins over std::filesystem and POSIX calls.
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <system_error>

#include "platform/fs.h"
#include "platform/utf8.h"

namespace platform {
namespace {

std::filesystem::path FsPath(const std::wstring& path) { return ToFsName(path); }

bool StatPath(const std::wstring& path, struct stat& st) {
  return ::stat(ToFsName(path).c_str(), &st) == 0;
}

wchar_t FoldCase(wchar_t c) {
  if (c < 0x80) return (c >= L'A' && c <= L'Z') ? c + (L'a' - L'A') : c;
  return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
}

bool LessNoCase(const DirEntry& a, const DirEntry& b) {
  const std::size_t n = std::min(a.name.size(), b.name.size());
  for (std::size_t i = 0; i < n; ++i) {
    const wchar_t x = FoldCase(a.name[i]);
    const wchar_t y = FoldCase(b.name[i]);
    if (x != y) return x < y;
  }
  if (a.name.size() != b.name.size()) return a.name.size() < b.name.size();
  return a.name < b.name;  // names differing only in case: a stable, fixed order
}

}  // namespace

std::string ToFsName(const std::wstring& path) {
  std::wstring with_separators = path;
  std::replace(with_separators.begin(), with_separators.end(), L'\\', kPathSeparator);
  return Utf8Encode(with_separators);
}

std::wstring FromFsName(const std::string& name) { return Utf8Decode(name); }

bool PathExists(const std::wstring& path) {
  struct stat st;
  return ::lstat(ToFsName(path).c_str(), &st) == 0;
}

bool IsDirectory(const std::wstring& path) {
  struct stat st;
  return StatPath(path, st) && S_ISDIR(st.st_mode);
}

bool IsPlainFolder(const std::wstring& path) {
  std::string name = ToFsName(path);
  // A trailing separator would make lstat follow a link.
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  struct stat st;
  return ::lstat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsReadOnly(const std::wstring& path) {
  const std::string name = ToFsName(path);
  struct stat st;
  if (::stat(name.c_str(), &st) != 0) return false;
  // No write bit at all is the read-only attribute, even for a superuser.
  return (st.st_mode & 0222) == 0 || ::access(name.c_str(), W_OK) != 0;
}

std::optional<std::uint64_t> FileSize(const std::wstring& path) {
  struct stat st;
  if (!StatPath(path, st) || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

std::optional<std::wstring> RealPath(const std::wstring& path) {
  char* resolved = ::realpath(ToFsName(path).c_str(), nullptr);
  if (resolved == nullptr) return std::nullopt;
  std::wstring real = FromFsName(resolved);
  std::free(resolved);
  return real;
}

bool CopyFileTo(const std::wstring& from, const std::wstring& to, bool overwrite) {
  std::error_code ec;
  const auto options = overwrite ? std::filesystem::copy_options::overwrite_existing
                                 : std::filesystem::copy_options::none;
  return std::filesystem::copy_file(FsPath(from), FsPath(to), options, ec) && !ec;
}

bool DeleteFileAt(const std::wstring& path) {
  const std::string name = ToFsName(path);
  struct stat target;
  struct stat self;
  if (::lstat(name.c_str(), &target) != 0 || S_ISDIR(target.st_mode)) return false;
  // Any name of the running executable's file (a hard link too) is refused, as
  // Windows refuses to delete a file that is being executed. A symbolic link
  // to it is a file of its own and may go.
  if (::stat("/proc/self/exe", &self) == 0 && target.st_dev == self.st_dev &&
      target.st_ino == self.st_ino) {
    return false;
  }
  return ::unlink(name.c_str()) == 0;
}

bool MoveFileTo(const std::wstring& from, const std::wstring& to) {
  const std::string src = ToFsName(from);
  const std::string dst = ToFsName(to);
  if (::rename(src.c_str(), dst.c_str()) == 0) return true;
  if (errno != EXDEV) return false;
  // Across file systems: copy, then remove the original.
  if (!CopyFileTo(from, to, true)) return false;
  return ::unlink(src.c_str()) == 0;
}

bool CreateFolder(const std::wstring& path) { return ::mkdir(ToFsName(path).c_str(), 0777) == 0; }

bool RemoveFolder(const std::wstring& path) { return ::rmdir(ToFsName(path).c_str()) == 0; }

std::vector<DirEntry> ListFolder(const std::wstring& path) {
  std::vector<DirEntry> entries;
  std::error_code ec;
  std::filesystem::directory_iterator it(FsPath(path), ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::error_code type_ec;
    DirEntry entry;
    entry.name = FromFsName(it->path().filename().string());
    entry.is_directory = it->is_directory(type_ec);
    entries.push_back(std::move(entry));
  }
  if (ec) return {};
  std::sort(entries.begin(), entries.end(), LessNoCase);
  return entries;
}

std::wstring ExecutablePath() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::wstring() : FromFsName(exe.string());
}

}  // namespace platform
