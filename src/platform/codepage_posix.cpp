// Legacy code-page conversions over glibc iconv. Each call opens its own
// conversion descriptor, so calls on different threads never share state.
#include <errno.h>
#include <iconv.h>

#include <cstdlib>
#include <string>

#include "platform/codepage.h"

namespace platform {
namespace {

constexpr const char* kDefaultCodePage = "CP936";
constexpr const char* kWideEncoding = "WCHAR_T";

// Owns one iconv descriptor for the duration of a conversion.
class Converter {
 public:
  Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
  ~Converter() {
    if (Valid()) iconv_close(m_cd);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool Valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

  // Converts `in_len` bytes at `in`, appending to `out`. Input that cannot be
  // converted is skipped `skip_unit` bytes at a time and replaced by
  // `replacement`. Returns false only when the descriptor fails outright.
  bool Run(const char* in, std::size_t in_len, std::size_t skip_unit,
           const std::string& replacement, std::string& out) {
    char* in_ptr = const_cast<char*>(in);
    char chunk[256];
    while (in_len > 0) {
      char* out_ptr = chunk;
      std::size_t out_left = sizeof(chunk);
      std::size_t rc = iconv(m_cd, &in_ptr, &in_len, &out_ptr, &out_left);
      out.append(chunk, out_ptr - chunk);
      if (rc != static_cast<std::size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      if (errno != EILSEQ && errno != EINVAL) return false;
      std::size_t skip = in_len < skip_unit ? in_len : skip_unit;
      in_ptr += skip;
      in_len -= skip;
      out += replacement;
      iconv(m_cd, nullptr, nullptr, nullptr, nullptr);  // reset shift state
    }
    FlushShiftState(out);
    return true;
  }

 private:
  void FlushShiftState(std::string& out) {
    char chunk[32];
    char* out_ptr = chunk;
    std::size_t out_left = sizeof(chunk);
    iconv(m_cd, nullptr, nullptr, &out_ptr, &out_left);
    out.append(chunk, out_ptr - chunk);
  }

  iconv_t m_cd;
};

std::string ChooseCodePage() {
  const char* env = std::getenv("QUILLORY_CODEPAGE");
  if (env == nullptr || *env == '\0') return kDefaultCodePage;
  Converter probe(env, kWideEncoding);
  return probe.Valid() ? std::string(env) : std::string(kDefaultCodePage);
}

}  // namespace

const char* LegacyCodePage() {
  // Chosen once; the environment is read before any worker thread exists.
  static const std::string code_page = ChooseCodePage();
  return code_page.c_str();
}

std::string WideToCodePage(const std::wstring& text) {
  std::string out;
  Converter conv(LegacyCodePage(), kWideEncoding);
  if (!conv.Valid()) return out;
  if (!conv.Run(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t),
                sizeof(wchar_t), "?", out)) {
    return std::string();
  }
  return out;
}

std::wstring CodePageToWide(const std::string& bytes) {
  std::string raw;
  Converter conv(kWideEncoding, LegacyCodePage());
  if (!conv.Valid()) return std::wstring();
  const wchar_t replacement = 0xFFFD;
  const std::string replacement_bytes(reinterpret_cast<const char*>(&replacement),
                                      sizeof(replacement));
  if (!conv.Run(bytes.data(), bytes.size(), 1, replacement_bytes, raw)) return std::wstring();
  std::wstring out(raw.size() / sizeof(wchar_t), L'\0');
  raw.copy(reinterpret_cast<char*>(out.data()), out.size() * sizeof(wchar_t));
  return out;
}

}  // namespace platform
