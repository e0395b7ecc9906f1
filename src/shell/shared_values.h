// The process-wide values of the shell, and the rules that compute them at
// start. Values written at start are written on the main thread before any
// worker thread exists and are only read afterwards.
#pragma once

#include <string>

class MainWindowLink;

// Name of the settings file in the program folder.
inline constexpr const wchar_t* kConfigFileName = L"config.ini";

// Product name: window mark, message-box captions. Never changes.
extern const std::wstring g_strProductName;
// Update server base address (scheme and host, no trailing slash). Set once by
// InitServerUrl before any thread starts; read by the update thread and GetBaseInfo.
extern std::wstring g_strServerUrl;
// Content folder name, "Deve" or "Data". Written at start; read by server, commands, update.
extern std::wstring g_strDataDir;
// Running executable and its swap partner. Written by the start sequence.
extern std::wstring g_strExePath;
extern std::wstring g_strExeSwapPath;
// Program folder, ending in the platform separator. Written at start.
extern std::wstring g_strAppDir;
// Initial folder of the package dialog. Written at start.
extern std::wstring g_strBrowseDir;
// Developer mode ("tirrel" marker). Written at start.
extern bool g_bDevMode;
// Full path of config.ini. Written at start.
extern std::wstring g_strConfigPath;
// The shell's own version. Written at start.
extern std::wstring g_strVersion;
// Local server's listening socket (0 when none) and port. Written by StartServer/StopServer.
extern int g_sockListen;
extern std::wstring g_strPort;
// Version of the last completely applied update. Written at start.
extern std::wstring g_strLastUpdate;
// The host window as seen from other threads; null before the window exists.
extern MainWindowLink* g_hMainWnd;
// Book mode and its config.ini key. Main thread only.
extern bool g_bInBook;
extern std::wstring g_strBookKey;
// Package chosen by the user; written before the import thread starts.
extern std::wstring g_strPackagePath;
// A Shift press waiting to swallow the next left click. Main thread only.
extern bool g_bShiftDown;

// Folder of the running executable, ending in the separator; "" when unknown
// (the next call tries again).
std::wstring GetModuleDir();

// Start steps 1-4: g_strAppDir, g_strBrowseDir, g_bDevMode, g_strConfigPath, g_strDataDir.
void ComputeStartValues();
// Same, for an explicitly given program folder (headless server, tests).
void ComputeStartValuesFor(const std::wstring& app_dir);
// Start step 7: reads LastUpdate, writing "0.0.0.0" when missing or empty.
void ReadLastUpdate();
// Sets g_strServerUrl from the build default, or the QUILLORY_UPDATE_SERVER
// environment variable when it is set and not empty.
void InitServerUrl();
