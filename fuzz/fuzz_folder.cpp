#include "fuzz_folder.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fuzz {
namespace {

namespace fs = std::filesystem;

std::string MakeScratchFolder() {
  const char* base = fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
  std::string pattern = std::string(base) + "/quillory-fuzz-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) Fail("scratch folder", pattern);
  return pattern;
}

struct Scratch {
  std::string path = MakeScratchFolder();
  pid_t owner = getpid();
  ~Scratch() {
    std::error_code ignored;
    if (getpid() == owner) fs::remove_all(path, ignored);
  }
};

}  // namespace

const std::string& ScratchFolder() {
  static Scratch scratch;
  return scratch.path;
}

void WriteFileOrDie(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.good()) Fail("harness write", path);
}

std::string ReadFileOrEmpty(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> ListTree(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    names.push_back(fs::relative(it->path(), folder).string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void EmptyFolder(const std::string& folder) {
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code ignored;
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(it->path(), ignored);
  }
}

void Fail(const char* invariant, const std::string& detail) {
  std::fprintf(stderr, "\nINVARIANT BROKEN: %s: %s\n", invariant, detail.c_str());
  std::abort();
}

}  // namespace fuzz
