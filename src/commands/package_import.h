// Package import: the user picks a .vkp package, a worker thread unpacks it
// into the program folder's "Data" and reports through the window.
#pragma once

#include <string>

class CommandHost;

// The SelectPackage command. Main thread: shows the open dialog; on cancel runs
// "SetUnzPkg(3);" before returning; on confirm sets g_strPackagePath and starts
// ImportPackageThread, then returns at once. Exactly one "SetUnzPkg(1);" or
// "SetUnzPkg(0);" follows a confirmed dialog.
void SelectPackage(CommandHost& host);

// The import worker's body: unpacks `package_path` into g_strAppDir + "Data"
// (whatever the content folder is) and posts the result to g_hMainWnd. Runs
// on the worker thread; never throws.
void ImportPackageThread(std::wstring package_path);
