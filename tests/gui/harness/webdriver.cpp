// WebDriver over libcurl.
#include "gui/harness/webdriver.h"

#include <curl/curl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace guitest {
namespace {

int FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  close(fd);
  return port;
}

size_t Collect(char* data, size_t size, size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

std::string ErrorOf(const Json& body) {
  const Json& value = body["value"];
  return value["error"].string + ": " + value["message"].string;
}

}  // namespace

WebDriver::WebDriver(const Env& env, const std::string& log_file) {
  int port = FreePort();
  m_process = Process::Start({"WebKitWebDriver", "--host=127.0.0.1", "--port=" + std::to_string(port)},
                             env, log_file);
  if (!m_process) return;
  m_port = port;
  if (!WaitUntil([&] { return Request("GET", "/status", "").status == 200; })) m_port = 0;
}

WebDriver::~WebDriver() {
  EndSession();
  m_process.reset();
}

WebDriver::Reply WebDriver::Request(const char* method, const std::string& path,
                                    const std::string& body) {
  Reply reply;
  CURL* curl = curl_easy_init();
  if (curl == nullptr) return reply;
  std::string url = "http://127.0.0.1:" + std::to_string(m_port) + path;
  std::string text;
  curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 120L);
  if (std::string(method) == "POST") curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &text);
  if (curl_easy_perform(curl) == CURLE_OK) {
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    reply.body = ParseJson(text);
  }
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return reply;
}

bool WebDriver::StartSession(const std::string& binary, std::string* error) {
  std::string capabilities = R"({"capabilities":{"alwaysMatch":{"webkitgtk:browserOptions":{"binary":)" +
                             QuoteJson(binary) + R"(,"args":["--automation"]}}}})";
  Reply reply = Request("POST", "/session", capabilities);
  if (reply.status != 200 || !reply.body) {
    if (error != nullptr) *error = reply.body ? ErrorOf(*reply.body) : "no reply";
    return false;
  }
  m_session = (*reply.body)["value"]["sessionId"].string;
  return !m_session.empty();
}

void WebDriver::EndSession() {
  if (m_session.empty() || m_port == 0) return;
  Request("DELETE", "/session/" + m_session, "");
  m_session.clear();
}

std::optional<Json> WebDriver::Execute(const std::string& script, std::string* error,
                                       const std::string& args_json) {
  std::string body = R"({"script":)" + QuoteJson(script) + R"(,"args":)" + args_json + "}";
  Reply reply = Request("POST", "/session/" + m_session + "/execute/sync", body);
  if (reply.status == 200 && reply.body) return (*reply.body)["value"];
  if (error != nullptr) *error = reply.body ? ErrorOf(*reply.body) : "no reply";
  return std::nullopt;
}

bool WebDriver::ExecuteDetached(const std::string& script) {
  return Execute("setTimeout(function () {" + script + "}, 0); return true;").has_value();
}

}  // namespace guitest
