// Regression tests for faults that the fuzz targets found. Each case is the
// smallest input that showed the fault; the sanitizer builds catch the
// undefined behaviour that the plain build cannot observe.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "platform/ini.h"
#include "server/request_parse.h"
#include "update/manifest.h"
#include "util/text.h"

namespace {

// A Range header with nothing after the colon: its trimmed value is empty and
// has no data; copying it must not hand a null pointer to memcpy.
TEST(FuzzRegressionTest, EmptyRangeHeaderIsIgnored) {
  for (std::string_view line : {"Range:\r\n", "Range:", "range:   \r\n", "RANGE:\t\n"}) {
    RequestHeaders headers;
    NoteHeaderLine(line, &headers);
    EXPECT_EQ(headers.range_length, 0u) << line;
    EXPECT_EQ(ResolveRange(headers.Range(), 100).kind, ByteRange::kWhole) << line;
  }
}

// Manifests on which the XML parser read past the end of the text: TinyXML
// trusts the length a UTF-8 lead byte announces, so a lead byte among the last
// bytes made it step over the closing zero (heap-buffer-overflow in ReadName
// and GetEntity under the manifest fuzz target). Both ways of reading them must
// refuse them without touching memory outside the text; the sanitizer builds
// catch a read past the end.
TEST(FuzzRegressionTest, ManifestsEndingInALeadByteAreRefusedInBounds) {
  for (const char* name : {"manifest_overread.xml", "manifest_overread_utf8_tail.xml"}) {
    const std::string path = std::string(QUILLORY_HARDENING_DATA) + "/" + name;
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(text.empty()) << name;
    EXPECT_FALSE(ParseManifest(text)) << name;
    EXPECT_FALSE(LoadManifest(FsNameToWide(path))) << name;
  }
  for (const char* lead : {"\xC3", "\xE4", "\xF0"}) {
    EXPECT_FALSE(ParseManifest(std::string("<update v=\"1\">&") + lead)) << lead;
    EXPECT_FALSE(ParseManifest(std::string("<update v=\"1\"><") + lead)) << lead;
  }
}

// A settings file that starts with a UTF-8 byte-order mark but is not valid
// UTF-8 further on (code-page bytes in a value). The mark must not hide the
// first section header, before or after a write that replaces the invalid
// bytes and so makes the whole file valid UTF-8.
TEST(FuzzRegressionTest, ByteOrderMarkNeverHidesTheFirstSection) {
  const std::string path = testing::TempDir() + "quillory-bom-config.ini";
  const std::wstring wide_path = FsNameToWide(path);
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      << "\xEF\xBB\xBF[base]\na=1\n[Base]\nLastUpdate=\xBB\xBF\n";
  EXPECT_EQ(platform::GetPrivateProfileString(L"Base", L"a", L"<none>", wide_path), L"1");
  ASSERT_TRUE(platform::WritePrivateProfileString(L"Base", L"LastUpdate", L"17", wide_path));
  EXPECT_EQ(platform::GetPrivateProfileString(L"Base", L"LastUpdate", L"<none>", wide_path), L"17");
  EXPECT_EQ(platform::GetPrivateProfileString(L"Base", L"a", L"<none>", wide_path), L"1");
  std::remove(path.c_str());
}

}  // namespace
