// Behaviour of the Win32 backend that the shared tests cannot show: settings
// files in UTF-16, code page 936 and UTF-8 with surrogate pairs, confined
// opening by final path, Winsock listeners, the registry, kernel objects.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
// clang-format on
// windows.h would rename the platform's functions of the same names.
#undef GetPrivateProfileString
#undef WritePrivateProfileString

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/codepage.h"
#include "platform/contained_folder.h"
#include "platform/feature_control.h"
#include "platform/file_writer.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/single_instance.h"
#include "platform/socket.h"
#include "platform/temp_folder.h"
#include "platform/utf8.h"

namespace {

// UTF-16LE bytes of `text`.
std::string Utf16Bytes(const std::wstring& text) {
  std::string bytes;
  for (wchar_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

class Win32SettingsTest : public TempFolderTest {
 protected:
  std::wstring Ini() const { return WPath("config.ini"); }
};

TEST_F(Win32SettingsTest, NewFileIsUtf16WithByteOrderMarkSoChineseValuesSurvive) {
  const std::wstring value = L"\x4E2D\x6587 \xD83D\xDE00";
  ASSERT_TRUE(platform::WritePrivateProfileString(L"Base", L"Name", value, Ini()));
  EXPECT_EQ(Read("config.ini"), "\xFF\xFE" + Utf16Bytes(L"[Base]\r\nName=" + value + L"\r\n"));
  EXPECT_EQ(platform::GetPrivateProfileString(L"BASE", L"name", L"", Ini()), value);
  // The system's own reader finds the same value.
  wchar_t read[64] = {};
  ::GetPrivateProfileStringW(L"Base", L"Name", L"", read, 64, Ini().c_str());
  EXPECT_EQ(std::wstring(read), value);
}

TEST_F(Win32SettingsTest, Utf16FileIsEditedInPlaceKeepingEveryOtherCharacter) {
  const std::wstring before =
      L"; \x8BBE\x7F6E\r\n[Base]\r\nLastUpdate = 1.0.0.0\r\n[Product]\r\nP=1";
  Write("config.ini", "\xFF\xFE" + Utf16Bytes(before));
  ASSERT_TRUE(platform::WritePrivateProfileString(L"base", L"LASTUPDATE", L"2.0.0.0", Ini()));
  ASSERT_TRUE(platform::WritePrivateProfileString(L"Product", L"Q", L"\x4E2D", Ini()));
  const std::wstring after =
      L"; \x8BBE\x7F6E\r\n[Base]\r\nLastUpdate =2.0.0.0\r\n[Product]\r\nP=1\r\nQ=\x4E2D\r\n";
  EXPECT_EQ(Read("config.ini"), "\xFF\xFE" + Utf16Bytes(after));
  EXPECT_EQ(platform::ListFolder(m_root.wstring()).size(), 1u);  // no temporary file left
}

TEST(Win32CodePageTest, ConvertsLikeIconv) {
  struct Case {
    std::wstring wide;
    std::string bytes;
  };
  // Wide to bytes: a character outside the code page (a pair of surrogates
  // too) is one "?".
  const Case to_bytes[] = {
      {L"\x4E2D"
       L"a",
       "\xD6\xD0"
       "a"},
      {L"a\xD83D\xDE00"
       L"b",
       "a?b"},
      {L"\x0E01", "?"},
      {std::wstring(L"a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Case& c : to_bytes) EXPECT_EQ(platform::WideToCodePage(c.wide), c.bytes);
  // Bytes to wide: each byte that starts no character is one U+FFFD.
  const Case to_wide[] = {
      {L"\x4E2D\xFFFD \xFFFDx", "\xD6\xD0\x81 \xFFx"},
      {L"a\xFFFD", "a\x81"},
  };
  for (const Case& c : to_wide) EXPECT_EQ(platform::CodePageToWide(c.bytes), c.wide);
}

TEST(Win32Utf8Test, SurrogatePairsAreOneCharacterAndInvalidBytesEachOneReplacement) {
  struct Case {
    std::string utf8;
    std::wstring wide;
    bool valid;
  };
  const Case cases[] = {
      {"\xF0\x9F\x98\x80\xE4\xB8\xAD", L"\xD83D\xDE00\x4E2D", true},
      {"x\x80y\xE4\xB8", L"x\xFFFDy\xFFFD\xFFFD", false},
      {"\xED\xA0\x80", L"\xFFFD\xFFFD\xFFFD", false},  // an encoded surrogate
      {"\xC0\xAF", L"\xFFFD\xFFFD", false},            // an overlong "/"
  };
  for (const Case& c : cases) {
    bool valid = !c.valid;
    EXPECT_EQ(platform::Utf8Decode(c.utf8, &valid), c.wide) << c.utf8;
    EXPECT_EQ(valid, c.valid) << c.utf8;
    if (c.valid) {
      EXPECT_EQ(platform::Utf8Encode(c.wide), c.utf8);
    }
  }
  EXPECT_EQ(platform::Utf8Encode(L"a\xD800"
                                 L"b\xDC00"),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD");
}

class Win32ContainedFolderTest : public TempFolderTest {};

TEST_F(Win32ContainedFolderTest, OpensOnlyPlainNamesInside) {
  std::filesystem::create_directories(m_root / "content" / "sub");
  Write("content/sub/page.htm", "in");
  Write("secret.txt", "out");
  auto folder = platform::OpenContainedFolder(platform::ToFsName(WPath("content")));
  ASSERT_NE(folder, nullptr);
  const std::pair<const char*, bool> cases[] = {
      {"sub/page.htm", true},
      {"\\sub\\.\\page.htm", true},
      {"SUB/PAGE.HTM", true},
      {"sub/../sub/page.htm", true},
      {"../secret.txt", false},
      {"sub/../../secret.txt", false},
      {"sub/page.htm::$DATA", false},  // an alternate data stream
      {"sub", false},
      {"CON", false},  // a device name is a file name here, and there is none
      {"C:/windows/win.ini", false},
  };
  for (const auto& [name, opens] : cases)
    EXPECT_EQ(folder->OpenFile(name).has_value(), opens) << name;
}

TEST(Win32SocketTest, ListenersHoldTheirPortAndStopWakesAWaitingAccept) {
  platform::LoopbackListeners listeners;
  ASSERT_TRUE(platform::ListenOnLoopback(&listeners));
  // Another socket cannot take the port, not even with SO_REUSEADDR.
  SOCKET other = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  BOOL reuse = TRUE;
  setsockopt(other, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(listeners.port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_NE(bind(other, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  closesocket(other);

  const platform::SocketHandle handles[2] = {listeners.ipv4, listeners.ipv6};
  const std::size_t count = listeners.ipv6 == platform::kNoSocket ? 1 : 2;
  std::atomic<bool> returned{false};
  platform::AcceptStatus status = platform::AcceptStatus::kAccepted;
  std::thread waiter([&] {
    platform::SocketHandle connection;
    bool local = false;
    status = platform::AcceptConnection(handles, count, &connection, &local);
    returned = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(returned);
  for (std::size_t i = 0; i < count; ++i) platform::ShutdownListener(handles[i]);
  waiter.join();
  EXPECT_EQ(status, platform::AcceptStatus::kNotListening);
  for (std::size_t i = 0; i < count; ++i) platform::CloseSocket(handles[i]);
}

TEST(Win32FeatureControlTest, WritesTheDwordUnderTheMachineOrTheUser) {
  platform::WriteFeatureControl(L"FEATURE_BROWSER_EMULATION", 8000, L"win32_backend_test.exe");
  const std::wstring key = platform::FeatureControlStorePath() + L"\\FEATURE_BROWSER_EMULATION";
  DWORD value = 0;
  DWORD size = sizeof value;
  LONG read = ERROR_FILE_NOT_FOUND;
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    if (read != ERROR_SUCCESS) {
      read = RegGetValueW(root, key.c_str(), L"win32_backend_test.exe", RRF_RT_REG_DWORD, nullptr,
                          &value, &size);
    }
  }
  EXPECT_EQ(read, ERROR_SUCCESS);
  EXPECT_EQ(value, 8000u);
}

TEST(Win32SingleInstanceTest, NamedMutexIsHeldAndEachActivationRequestArrives) {
  EXPECT_FALSE(platform::RequestActivation(L"Win32Lock"));  // nobody listens yet
  ASSERT_TRUE(platform::AcquireInstanceLock(L"Win32Lock"));
  EXPECT_FALSE(platform::AcquireInstanceLock(L"Win32Lock"));
  std::atomic<int> requests{0};
  platform::ListenForActivation(L"Win32Lock", [&] { ++requests; });
  EXPECT_TRUE(platform::RequestActivation(L"Win32Lock"));
  EXPECT_TRUE(platform::RequestActivation(L"Win32Lock"));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (requests < 2 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(requests, 2);
}

class Win32StaleFilesTest : public TempFolderTest {};

TEST_F(Win32StaleFilesTest, RemovesTheTemporaryFilesOfEndedProcessesOnly) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  wchar_t command[] = L"cmd.exe /c exit";
  ASSERT_TRUE(CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                             nullptr, &startup, &child));
  WaitForSingleObject(child.hProcess, INFINITE);
  const std::string ended = ".quillory-" + std::to_string(child.dwProcessId) + "-0.part";
  const std::string running = ".quillory-" + std::to_string(GetCurrentProcessId()) + "-0.part";
  Write(ended, "x");
  Write(running, "x");
  // Removed while this test still holds the ended child.
  platform::RemoveStaleTempFiles(m_root.wstring(), false);
  CloseHandle(child.hProcess);
  CloseHandle(child.hThread);
  EXPECT_FALSE(platform::PathExists(WPath(ended)));
  EXPECT_TRUE(platform::PathExists(WPath(running)));
}

}  // namespace
