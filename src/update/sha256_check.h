// The SHA-256 check of a staged item. It runs on a thread of its own, so
// that on a machine with two cores it takes no time beside the MD5 check
// that reads the same file.
#pragma once

#include <future>
#include <optional>
#include <string>

// Lower-case hexadecimal SHA-256 digest of the file `fs_name` (UTF-8
// file-system name); no result when it cannot be read. Safe on any thread.
std::optional<std::string> Sha256File(const std::string& fs_name);

// Compares the staged file's digest with the manifest's value. Used by one
// thread; the destructor waits for a check still running.
class Sha256Check {
 public:
  // Starts checking `staged` against `expected` (64 lower-case hexadecimal
  // digits). When not `required`, nothing is checked and Passed() is true.
  Sha256Check(const std::wstring& staged, const std::string& expected, bool required);
  Sha256Check(const Sha256Check&) = delete;
  Sha256Check& operator=(const Sha256Check&) = delete;
  // Waits for the result: true when the digests are equal (or not required).
  bool Passed();

 private:
  bool m_required;
  std::string m_fs_name;
  std::string m_expected;
  std::future<bool> m_result;  // invalid when no thread could be started
};
