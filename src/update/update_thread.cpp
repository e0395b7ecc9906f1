// placeholder: the update sequence lands with its own change
#include "update/update_thread.h"
void StartUpdateThread() {}
