// The process-wide values and the rules that compute them at start. Every
// test runs in a process of its own (CTest runs them one by one), so each
// starts from the initial values.
#include "shell/shared_values.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/fs.h"
#include "platform/temp_folder.h"
#include "shell/child_process.h"
#include "per_platform.h"

namespace {

class SharedValuesTest : public TempFolderTest {
 protected:
  // The program folder as the start computes it: ending in the separator.
  std::wstring AppDir() const { return m_root.wstring() + platform::kPathSeparator; }
  // The settings file of that folder, as the start computes its path.
  std::wstring ConfigPath() const { return AppDir() + platform::kPathSeparator + L"config.ini"; }

  // Copies this program to a path of exactly `length` characters.
  std::filesystem::path CopyAtPathLength(std::size_t length) const {
    std::filesystem::path folder = m_root;
    while (folder.string().size() + 1 + 100 < length) folder /= std::string(99, 'd');
    std::filesystem::create_directories(folder);
    const std::size_t name_length = length - folder.string().size() - 1;
    const std::string suffix = platform::ToFsName(platform::kExeSuffix);
    const std::filesystem::path exe =
        folder / (std::string(name_length - suffix.size(), 'x') + suffix);
    std::filesystem::copy_file(test_support::ThisProgram(), exe);
    return exe;
  }

  // What GetModuleDir gives inside the program `exe` when it runs.
  std::string ModuleDirWhenRun(const std::filesystem::path& exe) const {
    std::filesystem::remove(Path("module_dir"));
    test_support::SetEnv("QUILLORY_TEST_OUTPUT", Path("module_dir"));
    test_support::ChildProcess child(
        exe.string(), test_support::OnlyTest("SharedValuesTest.DISABLED_PrintModuleDir"));
    child.Wait();
    if (!child.Started()) return "(not started)";
    test_support::UnsetEnv("QUILLORY_TEST_OUTPUT");
    const std::string output = Read("module_dir");
    const std::string prefix = "module dir: [";
    const std::size_t end = output.rfind(']');
    if (output.compare(0, prefix.size(), prefix) != 0 || end == std::string::npos) {
      return "(no output)";
    }
    return output.substr(prefix.size(), end - prefix.size());
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
  const std::filesystem::path exe = test_support::ThisProgram();
  const std::filesystem::path saved = std::filesystem::current_path();
  std::filesystem::current_path(m_root);
  const std::wstring dir = GetModuleDir();
  EXPECT_EQ(dir, platform::FromFsName(exe.parent_path().string()) + platform::kPathSeparator);
  EXPECT_EQ(GetModuleDir(), dir);
  ComputeStartValues();
  EXPECT_EQ(g_strAppDir, dir);
  EXPECT_EQ(g_strBrowseDir, dir);
  EXPECT_EQ(g_strConfigPath, dir + platform::kPathSeparator + L"config.ini");
  std::filesystem::current_path(saved);
}

TEST_F(SharedValuesTest, ModuleDirNeedsPathToFitBuffer) {
  // 259 characters and the terminating zero fit the 260-character buffer.
  const std::filesystem::path fits = CopyAtPathLength(259);
  EXPECT_EQ(ModuleDirWhenRun(fits),
            platform::ToFsName(platform::FromFsName(fits.parent_path().string()) +
                               platform::kPathSeparator));
  // One more does not fit: the folder is unknown rather than cut off.
  // Windows starts no program from a path that long (MAX_PATH is 260,
  // terminating zero included), so there the case never arises.
  if (OnWindows()) GTEST_SKIP() << "Windows starts no program from 260 characters";
  EXPECT_EQ(ModuleDirWhenRun(CopyAtPathLength(260)), "");
}

// Run by the test above inside a copy of this program.
TEST_F(SharedValuesTest, DISABLED_PrintModuleDir) {
  std::ofstream(std::getenv("QUILLORY_TEST_OUTPUT"), std::ios::binary)
      << "module dir: [" << platform::ToFsName(GetModuleDir()) << "]";
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
  EXPECT_EQ(g_strConfigPath, ConfigPath());
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
  const std::filesystem::path saved = std::filesystem::current_path();
  std::filesystem::current_path(m_root);
  ComputeStartValues();
  std::filesystem::current_path(saved);
  EXPECT_EQ(g_strDataDir, platform::PathExists(GetModuleDir() + L"tirrel") ? L"Deve" : L"Data");
}

// A new settings file is UTF-16 with a byte-order mark on Windows, so that
// values in Chinese survive there; a file that exists keeps its encoding.
struct LastUpdateCase {
  const char* name;
  bool create;
  std::string before;
  std::wstring expected;
  std::string after_posix;
  std::string after_windows;
};
void PrintTo(const LastUpdateCase& c, std::ostream* os) { *os << c.name; }

// ASCII text as UTF-16 little-endian bytes after the byte-order mark.
std::string Utf16WithMark(const std::string& ascii) {
  std::string bytes = "\xFF\xFE";
  for (char c : ascii) bytes += std::string{c, '\0'};
  return bytes;
}

class LastUpdateTest : public SharedValuesTest,
                       public ::testing::WithParamInterface<LastUpdateCase> {};

TEST_P(LastUpdateTest, ReadsOrWritesDefault) {
  if (GetParam().create) Write("config.ini", GetParam().before);
  ComputeStartValuesFor(AppDir());
  ReadLastUpdate();
  EXPECT_EQ(g_strLastUpdate, GetParam().expected);
  EXPECT_EQ(Read("config.ini"),
            OnWindows() ? GetParam().after_windows : GetParam().after_posix);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LastUpdateTest,
    ::testing::Values(
        LastUpdateCase{"MissingFileCreated", false, "", L"0.0.0.0", "[Base]\nLastUpdate=0.0.0.0\n",
                       Utf16WithMark("[Base]\r\nLastUpdate=0.0.0.0\r\n")},
        LastUpdateCase{"EmptyValueRewritten", true, "[base]\r\nLastUpdate=\r\n[Product]\r\n",
                       L"0.0.0.0", "[base]\r\nLastUpdate=0.0.0.0\r\n[Product]\r\n",
                       "[base]\r\nLastUpdate=0.0.0.0\r\n[Product]\r\n"},
        LastUpdateCase{"MissingKeyAdded", true, "[BASE]\nOther=1\n", L"0.0.0.0",
                       "[BASE]\nOther=1\nLastUpdate=0.0.0.0\n",
                       "[BASE]\nOther=1\nLastUpdate=0.0.0.0\n"},
        LastUpdateCase{"ValueKept", true, "[Base]\nlastupdate = 1.2.3.4\n", L"1.2.3.4",
                       "[Base]\nlastupdate = 1.2.3.4\n", "[Base]\nlastupdate = 1.2.3.4\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SharedValuesTest, UnwritableConfigLeavesLastUpdateEmpty) {
  ComputeStartValuesFor(AppDir() + L"missing-folder");
  ReadLastUpdate();
  EXPECT_EQ(g_strLastUpdate, L"");
  EXPECT_FALSE(std::filesystem::exists(m_root / "missing-folder"));
}

TEST_F(SharedValuesTest, ServerUrlFromEnvironmentWhenSet) {
  test_support::SetEnv("QUILLORY_UPDATE_SERVER", "");
  InitServerUrl();
  const std::wstring built_in = g_strServerUrl;
  EXPECT_FALSE(built_in.empty());
  test_support::SetEnv("QUILLORY_UPDATE_SERVER", "http://127.0.0.1:8123/");
  InitServerUrl();
  EXPECT_EQ(g_strServerUrl, L"http://127.0.0.1:8123");
  test_support::UnsetEnv("QUILLORY_UPDATE_SERVER");
  InitServerUrl();
  EXPECT_EQ(g_strServerUrl, built_in);
}

}  // namespace
