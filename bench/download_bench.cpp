// Download and update benchmark (run through download_bench.sh).
//   download_bench fetch URL OUT_DIR    DownloadFile of URL into OUT_DIR; prints seconds
//   download_bench update PROGRAM_DIR SERVER_URL
//       one update pass over PROGRAM_DIR (LastUpdate is reset first), with the
//       same work in separate phases on the published package (download, MD5,
//       unpack) before and after it. Prints seconds for each.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/shared_values.h"
#include "platform/ini.h"
#include "update/downloader.h"
#include "update/manifest.h"
#include "update/update_sequence.h"
#include "util/md5.h"
#include "util/text.h"
#include "util/zip.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename Work>
double Seconds(Work work) {
  const auto start = Clock::now();
  work();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

int Fetch(const std::string& url, const std::string& out_dir) {
  bool ok = false;
  const double seconds = Seconds(
      [&] { ok = DownloadFile(L"download.bin", FsNameToWide(url), FsNameToWide(out_dir + "/")); });
  if (!ok) return 1;
  std::printf("%.3f\n", seconds);
  return 0;
}

void SetUpProgram(const std::string& program_dir, const std::string& server_url) {
  g_strServerUrl = FsNameToWide(server_url);
  ComputeStartValuesFor(FsNameToWide(program_dir + "/"));
  platform::WritePrivateProfileString(L"Base", L"LastUpdate", L"1.0.0.0", g_strConfigPath);
  ReadLastUpdate();
  g_strExeSwapPath = g_strAppDir + L"quillory_";
}

// The package item's phases, one at a time, into a scratch folder.
int Phases(const std::string& program_dir, const std::string& server_url) {
  const std::string scratch = program_dir + "/phases";
  std::filesystem::remove_all(scratch);
  std::filesystem::create_directories(scratch + "/Data");
  const std::string manifest_path = scratch + "/update.xml";
  if (!DownloadFile(L"update.xml",
                    FsNameToWide(server_url + "/Public/ebag/client/update/update.xml"),
                    FsNameToWide(scratch + "/")))
    return 1;
  const auto manifest = LoadManifest(FsNameToWide(manifest_path));
  if (!manifest || manifest->items.empty()) return 1;
  const ManifestItem& item = manifest->items[0];
  const std::wstring folder = FsNameToWide(scratch + "/");
  bool ok = true;
  const double download = Seconds([&] { ok = DownloadFile(item.file_name, item.url, folder); });
  const std::string staged = scratch + "/" + WideToFsName(item.file_name);
  const double md5 = Seconds([&] { ok = ok && MD5File(staged).has_value(); });
  const double unpack = Seconds(
      [&] { ok = ok && UnzipArchive(FsNameToWide(staged), FsNameToWide(scratch + "/Data")); });
  std::printf("phases: download %.2f s, md5 %.2f s, unpack %.2f s (sum %.2f s)\n", download, md5,
              unpack, download + md5 + unpack);
  std::filesystem::remove_all(scratch);
  return ok ? 0 : 1;
}

int Update(const std::string& program_dir, const std::string& server_url) {
  SetUpProgram(program_dir, server_url);
  // Phases before and after the pass, so that the order (page cache, write-back
  // of the previous step) does not hide in the comparison.
  if (Phases(program_dir, server_url) != 0) return 1;
  UpdateOutcome outcome = UpdateOutcome::kIncomplete;
  const double total = Seconds([&] { outcome = RunUpdate(); });
  std::printf("update pass: %.2f s, %s\n", total,
              outcome == UpdateOutcome::kCompleted ? "completed" : "NOT completed");
  if (outcome != UpdateOutcome::kCompleted) return 1;
  return Phases(program_dir, server_url);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "fetch" && argc == 4) return Fetch(argv[2], argv[3]);
  if (mode == "update" && argc == 4) return Update(argv[2], argv[3]);
  std::fprintf(stderr, "usage: download_bench fetch URL OUT_DIR | update PROGRAM_DIR SERVER_URL\n");
  return 2;
}
