// Symbolic links for the tests of confined opening.
#pragma once

#include <filesystem>

namespace test {

// Makes a symbolic link at `link` to `target` (absolute, or relative to the
// link's folder; "/" separators), to a folder when `to_folder`. False when
// the system makes no link: Windows needs a privilege for them, and Wine
// only pretends to make them.
bool MakeLink(const std::filesystem::path& target, const std::filesystem::path& link,
              bool to_folder);

}  // namespace test
