// Leftovers of killed runs: only temporary files of ended processes, named
// exactly as their writers name them, are removed at start.
#include "app/start_cleanup.h"

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

// The id of a process that has ended.
std::string EndedProcessId() {
  char* argv[] = {const_cast<char*>("/bin/true"), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ) != 0) return "0";
  waitpid(pid, nullptr, 0);
  return std::to_string(pid);
}

// "#" in a name stands for the ended process's id, "@" for this one's.
std::string WithIds(std::string name, const std::string& ended) {
  const std::string alive = std::to_string(getpid());
  for (std::size_t at; (at = name.find_first_of("#@")) != std::string::npos;) {
    name.replace(at, 1, name[at] == '#' ? ended : alive);
  }
  return name;
}

TEST(StartCleanupTest, RemovesOnlyTemporaryFilesOfEndedProcesses) {
  char pattern[] = "/tmp/quillory-cleanup-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const fs::path root = pattern;
  const fs::path app = root / "app";
  fs::create_directories(app / "Data/000123");
  fs::create_directories(root / "outside");
  const std::string ended = EndedProcessId();
  const std::pair<const char*, bool> rows[] = {
      {"config.ini.#.0.tmp", true},
      {"config.ini.#.12.tmp", true},
      {".quillory-#-3.part", true},
      {"Data/.quillory-#-0.part", true},
      {"Data/000123/.quillory-#-7.part", true},
      {"config.ini.@.0.tmp", false},
      {"Data/000123/.quillory-@-7.part", false},
      {"config.ini.#.tmp", false},
      {"config.ini.#.0.tmp.x", false},
      {"xconfig.ini.#.0.tmp", false},
      {"config.ini.0#.0.tmp", false},
      {"Data/.quillory-#-01.part", false},
      {"Data/.quillory-#-1-2.part", false},
      {"Data/config.ini.#.0.tmp", false},
      {"Data/000123/.quillory-#.part", false},
  };
  for (const auto& [name, removed] : rows) std::ofstream(app / WithIds(name, ended)) << "x";
  // A planted link is neither removed nor followed.
  std::ofstream(root / "outside" / WithIds(".quillory-#-1.part", ended)) << "x";
  fs::create_symlink(root / "outside", app / "Data/linked");
  fs::create_symlink(root / "outside" / WithIds(".quillory-#-1.part", ended),
                     app / "Data" / WithIds(".quillory-#-2.part", ended));

  RemoveLeftoversOfKilledRuns(platform::FromFsName(app.native() + "/"));
  for (const auto& [name, removed] : rows) {
    EXPECT_EQ(fs::exists(app / WithIds(name, ended)), !removed) << name;
  }
  EXPECT_TRUE(fs::is_symlink(app / "Data" / WithIds(".quillory-#-2.part", ended)));
  EXPECT_TRUE(fs::exists(root / "outside" / WithIds(".quillory-#-1.part", ended)));
  fs::remove_all(root);
}

}  // namespace
