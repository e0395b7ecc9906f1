// The page bridge over WebKitGTK. A script injected at document start in
// every frame replaces window.external with an object whose WinFun sends the
// encoded arguments in a synchronous XMLHttpRequest to the bridge scheme.
// The scheme handler (main thread) runs the call and answers with the
// statements collected meanwhile, which the script runs in order before
// WinFun returns; so the call stays synchronous and modal dialogs keep it
// open. Where the engine refuses synchronous requests (unload handlers) the
// script falls back to a script message, which reaches the shell without an
// answer.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/utf8.h"
#include "platform/web_window_impl.h"

namespace platform::bridge {
namespace {

constexpr const char* kScheme = "quillory-bridge";
constexpr const char* kMessageHandler = "quilloryBridge";

// Arguments travel as "&"-joined items: a kind letter, then the value's text
// percent-encoded (s string, n number, b boolean 1/0, u undefined, z null,
// o any other value as String(value)).
constexpr const char* kBridgeScript = R"JS((function () {
  'use strict';
  var kUrl = 'quillory-bridge://bridge/winfun';
  function text(value) {
    var s = String(value);
    return encodeURIComponent(s.toWellFormed ? s.toWellFormed() : s);
  }
  function encode(value) {
    if (value === null) return 'z';
    switch (typeof value) {
      case 'string': return 's' + text(value);
      case 'number': return 'n' + text(value);
      case 'boolean': return value ? 'b1' : 'b0';
      case 'undefined': return 'u';
      default: return 'o' + text(value);
    }
  }
  function pageGlobal() {
    try { if (typeof window.top.eval === 'function') return window.top; } catch (e) {}
    return window;
  }
  function runStatements(statements) {
    var target = pageGlobal();
    for (var i = 0; i < statements.length; ++i) {
      try { target.eval(statements[i]); } catch (e) { console.error(e); }
    }
  }
  function WinFun() {
    var body = Array.prototype.map.call(arguments, encode).join('&');
    var request = new XMLHttpRequest();
    try {
      request.open('POST', kUrl, false);
      request.send(body);
    } catch (e) {
      try { window.webkit.messageHandlers.quilloryBridge.postMessage(body); } catch (e2) {}
      return false;
    }
    var reply = JSON.parse(request.responseText);
    if (!reply.ok) throw new TypeError('WinFun: ' + reply.error);
    runStatements(reply.statements);
    return reply.result;
  }
  var external = Object.freeze({ WinFun: WinFun });
  Object.defineProperty(window, 'external', { value: external, configurable: true, enumerable: true });
})();)JS";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::wstring PercentDecode(const std::string& encoded) {
  std::string bytes;
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    if (encoded[i] == '%' && i + 2 < encoded.size()) {
      int high = HexValue(encoded[i + 1]);
      int low = HexValue(encoded[i + 2]);
      if (high >= 0 && low >= 0) {
        bytes += static_cast<char>(high * 16 + low);
        i += 2;
        continue;
      }
    }
    bytes += encoded[i];
  }
  return Utf8Decode(bytes);
}

ScriptValue DecodeItem(const std::string& item) {
  ScriptValue value;
  char kind = item.empty() ? 'u' : item[0];
  std::string rest = item.empty() ? std::string() : item.substr(1);
  switch (kind) {
    case 's': value.kind = ScriptValue::Kind::kString; value.text = PercentDecode(rest); break;
    case 'n': value.kind = ScriptValue::Kind::kNumber; value.text = PercentDecode(rest); break;
    case 'b': value.kind = ScriptValue::Kind::kBoolean; value.boolean = rest == "1"; break;
    case 'z': value.kind = ScriptValue::Kind::kNull; break;
    case 'o': value.kind = ScriptValue::Kind::kObject; value.text = PercentDecode(rest); break;
    default: value.kind = ScriptValue::Kind::kUndefined; break;
  }
  return value;
}

std::vector<ScriptValue> DecodeArguments(const std::string& body) {
  std::vector<ScriptValue> arguments;
  if (body.empty()) return arguments;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = body.find('&', start);
    arguments.push_back(DecodeItem(body.substr(start, end - start)));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return arguments;
}

std::string JsonString(const std::wstring& text) {
  std::string utf8 = Utf8Encode(text);
  std::string out = "\"";
  for (unsigned char c : utf8) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof(escape), "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

// Runs one call; the reply the injected script expects.
std::string RunCall(WebWindow::Impl& impl, const std::string& body) {
  impl.calls.emplace_back();
  std::optional<bool> result = impl.events->OnWinFun(DecodeArguments(body));
  std::vector<std::wstring> statements = std::move(impl.calls.back());
  impl.calls.pop_back();
  if (!result) return R"({"ok":false,"error":"invalid arguments"})";
  std::string reply = std::string(R"({"ok":true,"result":)") + (*result ? "true" : "false");
  reply += R"(,"statements":[)";
  for (std::size_t i = 0; i < statements.size(); ++i) {
    if (i > 0) reply += ',';
    reply += JsonString(statements[i]);
  }
  return reply + "]}";
}

std::string ReadBody(WebKitURISchemeRequest* request) {
  GInputStream* stream = webkit_uri_scheme_request_get_http_body(request);
  std::string body;
  if (stream == nullptr) return body;
  char buffer[4096];
  for (;;) {
    gssize got = g_input_stream_read(stream, buffer, sizeof(buffer), nullptr, nullptr);
    if (got <= 0) break;
    body.append(buffer, static_cast<std::size_t>(got));
  }
  g_object_unref(stream);
  return body;
}

void Answer(WebKitURISchemeRequest* request, const std::string& reply) {
  GBytes* bytes = g_bytes_new(reply.data(), reply.size());
  GInputStream* stream = g_memory_input_stream_new_from_bytes(bytes);
  WebKitURISchemeResponse* response =
      webkit_uri_scheme_response_new(stream, static_cast<gint64>(reply.size()));
  webkit_uri_scheme_response_set_content_type(response, "application/json");
  SoupMessageHeaders* headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
  soup_message_headers_append(headers, "Access-Control-Allow-Origin", "*");
  webkit_uri_scheme_response_set_http_headers(response, headers);
  webkit_uri_scheme_request_finish_with_response(request, response);
  g_object_unref(response);
  g_object_unref(stream);
  g_bytes_unref(bytes);
}

void OnSchemeRequest(WebKitURISchemeRequest* request, gpointer data) {
  auto& impl = *static_cast<WebWindow::Impl*>(data);
  const char* method = webkit_uri_scheme_request_get_http_method(request);
  if (method == nullptr || std::string(method) != "POST") {
    Answer(request, R"({"ok":false,"error":"bad request"})");
    return;
  }
  Answer(request, RunCall(impl, ReadBody(request)));
}

// The unload fallback: the call runs, its statements go to the page as usual
// outside a call, and the page gets no answer.
void OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
  auto& impl = *static_cast<WebWindow::Impl*>(data);
  JSCValue* value = webkit_javascript_result_get_js_value(result);
  if (!jsc_value_is_string(value)) return;
  gchar* body = jsc_value_to_string(value);
  std::vector<ScriptValue> arguments = DecodeArguments(body);
  g_free(body);
  impl.events->OnWinFun(arguments);
}

}  // namespace

void PrepareContext(WebWindow::Impl& impl, WebKitUserContentManager* manager) {
  webkit_web_context_register_uri_scheme(impl.context, kScheme, OnSchemeRequest, &impl, nullptr);
  WebKitSecurityManager* security = webkit_web_context_get_security_manager(impl.context);
  webkit_security_manager_register_uri_scheme_as_cors_enabled(security, kScheme);
  webkit_security_manager_register_uri_scheme_as_secure(security, kScheme);
  WebKitUserScript* script = webkit_user_script_new(
      kBridgeScript, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
      WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
  webkit_user_content_manager_add_script(manager, script);
  webkit_user_script_unref(script);
  g_signal_connect(manager, (std::string("script-message-received::") + kMessageHandler).c_str(),
                   G_CALLBACK(OnScriptMessage), &impl);
  webkit_user_content_manager_register_script_message_handler(manager, kMessageHandler);
}

void EvaluateNow(WebWindow::Impl& impl, const std::wstring& statement) {
  if (impl.view == nullptr || !impl.has_document) return;
  std::string script = Utf8Encode(statement);
  webkit_web_view_evaluate_javascript(impl.view, script.c_str(), static_cast<gssize>(script.size()),
                                      nullptr, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace platform::bridge
