// The update sequence against nginx on 127.0.0.1: what gets downloaded,
// installed and recorded, and what a failure leaves for the next start.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "core/diag_log.h"
#include "per_platform.h"
#include "update/update_fixture.h"
#include "update/update_sequence.h"
#include "update/update_thread.h"
#include "util/text.h"

namespace {

namespace fs = std::filesystem;
using update_test::Exists;
using update_test::PublishedItem;
using update_test::ReadFile;
using update_test::WriteFile;

std::string ZipOf(const std::map<std::string, std::string>& entries, const std::string& scratch) {
  update_test::WriteZip(scratch, entries);
  return ReadFile(scratch);
}

class UpdateFlowTest : public update_test::UpdateFixture {
 protected:
  UpdateOutcome Run() { return RunUpdate(context_, ShortLimits(), UpdateTrust()).outcome; }
  PublishedItem Package() {
    return {"lesson.vkp",
            ZipOf({{"000001/page.html", "<p>lesson</p>"}, {"000001/img/a.png", "png"}},
                  root_.path() + "/lesson.zip"),
            "pkg/", "package"};
  }
  std::string Staging() const { return content() + "/update"; }
  void ExpectNothingRecordedAndManifestGone() {
    EXPECT_EQ(RecordedVersion(), "1.0.0.0");
    EXPECT_FALSE(Exists(content() + "/update.xml"));
    EXPECT_FALSE(Exists(content() + "/update.xml.tmp"));
    EXPECT_TRUE(window_.calls().empty());
  }
};

TEST_F(UpdateFlowTest, InstallsPackagePlainFileAndExecutableThenAsksForRestart) {
  fs::create_directories(app() + "docs");
  Publish("2.0.0.0", {Package(),
                      {"readme.txt", "read me", "docs/", "file"},
                      {"quillory", "new executable", "bin/", "main"}});
  ASSERT_EQ(Run(), UpdateOutcome::kCompleted);
  EXPECT_EQ(ReadFile(app() + "Data/000001/page.html"), "<p>lesson</p>");
  EXPECT_EQ(ReadFile(app() + "Data/000001/img/a.png"), "png");
  EXPECT_EQ(ReadFile(app() + "docs/readme.txt"), "read me");
  EXPECT_EQ(ReadFile(app() + "quillory_"), "new executable");
  // Windows has no execute permission: a program is one by its name.
  if (!OnWindows()) {
    EXPECT_NE(fs::status(app() + "quillory_").permissions() & fs::perms::owner_exec,
              fs::perms::none);
  }
  EXPECT_EQ(RecordedVersion(), "2.0.0.0");
  EXPECT_FALSE(Exists(Staging()));
  EXPECT_FALSE(Exists(content() + "/update.xml"));
  EXPECT_EQ(window_.calls(),
            (std::vector<std::wstring>{
                L"box|程序更新需要重新启动！|Quillory - 更新升级|information", L"cancel"}));
  RestartProgram();
  EXPECT_EQ(Run(), UpdateOutcome::kNotNewer);
}

TEST_F(UpdateFlowTest, StartedThreadRunsTheSequenceInTheBackground) {
  Publish("2.0", {{"notes.txt", "notes", "", "file"}});
  StartUpdateThread(context_);
  // The manifest is deleted last: once it is gone, the run is over.
  EXPECT_TRUE(update_test::WaitFor(
      [&] { return RecordedVersion() == "2.0" && !Exists(content() + "/update.xml"); }, 60));
  EXPECT_EQ(ReadFile(app() + "notes.txt"), "notes");
}

TEST_F(UpdateFlowTest, WithoutANewExecutableThereIsNoRestart) {
  Publish("2.0", {{"notes.txt", "notes", "", "file"}});
  ASSERT_EQ(Run(), UpdateOutcome::kCompleted);
  EXPECT_EQ(ReadFile(app() + "notes.txt"), "notes");
  EXPECT_EQ(RecordedVersion(), "2.0");
  EXPECT_TRUE(window_.calls().empty());
  EXPECT_FALSE(g_bExeUpdated);
}

struct NotNewerCase {
  const wchar_t* recorded;
  const char* published;
};

void PrintTo(const NotNewerCase& c, std::ostream* out) {
  *out << WideToFsName(c.recorded) << " vs " << c.published;
}

class NotNewerTest : public UpdateFlowTest, public testing::WithParamInterface<NotNewerCase> {};

TEST_P(NotNewerTest, DownloadsNothingAndDeletesTheManifest) {
  context_.last_update = GetParam().recorded;
  Publish(GetParam().published, {{"notes.txt", "notes", "", "file"}});
  EXPECT_EQ(Run(), UpdateOutcome::kNotNewer);
  EXPECT_FALSE(Exists(app() + "notes.txt"));
  EXPECT_FALSE(Exists(Staging()));
  ExpectNothingRecordedAndManifestGone();
}

INSTANTIATE_TEST_SUITE_P(Versions, NotNewerTest,
                         testing::Values(NotNewerCase{L"1.0.0.0", "1.0.0.0"},
                                         NotNewerCase{L"1.2", "1.2.0.0"},
                                         NotNewerCase{L"1.10", "1.9.9.9"}));

TEST_F(UpdateFlowTest, NewerManifestWithoutItemsRecordsNothingAndRepeats) {
  Publish("2.0.0.0", {});
  EXPECT_EQ(Run(), UpdateOutcome::kIncomplete);
  ExpectNothingRecordedAndManifestGone();
  RestartProgram();
  EXPECT_EQ(Run(), UpdateOutcome::kIncomplete);
}

TEST_F(UpdateFlowTest, SecondItemFailingKeepsTheUnpackedFirstAndTheNextStartRepeats) {
  Publish("2.0.0.0", {Package(), {"later.txt", "later", "", "file"}});
  fs::remove(www() + "/files/later.txt");
  EXPECT_EQ(Run(), UpdateOutcome::kIncomplete);
  EXPECT_EQ(ReadFile(app() + "Data/000001/page.html"), "<p>lesson</p>");
  EXPECT_TRUE(Exists(Staging()));
  ExpectNothingRecordedAndManifestGone();

  // Next start: the file is there now; everything is installed again.
  WriteFile(www() + "/files/later.txt", "later");
  fs::remove(app() + "Data/000001/page.html");
  RestartProgram();
  EXPECT_EQ(Run(), UpdateOutcome::kCompleted);
  EXPECT_EQ(ReadFile(app() + "Data/000001/page.html"), "<p>lesson</p>");
  EXPECT_EQ(ReadFile(app() + "later.txt"), "later");
  EXPECT_EQ(RecordedVersion(), "2.0.0.0");
}

TEST_F(UpdateFlowTest, ExecutableFollowedByAFailingItemGivesNoRestart) {
  Publish("2.0", {{"quillory", "new", "", "main"}, {"later.txt", "later", "", "file"}});
  fs::remove(www() + "/files/later.txt");
  EXPECT_EQ(Run(), UpdateOutcome::kIncomplete);
  EXPECT_EQ(ReadFile(app() + "quillory_"), "new");
  ExpectNothingRecordedAndManifestGone();
}

TEST_F(UpdateFlowTest, LowerCaseDigestNeverCompletes) {
  const std::string bytes = "digest me";
  Publish("2.0", {{"d.txt", bytes, "", "file"}});
  EditManifest("md5=\"", "md5=\"x");  // mark, then lower-case the 32 digits after it
  std::string text = ReadFile(www() + update_test::kManifestUrlPath);
  const std::size_t at = text.find("md5=\"x") + 6;
  for (std::size_t i = at; i < at + 32; ++i) text[i] = static_cast<char>(std::tolower(text[i]));
  text.erase(at - 1, 1);
  PublishManifestText(text);
  for (int start = 0; start < 2; ++start) {
    EXPECT_EQ(Run(), UpdateOutcome::kIncomplete);
    EXPECT_FALSE(Exists(app() + "d.txt"));
    RestartProgram();
  }
  ExpectNothingRecordedAndManifestGone();
}

TEST_F(UpdateFlowTest, KindIsCaseSensitive) {
  PublishedItem item = Package();
  item.kind = "Package";
  item.folder = "";
  Publish("2.0", {item});
  EXPECT_EQ(Run(), UpdateOutcome::kCompleted);
  EXPECT_EQ(ReadFile(app() + "lesson.vkp"), item.bytes);
  EXPECT_FALSE(Exists(app() + "Data/000001"));
}

struct FolderCase {
  const char* folder;
  const char* installed;  // relative to the program folder
};

void PrintTo(const FolderCase& c, std::ostream* out) { *out << '"' << c.folder << '"'; }

class FolderValueTest : public UpdateFlowTest, public testing::WithParamInterface<FolderCase> {};

TEST_P(FolderValueTest, PlainFileGoesToProgramFolderFolderValueAndName) {
  fs::create_directories(app() + "docs");
  Publish("2.0", {{"n.txt", "n", GetParam().folder, "file"}});
  EXPECT_EQ(Run(), UpdateOutcome::kCompleted);
  EXPECT_EQ(ReadFile(app() + GetParam().installed), "n");
}

INSTANTIATE_TEST_SUITE_P(Folders, FolderValueTest,
                         testing::Values(FolderCase{"", "n.txt"}, FolderCase{"docs/", "docs/n.txt"},
                                         FolderCase{"docs\\", "docs/n.txt"},
                                         FolderCase{"docs", "docsn.txt"}));

TEST_F(UpdateFlowTest, FailedCopyIsNotASuccess) {
  Publish("2.0", {{"n.txt", "n", "no-such-folder/", "file"}});
  EXPECT_EQ(Run(), UpdateOutcome::kIncomplete);
  EXPECT_FALSE(Exists(app() + "no-such-folder"));
  ExpectNothingRecordedAndManifestGone();

  context_.exe_swap_path = FsNameToWide(app() + "no-such-folder/quillory_");
  Publish("2.0", {{"quillory", "new", "", "main"}});
  EXPECT_EQ(Run(), UpdateOutcome::kIncomplete);
  EXPECT_FALSE(g_bExeUpdated);
  ExpectNothingRecordedAndManifestGone();
}

TEST_F(UpdateFlowTest, VersionThatCannotBeRecordedGivesNoRestart) {
  context_.config_path = FsNameToWide(app() + "no-such-folder/config.ini");
  Publish("2.0", {{"quillory", "new", "", "main"}});
  EXPECT_EQ(Run(), UpdateOutcome::kIncomplete);
  EXPECT_TRUE(window_.calls().empty());
  EXPECT_FALSE(Exists(content() + "/update.xml"));
}

TEST_F(UpdateFlowTest, PackageThatCannotBeUnpackedFails) {
  Publish("2.0", {{"broken.vkp", "not a zip archive", "", "package"}});
  EXPECT_EQ(Run(), UpdateOutcome::kIncomplete);
  ExpectNothingRecordedAndManifestGone();
}

TEST_F(UpdateFlowTest, DeveloperModeStagesUnderDeveAndUnpacksIntoData) {
  context_.data_dir = L"Deve";
  data_dir_ = "Deve";
  fs::create_directories(app() + "Deve/000000");
  Publish("2.0", {Package(), {"later.txt", "later", "", "file"}});
  fs::remove(www() + "/files/later.txt");
  EXPECT_EQ(Run(), UpdateOutcome::kIncomplete);
  EXPECT_EQ(ReadFile(app() + "Data/000001/page.html"), "<p>lesson</p>");
  EXPECT_FALSE(Exists(app() + "Deve/000001"));
  EXPECT_TRUE(Exists(app() + "Deve/update/pkg"));
  EXPECT_FALSE(Exists(app() + "Data/update"));
  ExpectNothingRecordedAndManifestGone();
}

struct TraversalCase {
  const char* folder;
  const char* name_edit;  // replaces the published file name; empty: keep it
};

void PrintTo(const TraversalCase& c, std::ostream* out) {
  *out << "folder \"" << c.folder << "\" name \"" << c.name_edit << '"';
}

class TraversalTest : public UpdateFlowTest, public testing::WithParamInterface<TraversalCase> {};

TEST_P(TraversalTest, ChangesNothingOutsideTheProgramFolderAndDownloadsNothing) {
  Publish("2.0", {{"escape.txt", "escaped", GetParam().folder, "file"}});
  if (*GetParam().name_edit != '\0') {
    EditManifest("\"escape.txt\"", std::string("\"") + GetParam().name_edit + "\"");
  }
  const auto outside_before = update_test::ListTree(root_.path());
  EXPECT_EQ(Run(), UpdateOutcome::kIncomplete);
  auto outside_after = update_test::ListTree(root_.path());
  EXPECT_EQ(outside_after, outside_before);
  EXPECT_FALSE(Exists("/tmp/quillory-escape"));
  EXPECT_FALSE(Exists("/tmp/quillory-escape.txt"));
  EXPECT_FALSE(Exists(Staging()));
  ExpectNothingRecordedAndManifestGone();
}

INSTANTIATE_TEST_SUITE_P(
    Names, TraversalTest,
    testing::Values(TraversalCase{"../", ""}, TraversalCase{"..\\", ""},
                    TraversalCase{"docs/../../", ""}, TraversalCase{"", "../escape.txt"},
                    TraversalCase{".", "./escape.txt"}, TraversalCase{".", ".\\escape.txt"},
                    TraversalCase{"", "..\\..\\escape.txt"},
                    TraversalCase{"/tmp/quillory-escape/", ""}, TraversalCase{"C:\\x\\", ""},
                    TraversalCase{"", "/tmp/quillory-escape.txt"}));

struct LinkCase {
  const char* link;       // planted in the program folder
  const char* points_to;  // below the outside folder ("" for the folder itself)
  const char* folder;     // folder value of the plain file "victim"
};

void PrintTo(const LinkCase& c, std::ostream* out) { *out << c.link << " -> " << c.points_to; }

class PlantedLinkTest : public UpdateFlowTest, public testing::WithParamInterface<LinkCase> {};

TEST_P(PlantedLinkTest, NothingIsWrittenThroughALinkOutOfTheProgramFolder) {
  const std::string outside = root_.path() + "/outside";
  WriteFile(outside + "/victim", "victim");
  const fs::path link = app() + GetParam().link;
  fs::create_directories(link.parent_path());
  if (!update_test::MakeSymlink(outside + "/" + GetParam().points_to, link.string(),
                                *GetParam().points_to == '\0')) {
    GTEST_SKIP() << "no links can be made on this system";
  }
  Publish("2.0", {{"victim", "new", GetParam().folder, "file"}});
  Run();
  EXPECT_EQ(update_test::ListTree(outside),
            (std::map<std::string, std::string>{{"victim", "victim"}}));
}

INSTANTIATE_TEST_SUITE_P(Links, PlantedLinkTest,
                         testing::Values(LinkCase{"docs", "", "docs/"},
                                         LinkCase{"Data/x", "", "Data/x/"},
                                         LinkCase{"Data/update", "", ""},
                                         LinkCase{"Data/update/victim.tmp", "victim", ""},
                                         LinkCase{"victim", "victim", ""}));

// An https server's items fail when they leave https: a plain http address,
// or an https one that redirects to http.
class HttpsServerTest : public UpdateFlowTest, public testing::WithParamInterface<bool> {};

TEST_P(HttpsServerTest, ItemThatLeavesHttpsFails) {
  if (OnWindows()) {
    GTEST_SKIP() << "WinINet trusts only the system's certificate authorities: the test "
                    "server's own certificate cannot be handed to it";
  }
  update_test::NginxServer tls({www(), 0, /*tls=*/true});
  if (!tls.running()) GTEST_SKIP() << "no TLS server could be started";
  context_.server_url = FsNameToWide(tls.Url());
  const std::string redirect =
      tls.Url() + "/to-http/" + std::to_string(nginx_->port()) + "/files/n.txt";
  Publish("2.0", {{"n.txt", "n", "", "file", GetParam() ? redirect : FileUrl("n.txt")}});
  DownloadLimits limits = ShortLimits();
  limits.trusted_certificates = FsNameToWide(tls.CertificateFile());
  // Incomplete, not kNoConnection: the manifest itself did come over https.
  EXPECT_EQ(RunUpdate(context_, limits, UpdateTrust()).outcome, UpdateOutcome::kIncomplete);
  EXPECT_FALSE(Exists(app() + "n.txt"));
}

INSTANTIATE_TEST_SUITE_P(Redirected, HttpsServerTest, testing::Bool());

TEST_F(UpdateFlowTest, ItemThatIsNotFoundFails) {
  Publish("2.0", {{"n.txt", "n", "", "file"}});
  fs::remove(www() + "/files/n.txt");
  EXPECT_EQ(Run(), UpdateOutcome::kIncomplete);
  EXPECT_FALSE(Exists(app() + "n.txt"));
  ExpectNothingRecordedAndManifestGone();
}

class DownloadFaultTest
    : public UpdateFlowTest,
      public testing::WithParamInterface<update_test::ScriptedServer::Behaviour> {};

TEST_P(DownloadFaultTest, FailsTheItemAndRecordsNothing) {
  if (GetParam() == update_test::ScriptedServer::Behaviour::kStall && update_test::UnderWine()) {
    GTEST_SKIP() << "Wine's WinINet ignores the receive time-out in the middle of a body";
  }
  update_test::ScriptedServer server(GetParam());
  Publish("2.0", {{"f.bin", std::string(100000, 'x'), "", "file", server.Url("/f.bin")}});
  EXPECT_EQ(Run(), UpdateOutcome::kIncomplete);
  EXPECT_FALSE(Exists(app() + "f.bin"));
  ExpectNothingRecordedAndManifestGone();
}

INSTANTIATE_TEST_SUITE_P(Faults, DownloadFaultTest,
                         testing::Values(update_test::ScriptedServer::Behaviour::kCutShort,
                                         update_test::ScriptedServer::Behaviour::kEndless,
                                         update_test::ScriptedServer::Behaviour::kStall));

class MalformedManifestTest : public UpdateFlowTest,
                              public testing::WithParamInterface<const char*> {};

TEST_P(MalformedManifestTest, IsDeletedAndNothingElseHappens) {
  Publish("2.0", {{"n.txt", "n", "", "file"}});  // the file exists on the server
  PublishManifestText(GetParam());
  EXPECT_EQ(Run(), UpdateOutcome::kUnreadableManifest);
  EXPECT_FALSE(Exists(app() + "n.txt"));
  EXPECT_FALSE(Exists(Staging()));
  ExpectNothingRecordedAndManifestGone();
}

INSTANTIATE_TEST_SUITE_P(
    Texts, MalformedManifestTest,
    testing::Values("<update version=\"2.0\"><file", "<!-- no root -->",
                    "<update><f a=\"n.txt\" b=\"X\" c=\"\" d=\"1\" e=\"u\" f=\"file\"/></update>",
                    "<update v=\"2.0\"><f a=\"n.txt\" b=\"X\" c=\"\" d=\"1\" e=\"u\"/></update>"));

TEST_F(UpdateFlowTest, OversizedManifestIsNotProcessed) {
  PublishManifestText("<update version=\"2.0\">" + std::string(kManifestMaxBytes, ' ') +
                      "</update>");
  EXPECT_EQ(Run(), UpdateOutcome::kNoManifest);
  ExpectNothingRecordedAndManifestGone();
}

TEST_F(UpdateFlowTest, ManifestThatCannotBePutInPlaceLeavesNoTemporaryFile) {
  Publish("2.0", {{"n.txt", "n", "", "file"}});
  WriteFile(content() + "/update.xml/occupied", "a folder in the way");
  Run();
  EXPECT_FALSE(Exists(content() + "/update.xml.tmp"));
}

TEST_F(UpdateFlowTest, ManifestLeftByAnEarlierRunIsProcessed) {
  Publish("2.0", {{"n.txt", "n", "", "file"}});
  fs::copy_file(www() + update_test::kManifestUrlPath, content() + "/update.xml");
  fs::remove(www() + update_test::kManifestUrlPath);
  EXPECT_EQ(Run(), UpdateOutcome::kCompleted);
  EXPECT_EQ(ReadFile(app() + "n.txt"), "n");
  EXPECT_FALSE(Exists(content() + "/update.xml"));
}

TEST_F(UpdateFlowTest, FailedRunLogsItsReasonOnlyWhileTheLogIsOpen) {
  Publish("2.0", {{"n.txt", "n", "docs/", "file"}});
  fs::remove(www() + "/files/n.txt");
  const std::string log = root_.path() + "/diagnostic.log";
  ASSERT_TRUE(OpenDiagnosticLog(log));
  EXPECT_EQ(Run(), UpdateOutcome::kIncomplete);
  CloseDiagnosticLog();
  const std::string text = update_test::ReadText(log);
  EXPECT_NE(text.find("] update run: failed: download docs/n.txt: status 404\n"), std::string::npos)
      << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;

  fs::remove(log);
  RestartProgram();
  EXPECT_EQ(Run(), UpdateOutcome::kIncomplete);
  EXPECT_FALSE(Exists(log));
}

TEST_F(UpdateFlowTest, UnreachableServerChangesNothing) {
  fs::remove_all(content());
  context_.server_url =
      FsNameToWide("http://127.0.0.1:" + std::to_string(update_test::UnusedPort()));
  EXPECT_EQ(Run(), UpdateOutcome::kNoConnection);
  EXPECT_FALSE(Exists(content()));
}

TEST_F(UpdateFlowTest, MissingContentFolderIsCreatedForTheManifest) {
  fs::remove_all(content());
  Publish("2.0", {{"n.txt", "n", "", "file"}});
  EXPECT_EQ(Run(), UpdateOutcome::kCompleted);
  EXPECT_TRUE(fs::is_directory(content()));
}

}  // namespace
