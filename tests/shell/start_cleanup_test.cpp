// Leftovers of killed runs: only temporary files of ended processes, named
// exactly as their writers name them, are removed at start.
#include "shell/start_cleanup.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/fs.h"

namespace {

namespace fs = std::filesystem;

// "#" in a name stands for the id of a process that has ended, "@" for this one's.
std::string WithIds(std::string name) {
  static const std::string ended = [] {
    char* argv[] = {const_cast<char*>("/bin/true"), nullptr};
    pid_t pid = 0;
    posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ);
    waitpid(pid, nullptr, 0);
    return std::to_string(pid);
  }();
  for (std::size_t at; (at = name.find_first_of("#@")) != std::string::npos;) {
    name.replace(at, 1, name[at] == '#' ? ended : std::to_string(getpid()));
  }
  return name;
}

TEST(StartCleanupTest, RemovesOnlyTemporaryFilesOfEndedProcesses) {
  char pattern[] = "/tmp/quillory-cleanup-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const fs::path app = pattern;
  fs::create_directories(app / "Data/000123");
  fs::create_directories(app / "outside");
  const char* removed[] = {"config.ini.#.12.tmp", ".quillory-#-3.part",
                           "Data/000123/.quillory-#-0.part", "Data/update.xml.tmp"};
  const char* kept[] = {"config.ini.@.0.tmp",        "Data/.quillory-@-7.part",
                        "config.ini.#.tmp",          "config.ini.#.0.tmpx",
                        "Data/.quillory-#-01.part",  "Data/config.ini.#.0.tmp",
                        "outside/.quillory-#-1.part"};
  for (const char* name : removed) std::ofstream(app / WithIds(name)) << "x";
  for (const char* name : kept) std::ofstream(app / WithIds(name)) << "x";
  // Planted links are neither removed nor followed.
  fs::create_symlink(app / "outside", app / "Data/linked");
  fs::create_symlink(app / WithIds("outside/.quillory-#-1.part"),
                     app / WithIds("Data/.quillory-#-2.part"));

  RemoveLeftoversOfKilledRuns(platform::FromFsName(app.u8string() + "/"));
  for (const char* name : removed) EXPECT_FALSE(fs::exists(app / WithIds(name))) << name;
  for (const char* name : kept) EXPECT_TRUE(fs::exists(app / WithIds(name))) << name;
  EXPECT_TRUE(fs::is_symlink(app / WithIds("Data/.quillory-#-2.part")));
  fs::remove_all(app);
}

}  // namespace
