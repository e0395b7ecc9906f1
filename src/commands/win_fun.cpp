// placeholder: only ShowMe until the full dispatcher lands
#include "commands/win_fun.h"
#include "commands/command_host.h"
bool RunWinFun(CommandHost& host, const std::wstring& command, const std::wstring&,
               const std::wstring&, const std::wstring&, const std::wstring&, const std::wstring&) {
  if (command == L"ShowMe") host.RunPageScript(L"ShowMe();");
  return true;
}
