// Private-profile settings files.
#include "platform/ini.h"

#include <random>
#include <set>
#include <string>
#include <thread>

#include "platform/killed_writer.h"
#include "platform/temp_folder.h"

namespace {

using platform::GetPrivateProfileString;
using platform::WritePrivateProfileString;

class IniTest : public TempFolderTest {
 protected:
  std::wstring Ini() const { return WPath("config.ini"); }
  std::wstring Get(const std::wstring& section, const std::wstring& key,
                   const std::wstring& fallback = L"") const {
    return GetPrivateProfileString(section, key, fallback, Ini());
  }
  bool Set(const std::wstring& section, const std::wstring& key, const std::wstring& value) const {
    return WritePrivateProfileString(section, key, value, Ini());
  }
};

TEST_F(IniTest, SectionAndKeyMatchWithoutRegardToCase) {
  for (const char* spelling : {"base", "Base", "BASE", "bAsE"}) {
    Write("config.ini", std::string("[") + spelling + "]\nlastupdate=1.2.3.4\n");
    EXPECT_EQ(Get(L"BASE", L"LastUpdate"), L"1.2.3.4") << spelling;
  }
}

TEST_F(IniTest, MissingFileSectionOrKeyGivesDefault) {
  EXPECT_EQ(Get(L"Base", L"LastUpdate", L"dflt"), L"dflt");
  Write("config.ini", "[Other]\nLastUpdate=9\n[Base]\nKey=1\n");
  EXPECT_EQ(Get(L"Base", L"LastUpdate", L"dflt"), L"dflt");
  EXPECT_EQ(Get(L"Missing", L"Key", L"dflt"), L"dflt");
  EXPECT_EQ(Get(L"Base", L"Key", L"dflt"), L"1");
}

TEST_F(IniTest, ValuesAndNamesAreTrimmed) {
  Write("config.ini", "  [ Base ]  \r\n  LastUpdate \t=  1.0.0.1 \t\r\nEmpty=\r\n");
  EXPECT_EQ(Get(L"Base", L"LastUpdate"), L"1.0.0.1");
  EXPECT_EQ(Get(L"Base", L"Empty", L"dflt"), L"");
}

TEST_F(IniTest, FirstSectionAndKeyWin) {
  Write("config.ini", "[Base]\nK=first\nK=second\n[BASE]\nK=third\n");
  EXPECT_EQ(Get(L"Base", L"K"), L"first");
  ASSERT_TRUE(Set(L"Base", L"K", L"new"));
  EXPECT_EQ(Read("config.ini"), "[Base]\nK=new\nK=second\n[BASE]\nK=third\n");
}

TEST_F(IniTest, LongValueReadAsFirst999Characters) {
  const std::wstring value(1200, L'7');
  ASSERT_TRUE(Set(L"Product", L"Product1", value));
  EXPECT_EQ(Get(L"Product", L"Product1"), value.substr(0, 999));
  EXPECT_EQ(Get(L"Product", L"Missing", value), value.substr(0, 999));
}

// ASCII text as UTF-16LE after its byte-order mark.
std::string MarkedUtf16(const std::string& ascii) {
  std::string bytes = "\xFF\xFE";
  for (char ch : ascii) bytes += std::string{ch, '\0'};
  return bytes;
}

// Bytes that differ by system, one column each.
struct PerSystem {
  std::string posix;
  std::string windows;
  const std::string& ThisSystem() const {
#ifdef _WIN32  // the column is chosen where the test is compiled
    return windows;
#else
    return posix;
#endif
  }
};

TEST_F(IniTest, WriteCreatesMissingFile) {
  // A new file is UTF-8 on POSIX; on Windows it is UTF-16 with CR LF, as the
  // system's own settings functions make it, so that any value survives.
  const PerSystem new_file{"[Base]\nLastUpdate=0.0.0.0\n",
                           MarkedUtf16("[Base]\r\nLastUpdate=0.0.0.0\r\n")};
  ASSERT_TRUE(Set(L"Base", L"LastUpdate", L"0.0.0.0"));
  EXPECT_EQ(Read("config.ini"), new_file.ThisSystem());
  EXPECT_EQ(Get(L"BASE", L"LastUpdate"), L"0.0.0.0");
}

TEST_F(IniTest, WriteIntoMissingFolderFails) {
  EXPECT_FALSE(WritePrivateProfileString(L"Base", L"K", L"V", WPath("no/config.ini")));
}

// A line break in a name or value would write lines and sections of its own.
TEST_F(IniTest, RefusesNamesAndValuesThatWouldWriteOtherLines) {
  const std::string before = "[Product]\nProduct1=4\n";
  const std::wstring nul(1, L'\0');
  const std::wstring cases[][3] = {
      {L"Product", L"Product1", L"5\n[Base]\nLastUpdate=9.9.9.9"},
      {L"Product", L"Product1", L"5" + nul + L"6"},
      {L"Product", L"Product1\r", L"5"},
      {L"Product", L"Product" + nul, L"5"},
      {L"Product", L"Product1=6", L"5"},
      {L"Product", L" [Base", L"5"},
      {L"Pro\nduct", L"Product1", L"5"},
      {L"Product]x", L"Product1", L"5"},
      {L"Product" + nul, L"Product1", L"5"},
  };
  for (const auto& c : cases) {
    Write("config.ini", before);
    EXPECT_FALSE(Set(c[0], c[1], c[2])) << testing::PrintToString(c[0] + L"|" + c[1] + L"|" + c[2]);
    EXPECT_EQ(Read("config.ini"), before);
  }
}

struct EditCase {
  const char* name;
  std::string before;
  std::wstring section;
  std::wstring key;
  std::wstring value;
  std::string after;
};
void PrintTo(const EditCase& c, std::ostream* os) { *os << c.name; }

class IniEditTest : public IniTest, public ::testing::WithParamInterface<EditCase> {};

TEST_P(IniEditTest, KeepsEveryOtherByte) {
  Write("config.ini", GetParam().before);
  ASSERT_TRUE(Set(GetParam().section, GetParam().key, GetParam().value));
  EXPECT_EQ(Read("config.ini"), GetParam().after);
}

const std::string kCommented =
    "; settings of the shell\r\n"
    "[Unknown]\r\n"
    "  odd line without equals  \r\n"
    "x = y ; not a comment\r\n"
    "\r\n"
    "[Base]\r\n"
    "# note\r\n"
    "LastUpdate = 1.0.0.0\r\n"
    "\r\n"
    "[Product]\r\n"
    "Product7=12\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, IniEditTest,
    ::testing::Values(
        EditCase{"ReplaceInPlace", kCommented, L"base", L"LASTUPDATE", L"2.0.0.0",
                 "; settings of the shell\r\n[Unknown]\r\n  odd line without equals  \r\n"
                 "x = y ; not a comment\r\n\r\n[Base]\r\n# note\r\nLastUpdate =2.0.0.0\r\n\r\n"
                 "[Product]\r\nProduct7=12\r\n"},
        EditCase{"AppendKeyAfterLastLineOfSection", kCommented, L"Base", L"Other", L"1",
                 "; settings of the shell\r\n[Unknown]\r\n  odd line without equals  \r\n"
                 "x = y ; not a comment\r\n\r\n[Base]\r\n# note\r\nLastUpdate = 1.0.0.0\r\n"
                 "Other=1\r\n\r\n[Product]\r\nProduct7=12\r\n"},
        EditCase{"AppendKeyToLastSection", kCommented, L"PRODUCT", L"Product8", L"3",
                 kCommented + "Product8=3\r\n"},
        EditCase{"AppendSection", kCommented, L"New", L"K", L"v", kCommented + "[New]\r\nK=v\r\n"},
        EditCase{"UnterminatedLastLine", "[Base]\nA=1", L"Base", L"B", L"2", "[Base]\nA=1\nB=2\n"},
        EditCase{"UnterminatedFileNewSection", "[Base]\nA=1", L"Product", L"P", L"2",
                 "[Base]\nA=1\n[Product]\nP=2\n"},
        EditCase{"ReplaceUnterminatedValue", "[Base]\nA=1", L"Base", L"A", L"22", "[Base]\nA=22"},
        EditCase{"EmptySectionGetsKey", "[Base]\n[Product]\n", L"Base", L"A", L"1",
                 "[Base]\nA=1\n[Product]\n"},
        EditCase{"ByteOrderMarkKept", "\xEF\xBB\xBF[Base]\nA=1\n", L"base", L"A", L"2",
                 "\xEF\xBB\xBF[Base]\nA=2\n"},
        EditCase{"LegacyCodePageBytesKept", "[\xD6\xD0]\nA=\xD6\xD0\n[Base]\nA=1\n", L"Base", L"A",
                 L"2", "[\xD6\xD0]\nA=\xD6\xD0\n[Base]\nA=2\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(IniTest, ReadsLegacyCodePageAndUtf8Files) {
  Write("config.ini", "[\xD6\xD0]\nA=\xD6\xD0\n");
  EXPECT_EQ(Get(L"\x4E2D", L"A"), L"\x4E2D");
  Write("config.ini", "[\xE4\xB8\xAD]\nA=\xE4\xB8\xAD\n");
  EXPECT_EQ(Get(L"\x4E2D", L"A"), L"\x4E2D");
}

TEST_F(IniTest, TwoThreadsWritingDifferentKeysLoseNone) {
  constexpr int kKeys = 500;
  const auto writer = [this](const std::wstring& section) {
    for (int i = 0; i < kKeys; ++i) {
      EXPECT_TRUE(Set(section, L"Key" + std::to_wstring(i), std::to_wstring(i * 3)));
    }
  };
  std::thread product(writer, L"Product");
  std::thread base(writer, L"Base");
  product.join();
  base.join();
  for (const wchar_t* section : {L"Product", L"Base"}) {
    for (int i = 0; i < kKeys; ++i) {
      ASSERT_EQ(Get(section, L"Key" + std::to_wstring(i)), std::to_wstring(i * 3)) << section << i;
    }
  }
}

// The whole file after the child has written `count` as its counter.
std::string VersionWithCounter(int count) {
  return "; kept\n[Product]\nProduct1=5\n[Base]\nCounter=" + std::to_string(count) + "\n";
}

TEST_F(IniTest, KilledWriterNeverLeavesCorruptedFile) {
  if (!test::CanKillWriters()) GTEST_SKIP() << "no copy of the test process to kill here";
  std::mt19937 random(::testing::UnitTest::GetInstance()->random_seed());
  for (int round = 0; round < 5; ++round) {
    Write("config.ini", VersionWithCounter(0));
    // Kill the writer at a random point, while it goes on writing.
    const int writes_seen = 1 + static_cast<int>(random() % 40);
    ASSERT_TRUE(test::KillWriterAfter(
        [this](int i) { return Set(L"Base", L"Counter", std::to_wstring(i)); }, writes_seen));

    const std::string bytes = Read("config.ini");
    const int counter = std::stoi(Get(L"Base", L"Counter", L"-1"));
    EXPECT_GE(counter, writes_seen);
    EXPECT_EQ(bytes, VersionWithCounter(counter)) << "round " << round;
    EXPECT_EQ(Get(L"Product", L"Product1"), L"5");
  }
}

}  // namespace
