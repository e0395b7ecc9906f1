// DownloadFile and CheckConnection against nginx and scripted servers on 127.0.0.1.
#include "update/downloader.h"

#include <gtest/gtest.h>

#include <memory>

#include "update/test_servers.h"
#include "update/test_support.h"
#include "util/text.h"

namespace {

using update_test::Exists;
using update_test::NginxServer;
using update_test::ReadFile;
using update_test::ScriptedServer;
using update_test::TempFolder;
using update_test::WriteFile;

// Short bounds so that stall and connect failures show within seconds.
DownloadLimits ShortLimits(std::int64_t max_bytes = -1) {
  DownloadLimits limits;
  limits.connect_timeout_seconds = 2;
  limits.stall_timeout_seconds = 2;
  limits.max_bytes = max_bytes;
  return limits;
}

std::wstring Wide(const std::string& text) { return FsNameToWide(text); }

class DownloaderTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    www_ = new TempFolder();
    WriteFile(www_->path() + "/files/data.bin", update_test::SampleBytes(300000, 1));
    WriteFile(www_->path() + "/files/empty.txt", "");
    WriteFile(www_->path() + "/files/ten.txt", "0123456789");
    nginx_ = new NginxServer({www_->path()});
  }
  static void TearDownTestSuite() {
    delete nginx_;
    delete www_;
  }
  void SetUp() override { ASSERT_TRUE(nginx_->running()); }

  bool Download(const std::string& name, const std::string& url_path,
                const DownloadLimits& limits = ShortLimits()) {
    return DownloadFile(Wide(name), Wide(nginx_->Url() + url_path), Wide(target_.path() + "/"),
                        limits)
        .ok();
  }
  std::string Target(const std::string& name) const { return target_.path() + "/" + name; }

  static TempFolder* www_;
  static NginxServer* nginx_;
  TempFolder target_;
};

TempFolder* DownloaderTest::www_ = nullptr;
NginxServer* DownloaderTest::nginx_ = nullptr;

TEST_F(DownloaderTest, StoresTheBodyUnderTheTargetName) {
  ASSERT_TRUE(Download("data.bin", "/files/data.bin"));
  EXPECT_EQ(ReadFile(Target("data.bin")), ReadFile(www_->path() + "/files/data.bin"));
  EXPECT_FALSE(Exists(Target("data.bin.tmp")));
}

TEST_F(DownloaderTest, EmptyBodyGivesAnEmptyFile) {
  ASSERT_TRUE(Download("empty.txt", "/files/empty.txt"));
  EXPECT_EQ(ReadFile(Target("empty.txt")), "");
}

TEST_F(DownloaderTest, ReplacesAnExistingTargetAndAStaleTemporaryFile) {
  WriteFile(Target("ten.txt"), "old contents");
  WriteFile(Target("ten.txt.tmp"), "a much longer stale temporary file");
  ASSERT_TRUE(Download("ten.txt", "/files/ten.txt"));
  EXPECT_EQ(ReadFile(Target("ten.txt")), "0123456789");
  EXPECT_FALSE(Exists(Target("ten.txt.tmp")));
}

TEST_F(DownloaderTest, NotFoundLeavesTheTargetAndCreatesNothing) {
  WriteFile(Target("gone.txt"), "keep me");
  EXPECT_FALSE(Download("gone.txt", "/files/gone.txt"));
  EXPECT_EQ(ReadFile(Target("gone.txt")), "keep me");
  EXPECT_FALSE(Exists(Target("gone.txt.tmp")));
}

TEST_F(DownloaderTest, TargetThatCannotBeRemovedKeepsTheCompleteTemporaryFile) {
  WriteFile(Target("ten.txt/occupied"), "a folder in the way");
  EXPECT_FALSE(Download("ten.txt", "/files/ten.txt"));
  EXPECT_EQ(ReadFile(Target("ten.txt.tmp")), "0123456789");
}

TEST_F(DownloaderTest, FollowsAFewRedirectsButNotEndlessly) {
  EXPECT_TRUE(Download("ten.txt", "/redirect/2/files/ten.txt"));
  EXPECT_TRUE(Download("ten.txt", "/redirect/5/files/ten.txt"));
  // The limit is the final body's: a redirect's own body may be longer.
  EXPECT_TRUE(Download("ten.txt", "/redirect/1/files/ten.txt", ShortLimits(10)));
  EXPECT_FALSE(Download("six.txt", "/redirect/6/files/ten.txt"));
  EXPECT_FALSE(Exists(Target("six.txt")));
}

TEST_F(DownloaderTest, BodyLongerThanTheLimitFails) {
  EXPECT_TRUE(Download("ten.txt", "/files/ten.txt", ShortLimits(10)));
  EXPECT_FALSE(Download("nine.txt", "/files/ten.txt", ShortLimits(9)));
  EXPECT_FALSE(Exists(Target("nine.txt")));
  EXPECT_FALSE(Download("zero.txt", "/files/ten.txt", ShortLimits(0)));
}

TEST_F(DownloaderTest, SendsAGetThatBypassesCaches) {
  ScriptedServer server(ScriptedServer::Behaviour::kOk);
  ASSERT_TRUE(DownloadFile(L"ok.txt", Wide(server.Url("/ok.txt")), Wide(target_.path() + "/"),
                           ShortLimits()));
  EXPECT_EQ(ReadFile(Target("ok.txt")), "hello");
  const std::string request = server.last_request();
  EXPECT_EQ(request.rfind("GET /ok.txt HTTP/1.1\r\n", 0), 0u) << request;
  EXPECT_NE(request.find("\r\nCache-Control: no-cache\r\n"), std::string::npos) << request;
  EXPECT_NE(request.find("\r\nPragma: no-cache\r\n"), std::string::npos) << request;
}

// Faults only a scripted server produces: each must fail and leave neither a
// target nor its temporary file.
class BrokenServerTest : public testing::TestWithParam<ScriptedServer::Behaviour> {};

TEST_P(BrokenServerTest, FailsWithoutATarget) {
  if (GetParam() == ScriptedServer::Behaviour::kStall && update_test::UnderWine()) {
    GTEST_SKIP() << "Wine's WinINet ignores the receive time-out in the middle of a body";
  }
  TempFolder target;
  ScriptedServer server(GetParam());
  EXPECT_FALSE(DownloadFile(L"body.bin", Wide(server.Url("/body.bin")), Wide(target.path() + "/"),
                            ShortLimits(200000)));
  EXPECT_FALSE(Exists(target.path() + "/body.bin"));
  EXPECT_FALSE(Exists(target.path() + "/body.bin.tmp"));
}

INSTANTIATE_TEST_SUITE_P(Faults, BrokenServerTest,
                         testing::Values(ScriptedServer::Behaviour::kCutShort,
                                         ScriptedServer::Behaviour::kEndless,
                                         ScriptedServer::Behaviour::kStall));

TEST(ConnectionTest, ConnectionThatCannotBeMadeFailsInsteadOfHanging) {
  if (update_test::UnderWine()) {
    GTEST_SKIP() << "Wine's WinINet ignores the connect time-out: the attempt lasts as long "
                    "as Linux's own retries, over two minutes";
  }
  update_test::FullBacklogListener listener;
  if (!listener.full()) GTEST_SKIP() << "the accept queue could not be filled here";
  TempFolder target;
  EXPECT_FALSE(CheckConnection(Wide(listener.Url()), ShortLimits()));
  EXPECT_FALSE(
      DownloadFile(L"x", Wide(listener.Url() + "/x"), Wide(target.path() + "/"), ShortLimits()));
}

TEST(ConnectionTest, ChecksTheHostWithoutARequest) {
  ScriptedServer server(ScriptedServer::Behaviour::kOk);
  EXPECT_TRUE(CheckConnection(Wide(server.Url(""))));
  EXPECT_EQ(server.last_request(), "");
  const int closed_port = update_test::UnusedPort();
  EXPECT_FALSE(CheckConnection(Wide("http://127.0.0.1:" + std::to_string(closed_port))));
}

TEST(ConnectionTest, OnlyHttpAndHttpsAreFetched) {
  TempFolder folder;
  WriteFile(folder.path() + "/secret", "local file");
  EXPECT_FALSE(DownloadFile(L"copy", Wide("file://" + folder.path() + "/secret"),
                            Wide(folder.path() + "/")));
  EXPECT_FALSE(Exists(folder.path() + "/copy"));
}

TEST(TlsTest, UntrustedCertificateIsRefused) {
  TempFolder www;
  WriteFile(www.path() + "/ten.txt", "0123456789");
  NginxServer server({www.path(), 0, /*tls=*/true});
  if (!server.running()) GTEST_SKIP() << "no TLS server could be started";
  TempFolder target;
  EXPECT_FALSE(CheckConnection(Wide(server.Url()), ShortLimits()));
  EXPECT_FALSE(DownloadFile(L"ten.txt", Wide(server.Url() + "/ten.txt"), Wide(target.path() + "/"),
                            ShortLimits()));
  EXPECT_FALSE(Exists(target.path() + "/ten.txt"));
}

}  // namespace
