// The opt-in diagnostic log: one line per failure or finished run (time,
// thread, what, why), for whoever must find out why an update or an import
// did not happen. It is off unless the shell opens it (--log FILE or
// QUILLORY_LOG=FILE); while it is off, nothing is written anywhere. Every
// function may be called from any thread.
#pragma once

#include <string>
#include <string_view>

#include "util/outcome.h"

// Opens `path` for appending and turns the log on; false (and the log stays
// off) when the file cannot be opened. A log already open is closed first.
bool OpenDiagnosticLog(const std::string& path);
// Turns the log off and closes its file.
void CloseDiagnosticLog();

// Writes "<UTC time> [thread N] <what>: <text>" as one line; nothing when off.
void LogLine(std::string_view what, std::string_view text);
// "<what>: done" for a success, "<what>: failed: <reason>" for a failure.
void LogOutcome(std::string_view what, const Outcome& outcome);
// Only failures: "<what>: failed: <reason>".
void LogIfFailed(std::string_view what, const Outcome& outcome);
