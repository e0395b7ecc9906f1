// The options the program knows and the texts it prints for them.
#include "shell/command_line.h"

#include <cstdio>
#include <utility>

#include "core/version_record.h"
#include "platform/utf8.h"
#include "shell/shared_values.h"

namespace {

std::string HelpText(const std::string& program) {
  return "Usage: " + program +
         " [OPTION]...\n"
         "Shows the textbooks kept in the Data folder beside the program.\n"
         "\n"
         "  --automation  let WebKitWebDriver drive the window (for tests)\n"
         "  --version     print the program's name and version, then end\n"
         "  --help        print this help, then end\n";
}

CommandLine Ending(int status, std::string output, std::string error) {
  CommandLine line;
  line.run = false;
  line.exit_status = status;
  line.output = std::move(output);
  line.error = std::move(error);
  return line;
}

// Only the base name: the full path of a program folder says nothing to the reader.
std::string BaseName(const char* path) {
  const std::string text = path != nullptr && *path != '\0' ? path : "quillory";
  const std::size_t slash = text.find_last_of('/');
  return slash == std::string::npos ? text : text.substr(slash + 1);
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args, const std::string& program,
                             const std::string& product, const std::string& version) {
  CommandLine line;
  for (const std::string& arg : args) {
    if (arg == "--automation") {
      line.automation = true;
    } else if (arg == "--help") {
      return Ending(0, HelpText(program), "");
    } else if (arg == "--version") {
      return Ending(0, product + " " + version + "\n", "");
    } else {
      const char* kind = !arg.empty() && arg[0] == '-' ? "unknown option" : "unexpected argument";
      return Ending(2, "",
                    program + ": " + kind + " '" + arg + "'\nTry '" + program +
                        " --help' for more information.\n");
    }
  }
  return line;
}

int HandleCommandLine(int argc, char** argv, bool* automation) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const CommandLine line =
      ParseCommandLine(args, BaseName(argc > 0 ? argv[0] : nullptr),
                       platform::Utf8Encode(g_strProductName), OwnVersionRecordText());
  std::fputs(line.output.c_str(), stdout);
  std::fputs(line.error.c_str(), stderr);
  *automation = line.automation;
  return line.run ? -1 : line.exit_status;
}
