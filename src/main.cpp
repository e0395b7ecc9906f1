// Quillory: the desktop shell of a digital textbook bag.
#include <cstring>

#include "app/main_app.h"

int main(int argc, char** argv) {
  bool automation = false;
  for (int i = 1; i < argc; ++i) automation = automation || std::strcmp(argv[i], "--automation") == 0;
  CMainApp app(automation);
  app.InitInstance();
  return 0;
}
