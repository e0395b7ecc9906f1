// quillory-update-run PROGRAM_DIR [--key PUBLIC_KEY_FILE]...: one pass of the
// update sequence over a program folder, as the shell runs it but without a
// window, so tests can run it as a process of its own (and kill it). The
// restart message and the close command are printed to standard output; the
// exit hook writes the file "swap-started" into the program folder instead of
// starting the swap executable. The server comes from QUILLORY_UPDATE_SERVER.
// Updates are signed with the keys given by --key, unsigned without any: the
// keys built into the program never count here, so tests decide.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "core/main_window_link.h"
#include "shell/shared_values.h"
#include "update/minisign.h"
#include "update/update_sequence.h"
#include "update/update_thread.h"
#include "util/text.h"

namespace {

class PrintingWindow : public MainWindowLink {
 public:
  void Post(std::function<void()> task) override { task(); }
  void Send(std::function<void()> task) override { task(); }
  void PostUnzipResult(bool) override {}
  void SendCancel() override { std::printf("cancel\n"); }
  void ShowMessageBox(const std::wstring& text, const std::wstring& caption, Icon) override {
    std::printf("box|%s|%s\n", WideToFsName(text).c_str(), WideToFsName(caption).c_str());
  }
};

void MarkSwapStart() { std::ofstream(WideToFsName(g_strAppDir + L"swap-started")) << "started"; }

const char* OutcomeName(UpdateOutcome outcome) {
  switch (outcome) {
    case UpdateOutcome::kNoConnection:
      return "no-connection";
    case UpdateOutcome::kNoManifest:
      return "no-manifest";
    case UpdateOutcome::kUnreadableManifest:
      return "unreadable-manifest";
    case UpdateOutcome::kRefusedManifest:
      return "refused-manifest";
    case UpdateOutcome::kNotNewer:
      return "not-newer";
    case UpdateOutcome::kIncomplete:
      return "incomplete";
    case UpdateOutcome::kCompleted:
      return "completed";
  }
  return "?";
}

// The keys of the --key arguments; no result when one cannot be read.
std::optional<UpdateTrust> ReadTrust(int argc, char** argv) {
  UpdateTrust trust;
  for (int i = 2; i + 1 < argc; i += 2) {
    std::ifstream in(argv[i + 1], std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::optional<MinisignPublicKey> key = ParseMinisignPublicKeyFile(text);
    if (std::string(argv[i]) != "--key" || !key) return std::nullopt;
    trust.require_signature = true;
    trust.keys.push_back(*key);
  }
  return trust;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<UpdateTrust> trust =
      argc >= 2 && argc % 2 == 0 ? ReadTrust(argc, argv) : std::nullopt;
  if (!trust) {
    std::fprintf(stderr, "usage: quillory-update-run PROGRAM_DIR [--key PUBLIC_KEY_FILE]...\n");
    return 2;
  }
  std::wstring dir = FsNameToWide(argv[1]);
  if (dir.empty() || dir.back() != L'/') dir += L'/';
  InitServerUrl();
  ComputeStartValuesFor(dir);
  ReadLastUpdate();
  g_strExeSwapPath = g_strAppDir + L"quillory_";
  static PrintingWindow window;
  g_hMainWnd = &window;
  SetSwapExeAtExitHook(&MarkSwapStart);
  std::printf("outcome %s\n", OutcomeName(RunUpdate(DownloadLimits(), *trust)));
  std::fflush(stdout);
  return 0;
}
