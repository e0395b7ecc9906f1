// Starting the update thread.
#include "update/update_thread.h"

#include <thread>
#include <utility>

#include "update/update_sequence.h"

void StartUpdateThread(UpdateContext context) {
  try {
    std::thread(&UpdateThread, std::move(context)).detach();
  } catch (...) {
    // No thread could be made: the program runs without updating this time.
  }
}
