// Requests against a running server on 127.0.0.1: what each gets back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "server/content_store.h"
#include "server/expected_answers.h"
#include "server/file_link.h"
#include "server/loopback_client.h"
#include "server/server_fixture.h"

namespace {

using test::BodyOf;
using test::Fetch;
using test::HeaderOf;
using test::StatusOf;

const char kEntrance[] = "/000000/kvr_entrance.html";

class RequestTest : public test::ServerTest {};
class DevRequestTest : public test::DevServerTest {};

TEST_F(RequestTest, AnswersTheDefaultPageForRootAndCustomWithAnyMethodCase) {
  for (const char* request : {"GET /custom HTTP/1.1\r\n\r\n", "get / HTTP/1.0\r\n\r\n",
                              "GET /CUSTOM HTTP/1.1\r\nHost: localhost\r\n\r\n"}) {
    std::string answer = Fetch(port(), request);
    EXPECT_EQ(StatusOf(answer), "HTTP/1.0 200 OK") << request;
    EXPECT_EQ(HeaderOf(answer, "Content-Length"), std::to_string(test::kDefaultPage.size()));
    EXPECT_EQ(BodyOf(answer), test::kDefaultPage) << request;
  }
}

TEST_F(RequestTest, ServesScrambledFilesPlainWithHeaders) {
  std::string page = "<html><body>entrance</body></html>";
  folder().WriteContent(kEntrance, page);
  std::string answer = Get(kEntrance);
  EXPECT_EQ(StatusOf(answer), "HTTP/1.0 200 OK");
  EXPECT_EQ(HeaderOf(answer, "Content-Type"), "text/html");
  EXPECT_EQ(HeaderOf(answer, "Content-Length"), std::to_string(page.size()));
  EXPECT_EQ(HeaderOf(answer, "Accept-Ranges"), "bytes");
  EXPECT_EQ(HeaderOf(answer, "Connection"), "close");
  EXPECT_EQ(BodyOf(answer), page);
}

TEST_F(RequestTest, ServesAStoreLaidOutByHand) {
  // Names: MD5 of the store paths \000000\kvr_entrance.html and
  // \000000\list.xml. Bytes: "<p>hi</p>" XOR (9 XOR 0xA7); ".xml" stays plain.
  folder().WriteRaw("000000/5614955da0c2827390d1441bcb64d7a2.vkc",
                    "\x92\xde\x90\xc6\xc7\x92\x81\xde\x90");
  folder().WriteRaw("000000/077d30286dbe7bcb66f36287dca2bd3a.vkc", "<list/>");
  EXPECT_EQ(BodyOf(Get(kEntrance)), "<p>hi</p>");
  EXPECT_EQ(BodyOf(Get("/000000/list.xml")), "<list/>");
}

TEST_F(RequestTest, ServesLargeAndEmptyFilesWhole) {
  std::string big = test::PatternBytes(5 * 1024 * 1024 + 123);
  folder().WriteContent("/000000/media/big.mp4", big);
  folder().WriteContent("/000000/empty.txt", "");
  std::string answer = Get("/000000/media/big.mp4");
  EXPECT_EQ(HeaderOf(answer, "Content-Type"), "video/mp4");
  EXPECT_TRUE(BodyOf(answer) == big);
  std::string empty = Get("/000000/empty.txt");
  EXPECT_EQ(HeaderOf(empty, "Content-Length"), "0");
  EXPECT_EQ(BodyOf(empty), "");
}

TEST_F(RequestTest, SendsXmlAsStoredAndUpperCaseXmlUnscrambled) {
  std::string xml = "<?xml version=\"1.0\"?><pro id=\"1\"/>";
  folder().WriteContent("/000000/pro.xml", xml);
  folder().WriteContent("/000000/PRO.XML", xml);
  folder().WriteRaw("index.html", test::Scrambled("root page"));
  EXPECT_EQ(BodyOf(Get("/000000/pro.xml")), xml);
  EXPECT_EQ(BodyOf(Get("/000000/PRO.XML")), xml);
  EXPECT_EQ(BodyOf(Get("/index.html")), "root page");
}

TEST_F(RequestTest, FindsChineseNamesInUtf8AndInCodePagePercentEncoding) {
  folder().WriteContent("/000000/中文/课文.html", "lesson text");
  for (const char* raw : {"/000000/%E4%B8%AD%E6%96%87/%E8%AF%BE%E6%96%87.html",
                          "/000000/%D6%D0%CE%C4/%BF%CE%CE%C4.html"}) {
    EXPECT_EQ(BodyOf(Get(raw)), "lesson text") << raw;
  }
}

TEST_F(RequestTest, AnswersTheFixedResponseForMissingFilesAndTraversal) {
  folder().WriteRaw("../secret.txt", "outside");
  for (const char* raw : {"/000000/missing.html", "/../secret.txt", "/%2e%2e/secret.txt",
                          "/000000/..%5c..%5csecret.txt", "/000000/..%2F..%2Fsecret.txt"}) {
    EXPECT_EQ(Get(raw), test::kFixedResponse) << raw;
  }
}

TEST_F(RequestTest, AnswersPostWithTheFixedResponseAfterItsBody) {
  std::string post = "POST /000000/save HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 9\r\n\r\n";
  EXPECT_EQ(Fetch(port(), post + "a=1&b=2\r\n"), test::kFixedResponse);
  EXPECT_EQ(Fetch(port(), "POST / HTTP/1.0\r\n\r\n"), test::kFixedResponse);
}

TEST_F(RequestTest, AnswersNothingToQueriesOtherMethodsAndBadRequestLines) {
  folder().WriteContent(kEntrance, "page");
  for (const char* request : {"GET /000000/kvr_entrance.html?x=1 HTTP/1.1\r\n\r\n",
                              "HEAD /000000/kvr_entrance.html HTTP/1.1\r\n\r\n",
                              "PUT /000000/kvr_entrance.html HTTP/1.1\r\n\r\n",
                              "GET /000000/kvr_entrance.html\r\n\r\n", "GARBAGE\r\n\r\n", "\r\n"}) {
    test::LoopbackClient client(port());
    ASSERT_TRUE(client.Send(request));
    EXPECT_TRUE(client.ClosedWithoutAnswer()) << request;
  }
  // A request line cut at 499 bytes loses its second space.
  std::string long_line = "GET /" + std::string(600, 'a') + " HTTP/1.1\r\n\r\n";
  EXPECT_EQ(Fetch(port(), long_line), "");
  // A header block without end in sight.
  std::string endless = "GET /000000/kvr_entrance.html HTTP/1.1\r\n";
  for (int i = 0; i < 300; ++i) endless += "X-Filler: " + std::to_string(i) + "\r\n";
  EXPECT_EQ(Fetch(port(), endless + "\r\n"), "");
}

TEST_F(RequestTest, AnswersNothingToAForeignHostHeader) {
  folder().WriteContent(kEntrance, "page");
  for (const char* host : {"Host: attacker.example\r\n", "Host: 127.0.0.1.rebind.example:80\r\n"}) {
    EXPECT_EQ(Get(kEntrance, host), "") << host;
  }
  EXPECT_EQ(BodyOf(Fetch(port(), "GET /000000/kvr_entrance.html HTTP/1.0\r\n\r\n")), "page");
  EXPECT_EQ(
      BodyOf(Fetch(port(), "GET /000000/kvr_entrance.html HTTP/1.1\r\nHost: [::1]:1\r\n\r\n")),
      "page");
}

TEST_F(RequestTest, AnswersNothingToAPeerOtherThan127001) {
  folder().WriteContent(kEntrance, "page");
  test::LoopbackClient client(port(), "127.0.0.2");
  ASSERT_TRUE(client.connected());
  client.Send(test::GetRequest(kEntrance));
  EXPECT_TRUE(client.ClosedWithoutAnswer());
}

TEST_F(RequestTest, AnswersRangesWithPartialContent) {
  std::string clip = test::PatternBytes(100000, 7);
  folder().WriteContent("/000000/clip.mp3", clip);
  struct Case {
    const char* range;
    std::size_t first, count;
  } cases[] = {{"bytes=0-99", 0, 100},
               {"bytes=99000-", 99000, 1000},
               {"bytes=-10", 99990, 10},
               {"bytes=65530-65545", 65530, 16}};
  for (const Case& c : cases) {
    std::string answer = Get("/000000/clip.mp3", std::string("Range: ") + c.range + "\r\n");
    EXPECT_EQ(StatusOf(answer), "HTTP/1.0 206 Partial Content") << c.range;
    std::string expected_range = "bytes " + std::to_string(c.first) + "-" +
                                 std::to_string(c.first + c.count - 1) + "/100000";
    EXPECT_EQ(HeaderOf(answer, "Content-Range"), expected_range);
    EXPECT_TRUE(BodyOf(answer) == clip.substr(c.first, c.count)) << c.range;
  }
  std::string refused = Get("/000000/clip.mp3", "Range: bytes=100000-\r\n");
  EXPECT_EQ(StatusOf(refused), "HTTP/1.0 416 Range Not Satisfiable");
  EXPECT_EQ(BodyOf(refused), "");
}

TEST_F(DevRequestTest, ServesFilesAsTheyLieOnDisk) {
  std::string bytes = test::PatternBytes(70000, 3);
  folder().WriteRaw("000000/kvr_entrance.html", bytes);
  EXPECT_TRUE(BodyOf(Get(kEntrance)) == bytes);
  std::string answer = Get(kEntrance, "Range: bytes=69990-\r\n");
  EXPECT_TRUE(BodyOf(answer) == bytes.substr(69990));
}

// Reads a little of a large response, then goes away without reading the rest.
void LeaveMidResponse(std::uint16_t port, const std::string& path) {
  test::LoopbackClient client(port);
  ASSERT_TRUE(client.Send(test::GetRequest(path)));
  char some[4096];
  ASSERT_GT(platform::ReceiveBytes(client.handle(), some, sizeof some), 0);
}

TEST_F(RequestTest, OutlivesClientsThatLeaveMidResponse) {
  folder().WriteContent("/000000/big.mp4", test::PatternBytes(16 * 1024 * 1024));
  folder().WriteContent("/000000/big.xml", test::PatternBytes(16 * 1024 * 1024));
  for (int i = 0; i < 3; ++i) {
    LeaveMidResponse(port(), "/000000/big.mp4");  // unscrambled chunk by chunk
    LeaveMidResponse(port(), "/000000/big.xml");  // sent as stored by the system
  }
  folder().WriteContent(kEntrance, "still here");
  EXPECT_EQ(BodyOf(Get(kEntrance)), "still here");
}

TEST_F(DevRequestTest, RefusesParentSegments) {
  folder().WriteRaw("000000/a.html", "inside");
  folder().WriteRaw("../outside.html", "outside");
  for (const char* raw : {"/../outside.html", "/000000/../../outside.html",
                          "/000000%5c..%5c..%5coutside.html", "/%2E%2E/outside.html"}) {
    EXPECT_EQ(Get(raw), test::kFixedResponse) << raw;
  }
  EXPECT_EQ(BodyOf(Get("/000000/a.html")), "inside");
}

TEST_F(DevRequestTest, FollowsLinksOnlyToPlacesInsideTheContentFolder) {
  namespace stdfs = std::filesystem;
  const stdfs::path outside = folder().root() / "outside";
  stdfs::create_directories(outside);
  std::ofstream(outside / "secret.html") << "secret";
  folder().WriteRaw("000000/a.html", "inside");
  const stdfs::path& content = folder().content();
  if (!test::MakeLink(outside, content / "abs_out", true)) {
    GTEST_SKIP() << "this system makes no symbolic links for this user";
  }
  ASSERT_TRUE(test::MakeLink("../outside", content / "rel_out", true));
  ASSERT_TRUE(test::MakeLink("../../outside/secret.html", content / "000000/leak.html", false));
  ASSERT_TRUE(test::MakeLink("000000", content / "alias", true));
  ASSERT_TRUE(test::MakeLink(content / "000000", content / "abs_alias", true));
  struct Case {
    const char* raw_path;
    const char* body;  // nullptr: the fixed response
  } cases[] = {{"/abs_out/secret.html", nullptr},
               {"/rel_out/secret.html", nullptr},
               {"/000000/leak.html", nullptr},
               {"/alias/a.html", "inside"},
               {"/abs_alias/a.html", "inside"}};
  for (const Case& c : cases) {
    std::string answer = Get(c.raw_path);
    if (c.body == nullptr) {
      EXPECT_EQ(answer, test::kFixedResponse) << c.raw_path;
    } else {
      EXPECT_EQ(BodyOf(answer), c.body) << c.raw_path;
    }
  }
}

TEST_F(RequestTest, RefusesAStoreFileThatLinksOutOfTheContentFolder) {
  std::filesystem::path secret = folder().root() / "secret.html";
  std::ofstream(secret) << test::Scrambled("secret");
  std::string store_file =
      ContentFileName(ContentRoot{folder().content().string(), false}, L"/000000/leak.html");
  std::filesystem::create_directories(folder().content() / "000000");
  if (!test::MakeLink(secret, store_file, false)) {
    GTEST_SKIP() << "this system makes no symbolic links for this user";
  }
  EXPECT_EQ(Get("/000000/leak.html"), test::kFixedResponse);
}

}  // namespace
