// A WebDriver client for WebKitWebDriver driving the shell's one view.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "gui/harness/json.h"
#include "gui/harness/processes.h"

namespace guitest {

class WebDriver {
 public:
  // Starts WebKitWebDriver on a free port with `env` (the shell inherits it).
  explicit WebDriver(const Env& env, const std::string& log_file = "");
  ~WebDriver();

  bool Ready() const { return m_port != 0; }
  // Starts the shell at `binary` with --automation and attaches to its view.
  // The reply's error text in `error` on failure.
  bool StartSession(const std::string& binary, std::string* error = nullptr);
  // Ends the session (the shell closes its view and ends).
  void EndSession();

  // Runs `script` as a function body in the page (arguments: `args_json`, a
  // JSON array); its return value, or none with the error in `error`.
  std::optional<Json> Execute(const std::string& script, std::string* error = nullptr,
                              const std::string& args_json = "[]");
  // The same without waiting for the script's result (for calls that open
  // modal dialogs): the script runs from a timer in the page.
  bool ExecuteDetached(const std::string& script);

 private:
  struct Reply {
    long status = 0;
    std::optional<Json> body;
  };
  Reply Request(const char* method, const std::string& path, const std::string& body);

  int m_port = 0;
  std::string m_session;
  std::unique_ptr<Process> m_process;
};

}  // namespace guitest
