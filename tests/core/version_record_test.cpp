// The version record inside executables.
#include "core/version_record.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "platform/fs.h"
#include "platform/temp_folder.h"

namespace {

// A version field: the text zero-padded to the field size.
std::string Field(const std::string& version) {
  std::string field = version;
  field.resize(kVersionFieldSize, '\0');
  return field;
}

class VersionRecordTest : public TempFolderTest {
 protected:
  // A record: the marker, then the version text zero-padded to the field size.
  static std::string Record(const std::string& version) {
    return VersionRecordMarker() + Field(version);
  }
  // A copy that the system will run: on Windows only a name ending in .exe is.
  std::wstring CopyOfThisProgram(const std::string& name) const {
    const std::string file = name + platform::ToFsName(platform::kExeSuffix);
    std::filesystem::copy_file(std::filesystem::path(platform::ExecutablePath()), Path(file));
    std::filesystem::permissions(Path(file), std::filesystem::perms::owner_all);
    return WPath(file);
  }
  static std::string ReadWide(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
};

TEST_F(VersionRecordTest, ThisProgramCarriesTheProjectVersion) {
  EXPECT_EQ(OwnVersionRecordText(), QUILLORY_EXPECTED_VERSION);
  EXPECT_EQ(GetFileVersionString(L""), L"" QUILLORY_EXPECTED_VERSION);
  EXPECT_EQ(GetFileVersionString(platform::ExecutablePath()), L"" QUILLORY_EXPECTED_VERSION);
}

TEST_F(VersionRecordTest, FileWithoutRecordGivesEmpty) {
  Write("plain.bin", std::string(200000, 'x'));
  EXPECT_EQ(GetFileVersionString(WPath("plain.bin")), L"");
  EXPECT_EQ(GetFileVersionString(WPath("missing")), L"");
  EXPECT_EQ(GetFileVersionString(m_root.wstring()), L"");  // a folder
}

struct LayoutCase {
  const char* name;
  std::size_t junk_before;
  std::string record_tail;  // what follows the marker
  std::wstring expected;
};
void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

class VersionLayoutTest : public VersionRecordTest,
                          public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(VersionLayoutTest, FindsRecordAnywhere) {
  const LayoutCase& c = GetParam();
  Write("file.bin", std::string(c.junk_before, '\x7f') + VersionRecordMarker() + c.record_tail +
                        std::string(100, '\0'));
  EXPECT_EQ(GetFileVersionString(WPath("file.bin")), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VersionLayoutTest,
    ::testing::Values(
        LayoutCase{"AtStart", 0, Field("2.3.4.5"), L"2.3.4.5"},
        LayoutCase{"MarkerAcrossChunkBoundary", 64 * 1024 - 7, Field("2.3.4.5"), L"2.3.4.5"},
        LayoutCase{"FieldAcrossChunkBoundary", 64 * 1024 - 30, Field("2.3.4.5"), L"2.3.4.5"},
        LayoutCase{"FarIntoFile", 3 * 64 * 1024 + 123, Field("2.3.4.5"), L"2.3.4.5"},
        LayoutCase{"LeadingZerosDropped", 10, Field("01.002.0.9"), L"1.2.0.9"},
        LayoutCase{"FirstRecordWins", 10,
                   Field("2.3.4.5") + VersionRecordMarker() + Field("9.9.9.9"), L"2.3.4.5"},
        LayoutCase{"ThreeNumbersRejected", 10, Field("1.2.3"), L""},
        LayoutCase{"NumberTooLargeRejected", 10, Field("1.2.3.65536"), L""},
        LayoutCase{"TrailingTextRejected", 10, Field("1.2.3.4x"), L""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(VersionRecordTest, TruncatedRecordGivesEmpty) {
  Write("cut.bin", "junk" + VersionRecordMarker() + "1.0.");
  EXPECT_EQ(GetFileVersionString(WPath("cut.bin")), L"");
}

TEST_F(VersionRecordTest, RewriteChangesOnlyTheVersionOfACopy) {
  const std::wstring copy = CopyOfThisProgram("copy");
  const std::string before = ReadWide(copy);
  ASSERT_TRUE(RewriteFileVersionRecord(copy, L"1.0.2.0"));
  EXPECT_EQ(GetFileVersionString(copy), L"1.0.2.0");
  EXPECT_EQ(GetFileVersionString(L""), L"" QUILLORY_EXPECTED_VERSION);
  const std::string after = ReadWide(copy);
  ASSERT_EQ(after.size(), before.size());
  std::size_t differing = 0;
  for (std::size_t i = 0; i < after.size(); ++i) differing += after[i] != before[i];
  EXPECT_GT(differing, 0u);
  EXPECT_LE(differing, kVersionFieldSize);
}

TEST_F(VersionRecordTest, RewrittenCopyReportsNewVersionWhenRun) {
  const std::wstring copy = CopyOfThisProgram("copy");
  ASSERT_TRUE(RewriteFileVersionRecord(copy, L"7.6.5.4"));
  const std::string command = "\"" + platform::ToFsName(copy) + "\"" +
                              " --gtest_also_run_disabled_tests"
                              " --gtest_filter=VersionRecordTest.DISABLED_PrintOwnVersion";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  ASSERT_TRUE(pipe);
  std::string output;
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof(buffer), pipe.get())) > 0) output.append(buffer, got);
  EXPECT_NE(output.find("own version: [7.6.5.4]"), std::string::npos) << output;
}

// Run by the test above inside a rewritten copy of this program.
TEST_F(VersionRecordTest, DISABLED_PrintOwnVersion) {
  std::printf("own version: [%s]\n", platform::ToFsName(GetFileVersionString(L"")).c_str());
}

TEST_F(VersionRecordTest, RewriteRefusesWhatItCannotDo) {
  Write("plain.bin", std::string(1000, 'x'));
  EXPECT_FALSE(RewriteFileVersionRecord(WPath("plain.bin"), L"1.0.2.0"));
  EXPECT_EQ(Read("plain.bin"), std::string(1000, 'x'));
  EXPECT_FALSE(RewriteFileVersionRecord(WPath("missing"), L"1.0.2.0"));
  Write("rec.bin", Record("1.0.1.0"));
  EXPECT_FALSE(RewriteFileVersionRecord(WPath("rec.bin"), std::wstring(kVersionFieldSize, L'1')));
  EXPECT_FALSE(RewriteFileVersionRecord(WPath("rec.bin"), L"1.0.\x4E2D.0"));
  EXPECT_EQ(GetFileVersionString(WPath("rec.bin")), L"1.0.1.0");
}

TEST_F(VersionRecordTest, MarkerAppearsOnceInThisProgram) {
  std::ifstream in(std::filesystem::path(platform::ExecutablePath()), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string marker = VersionRecordMarker();
  const std::size_t first = bytes.find(marker);
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(bytes.find(marker, first + 1), std::string::npos);
}

}  // namespace
