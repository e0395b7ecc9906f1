// A scratch folder for one fuzzing process, on a memory file system when
// there is one, removed when the process ends; and small file helpers.
#pragma once

#include <string>
#include <vector>

namespace fuzz {

// The process's scratch folder (created on first use), without a trailing "/".
const std::string& ScratchFolder();

// Writes `bytes` to `path`, replacing it; aborts when that fails (a broken
// harness must not pass as a clean run).
void WriteFileOrDie(const std::string& path, const std::string& bytes);
std::string ReadFileOrEmpty(const std::string& path);

// Every path below `folder` (files, folders, links), relative to it, sorted.
std::vector<std::string> ListTree(const std::string& folder);
// Removes everything inside `folder`, keeping the folder.
void EmptyFolder(const std::string& folder);

// Stops the run with a message naming the broken invariant.
[[noreturn]] void Fail(const char* invariant, const std::string& detail);

}  // namespace fuzz
