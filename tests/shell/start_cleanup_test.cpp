// Leftovers of killed runs: only temporary files of ended processes, named
// exactly as their writers name them, are removed at start.
#include "shell/start_cleanup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/fs.h"
#include "platform/temp_folder.h"
#include "shell/child_process.h"
#include "per_platform.h"

namespace {

namespace fs = std::filesystem;

// "#" in a name stands for the id of a process that has ended, "@" for this one's.
std::string WithIds(std::string name) {
  const std::string ended = std::to_string(test_support::EndedProcessId());
  const std::string current = std::to_string(test_support::CurrentProcessId());
  for (std::size_t at; (at = name.find_first_of("#@")) != std::string::npos;) {
    name.replace(at, 1, name[at] == '#' ? ended : current);
  }
  return name;
}

class StartCleanupTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    fs::create_directories(m_root / "Data/000123");
    fs::create_directories(m_root / "outside");
  }
  void Plant(const char* name) const { std::ofstream(m_root / WithIds(name)) << "x"; }
  bool Exists(const char* name) const { return fs::exists(m_root / WithIds(name)); }
  void Clean() const { RemoveLeftoversOfKilledRuns(platform::FromFsName(m_root.u8string() + "/")); }
};

TEST_F(StartCleanupTest, RemovesOnlyTemporaryFilesOfEndedProcesses) {
  const char* removed[] = {"config.ini.#.12.tmp", ".quillory-#-3.part",
                           "Data/000123/.quillory-#-0.part", "Data/update.xml.tmp"};
  const char* kept[] = {"config.ini.@.0.tmp",        "Data/.quillory-@-7.part",
                        "config.ini.#.tmp",          "config.ini.#.0.tmpx",
                        "Data/.quillory-#-01.part",  "Data/config.ini.#.0.tmp",
                        "outside/.quillory-#-1.part"};
  for (const char* name : removed) Plant(name);
  for (const char* name : kept) Plant(name);
  // A writer killed after making its copy read-only leaves it so.
  fs::permissions(m_root / WithIds(removed[1]), fs::perms::owner_read);
  Clean();
  for (const char* name : removed) EXPECT_FALSE(Exists(name)) << name;
  for (const char* name : kept) EXPECT_TRUE(Exists(name)) << name;
}

TEST_F(StartCleanupTest, PlantedLinksAreNeitherRemovedNorFollowed) {
  // The C++ library of the Windows build makes no symbolic links (it reports
  // them unsupported), so the Win32 walk's skipping of reparse points goes
  // untested here.
  if (OnWindows()) GTEST_SKIP() << "std::filesystem makes no links on Windows";
  Plant("outside/.quillory-#-1.part");
  fs::create_symlink(m_root / "outside", m_root / "Data/linked");
  fs::create_symlink(m_root / WithIds("outside/.quillory-#-1.part"),
                     m_root / WithIds("Data/.quillory-#-2.part"));
  Clean();
  EXPECT_TRUE(Exists("outside/.quillory-#-1.part"));
  EXPECT_TRUE(fs::is_symlink(m_root / WithIds("Data/.quillory-#-2.part")));
}

}  // namespace
