// One file, one mutex: lines of different threads never interleave, and a
// line is on disk (flushed) before the call returns, so a crash right after
// a failure still leaves its reason in the log.
#include "core/diag_log.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>

namespace {

std::mutex g_log_mutex;
std::FILE* g_log_file = nullptr;  // null while the log is off
std::atomic<int> g_next_thread_number{1};

// A small number per thread, in the order threads first write: easier to
// follow in a log than the system's thread identifiers.
int ThreadNumber() {
  thread_local const int number = g_next_thread_number.fetch_add(1);
  return number;
}

// "YYYY-MM-DD hh:mm:ss.mmm" in UTC, from the days since 1970 by the civil
// calendar rules (no time-zone or locale functions involved).
std::string UtcTimeText() {
  using namespace std::chrono;
  const auto now = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  const long long days = now / 86400000;
  const long long ms_of_day = now % 86400000;
  const long long z = days + 719468;
  const long long era = z / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  const long long day = doy - (153 * mp + 2) / 5 + 1;
  const long long month = mp < 10 ? mp + 3 : mp - 9;
  const long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  char text[32];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld.%03lld", year, month,
                day, ms_of_day / 3600000, ms_of_day / 60000 % 60, ms_of_day / 1000 % 60,
                ms_of_day % 1000);
  return text;
}

}  // namespace

bool OpenDiagnosticLog(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "a");
  std::lock_guard<std::mutex> lock(g_log_mutex);
  if (g_log_file != nullptr) std::fclose(g_log_file);
  g_log_file = file;
  return file != nullptr;
}

void CloseDiagnosticLog() {
  std::lock_guard<std::mutex> lock(g_log_mutex);
  if (g_log_file != nullptr) std::fclose(g_log_file);
  g_log_file = nullptr;
}

void LogLine(std::string_view what, std::string_view text) {
  std::lock_guard<std::mutex> lock(g_log_mutex);
  if (g_log_file == nullptr) return;
  std::string line = UtcTimeText() + " [thread " + std::to_string(ThreadNumber()) + "] ";
  line.append(what).append(": ").append(text).push_back('\n');
  std::fwrite(line.data(), 1, line.size(), g_log_file);
  std::fflush(g_log_file);
}

void LogOutcome(std::string_view what, const Outcome& outcome) {
  LogLine(what, outcome.ok() ? std::string("done") : "failed: " + outcome.reason());
}

void LogIfFailed(std::string_view what, const Outcome& outcome) {
  if (!outcome.ok()) LogOutcome(what, outcome);
}
