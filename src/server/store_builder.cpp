// Builds the content store from a plain tree.
#include "server/store_builder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <system_error>
#include <vector>

#include "platform/fs.h"
#include "server/content_store.h"
#include "util/text.h"

namespace stdfs = std::filesystem;

namespace {

constexpr std::size_t kCopyChunk = 64 * 1024;

struct StoreJob {
  ContentRoot root;  // the destination, in store mode
  const StoreLog& log;
  std::set<std::string> written;
  int files = 0;
};

std::vector<stdfs::path> SortedEntries(const stdfs::path& folder, std::error_code& failure) {
  std::vector<stdfs::path> entries;
  for (stdfs::directory_iterator it(folder, failure), end; !failure && it != end;
       it.increment(failure)) {
    entries.push_back(it->path());
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

// Copies `from` to `to`, scrambling the bytes when asked, chunk by chunk.
bool CopyStored(const stdfs::path& from, const std::string& to, bool scramble, std::string* error) {
  std::error_code failure;
  std::uint64_t length = stdfs::file_size(from, failure);
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  if (failure || !in || !out) {
    *error = "cannot copy " + from.string() + " to " + to;
    return false;
  }
  std::unique_ptr<char[]> chunk(new char[kCopyChunk]);
  std::uint64_t copied = 0;
  while (in) {
    in.read(chunk.get(), kCopyChunk);
    std::size_t got = static_cast<std::size_t>(in.gcount());
    if (scramble) ScrambleBytes(chunk.get(), got, length);
    out.write(chunk.get(), static_cast<std::streamsize>(got));
    copied += got;
  }
  out.close();
  if (!out || copied != length) {
    *error = "cannot write " + to + " completely";
    return false;
  }
  return true;
}

// Stores one file under its request path ("/top/sub/name.ext").
bool StoreFile(StoreJob& job, const stdfs::path& source, const std::string& request_path,
               std::string* error) {
  std::wstring wide_path = platform::FromFsName(request_path);
  if (AnsiToWide(WideToAnsi(wide_path)) != wide_path) {
    job.log("warning: " + request_path + " has characters outside the code page");
  }
  std::string target = ContentFileName(job.root, wide_path);
  if (target.empty() || !job.written.insert(target).second) {
    *error = "two files would be stored as " + target + " (last: " + request_path + ")";
    return false;
  }
  bool scramble = !IsStoredPlain(wide_path);
  job.log(request_path + " -> " + target.substr(job.root.folder.size() + 1) +
          (scramble ? " (scrambled)" : " (plain)"));
  ++job.files;
  return CopyStored(source, target, scramble, error);
}

// Stores every file below `folder`, whose request path starts with `prefix`.
bool StoreTree(StoreJob& job, const stdfs::path& folder, const std::string& prefix,
               std::string* error) {
  std::error_code failure;
  for (const stdfs::path& entry : SortedEntries(folder, failure)) {
    std::string request_path = prefix + "/" + entry.filename().string();
    bool ok = stdfs::is_directory(entry) ? StoreTree(job, entry, request_path, error)
                                         : StoreFile(job, entry, request_path, error);
    if (!ok) return false;
  }
  if (failure) *error = "cannot list " + folder.string();
  return !failure;
}

// A product's description is also kept in its folder under its own name,
// plain: the product list reads it there, outside the hashed store.
bool KeepProductDescription(StoreJob& job, const stdfs::path& folder, const std::string& name,
                            std::string* error) {
  const stdfs::path description = folder / "pro.xml";
  std::error_code failure;
  if (!stdfs::is_regular_file(description, failure)) return true;
  return CopyStored(description, (stdfs::path(job.root.folder) / name / "pro.xml").string(),
                    false, error);
}

bool PrepareDestination(const stdfs::path& data, bool force, std::string* error) {
  std::error_code failure;
  if (stdfs::exists(data, failure) && !stdfs::is_empty(data, failure) && !force) {
    *error = data.string() + " is not empty (use --force to write into it)";
    return false;
  }
  stdfs::create_directories(data, failure);
  if (failure) *error = "cannot create " + data.string();
  return !failure;
}

bool StoreTopLevel(StoreJob& job, const stdfs::path& plain, std::string* error) {
  std::error_code failure;
  for (const stdfs::path& entry : SortedEntries(plain, failure)) {
    std::string name = entry.filename().string();
    if (!stdfs::is_directory(entry)) {
      if (!StoreFile(job, entry, "/" + name, error)) return false;
      continue;
    }
    stdfs::create_directories(stdfs::path(job.root.folder) / name, failure);
    if (failure) {
      *error = "cannot create the folder " + name;
      return false;
    }
    job.log("folder " + name);
    if (!StoreTree(job, entry, "/" + name, error)) return false;
    if (!KeepProductDescription(job, entry, name, error)) return false;
  }
  if (failure) *error = "cannot list " + plain.string();
  return !failure;
}

}  // namespace

bool BuildContentStore(const std::wstring& plain_dir, const std::wstring& data_dir, bool force,
                       const StoreLog& log, std::string* error) {
  try {
    stdfs::path plain(platform::ToFsName(plain_dir));
    stdfs::path data(platform::ToFsName(data_dir));
    if (!stdfs::is_directory(plain)) {
      *error = plain.string() + " is not a folder";
      return false;
    }
    if (!PrepareDestination(data, force, error)) return false;
    StoreJob job{ContentRoot{data.lexically_normal().string(), false}, log, {}, 0};
    if (!job.root.folder.empty() && job.root.folder.back() == '/' && job.root.folder.size() > 1) {
      job.root.folder.pop_back();
    }
    if (!StoreTopLevel(job, plain, error)) return false;
    log("stored " + std::to_string(job.files) + " files in " + job.root.folder);
    return true;
  } catch (const std::exception& failure) {
    *error = failure.what();
    return false;
  }
}
