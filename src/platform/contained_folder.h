// Opening files inside one folder and nowhere else. The folder's own name is
// trusted (links in it are followed once, when it is opened); what lies in it
// is not: a file is opened only when its real path, with every link in the
// name below the folder resolved, lies inside the folder. Links that stay
// inside it are followed. Safe on any thread.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/file_read.h"

namespace platform {

class ContainedFolder {
 public:
  ContainedFolder(FileHandle handle, std::string real_path)
      : m_handle(handle), m_real_path(std::move(real_path)) {}
  ~ContainedFolder();
  ContainedFolder(const ContainedFolder&) = delete;
  ContainedFolder& operator=(const ContainedFolder&) = delete;

  // Opens a regular file for reading by its file-system name relative to the
  // folder (leading separators are ignored), shared like OpenReadOnlyFile. No
  // result when it does not exist, is a folder or another special file,
  // cannot be opened, or its real path lies outside the folder.
  std::optional<ReadOnlyFile> OpenFile(const char* relative) const;

 private:
  // The slow way, for names that the kernel's confined look-up refuses or
  // cannot do (on Windows, which has none, every name): resolve, check, open,
  // and check what was opened.
  std::optional<ReadOnlyFile> OpenCheckingRealPath(const std::string& relative) const;

  const FileHandle m_handle;      // the folder, opened once
  const std::string m_real_path;  // its real path when it was opened
};

// Opens the folder `fs_name` for ContainedFolder::OpenFile. Null when it does
// not exist or cannot be opened. The folder must stay in place for as long as
// the result is used; what lies in it may change.
std::shared_ptr<const ContainedFolder> OpenContainedFolder(const std::string& fs_name);

}  // namespace platform
