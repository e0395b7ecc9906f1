// Quillory: the desktop shell of a digital textbook bag.
#include "app/command_line.h"
#include "app/main_app.h"

int main(int argc, char** argv) {
  bool automation = false;
  const int early_exit = HandleCommandLine(argc, argv, &automation);
  if (early_exit >= 0) return early_exit;
  CMainApp app(automation);
  app.InitInstance();
  return 0;
}
