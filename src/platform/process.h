// Starting other programs: the shell-open stand-in and detached starts.
// Safe on any thread; neither call waits for the started program.
#pragma once

#include <string>

namespace platform {

// Starts the executable file at `path` without arguments, detached from this
// process: its own session, standard streams on /dev/null (on Windows: no
// console, no inherited handles, its own process group), never waited for,
// working folder inherited. True when the program was started (the file
// exists, is executable and the spawn succeeded); false otherwise.
bool StartDetached(const std::wstring& path);

// The "open" verb: an executable file is started with StartDetached; any
// other existing file or folder is handed to the desktop's opener
// (xdg-open, itself started detached; ShellExecuteW on Windows). True when
// a program was started; the opener's own success is not known.
bool ShellOpen(const std::wstring& path);

// True when a process with the id `pid` exists (a zombie included; on
// Windows, a process that has ended counts as ended even while others still
// hold it), whoever owns it; also true for ids that name no single process
// (0 and below), so that nothing is ever taken for ended without being known
// to be.
bool IsProcessRunning(long pid);

}  // namespace platform
