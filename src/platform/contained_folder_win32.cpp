// Confined opening on Windows, which has no look-up confined to a folder.
// The name is resolved by the text first: "." and ".." segments are settled
// (a ".." above the folder refuses the name), and a segment that Windows
// would read as something else than a file name (an alternate data stream
// "name:stream", a device name such as "CON") never reaches the system,
// because the path goes to it with the "\\?\" prefix, which turns off every
// such reading. The object is then opened for its attributes only, following
// links; only when its final path, every link resolved, lies inside the
// folder and it is a regular file is it opened again for reading, through
// its handle, so that nothing can change between the check and the read.
#include <windows.h>

#include <vector>

#include "platform/contained_folder.h"
#include "platform/fs.h"
#include "platform/win32_files.h"

namespace platform {
namespace {

// The segments below the folder with "." and ".." settled; false when the
// name leaves the folder or holds a segment that is no plain file name.
bool SettledSegments(const std::wstring& relative, std::vector<std::wstring>& segments) {
  std::size_t start = 0;
  while (start <= relative.size()) {
    std::size_t end = relative.find_first_of(L"\\/", start);
    if (end == std::wstring::npos) end = relative.size();
    const std::wstring segment = relative.substr(start, end - start);
    start = end + 1;
    if (segment.empty() || segment == L".") continue;
    if (segment == L"..") {
      if (segments.empty()) return false;
      segments.pop_back();
      continue;
    }
    if (segment.find(L':') != std::wstring::npos) return false;
    segments.push_back(segment);
  }
  return !segments.empty();
}

bool SameTextIgnoringCase(const wchar_t* a, const wchar_t* b, std::size_t length) {
  return CompareStringOrdinal(a, static_cast<int>(length), b, static_cast<int>(length), TRUE) ==
         CSTR_EQUAL;
}

bool LiesInside(const std::wstring& path, const std::wstring& folder) {
  // A drive's root ("C:\") ends in its separator already.
  const std::size_t prefix = folder.back() == L'\\' ? folder.size() : folder.size() + 1;
  return path.size() > prefix &&
         SameTextIgnoringCase(path.c_str(), folder.c_str(), folder.size()) &&
         path[prefix - 1] == L'\\';
}

// The "\\?\" form of an absolute path ("\\server\share" becomes "\\?\UNC\server\share").
std::wstring Verbatim(const std::wstring& path) {
  if (path.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + path.substr(2);
  return L"\\\\?\\" + path;
}

}  // namespace

ContainedFolder::~ContainedFolder() { CloseHandle(AsHandle(m_handle)); }

std::optional<ReadOnlyFile> ContainedFolder::OpenFile(const char* relative) const {
  const char* name = relative;
  while (*name == '/' || *name == '\\') ++name;
  if (*name == '\0') return std::nullopt;  // the folder itself
  return OpenCheckingRealPath(name);
}

std::optional<ReadOnlyFile> ContainedFolder::OpenCheckingRealPath(
    const std::string& relative) const {
  std::vector<std::wstring> segments;
  if (!SettledSegments(FromFsName(relative), segments)) return std::nullopt;
  const std::wstring folder = FromFsName(m_real_path);
  std::wstring path = folder;
  for (const std::wstring& segment : segments) {
    if (path.back() != L'\\') path += L'\\';
    path += segment;
  }
  ScopedHandle probe(OpenForAttributes(Verbatim(path), true));
  if (!probe.Valid() || !IsRegularFile(probe.Get())) return std::nullopt;
  const std::optional<std::wstring> real_path = FinalPathOf(probe.Get());
  LARGE_INTEGER size;
  if (!real_path || !LiesInside(*real_path, folder) || !GetFileSizeEx(probe.Get(), &size)) {
    return std::nullopt;
  }
  HANDLE file = ReOpenFile(probe.Get(), GENERIC_READ, kShareAll, 0);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  return ReadOnlyFile(AsFileHandle(file), static_cast<std::uint64_t>(size.QuadPart));
}

std::shared_ptr<const ContainedFolder> OpenContainedFolder(const std::string& fs_name) {
  HANDLE folder = OpenForAttributes(WidePath(fs_name), true);
  if (folder == INVALID_HANDLE_VALUE) return nullptr;
  BY_HANDLE_FILE_INFORMATION info;
  const std::optional<std::wstring> real_path = FinalPathOf(folder);
  if (!real_path || !GetFileInformationByHandle(folder, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    CloseHandle(folder);
    return nullptr;
  }
  try {
    return std::make_shared<const ContainedFolder>(AsFileHandle(folder), ToFsName(*real_path));
  } catch (...) {
    CloseHandle(folder);
    return nullptr;
  }
}

}  // namespace platform
