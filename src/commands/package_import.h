// Package import: the user picks a .vkp package, a worker thread unpacks it
// into the program folder's "Data" and reports through the window.
#pragma once

class CommandHost;

// The SelectPackage command. Main thread: shows the open dialog; on cancel runs
// "SetUnzPkg(3);" before returning; on confirm starts ImportPackageThread.
void SelectPackage(CommandHost& host);
