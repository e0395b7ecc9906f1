// Downloads over the platform's HTTP transfer: the body streamed into
// "<target>.tmp", bounded in size, and renamed into place when complete.
#include "update/downloader.h"

#include <cstdio>
#include <string>
#include <utility>

#include "platform/file_writer.h"
#include "platform/fs.h"
#include "platform/http_transfer.h"
#include "platform/utf8.h"

namespace {

platform::HttpTransferRules TransferRules(const DownloadLimits& limits) {
  platform::HttpTransferRules rules;
  rules.connect_timeout_seconds = limits.connect_timeout_seconds;
  rules.stall_timeout_seconds = limits.stall_timeout_seconds;
  rules.max_redirects = limits.max_redirects;
  rules.https_only = limits.https_only;
  rules.trusted_certificates = limits.trusted_certificates;
  return rules;
}

Outcome FromReason(const std::string& reason) {
  return reason.empty() ? Outcome::Success() : Outcome::Failure(reason);
}

// One body being stored. The temporary file is created when a 200 answer
// begins, so nothing is created for any other status.
class TemporaryFileSink : public platform::HttpBodySink {
 public:
  TemporaryFileSink(std::wstring temp_path, std::int64_t max_bytes)
      : temp_path_(std::move(temp_path)), max_bytes_(max_bytes) {}
  ~TemporaryFileSink() override { Close(); }

  std::string Begin() override {
    if (file_ != nullptr) return {};
    // A link planted at the temporary name is replaced, never written through.
    file_ = platform::CreateNewFile(temp_path_);
    return file_ != nullptr ? std::string() : "cannot create the temporary file";
  }
  std::string Receive(const char* data, std::size_t size) override {
    received_ += static_cast<std::int64_t>(size);
    if (max_bytes_ >= 0 && received_ > max_bytes_) {
      return "larger than " + std::to_string(max_bytes_) + " bytes";
    }
    if (std::fwrite(data, 1, size, file_) != size) return "cannot write the temporary file";
    return {};
  }
  bool Close() {
    std::FILE* open_file = file_;
    file_ = nullptr;
    return open_file == nullptr || std::fclose(open_file) == 0;
  }

 private:
  std::wstring temp_path_;
  std::int64_t max_bytes_;
  std::int64_t received_ = 0;
  std::FILE* file_ = nullptr;
};

// Runs the transfer into the temporary file. Succeeds when a complete 200
// body (possibly empty) is in the closed temporary file.
Outcome ReceiveBody(const std::wstring& url, const std::wstring& temp,
                    const DownloadLimits& limits) {
  TemporaryFileSink sink(temp, limits.max_bytes);
  const std::string failure =
      platform::HttpGet(platform::Utf8Encode(url), TransferRules(limits), sink);
  const bool closed = sink.Close();
  if (!failure.empty()) return Outcome::Failure(failure);
  if (!closed) return Outcome::Failure("cannot write the temporary file");
  return Outcome::Success();
}

}  // namespace

Outcome DownloadFile(const std::wstring& file_name, const std::wstring& url,
                     const std::wstring& folder, const DownloadLimits& limits) {
  const std::wstring target = folder + file_name;
  const std::wstring temp = target + L".tmp";
  const Outcome received = ReceiveBody(url, temp, limits);
  if (!received) {
    // A partial body is of no use, and a stale one from earlier neither.
    platform::DeleteFileAt(temp);
    return received;
  }
  if (platform::PathExists(target) && !platform::DeleteFileAt(target)) {
    return Outcome::Failure("cannot remove the old file");
  }
  if (!platform::MoveFileTo(temp, target)) return Outcome::Failure("cannot rename into place");
  return Outcome::Success();
}

Outcome CheckConnection(const std::wstring& url, const DownloadLimits& limits) {
  return FromReason(platform::HttpConnect(platform::Utf8Encode(url), TransferRules(limits)));
}
