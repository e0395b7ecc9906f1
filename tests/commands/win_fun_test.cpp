// The dispatcher: names compared exactly, each reaching its own command.
#include "commands/win_fun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cwctype>
#include <string>
#include <vector>

#include "platform_columns.h"
#include "program_folder_fixture.h"

namespace {

using Log = std::vector<std::wstring>;

struct Dispatch {
  const wchar_t* name;
  const wchar_t* a1;
  Log expected;  // what the host sees
};

// One call per command, in the table's order, each with its visible effect.
// Every call starts in book 12 with page 40 remembered; "config:" is the
// settings file after a call that changed it, "started" the mark of the
// product program grade7/Start.exe.
const Dispatch kDispatches[] = {
    {L"ShowMsg", L"1", {L"info:text"}},
    {L"GetBaseInfo", L"", {}},  // statement checked below (depends on the folder)
    {L"GetLocalProduct", L"", {L"script:SetLocProBar(0);", L"script:SetLocProBar(1);"}},
    {L"GoMainWin", L"max", {L"windowed:max"}},
    {L"GoBook", L"12", {L"reading"}},
    {L"QuitBook",
     L"",
     {L"windowed:restore", L"navigate:http://localhost:4321/000000/kvr_main.html"}},
    {L"MinWindow", L"x", {L"minimise"}},
    {L"StartOld", L"grade7", {L"started"}},
    {L"GetLesson", L"", {L"script:SetFun('gotoPage','40');"}},
    {L"SaveLesson", L"3", {L"config:[Product]\nProduct12=3\n"}},
    {L"SelectPackage", L"", {L"choose-package", L"script:SetUnzPkg(3);"}},
    {L"ShowMe", L"", {L"script:ShowMe();"}},
};

// The separator the content folder ends in.
const PerPlatform<std::wstring> kSeparator{L"/", L"\\"};

// Every backslash doubled, as in the base-information statement.
std::wstring Doubled(const std::wstring& text) {
  std::wstring doubled;
  for (wchar_t c : text) doubled += c == L'\\' ? std::wstring(2, c) : std::wstring(1, c);
  return doubled;
}

class WinFunTest : public ProgramFolderTest {
 protected:
  void Run(const std::wstring& command, const std::wstring& a1 = L"",
           const std::wstring& a2 = L"text") {
    EXPECT_TRUE(RunWinFun(host_, {command, a1, a2, L"a3", L"a4", L"a5"}));
  }
};

TEST_F(WinFunTest, EachNameRunsItsCommand) {
  const std::string config = "[Product]\nProduct12=40\n";
  const std::filesystem::path mark = root_ / "started";
  WriteMarkingProgram(Content() / "grade7" / "Start.exe", mark);
  for (const Dispatch& d : kDispatches) {
    host_.log.clear();
    WriteBytes(ConfigFile(), config);
    host_.book = {true, L"Product12"};
    Run(d.name, d.a1);
    const std::string after = ReadBytes(ConfigFile());
    if (after != config) host_.log.push_back(L"config:" + std::wstring(after.begin(), after.end()));
    if (d.expected == Log{L"started"} && AppearsWithin(mark, std::chrono::seconds(20))) {
      host_.log.push_back(L"started");
    }
    if (std::wstring(d.name) == L"GetBaseInfo") {
      ASSERT_EQ(host_.log.size(), 1u);
      EXPECT_EQ(host_.log[0].rfind(L"script:SetBaseInfo('" +
                                       Doubled(host_.settings.ContentFolder() + kSeparator.Here()) +
                                       L"','",
                                   0),
                0u)
          << host_.log[0];
    } else {
      EXPECT_EQ(host_.log, d.expected) << d.name;
    }
  }
}

TEST_F(WinFunTest, BookIdAndLessonArgumentsArriveUnchanged) {
  Run(L"GoBook", L"12");
  EXPECT_TRUE(host_.book.in_book);
  EXPECT_EQ(host_.book.key, L"Product12");
  Run(L"SaveLesson", L"40");
  host_.log.clear();
  Run(L"GetLesson");
  EXPECT_EQ(host_.Statements(), (Log{L"SetFun('gotoPage','40');"}));
}

std::wstring Lower(std::wstring text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](wchar_t c) { return std::towlower(c); });
  return text;
}
std::wstring Upper(std::wstring text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](wchar_t c) { return std::towupper(c); });
  return text;
}

TEST_F(WinFunTest, NamesThatAreNotExactlyEqualDoNothing) {
  std::vector<std::wstring> near_misses = {L"", L" ", L"Unknown", L"GoBook\u00A0"};
  for (const Dispatch& d : kDispatches) {
    const std::wstring name = d.name;
    for (const std::wstring& miss :
         {Lower(name), Upper(name), name + L" ", L" " + name, name + L"\t", name.substr(1)}) {
      near_misses.push_back(miss);
    }
  }
  for (const std::wstring& miss : near_misses) {
    Run(miss, L"1");
    EXPECT_TRUE(host_.log.empty()) << miss;
    EXPECT_FALSE(host_.book.in_book) << miss;
  }
  EXPECT_FALSE(std::filesystem::exists(ConfigFile()));
  EXPECT_FALSE(std::filesystem::exists(Content() / "localList.xml"));
}

}  // namespace
