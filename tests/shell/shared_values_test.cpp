// The process-wide values and the rules that compute them at start. Every
// test runs in a process of its own (CTest runs them one by one), so each
// starts from the initial values.
#include "shell/shared_values.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "platform/fs.h"
#include "platform/temp_folder.h"

namespace {

class SharedValuesTest : public TempFolderTest {
 protected:
  // The program folder as the start computes it: ending in the separator.
  std::wstring AppDir() const { return m_root.wstring() + L"/"; }

  // Copies this program to a path of exactly `length` characters.
  std::filesystem::path CopyAtPathLength(std::size_t length) const {
    std::filesystem::path folder = m_root;
    while (folder.string().size() + 1 + 100 < length) folder /= std::string(99, 'd');
    std::filesystem::create_directories(folder);
    const std::size_t name_length = length - folder.string().size() - 1;
    const std::filesystem::path exe = folder / std::string(name_length, 'x');
    std::filesystem::copy_file("/proc/self/exe", exe);
    return exe;
  }

  // What GetModuleDir gives inside the program `exe` when it runs.
  static std::string ModuleDirWhenRun(const std::filesystem::path& exe) {
    const std::string command = exe.string() +
                                " --gtest_also_run_disabled_tests"
                                " --gtest_filter=SharedValuesTest.DISABLED_PrintModuleDir";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::string output;
    char buffer[4096];
    std::size_t got = 0;
    while (pipe && (got = std::fread(buffer, 1, sizeof(buffer), pipe.get())) > 0) {
      output.append(buffer, got);
    }
    const std::string prefix = "module dir: [";
    const std::size_t begin = output.find(prefix);
    const std::size_t end = output.find("]\n", begin);
    if (begin == std::string::npos || end == std::string::npos) return "(no output)";
    return output.substr(begin + prefix.size(), end - begin - prefix.size());
  }
};

TEST_F(SharedValuesTest, InitialValues) {
  EXPECT_EQ(g_strProductName, L"Quillory");
  EXPECT_EQ(g_strDataDir, L"Deve");
  EXPECT_FALSE(g_bDevMode);
  EXPECT_FALSE(g_bInBook);
  EXPECT_FALSE(g_bShiftDown);
  EXPECT_EQ(g_sockListen, 0);
  EXPECT_EQ(g_hMainWnd, nullptr);
  for (const std::wstring* value :
       {&g_strExePath, &g_strExeSwapPath, &g_strAppDir, &g_strBrowseDir, &g_strConfigPath,
        &g_strVersion, &g_strPort, &g_strLastUpdate, &g_strBookKey, &g_strPackagePath}) {
    EXPECT_TRUE(value->empty());
  }
  EXPECT_FALSE(g_strServerUrl.empty());
  EXPECT_NE(g_strServerUrl.back(), L'/');
}

TEST_F(SharedValuesTest, ModuleDirIsExecutableFolderNotCurrentFolder) {
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe");
  const std::string saved = std::filesystem::current_path().string();
  ASSERT_EQ(::chdir(m_root.c_str()), 0);
  const std::wstring dir = GetModuleDir();
  EXPECT_EQ(dir, exe.parent_path().wstring() + L"/");
  EXPECT_EQ(GetModuleDir(), dir);
  ComputeStartValues();
  EXPECT_EQ(g_strAppDir, dir);
  EXPECT_EQ(g_strBrowseDir, dir);
  EXPECT_EQ(g_strConfigPath, dir + L"/config.ini");
  ASSERT_EQ(::chdir(saved.c_str()), 0);
}

TEST_F(SharedValuesTest, ModuleDirNeedsPathToFitBuffer) {
  // 259 characters and the terminating zero fit the 260-character buffer.
  const std::filesystem::path fits = CopyAtPathLength(259);
  EXPECT_EQ(ModuleDirWhenRun(fits), fits.parent_path().string() + "/");
  // One more does not fit: the folder is unknown rather than cut off.
  EXPECT_EQ(ModuleDirWhenRun(CopyAtPathLength(260)), "");
}

// Run by the test above inside a copy of this program.
TEST_F(SharedValuesTest, DISABLED_PrintModuleDir) {
  std::printf("module dir: [%s]\n", platform::ToFsName(GetModuleDir()).c_str());
}

struct MarkerCase {
  const char* name;
  bool file;
  bool folder;
  bool dev_mode;
};
void PrintTo(const MarkerCase& c, std::ostream* os) { *os << c.name; }

class DevMarkerTest : public SharedValuesTest, public ::testing::WithParamInterface<MarkerCase> {};

TEST_P(DevMarkerTest, MarkerDecidesContentFolder) {
  if (GetParam().file) Write("tirrel", "");
  if (GetParam().folder) std::filesystem::create_directory(m_root / "tirrel");
  ComputeStartValuesFor(AppDir());
  EXPECT_EQ(g_bDevMode, GetParam().dev_mode);
  EXPECT_EQ(g_strDataDir, GetParam().dev_mode ? L"Deve" : L"Data");
  EXPECT_EQ(g_strAppDir, AppDir());
  EXPECT_EQ(g_strBrowseDir, AppDir());
  EXPECT_EQ(g_strConfigPath, AppDir() + L"/config.ini");
}

INSTANTIATE_TEST_SUITE_P(Cases, DevMarkerTest,
                         ::testing::Values(MarkerCase{"NoMarker", false, false, false},
                                           MarkerCase{"MarkerFile", true, false, true},
                                           MarkerCase{"MarkerFolder", false, true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SharedValuesTest, GivenFolderGetsSeparator) {
  ComputeStartValuesFor(m_root.wstring());
  EXPECT_EQ(g_strAppDir, AppDir());
}

TEST_F(SharedValuesTest, MarkerInCurrentFolderDoesNotCount) {
  Write("tirrel", "");
  const std::string saved = std::filesystem::current_path().string();
  ASSERT_EQ(::chdir(m_root.c_str()), 0);
  ComputeStartValues();
  ASSERT_EQ(::chdir(saved.c_str()), 0);
  EXPECT_EQ(g_strDataDir, platform::PathExists(GetModuleDir() + L"tirrel") ? L"Deve" : L"Data");
}

struct LastUpdateCase {
  const char* name;
  bool create;
  std::string before;
  std::wstring expected;
  std::string after;
};
void PrintTo(const LastUpdateCase& c, std::ostream* os) { *os << c.name; }

class LastUpdateTest : public SharedValuesTest,
                       public ::testing::WithParamInterface<LastUpdateCase> {};

TEST_P(LastUpdateTest, ReadsOrWritesDefault) {
  if (GetParam().create) Write("config.ini", GetParam().before);
  ComputeStartValuesFor(AppDir());
  ReadLastUpdate();
  EXPECT_EQ(g_strLastUpdate, GetParam().expected);
  EXPECT_EQ(Read("config.ini"), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LastUpdateTest,
    ::testing::Values(
        LastUpdateCase{"MissingFileCreated", false, "", L"0.0.0.0", "[Base]\nLastUpdate=0.0.0.0\n"},
        LastUpdateCase{"EmptyValueRewritten", true, "[base]\r\nLastUpdate=\r\n[Product]\r\n",
                       L"0.0.0.0", "[base]\r\nLastUpdate=0.0.0.0\r\n[Product]\r\n"},
        LastUpdateCase{"MissingKeyAdded", true, "[BASE]\nOther=1\n", L"0.0.0.0",
                       "[BASE]\nOther=1\nLastUpdate=0.0.0.0\n"},
        LastUpdateCase{"ValueKept", true, "[Base]\nlastupdate = 1.2.3.4\n", L"1.2.3.4",
                       "[Base]\nlastupdate = 1.2.3.4\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SharedValuesTest, UnwritableConfigLeavesLastUpdateEmpty) {
  ComputeStartValuesFor(AppDir() + L"missing-folder");
  ReadLastUpdate();
  EXPECT_EQ(g_strLastUpdate, L"");
  EXPECT_FALSE(std::filesystem::exists(m_root / "missing-folder"));
}

TEST_F(SharedValuesTest, ServerUrlFromEnvironmentWhenSet) {
  ::setenv("QUILLORY_UPDATE_SERVER", "", 1);
  InitServerUrl();
  const std::wstring built_in = g_strServerUrl;
  EXPECT_FALSE(built_in.empty());
  ::setenv("QUILLORY_UPDATE_SERVER", "http://127.0.0.1:8123/", 1);
  InitServerUrl();
  EXPECT_EQ(g_strServerUrl, L"http://127.0.0.1:8123");
  ::unsetenv("QUILLORY_UPDATE_SERVER");
  InitServerUrl();
  EXPECT_EQ(g_strServerUrl, built_in);
}

}  // namespace
