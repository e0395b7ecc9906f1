// Download and update benchmark (run through download_bench.sh).
//   download_bench fetch URL OUT_DIR    DownloadFile of URL into OUT_DIR; prints seconds
//   download_bench update PROGRAM_DIR SERVER_URL
//       one update pass over PROGRAM_DIR (LastUpdate is reset first), with the
//       same work in separate phases on the published package (download, MD5,
//       unpack) before and after it. Prints seconds for each.
//   download_bench signed N PROGRAM_DIR SERVER_URL PUBLIC_KEY
//       N pairs of full update passes, unsigned and signed by turns (the
//       published manifest must be signed by PUBLIC_KEY's secret key), then
//       the signature check and the item check (MD5 alone, MD5 beside
//       SHA-256) on their own. Prints seconds and the medians.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/ini.h"
#include "shell/shared_values.h"
#include "update/downloader.h"
#include "update/manifest.h"
#include "update/sha256_check.h"
#include "update/signed_manifest.h"
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
  const double total = Seconds([&] { outcome = RunUpdate(DownloadLimits(), UpdateTrust()); });
  std::printf("update pass: %.2f s, %s\n", total,
              outcome == UpdateOutcome::kCompleted ? "completed" : "NOT completed");
  if (outcome != UpdateOutcome::kCompleted) return 1;
  return Phases(program_dir, server_url);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double TimedPass(const std::string& program_dir, const std::string& server_url,
                 const UpdateTrust& trust) {
  SetUpProgram(program_dir, server_url);
  UpdateOutcome outcome = UpdateOutcome::kIncomplete;
  const double seconds = Seconds([&] { outcome = RunUpdate(DownloadLimits(), trust); });
  return outcome == UpdateOutcome::kCompleted ? seconds : -1;
}

// The added work on its own: fetching and checking the signature, and the
// item check with and without SHA-256 beside the MD5.
int SignedParts(const std::string& program_dir, const std::string& server_url,
                const UpdateTrust& trust) {
  const std::string scratch = program_dir + "/parts";
  std::filesystem::create_directories(scratch);
  const std::wstring url = FsNameToWide(server_url + "/Public/ebag/client/update/update.xml");
  const std::wstring manifest_path = FsNameToWide(scratch + "/update.xml");
  if (!DownloadFile(L"update.xml", url, FsNameToWide(scratch + "/"))) return 1;
  bool ok = false;
  const double check = Seconds([&] {
    ok = VerifyFetchedManifest(manifest_path, url, trust, FsNameToWide(scratch + "/c.ini"),
                               DownloadLimits())
             .has_value();
  });
  const ManifestItem item = LoadManifest(manifest_path).value().items.at(0);
  if (!ok || !DownloadFile(item.file_name, item.url, FsNameToWide(scratch + "/"))) return 1;
  const std::wstring staged = FsNameToWide(scratch + "/") + item.file_name;
  std::vector<double> md5, both;
  for (int i = 0; i < 5; ++i) {
    md5.push_back(Seconds([&] { ok = MD5File(WideToFsName(staged)).has_value() && ok; }));
    both.push_back(Seconds([&] {
      Sha256Check sha256(staged, item.sha256, true);
      ok = MD5File(WideToFsName(staged)).has_value() && sha256.Passed() && ok;
    }));
  }
  std::printf("signature fetch and check %.4f s\n", check);
  std::printf("item check, median (min) of 5: md5 %.3f (%.3f) s, md5 beside sha256 %.3f (%.3f) s\n",
              Median(md5), *std::min_element(md5.begin(), md5.end()), Median(both),
              *std::min_element(both.begin(), both.end()));
  std::filesystem::remove_all(scratch);
  return ok ? 0 : 1;
}

int Signed(int pairs, const std::string& program_dir, const std::string& server_url,
           const std::string& key_path) {
  std::ifstream in(key_path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const UpdateTrust trust{true, {ParseMinisignPublicKeyFile(text).value()}};
  std::vector<double> plain, signed_passes;
  for (int i = 0; i < pairs; ++i) {
    // Every other pair the other way round, so that neither kind always meets
    // the write-back of the pass before it.
    for (int turn = 0; turn < 2; ++turn) {
      const bool signed_turn = (turn == 1) == (i % 2 == 0);
      std::vector<double>& times = signed_turn ? signed_passes : plain;
      if (std::system("sync") != 0) return 1;
      times.push_back(TimedPass(program_dir, server_url, signed_turn ? trust : UpdateTrust()));
    }
    std::printf("pair %d: unsigned %.2f s, signed %.2f s\n", i + 1, plain.back(),
                signed_passes.back());
    if (plain.back() < 0 || signed_passes.back() < 0) return 1;
  }
  const double a = Median(plain), b = Median(signed_passes);
  const double min_a = *std::min_element(plain.begin(), plain.end());
  const double min_b = *std::min_element(signed_passes.begin(), signed_passes.end());
  std::printf("median unsigned %.2f s, signed %.2f s: %+.1f%%; fastest %.2f s, %.2f s: %+.1f%%\n",
              a, b, (b - a) / a * 100, min_a, min_b, (min_b - min_a) / min_a * 100);
  return SignedParts(program_dir, server_url, trust);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "fetch" && argc == 4) return Fetch(argv[2], argv[3]);
  if (mode == "update" && argc == 4) return Update(argv[2], argv[3]);
  if (mode == "signed" && argc == 6) return Signed(std::atoi(argv[2]), argv[3], argv[4], argv[5]);
  std::fprintf(stderr,
               "usage: download_bench fetch URL OUT_DIR | update PROGRAM_DIR SERVER_URL\n"
               "       | signed N PROGRAM_DIR SERVER_URL PUBLIC_KEY\n");
  return 2;
}
