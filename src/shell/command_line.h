// The program's command-line options, read before the start sequence does
// anything: asking for the version or the help, or mistyping an option, must
// neither touch a running instance nor write a file.
#pragma once

#include <string>
#include <vector>

struct CommandLine {
  // Go on with the start sequence; when false, print the texts below and end
  // with `exit_status`.
  bool run = true;
  // --automation: started by WebKitWebDriver to be driven.
  bool automation = false;
  // --log FILE: the diagnostic log's file; "" when not asked for.
  std::string log_path;
  int exit_status = 0;
  std::string output;  // for standard output
  std::string error;   // for standard error
};

// Reads `args` (without the program's own path) from left to right: the first
// of --help, --version, an unknown argument or --log without its file decides;
// with none of them the program runs. `program` names the program in the texts (the base name it
// was started under); --version prints `product` followed by `version`. An
// unknown argument ends with exit status 2 and one line of error plus a hint
// at --help on standard error.
CommandLine ParseCommandLine(const std::vector<std::string>& args, const std::string& program,
                             const std::string& product, const std::string& version);

// ParseCommandLine over main's arguments with this program's version record;
// prints the texts. Returns the exit status when the program should end here,
// -1 when it should run, with `automation` set and the diagnostic log open when
// --log or the environment variable QUILLORY_LOG named its file (--log wins).
// A --log file that cannot be opened ends the program with status 2; one named
// only by the environment is reported and the program runs without a log.
int HandleCommandLine(int argc, char** argv, bool* automation);
