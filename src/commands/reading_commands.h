// The reading commands: they carry the reader between the main page and a
// book, remember each book's lesson page in config.ini, start a product's own
// program, and give the page a message box, the base information, minimising
// and an echo. Every command runs on the main thread inside the page's WinFun
// call; the host's book mode is changed only there (and by the close request
// of the window, which runs QuitBook).
#pragma once

#include <optional>
#include <string>

class CommandHost;

// config.ini section that holds the lesson pages, one key "Product" + id per book.
inline constexpr const wchar_t* kLessonSection = L"Product";
// File name of a product's own program inside its folder.
inline constexpr const wchar_t* kProductProgramName = L"Start.exe";

// True when no character lies outside the ASCII digits "0" to "9"; true for "".
bool IsAllDigits(const std::wstring& text);

// "http://localhost:" + port + "/000000/kvr_main.html".
std::wstring MainPageUrl(const std::wstring& port);

// Book mode on for product `id`: key "Product" + id (unchanged, "" allowed),
// reading presentation (caption off, maximised). An id with CR, LF, NUL or
// "=", or ending in a blank, gives an empty key: the book opens, but
// GetLesson and SaveLesson do nothing for it.
void GoBook(CommandHost& host, const std::wstring& id);
// Book mode off; caption back; maximised when `size` is exactly "max", else
// restored. No navigation.
void GoMainWin(CommandHost& host, const std::wstring& size);
// Book mode off; caption back, restored; navigates to the main page. Runs in
// any state; the window's close request while a book is open runs it too.
void QuitBook(CommandHost& host);
// Minimises the window; nothing else changes.
void MinWindow(CommandHost& host);
// Starts Start.exe in the product folder `folder` of the content folder
// (which may hold further levels, either separator), detached; not
// executable: the desktop's opener. An absolute `folder` or one with a ".."
// segment starts nothing.
void StartOld(const CommandHost& host, const std::wstring& folder);
// The program StartOld would start for `folder` inside `content_folder`, or
// none when it is refused.
std::optional<std::wstring> ProductProgramPath(const std::wstring& content_folder,
                                               const std::wstring& folder);
// In book mode with a remembered all-digit page: "SetFun('gotoPage','N');".
void GetLesson(CommandHost& host);
// In book mode, when `page` is all digits (empty allowed): stores it under the
// book's key in section Product of config.ini. A failed write is logged with
// its reason; the page is not told.
void SaveLesson(const CommandHost& host, const std::wstring& page);
// Kind "1": information box; "2": error box; other kinds: nothing. Modal.
void ShowMsg(CommandHost& host, const std::wstring& kind, const std::wstring& text);
// "SetBaseInfo('<content folder>/','<server>','<version>');" with each value
// escaped for a single-quoted script string (backslash, apostrophe, line
// breaks), so the page receives the texts unchanged.
void GetBaseInfo(CommandHost& host);
// "ShowMe();".
void ShowMe(CommandHost& host);
