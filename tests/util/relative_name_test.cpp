// Names from packages, manifests and pages that must stay inside our folders.
#include "util/relative_name.h"

#include <gtest/gtest.h>

namespace {

TEST(IsContainedNameTest, RefusesNamesThatLeaveTheirFolder) {
  for (const wchar_t* name :
       {L"", L"a.txt", L"sub/", L"sub\\deep\\", L"a..b", L"...", L".hidden", L"1:x", L"a/b:c"}) {
    EXPECT_TRUE(IsContainedName(name)) << name;
  }
  for (const wchar_t* name : {L"..", L"../x", L"sub/../../x", L"sub\\..\\x", L"/etc/passwd", L"\\x",
                              L"C:x", L"c:\\windows", L"z:", L"a/..", L"..\\"}) {
    EXPECT_FALSE(IsContainedName(name)) << name;
  }
}

}  // namespace
