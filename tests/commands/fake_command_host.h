// A CommandHost that records every call in order, as one log of short texts:
// "script:<statement>", "navigate:<url>", "reading", "windowed:max",
// "windowed:restore", "minimise", "info:<text>", "error:<text>", "choose-package".
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "commands/command_host.h"

class FakeCommandHost : public CommandHost {
 public:
  void RunPageScript(const std::wstring& statement) override {
    log.push_back(L"script:" + statement);
  }
  void Navigate(const std::wstring& url) override { log.push_back(L"navigate:" + url); }
  void EnterReadingMode() override { log.push_back(L"reading"); }
  void EnterWindowedMode(bool maximise) override {
    log.push_back(maximise ? L"windowed:max" : L"windowed:restore");
  }
  void Minimise() override { log.push_back(L"minimise"); }
  void ShowMessage(const std::wstring& text, MessageKind kind) override {
    log.push_back((kind == MessageKind::kInformation ? L"info:" : L"error:") + text);
  }
  std::optional<std::wstring> ChoosePackageFile() override {
    log.push_back(L"choose-package");
    return std::nullopt;
  }

  // Only the statements run in the page, in order.
  std::vector<std::wstring> Statements() const {
    std::vector<std::wstring> statements;
    for (const std::wstring& entry : log) {
      if (entry.rfind(L"script:", 0) == 0) statements.push_back(entry.substr(7));
    }
    return statements;
  }

  std::vector<std::wstring> log;
};
