// Symbolic links through CreateSymbolicLinkW (the C++ library of mingw
// makes none). A link is only taken as made when it is there afterwards:
// Wine reports success without making it.
#include <windows.h>

#include "server/file_link.h"

namespace test {

bool MakeLink(const std::filesystem::path& target, const std::filesystem::path& link,
              bool to_folder) {
  // Allowed without the privilege where developer mode is on (Windows 10 and later).
  constexpr DWORD kUnprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
  const DWORD flags = kUnprivileged | (to_folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0);
  const std::wstring windows_target = std::filesystem::path(target).make_preferred().wstring();
  if (!CreateSymbolicLinkW(link.wstring().c_str(), windows_target.c_str(), flags)) return false;
  const DWORD attributes = GetFileAttributesW(link.wstring().c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace test
