// The program's options, on the built executable: what it prints, how it
// ends, and that it ends before the start sequence touches anything.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "platform/temp_folder.h"

namespace {

namespace fs = std::filesystem;

struct OptionCase {
  std::string args;
  int exit_status;
  std::string output;  // ECMAScript pattern over the whole standard output
  std::string error;   // same, standard error
};

class CommandLineTest : public TempFolderTest {
 protected:
  // Runs the copy `name` of the shell with `args` and no display; the exit status.
  int Run(const std::string& name, const std::string& args) const {
    const std::string command = "cd '" + m_root.string() +
                                "' && env -u DISPLAY -u WAYLAND_DISPLAY XDG_RUNTIME_DIR=runtime"
                                " QUILLORY_FEATURE_CONTROL_FILE=feature_control.ini ./" +
                                name + " " + args + " >stdout 2>stderr";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::set<std::string> Entries() const {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(m_root))
      names.insert(entry.path().filename().string());
    return names;
  }
};

TEST_F(CommandLineTest, OptionsPrintAndEndWithoutStartingTheProgram) {
  const std::string version =
      std::regex_replace(QUILLORY_EXPECTED_VERSION, std::regex("\\."), "\\.");
  const std::string hint = "Try 'quillory_ --help' for more information\\.\n";
  const OptionCase cases[] = {
      {"--version", 0, "Quillory " + version + "\n", ""},
      {"--automation --version", 0, "Quillory " + version + "\n", ""},
      {"--help", 0,
       "Usage: quillory_ \\[OPTION\\]\\.\\.\\.\n[^-]*\n  --automation [^\n]*\n"
       "  --log FILE [^\n]*\n +\\(also: [^\n]*QUILLORY_LOG=FILE\\)\n"
       "  --version [^\n]*\n  --help [^\n]*\n",
       ""},
      {"--bogus --version", 2, "", "quillory_: unknown option '--bogus'\n" + hint},
      {"--version=2", 2, "", "quillory_: unknown option '--version=2'\n" + hint},
      {"--log", 2, "", "quillory_: option '--log' needs a file\n" + hint},
      {"--log missing/x.log", 2, "", "quillory_: cannot open the log file 'missing/x\\.log'\n"},
      {"book.vkp", 2, "", "quillory_: unexpected argument 'book\\.vkp'\n" + hint},
  };
  // Under the update name a start that got as far as the start sequence would
  // copy itself over "quillory"; any start would write the feature-control store.
  fs::copy_file(QUILLORY_TEST_SHELL_EXE, Path("quillory_"));
  for (const OptionCase& c : cases) {
    SCOPED_TRACE(c.args);
    EXPECT_EQ(Run("quillory_", c.args), c.exit_status);
    EXPECT_TRUE(std::regex_match(Read("stdout"), std::regex(c.output))) << Read("stdout");
    EXPECT_TRUE(std::regex_match(Read("stderr"), std::regex(c.error))) << Read("stderr");
    EXPECT_EQ(Entries(), (std::set<std::string>{"quillory_", "stdout", "stderr"}));
  }
}

}  // namespace
