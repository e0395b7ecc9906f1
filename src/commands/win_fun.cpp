#include "commands/win_fun.h"

#include <exception>

#include "commands/command_host.h"
#include "commands/package_import.h"
#include "commands/product_catalogue.h"
#include "commands/reading_commands.h"

namespace {

// The arguments of one call; no command reads beyond a2.
struct CommandArgs {
  const std::wstring& a1;
  const std::wstring& a2;
};

using CommandHandler = void (*)(CommandHost& host, const CommandArgs& args);

struct CommandEntry {
  const wchar_t* name;
  CommandHandler run;
};

// The commands in the order their names are compared; the first exact,
// case-sensitive match runs.
const CommandEntry kCommands[] = {
    {L"ShowMsg", [](CommandHost& h, const CommandArgs& a) { ShowMsg(h, a.a1, a.a2); }},
    {L"GetBaseInfo", [](CommandHost& h, const CommandArgs&) { GetBaseInfo(h); }},
    {L"GetLocalProduct", [](CommandHost& h, const CommandArgs&) { GetLocalProduct(h); }},
    {L"GoMainWin", [](CommandHost& h, const CommandArgs& a) { GoMainWin(h, a.a1); }},
    {L"GoBook", [](CommandHost& h, const CommandArgs& a) { GoBook(h, a.a1); }},
    {L"QuitBook", [](CommandHost& h, const CommandArgs&) { QuitBook(h); }},
    {L"MinWindow", [](CommandHost& h, const CommandArgs&) { MinWindow(h); }},
    {L"StartOld", [](CommandHost& h, const CommandArgs& a) { StartOld(h, a.a1); }},
    {L"GetLesson", [](CommandHost& h, const CommandArgs&) { GetLesson(h); }},
    {L"SaveLesson", [](CommandHost& h, const CommandArgs& a) { SaveLesson(h, a.a1); }},
    {L"SelectPackage", [](CommandHost& h, const CommandArgs&) { SelectPackage(h); }},
    {L"ShowMe", [](CommandHost& h, const CommandArgs&) { ShowMe(h); }},
};

}  // namespace

bool RunWinFun(CommandHost& host, const WinFunArguments& arguments) {
  for (const CommandEntry& entry : kCommands) {
    if (arguments[0] != entry.name) continue;
    try {
      entry.run(host, CommandArgs{arguments[1], arguments[2]});
    } catch (const std::exception&) {
      // Out of memory inside a command: the page's call must still return.
    }
    break;
  }
  return true;
}
