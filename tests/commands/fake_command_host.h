// A CommandHost that holds the set-up and book mode it hands out, and records
// every other call in order, as one log of short texts: "script:<statement>",
// "navigate:<url>", "reading", "windowed:max", "windowed:restore",
// "minimise", "info:<text>", "error:<text>", "choose-package".
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "commands/command_host.h"

class FakeCommandHost : public CommandHost {
 public:
  CommandSettings Settings() const override { return settings; }
  BookMode Book() const override { return book; }
  void SetBook(BookMode mode) override { book = std::move(mode); }
  void SetPackagePath(const std::wstring& path) override { package_path = path; }
  MainWindowLink* WindowLink() override { return window; }

  void RunPageScript(const std::wstring& statement) override {
    log.push_back(L"script:" + statement);
  }
  void Navigate(const std::wstring& url) override { log.push_back(L"navigate:" + url); }
  void EnterReadingMode() override { log.push_back(L"reading"); }
  void EnterWindowedMode(bool maximise) override {
    log.push_back(maximise ? L"windowed:max" : L"windowed:restore");
  }
  void Minimise() override { log.push_back(L"minimise"); }
  void ShowMessage(const std::wstring& text, platform::MessageIcon icon) override {
    log.push_back((icon == platform::MessageIcon::kInformation ? L"info:" : L"error:") + text);
  }
  std::optional<std::wstring> ChoosePackageFile() override {
    log.push_back(L"choose-package");
    return chosen_package;
  }

  // Only the statements run in the page, in order.
  std::vector<std::wstring> Statements() const {
    std::vector<std::wstring> statements;
    for (const std::wstring& entry : log) {
      if (entry.rfind(L"script:", 0) == 0) statements.push_back(entry.substr(7));
    }
    return statements;
  }

  CommandSettings settings;
  BookMode book;
  std::wstring package_path;
  MainWindowLink* window = nullptr;
  std::optional<std::wstring> chosen_package;
  std::vector<std::wstring> log;
};
