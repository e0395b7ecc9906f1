// SHA-256 of staged files.
#include "update/sha256_check.h"

#include <memory>
#include <system_error>

#include "platform/file_read.h"
#include "platform/fs.h"
#include "update/sha256_digest.h"

namespace {

constexpr std::size_t kReadBytes = 256 * 1024;

std::string ToHex(const Sha256Digest::Bytes& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char byte : bytes) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0xf];
  }
  return hex;
}

bool MatchesDigest(const std::string& fs_name, const std::string& expected) {
  // Only the form the manifest is written in counts: 64 lower-case digits.
  if (expected.size() != 64 || expected.find_first_not_of("0123456789abcdef") != std::string::npos)
    return false;
  return Sha256File(fs_name) == expected;
}

}  // namespace

std::optional<std::string> Sha256File(const std::string& fs_name) {
  std::optional<platform::ReadOnlyFile> file = platform::OpenReadOnlyFile(fs_name);
  if (!file) return std::nullopt;
  Sha256Digest digest;
  std::unique_ptr<char[]> buffer(new char[kReadBytes]);
  std::uint64_t offset = 0;
  for (;;) {
    const long count = platform::ReadFileAt(*file, buffer.get(), kReadBytes, offset);
    if (count < 0) return std::nullopt;
    if (count == 0) break;
    if (!digest.Update(buffer.get(), static_cast<std::size_t>(count))) return std::nullopt;
    offset += static_cast<std::uint64_t>(count);
  }
  const std::optional<Sha256Digest::Bytes> bytes = digest.Finish();
  if (!bytes) return std::nullopt;
  return ToHex(*bytes);
}

Sha256Check::Sha256Check(const std::wstring& staged, const std::string& expected, bool required)
    : m_required(required), m_fs_name(platform::ToFsName(staged)), m_expected(expected) {
  if (!m_required) return;
  try {
    m_result = std::async(std::launch::async, &MatchesDigest, m_fs_name, m_expected);
  } catch (const std::system_error&) {
    // No thread to spare: Passed() computes the digest itself.
  }
}

bool Sha256Check::Passed() {
  if (!m_required) return true;
  if (m_result.valid()) return m_result.get();
  return MatchesDigest(m_fs_name, m_expected);
}
