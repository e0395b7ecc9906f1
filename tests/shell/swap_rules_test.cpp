#include "shell/swap_rules.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "platform/fs.h"
#include "platform/temp_folder.h"
#include "shell/child_process.h"
#include "per_platform.h"

namespace {

namespace fs = std::filesystem;

struct SwapExpectation {
  bool swap_start;
  const wchar_t* partner;
};

// The executable suffix is the platform's: X / X_ on Linux, X.exe / X_.exe
// on Windows. Each row gives both platforms' answers for one path.
struct SwapCase {
  const wchar_t* path;
  SwapExpectation posix;
  SwapExpectation windows;
};

const SwapCase kCases[] = {
    {L"/opt/q/quillory", {false, L"/opt/q/quillory_"}, {false, L"/opt/q/quillory"}},
    {L"/opt/q/quillory_", {true, L"/opt/q/quillory"}, {false, L"/opt/q/quillory_"}},
    {L"C:\\P\\quillory.exe", {false, L"C:\\P\\quillory.exe_"}, {false, L"C:\\P\\quillory_.exe"}},
    {L"C:\\P\\quillory_.exe", {false, L"C:\\P\\quillory_.exe_"}, {true, L"C:\\P\\quillory.exe"}},
    // The test is case-sensitive: X_.EXE is a normal start without a partner.
    {L"C:\\P\\X_.EXE", {false, L"C:\\P\\X_.EXE_"}, {false, L"C:\\P\\X_.EXE"}},
    // Folder names never take part.
    {L"C:\\a.exe\\X.exe", {false, L"C:\\a.exe\\X.exe_"}, {false, L"C:\\a.exe\\X_.exe"}},
    {L"/opt/old_/quillory", {false, L"/opt/old_/quillory_"}, {false, L"/opt/old_/quillory"}},
    {L"/opt/tool_.exe/run_/quillory_",
     {true, L"/opt/tool_.exe/run_/quillory"},
     {false, L"/opt/tool_.exe/run_/quillory_"}},
    {L"C:\\x_.exe\\Y.exe", {false, L"C:\\x_.exe\\Y.exe_"}, {false, L"C:\\x_.exe\\Y_.exe"}},
    {L"C:\\x_.exe\\", {false, L"C:\\x_.exe\\"}, {false, L"C:\\x_.exe\\"}},
    // Only the end of the name counts.
    {L"C:\\P\\a.exe.exe", {false, L"C:\\P\\a.exe.exe_"}, {false, L"C:\\P\\a.exe_.exe"}},
    // A path without a file name has no partner.
    {L"/opt/q/", {false, L"/opt/q/"}, {false, L"/opt/q/"}},
};

TEST(SwapRulesTest, SwapStartAndPartnerFollowTheFileNameOnly) {
  for (const SwapCase& c : kCases) {
    SCOPED_TRACE(testing::Message() << "path " << testing::PrintToString(std::wstring(c.path)));
    const SwapExpectation& expected = OnWindows() ? c.windows : c.posix;
    const bool swap_start = IsSwapStart(c.path, platform::kExeSuffix);
    EXPECT_EQ(swap_start, expected.swap_start);
    EXPECT_EQ(SwapPartnerPath(c.path, platform::kExeSuffix, swap_start), expected.partner);
  }
}

TEST(SwapRulesTest, PartnersMapBackToEachOther) {
  for (const wchar_t* suffix : {L"", L".exe"}) {
    const std::wstring main_path = std::wstring(L"/srv/bag_1/quillory") + suffix;
    const std::wstring swap_path = SwapPartnerPath(main_path, suffix, false);
    ASSERT_TRUE(IsSwapStart(swap_path, suffix));
    EXPECT_EQ(SwapPartnerPath(swap_path, suffix, true), main_path);
  }
}

std::string ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class SwapCopyTest : public TempFolderTest {};

// Run by the test below inside a copy of this program: the old program.
TEST_F(SwapCopyTest, DISABLED_RunAsTheOldProgram) {
  std::this_thread::sleep_for(std::chrono::seconds(30));
}

// The old program is still running from the main file (its exit hook started
// the swap start while it was ending). Linux replaces the file's name, never
// its content, so the copy goes through; Windows refuses to replace a running
// program, and the failed copy leaves the old one whole (the start that
// follows runs the old version). Once it has ended the copy goes through.
TEST_F(SwapCopyTest, SwapCopyOverAMainExecutableThatIsStillRunning) {
  const bool replaced_while_running = !OnWindows();
  const std::wstring suffix = platform::kExeSuffix;
  const fs::path main_exe = m_root / (L"quillory" + suffix);
  const fs::path swap_exe = m_root / (L"quillory_" + suffix);
  fs::copy_file(test_support::ThisProgram(), main_exe);
  // The new program: this one with bytes at its end, which it never reads.
  fs::copy_file(test_support::ThisProgram(), swap_exe);
  std::ofstream(swap_exe, std::ios::binary | std::ios::app) << "the new program";
  const std::string old_bytes = ReadWhole(main_exe);
  test_support::ChildProcess old_program(
      main_exe.string(), test_support::OnlyTest("SwapCopyTest.DISABLED_RunAsTheOldProgram"));
  ASSERT_TRUE(old_program.Started());
  const auto copy_over = [&] {
    return CopyOverMainExecutable(platform::FromFsName(swap_exe.u8string()),
                                  platform::FromFsName(main_exe.u8string()));
  };

  EXPECT_EQ(copy_over(), replaced_while_running);
  EXPECT_TRUE(ReadWhole(main_exe) == (replaced_while_running ? ReadWhole(swap_exe) : old_bytes));
  EXPECT_EQ(std::distance(fs::directory_iterator(m_root), fs::directory_iterator()), 2)
      << "a temporary file stayed";
  old_program.Kill();
  old_program.Wait();
  if (!replaced_while_running) {
    EXPECT_TRUE(copy_over());
  }
  EXPECT_TRUE(ReadWhole(main_exe) == ReadWhole(swap_exe)) << "the main file is not the new program";
  // The main file is a program the system starts.
  test_support::ChildProcess new_program(main_exe.string(), {"--gtest_filter=NoTestIsNamedSo"});
  EXPECT_EQ(new_program.Wait(), 0);
}

}  // namespace
