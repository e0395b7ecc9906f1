// Quillory: the desktop shell of a digital textbook bag.
#include "shell/command_line.h"
#include "shell/main_app.h"

int main(int argc, char** argv) {
  bool automation = false;
  const int early_exit = HandleCommandLine(argc, argv, &automation);
  if (early_exit >= 0) return early_exit;
  CMainApp app(automation);
  app.InitInstance();
  return 0;
}
