// Symbolic links through the standard library.
#include "server/file_link.h"

#include <system_error>

namespace test {

bool MakeLink(const std::filesystem::path& target, const std::filesystem::path& link,
              bool to_folder) {
  std::error_code error;
  if (to_folder) {
    std::filesystem::create_directory_symlink(target, link, error);
  } else {
    std::filesystem::create_symlink(target, link, error);
  }
  return !error;
}

}  // namespace test
