// The options the program knows and the texts it prints for them.
#include "shell/command_line.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "core/diag_log.h"
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
         "  --log FILE    append a line to FILE for each failure or finished run\n"
         "                (also: environment variable QUILLORY_LOG=FILE)\n"
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

// One line naming the mistake, then the hint at --help.
std::string Mistake(const std::string& program, const std::string& what) {
  return program + ": " + what + "\nTry '" + program + " --help' for more information.\n";
}

// Opens the diagnostic log the line or the environment asks for; false when
// the program should end (a --log file that cannot be opened).
bool OpenAskedForLog(const CommandLine& line, const std::string& program) {
  const char* from_env = std::getenv("QUILLORY_LOG");
  const std::string path = !line.log_path.empty() ? line.log_path
                           : from_env != nullptr  ? from_env
                                                  : "";
  if (path.empty() || OpenDiagnosticLog(path)) return true;
  std::fprintf(stderr, "%s: cannot open the log file '%s'\n", program.c_str(), path.c_str());
  return line.log_path.empty();
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
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--automation") {
      line.automation = true;
    } else if (arg == "--log" && i + 1 < args.size()) {
      line.log_path = args[++i];
    } else if (arg == "--log") {
      return Ending(2, "", Mistake(program, "option '--log' needs a file"));
    } else if (arg == "--help") {
      return Ending(0, HelpText(program), "");
    } else if (arg == "--version") {
      return Ending(0, product + " " + version + "\n", "");
    } else {
      const char* kind = !arg.empty() && arg[0] == '-' ? "unknown option" : "unexpected argument";
      return Ending(2, "", Mistake(program, std::string(kind) + " '" + arg + "'"));
    }
  }
  return line;
}

int HandleCommandLine(int argc, char** argv, bool* automation) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const std::string program = BaseName(argc > 0 ? argv[0] : nullptr);
  const CommandLine line = ParseCommandLine(args, program, platform::Utf8Encode(g_strProductName),
                                            OwnVersionRecordText());
  std::fputs(line.output.c_str(), stdout);
  std::fputs(line.error.c_str(), stderr);
  *automation = line.automation;
  if (!line.run) return line.exit_status;
  return OpenAskedForLog(line, program) ? -1 : 2;
}
