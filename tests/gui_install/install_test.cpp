// The program folder that `cmake --install` lays out: its files, its desktop
// entry and the user's menu entry, and the program starting on its content
// after the folder has been moved.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "gui/harness/shell_test.h"

namespace guitest {
namespace {

namespace fs = std::filesystem;

// The value of `key` in the desktop file at `path` ("" when it has none).
std::string DesktopValue(const std::string& path, const std::string& key) {
  std::ifstream lines(path);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
  return "";
}

bool Has(const fs::path& path, fs::perms perm) {
  return (fs::status(path).permissions() & perm) != fs::perms::none;
}

using InstallTest = ShellTest;

TEST_F(InstallTest, FolderGoesInTheMenuAndStartsOnItsContentWhereverItIs) {
  const std::string dir = Root() + "/\xE5\xAD\xA6\xE6\xA0\xA1 books";  // 学校 books
  ASSERT_EQ(RunCommand({QUILLORY_TEST_CMAKE, "--install", QUILLORY_TEST_BUILD_DIR, "--prefix", dir})
                .exit_code,
            0);
  EXPECT_TRUE(Has(dir + "/quillory", fs::perms::owner_exec));
  EXPECT_TRUE(fs::exists(dir + "/Data/000000"));
  EXPECT_TRUE(fs::exists(dir + "/icons/quillory.svg") &&
              fs::exists(dir + "/icons/quillory-48.png"));
  EXPECT_FALSE(fs::exists(dir + "/tirrel"));
  // The program replaces itself and writes beside itself.
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir))
    EXPECT_TRUE(Has(entry.path(), fs::perms::owner_write)) << entry.path();
  const std::string exec = "\"" + dir + "/quillory\"";
  EXPECT_EQ(DesktopValue(dir + "/quillory.desktop", "Exec"), exec);

  Env user = ShellEnv();
  user["HOME"] = Root() + "/home";
  const std::string menu = user["XDG_DATA_HOME"] + "/applications/quillory.desktop";
  const std::string icon = user["XDG_DATA_HOME"] + "/icons/hicolor/48x48/apps/quillory.png";
  ASSERT_EQ(RunCommand({dir + "/install-desktop-entry.sh"}, user).exit_code, 0);
  for (const std::string& entry : {dir + "/quillory.desktop", menu})  // prints nothing when valid
    EXPECT_EQ(RunCommand({"desktop-file-validate", entry}).output, "") << entry;
  EXPECT_EQ(DesktopValue(menu, "Exec"), exec);
  EXPECT_TRUE(fs::exists(icon));
  ASSERT_EQ(RunCommand({dir + "/install-desktop-entry.sh", "--uninstall"}, user).exit_code, 0);
  EXPECT_FALSE(fs::exists(menu) || fs::exists(icon));

  // Moved, the folder's entry follows it the next time the script runs.
  fs::remove_all(ProgramDir());
  fs::rename(dir, ProgramDir());
  ASSERT_EQ(RunCommand({ProgramDir() + "/install-desktop-entry.sh"}, user).exit_code, 0);
  EXPECT_EQ(DesktopValue(menu, "Exec"), "\"" + ProgramDir() + "/quillory\"");
  ASSERT_NE(StartDrivenShell(), nullptr);
  ASSERT_TRUE(WaitForPage("/000000/kvr_main.html"));
  EXPECT_TRUE(WaitForScript("document.querySelectorAll('#shelf .shelf-book').length === 3"));
}

}  // namespace
}  // namespace guitest
