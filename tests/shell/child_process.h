// What the shell's tests need of the system beyond the platform layer: this
// test program run again as a child, process ids and the environment.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace test_support {

// Full path of this test program, read independently of the platform layer.
std::string ThisProgram();

long CurrentProcessId();
// What tells a detached process from its starter: the session id on Linux;
// on Windows whether it has a process group of its own.
std::string DetachmentMark();
// The id of a process that was started and has ended.
long EndedProcessId();

// The single-instance lock's folder when the session has no runtime folder
// (Linux only; "" on Windows).
std::string PrivateTmpFolderOfThisUser();

// Sets (an empty value may remove it on Windows) or removes a variable of
// this process's environment, which children inherit.
void SetEnv(const std::string& name, const std::string& value);
void UnsetEnv(const std::string& name);

// A program started with `arguments`; killed (if still running) and reaped
// when it goes.
class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return m_id != 0; }
  long Id() const { return m_id; }
  // Waits for the end; the exit code, or -1 when it did not exit normally.
  int Wait();
  void Kill();

 private:
  long m_id = 0;
  std::intptr_t m_handle = 0;  // Windows: the process handle
  bool m_reaped = false;
};

// Runs this test program with only the test `test_name` (disabled ones
// included) and waits for it; its exit code.
int RunTestInChild(const std::string& test_name);

// The arguments that make this test program run only the test `test_name`.
std::vector<std::string> OnlyTest(const std::string& test_name);

}  // namespace test_support
