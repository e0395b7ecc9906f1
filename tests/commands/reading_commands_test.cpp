// The reading commands against a recording host and a real config.ini.
#include "commands/reading_commands.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform_columns.h"
#include "program_folder_fixture.h"

namespace {

using Log = std::vector<std::wstring>;

using ReadingCommandsTest = ProgramFolderTest;

TEST(IsAllDigitsTest, AcceptsOnlyAsciiDigits) {
  struct Case {
    const wchar_t* text;
    bool expected;
  };
  const Case cases[] = {{L"", true},        {L"0", true},    {L"0123456789", true},
                        {L"12a", false},    {L"-3", false},  {L"+3", false},
                        {L"1 2", false},    {L" 12", false}, {L"\uFF11\uFF12", false},
                        {L"\u0661", false}, {L"12.0", false}};
  for (const Case& c : cases) EXPECT_EQ(IsAllDigits(c.text), c.expected) << c.text;
}

TEST_F(ReadingCommandsTest, GoBookEntersReadingModeUnderTheProductKey) {
  GoBook(host_, L"1203");
  EXPECT_TRUE(host_.book.in_book);
  EXPECT_EQ(host_.book.key, L"Product1203");
  EXPECT_EQ(host_.log, (Log{L"reading"}));

  GoBook(host_, L"");
  EXPECT_EQ(host_.book.key, L"Product");
}

TEST_F(ReadingCommandsTest, GoMainWinMaximisesOnlyForExactlyMax) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {{L"max", L"windowed:max"},
                                                             {L"Max", L"windowed:restore"},
                                                             {L"", L"windowed:restore"},
                                                             {L"max ", L"windowed:restore"}};
  for (const auto& [size, expected] : cases) {
    GoBook(host_, L"7");
    host_.log.clear();
    GoMainWin(host_, size);
    EXPECT_EQ(host_.log, (Log{expected})) << size;
    EXPECT_FALSE(host_.book.in_book);
    EXPECT_TRUE(host_.book.key.empty());
  }
}

TEST_F(ReadingCommandsTest, QuitBookRestoresAndLoadsTheMainPageInAnyState) {
  for (bool in_book : {true, false}) {
    if (in_book) GoBook(host_, L"7");
    host_.log.clear();
    QuitBook(host_);
    EXPECT_EQ(host_.log,
              (Log{L"windowed:restore", L"navigate:http://localhost:4321/000000/kvr_main.html"}));
    EXPECT_FALSE(host_.book.in_book);
    EXPECT_TRUE(host_.book.key.empty());
  }
}

TEST_F(ReadingCommandsTest, MinWindowLeavesBookModeAlone) {
  GoBook(host_, L"7");
  host_.log.clear();
  MinWindow(host_);
  EXPECT_EQ(host_.log, (Log{L"minimise"}));
  EXPECT_TRUE(host_.book.in_book);
  EXPECT_EQ(host_.book.key, L"Product7");
}

TEST_F(ReadingCommandsTest, LessonPageSurvivesLeavingAndReopeningTheBook) {
  GoBook(host_, L"7");
  SaveLesson(host_, L"15");
  GoMainWin(host_, L"");
  GoBook(host_, L"7");
  host_.log.clear();
  GetLesson(host_);

  EXPECT_EQ(host_.Statements(), (Log{L"SetFun('gotoPage','15');"}));
  const PerPlatform<std::string> stored{"[Product]\nProduct7=15\n",
                                        Utf16File("[Product]\r\nProduct7=15\r\n")};
  EXPECT_EQ(ReadBytes(ConfigFile()), stored.Here());
}

TEST_F(ReadingCommandsTest, SaveLessonRefusesPagesWithOtherCharacters) {
  GoBook(host_, L"7");
  SaveLesson(host_, L"15");
  for (const wchar_t* page : {L"12a", L"-3", L"1 2", L" 15", L"\uFF11"}) SaveLesson(host_, page);
  GetLesson(host_);
  EXPECT_EQ(host_.Statements(), (Log{L"SetFun('gotoPage','15');"}));
}

TEST_F(ReadingCommandsTest, EmptyLessonIsStoredButNotOffered) {
  GoBook(host_, L"7");
  SaveLesson(host_, L"15");
  SaveLesson(host_, L"");
  GetLesson(host_);
  EXPECT_TRUE(host_.Statements().empty());
  const PerPlatform<std::string> stored{"[Product]\nProduct7=\n",
                                        Utf16File("[Product]\r\nProduct7=\r\n")};
  EXPECT_EQ(ReadBytes(ConfigFile()), stored.Here());
}

TEST_F(ReadingCommandsTest, StoredPageWithOtherCharactersIsNotOffered) {
  WriteBytes(ConfigFile(), "[product]\nproduct9=4x\nProduct8= 22 \n");
  GoBook(host_, L"9");
  GetLesson(host_);
  EXPECT_TRUE(host_.Statements().empty());
  GoBook(host_, L"8");  // key and section match without regard to case; value trimmed
  GetLesson(host_);
  EXPECT_EQ(host_.Statements(), (Log{L"SetFun('gotoPage','22');"}));
}

TEST_F(ReadingCommandsTest, LessonCommandsDoNothingOutsideABook) {
  WriteBytes(ConfigFile(), "[Product]\nProduct7=15\n");
  GoBook(host_, L"7");
  QuitBook(host_);
  host_.log.clear();
  GetLesson(host_);
  SaveLesson(host_, L"99");
  GoMainWin(host_, L"max");
  GetLesson(host_);
  SaveLesson(host_, L"98");
  EXPECT_EQ(host_.Statements(), Log{});
  EXPECT_EQ(ReadBytes(ConfigFile()), "[Product]\nProduct7=15\n");
}

// An id that cannot be a config.ini key line opens the book, but nothing is
// remembered for it: no line is written, and no other book's page is offered.
TEST_F(ReadingCommandsTest, BookIdThatCannotBeAKeyRemembersNothing) {
  const std::string config = "[Product]\nProduct7=15\n";
  const std::wstring ids[] = {L"7\r", L"7\n", L"7\n[Base]\nLastUpdate=9.9.9.9",
                              L"=7",  L"7 ",  std::wstring(L"7\0", 2)};
  for (const std::wstring& id : ids) {
    WriteBytes(ConfigFile(), config);
    host_.log.clear();
    GoBook(host_, id);
    SaveLesson(host_, L"99");
    GetLesson(host_);
    EXPECT_TRUE(host_.book.in_book);
    EXPECT_EQ(host_.log, (Log{L"reading"})) << testing::PrintToString(id);
    EXPECT_EQ(ReadBytes(ConfigFile()), config) << testing::PrintToString(id);
  }
}

TEST_F(ReadingCommandsTest, ShowMsgShowsBoxesOnlyForKindsOneAndTwo) {
  for (const wchar_t* kind : {L"1", L"2", L"0", L"", L"01", L" 1", L"3"}) {
    ShowMsg(host_, kind, std::wstring(L"kind ") + kind);
  }
  EXPECT_EQ(host_.log, (Log{L"info:kind 1", L"error:kind 2"}));
}

// The content folder ends in the system's separator; then every backslash of
// the whole statement is doubled, and apostrophes and line breaks escaped.
struct BaseInfoCase {
  const char* name;
  const wchar_t* program_folder;
  const wchar_t* content_folder_name;
  const wchar_t* server_url;
  const wchar_t* version;
  PerPlatform<std::wstring> statement;
};
void PrintTo(const BaseInfoCase& c, std::ostream* out) { *out << c.name; }

class GetBaseInfoTest : public ProgramFolderTest,
                        public testing::WithParamInterface<BaseInfoCase> {};

TEST_P(GetBaseInfoTest, SendsTheDesignedStatement) {
  const BaseInfoCase& c = GetParam();
  host_.settings.program_folder = c.program_folder;
  host_.settings.content_folder_name = c.content_folder_name;
  host_.settings.server_url = c.server_url;
  host_.settings.version = c.version;
  GetBaseInfo(host_);
  EXPECT_EQ(host_.Statements(), (Log{c.statement.Here()}));
}

const wchar_t kServer[] = L"https://update.quillory.example";

INSTANTIATE_TEST_SUITE_P(
    Cases, GetBaseInfoTest,
    testing::Values(
        BaseInfoCase{"PlainPaths",
                     L"/opt/quillory/",
                     L"Data",
                     kServer,
                     L"1.0.1.0",
                     {L"SetBaseInfo('/opt/quillory/Data/','https://update.quillory.example',"
                      L"'1.0.1.0');",
                      L"SetBaseInfo('/opt/quillory/Data\\\\','https://update.quillory.example',"
                      L"'1.0.1.0');"}},
        BaseInfoCase{"WindowsFolder",
                     L"C:\\Bag\\",
                     L"Data",
                     kServer,
                     L"1.0.1.0",
                     {L"SetBaseInfo('C:\\\\Bag\\\\Data/','https://update.quillory.example',"
                      L"'1.0.1.0');",
                      L"SetBaseInfo('C:\\\\Bag\\\\Data\\\\','https://update.quillory.example',"
                      L"'1.0.1.0');"}},
        BaseInfoCase{"BackslashesDoubledLikeTheWholeStatementRule",
                     L"/opt/back\\slash/\u6570\u5B66/",
                     L"Deve",
                     kServer,
                     L"1.0.1.0",
                     {L"SetBaseInfo('/opt/back\\\\slash/\u6570\u5B66/Deve/',"
                      L"'https://update.quillory.example','1.0.1.0');",
                      L"SetBaseInfo('/opt/back\\\\slash/\u6570\u5B66/Deve\\\\',"
                      L"'https://update.quillory.example','1.0.1.0');"}},
        BaseInfoCase{
            "ApostrophesAndLineBreaksEscaped",
            L"/home/o'neil/a\r\nb\\c/",
            L"Data",
            L"http://it's",
            L"",
            {L"SetBaseInfo('/home/o\\'neil/a\\r\\nb\\\\c/Data/','http://it\\'s','');",
             L"SetBaseInfo('/home/o\\'neil/a\\r\\nb\\\\c/Data\\\\','http://it\\'s','');"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReadingCommandsTest, ProductProgramStaysInsideTheContentFolder) {
  // The path below the content folder, in the system's separators; none: refused.
  const std::pair<const wchar_t*, PerPlatform<const wchar_t*>> cases[] = {
      {L"100101", {L"/100101/Start.exe", L"\\100101\\Start.exe"}},
      {L"grade7\\maths", {L"/grade7/maths/Start.exe", L"\\grade7\\maths\\Start.exe"}},
      {L"a..b/...", {L"/a..b/.../Start.exe", L"\\a..b\\...\\Start.exe"}},
      {L"/usr/bin", {nullptr, nullptr}},
      {L"\\usr\\bin", {nullptr, nullptr}},
      {L"C:\\Windows", {nullptr, nullptr}},
      {L"..", {nullptr, nullptr}},
      {L"../outside", {nullptr, nullptr}},
      {L"a/../../outside", {nullptr, nullptr}},
      {L"a\\..\\..\\outside", {nullptr, nullptr}},
      {L"a/..", {nullptr, nullptr}},
  };
  const std::wstring content = host_.settings.ContentFolder();
  for (const auto& [folder, below] : cases) {
    const std::optional<std::wstring> expected =
        below.Here() ? std::optional<std::wstring>(content + below.Here()) : std::nullopt;
    EXPECT_EQ(ProductProgramPath(content, folder), expected) << folder;
  }
}

TEST_F(ReadingCommandsTest, StartOldStartsTheProductsProgramDetached) {
  const std::filesystem::path marker = root_ / "started";
  WriteMarkingProgram(Content() / "grade7" / "maths" / "Start.exe", marker);

  StartOld(host_, L"grade7\\maths");
  EXPECT_TRUE(AppearsWithin(marker, std::chrono::seconds(20)));
}

// Programs wait where a wrong path would lead: beside the content folder, in
// the content folder itself, and in a product folder without Start.exe.
TEST_F(ReadingCommandsTest, StartOldWithoutAProgramChangesNothing) {
  const std::filesystem::path wrong = root_ / "wrongly-started";
  WriteMarkingProgram(root_ / "Start.exe", wrong);
  WriteMarkingProgram(Content() / "Start.exe", wrong);
  WriteMarkingProgram(Content() / "100101" / "Start", wrong);
  GoBook(host_, L"7");
  host_.log.clear();
  for (const wchar_t* folder : {L"100101", L"..", L"../Data/..", L"100101/..", L"/"}) {
    StartOld(host_, folder);
  }
  // A program started afterwards marks the moment the others would have run by.
  const std::filesystem::path started = root_ / "started";
  WriteMarkingProgram(Content() / "grade7" / "Start.exe", started);
  StartOld(host_, L"grade7");
  ASSERT_TRUE(AppearsWithin(started, std::chrono::seconds(20)));
  EXPECT_FALSE(std::filesystem::exists(wrong));
  EXPECT_TRUE(host_.book.in_book);
  EXPECT_EQ(host_.book.key, L"Product7");
  EXPECT_TRUE(host_.log.empty());
}

}  // namespace
