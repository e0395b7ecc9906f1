// Package import: the user picks a .vkp package, a worker thread unpacks it
// into the program folder's "Data" and reports through the window.
#pragma once

#include <string>

#include "util/outcome.h"

class CommandHost;
class MainWindowLink;

// The SelectPackage command. Main thread: shows the open dialog; on cancel runs
// "SetUnzPkg(3);" before returning; on confirm records the path with the host
// and starts ImportPackageThread, then returns at once. Exactly one
// "SetUnzPkg(1);" or "SetUnzPkg(0);" follows a confirmed dialog.
void SelectPackage(CommandHost& host);

// Unpacks the package at `package_path` into `program_folder` (ending in the
// separator) + "Data", whatever the content folder is. A failure's reason
// names the package's file and what went wrong with it. Any thread.
Outcome ImportPackage(const std::wstring& package_path, const std::wstring& program_folder);

// The import worker's body: ImportPackage, one line in the diagnostic log
// with its outcome, and the result posted to `window` (when not null). Runs
// on the worker thread; never throws.
void ImportPackageThread(std::wstring package_path, std::wstring program_folder,
                         MainWindowLink* window);
