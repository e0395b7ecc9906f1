// What an update run needs to know about the program it updates. The shell
// fills it from its start values and hands it to the update thread, which
// keeps its own copy: the run reads nothing process-wide.
#pragma once

#include <string>

class MainWindowLink;

struct UpdateContext {
  std::wstring app_dir;        // program folder, ending in the separator
  std::wstring data_dir;       // content folder name below it: "Data", or "Deve" in developer mode
  std::wstring server_url;     // update server: scheme and host, no trailing slash
  std::wstring exe_swap_path;  // where a new executable goes; the restart starts it
  std::wstring config_path;    // config.ini, where LastUpdate and UpdateSequence are recorded
  std::wstring last_update;    // LastUpdate as read at start
  std::wstring product_name;   // the restart question's caption begins with it
  // Asks the restart question and is closed for the restart; null: neither
  // happens. Must outlive the run.
  MainWindowLink* window = nullptr;
  // Registered with atexit after the restart question, to start
  // `exe_swap_path` when the process ends; null: nothing is registered.
  void (*swap_exe_at_exit)() = nullptr;

  // The folder the manifest is fetched into.
  std::wstring ContentFolder() const { return app_dir + data_dir; }
  // Where items are staged, ending with a separator.
  std::wstring StagingRoot() const { return ContentFolder() + L"/update/"; }
};
