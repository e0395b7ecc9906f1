// GetLocalProduct over 500 product folders: time per call, against an anchor
// that only lists the same folders and reads every pro.xml whole (what any
// scan must do at least), and against the window thread's budget of 100 ms.
// Run by hand: bench/catalogue_bench.sh [build dir].
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "commands/command_host.h"
#include "commands/product_catalogue.h"
#include "platform/fs.h"
#include "shell/shared_values.h"

namespace {

constexpr int kProducts = 500;
constexpr int kRounds = 30;

class CountingHost : public CommandHost {
 public:
  void RunPageScript(const std::wstring&) override { ++statements; }
  void Navigate(const std::wstring&) override {}
  void EnterReadingMode() override {}
  void EnterWindowedMode(bool) override {}
  void Minimise() override {}
  void ShowMessage(const std::wstring&, MessageKind) override {}
  std::optional<std::wstring> ChoosePackageFile() override { return std::nullopt; }
  int statements = 0;
};

void MakeContent(const std::filesystem::path& content) {
  for (int i = 0; i < kProducts; ++i) {
    const std::string id = std::to_string(100000 + i);
    std::filesystem::create_directories(content / id);
    std::ofstream(content / id / "pro.xml", std::ios::binary)
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- product -->\n"
        << "<Product id=\"" << id << "\" name=\"\xE6\xB1\xA0\xE5\xA1\x98 " << id
        << "\" english=\"Sample " << id << "\" subject=\"\xE7\xA7\x91\xE5\xAD\xA6\" "
        << "grade=\"\xE4\xB8\x83\xE5\xB9\xB4\xE7\xBA\xA7\" pages=\"5\" entry=\"book.html\" "
        << "color=\"#2f7d6d\">\n    <Summary>\xE4\xBB\x8E\xE6\x98\xA5\xE5\xA4\xA9 sample summary "
        << "text for the product list, long enough to be realistic.</Summary>\n</Product>\n";
  }
}

// Lists the content folder and reads each pro.xml whole, nothing more.
std::size_t ReadEveryDescription(const std::wstring& content) {
  std::size_t bytes = 0;
  for (const platform::DirEntry& entry : platform::ListFolder(content)) {
    if (!entry.is_directory) continue;
    std::ifstream in(platform::ToFsName(content + L"/" + entry.name + L"/pro.xml"),
                     std::ios::binary);
    bytes += std::string(std::istreambuf_iterator<char>(in), {}).size();
  }
  return bytes;
}

double MedianMilliseconds(const std::function<void()>& run) {
  run();  // warm the page cache
  std::vector<double> times;
  for (int i = 0; i < kRounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    times.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main() {
  const std::filesystem::path root =
      std::filesystem::temp_directory_path() / "quillory-catalogue-bench";
  std::filesystem::remove_all(root);
  MakeContent(root / "Data");
  g_strAppDir = root.wstring() + L"/";
  g_strDataDir = L"Data";
  const std::wstring content = g_strAppDir + g_strDataDir;

  CountingHost host;
  const double catalogue = MedianMilliseconds([&host] { GetLocalProduct(host); });
  const double anchor = MedianMilliseconds([&content] { ReadEveryDescription(content); });
  const auto list_size = std::filesystem::file_size(root / "Data" / "localList.xml");

  std::printf("products: %d, localList.xml: %ju bytes, statements per call: %d\n", kProducts,
              static_cast<std::uintmax_t>(list_size), host.statements / (kRounds + 1));
  std::printf("GetLocalProduct: %.2f ms per call (median of %d)\n", catalogue, kRounds);
  std::printf("anchor, list and read every pro.xml: %.2f ms (ratio %.1fx)\n", anchor,
              catalogue / anchor);
  std::printf("share of the 100 ms window-thread budget: %.1f%%\n", catalogue);
  std::filesystem::remove_all(root);
  return 0;
}
