// Stands in for a product's own program in the command tests: creates the
// file named in "<its own path>.mark", so that a test sees that it ran.
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/fs.h"

int main() {
  const std::filesystem::path self(platform::ExecutablePath() + L".mark");
  std::ifstream in(self, std::ios::binary);
  std::string mark;
  std::getline(in, mark);
  std::ofstream(std::filesystem::u8path(mark)) << "started";
  return 0;
}
