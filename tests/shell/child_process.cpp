// The parts of the child-process support that are the same on every system.
#include "shell/child_process.h"

namespace test_support {

std::vector<std::string> OnlyTest(const std::string& test_name) {
  return {"--gtest_also_run_disabled_tests", "--gtest_filter=" + test_name};
}

int RunTestInChild(const std::string& test_name) {
  ChildProcess child(ThisProgram(), OnlyTest(test_name));
  return child.Wait();
}

long EndedProcessId() {
  static const long ended = [] {
    ChildProcess child(ThisProgram(), {"--gtest_filter=NoTestIsNamedSo"});
    child.Wait();
    return child.Id();
  }();
  return ended;
}

}  // namespace test_support
