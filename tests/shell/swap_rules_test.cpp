#include "shell/swap_rules.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/fs.h"

namespace {

struct SwapCase {
  const wchar_t* path;
  const wchar_t* suffix;
  bool swap_start;
  const wchar_t* partner;
};

// Both platforms' names: X / X_ here, X.exe / X_.exe on Windows.
const SwapCase kCases[] = {
    {L"/opt/q/quillory", L"", false, L"/opt/q/quillory_"},
    {L"/opt/q/quillory_", L"", true, L"/opt/q/quillory"},
    {L"C:\\P\\X.exe", L".exe", false, L"C:\\P\\X_.exe"},
    {L"C:\\P\\X_.exe", L".exe", true, L"C:\\P\\X.exe"},
    // The test is case-sensitive: X_.EXE is a normal start without a partner.
    {L"C:\\P\\X_.EXE", L".exe", false, L"C:\\P\\X_.EXE"},
    // Folder names never take part.
    {L"C:\\a.exe\\X.exe", L".exe", false, L"C:\\a.exe\\X_.exe"},
    {L"/opt/old_/quillory", L"", false, L"/opt/old_/quillory_"},
    {L"/opt/tool_.exe/run_/quillory_", L"", true, L"/opt/tool_.exe/run_/quillory"},
    {L"C:\\x_.exe\\Y.exe", L".exe", false, L"C:\\x_.exe\\Y_.exe"},
    // Only the end of the name counts.
    {L"C:\\P\\a.exe.exe", L".exe", false, L"C:\\P\\a.exe_.exe"},
};

TEST(SwapRulesTest, SwapStartAndPartnerFollowTheFileNameOnly) {
  for (const SwapCase& c : kCases) {
    SCOPED_TRACE(testing::Message() << "path " << testing::PrintToString(std::wstring(c.path)));
    EXPECT_EQ(IsSwapStart(c.path, c.suffix), c.swap_start);
    EXPECT_EQ(SwapPartnerPath(c.path, c.suffix, c.swap_start), c.partner);
  }
}

TEST(SwapRulesTest, PartnersMapBackToEachOther) {
  std::wstring main_path = L"/srv/bag_1/quillory";
  std::wstring swap_path = SwapPartnerPath(main_path, L"", false);
  ASSERT_TRUE(IsSwapStart(swap_path, L""));
  EXPECT_EQ(SwapPartnerPath(swap_path, L"", true), main_path);
}

TEST(SwapRulesTest, PathWithoutFileNameHasNoPartner) {
  EXPECT_EQ(SwapPartnerPath(L"/opt/q/", L"", false), L"/opt/q/");
}

std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The old program is still running from the main file (its exit hook started
// the swap start while it was ending): writing into that file is refused.
TEST(SwapRulesTest, SwapCopyReplacesAMainExecutableThatIsStillRunning) {
  char pattern[] = "/tmp/quillory-swap-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::filesystem::path folder = pattern;
  const std::filesystem::path main_exe = folder / "quillory";
  const std::filesystem::path swap_exe = folder / "quillory_";
  std::filesystem::copy_file("/bin/sleep", main_exe);
  std::filesystem::copy_file("/bin/true", swap_exe);
  char* argv[] = {const_cast<char*>(main_exe.c_str()), const_cast<char*>("30"), nullptr};
  pid_t old_program = 0;
  ASSERT_EQ(posix_spawn(&old_program, main_exe.c_str(), nullptr, nullptr, argv, environ), 0);

  EXPECT_TRUE(CopyOverMainExecutable(platform::FromFsName(swap_exe.u8string()),
                                     platform::FromFsName(main_exe.u8string())));
  EXPECT_TRUE(ReadWhole(main_exe) == ReadWhole(swap_exe)) << "the main file is not the new program";
  EXPECT_EQ(access(main_exe.c_str(), X_OK), 0);
  kill(old_program, SIGKILL);
  waitpid(old_program, nullptr, 0);
  std::filesystem::remove_all(folder);
}

}  // namespace
