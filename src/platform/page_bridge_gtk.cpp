// The page bridge over WebKitGTK. A script injected at document start in
// every frame replaces window.external with an object whose WinFun sends the
// encoded arguments in a synchronous XMLHttpRequest to the bridge scheme.
// The scheme handler (main thread) runs the call and answers with the
// statements collected meanwhile, which the script runs in order before
// WinFun returns; so the call stays synchronous and modal dialogs keep it
// open. Where the engine refuses synchronous requests (unload handlers) the
// script falls back to a script message, which reaches the shell without an
// answer.
//
// Only documents of the allowed origins are answered. The request's Origin
// header, which a page cannot set, names the caller of the synchronous path.
// The message handler lives in an isolated script world that pages cannot
// reach: the page's script hands the call to it by an event, and it adds the
// origin of its own frame, which the page cannot change either.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/utf8.h"
#include "platform/web_window_impl.h"

namespace platform::bridge {
namespace {

constexpr const char* kScheme = "quillory-bridge";
constexpr const char* kMessageHandler = "quilloryBridge";
constexpr const char* kIsolatedWorld = "quillory-bridge";

// Arguments travel as "&"-joined items: a kind letter, then the value's text
// percent-encoded (s string, n number, b boolean 1/0, u undefined, z null,
// o any other value as String(value)).
constexpr const char* kBridgeScript = R"JS((function () {
  'use strict';
  var kUrl = 'quillory-bridge://bridge/winfun';
  // Taken before any page script can replace them.
  var dispatch = EventTarget.prototype.dispatchEvent;
  var PageEvent = CustomEvent;
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
      try {
        dispatch.call(window, new PageEvent('quillory-bridge-message', { detail: body }));
      } catch (e2) {}
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

// Runs in the isolated world of every frame: posts the calls that the page's
// script hands over, with the origin of this frame.
constexpr const char* kMessengerScript = R"JS((function () {
  'use strict';
  var handler = window.webkit.messageHandlers.quilloryBridge;
  window.addEventListener('quillory-bridge-message', function (event) {
    if (typeof event.detail === 'string') handler.postMessage([self.origin, event.detail]);
  }, true);
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

// clang-format off
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
// clang-format on

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

bool IsAllowedOrigin(const WebWindow::Impl& impl, const char* origin) {
  if (origin == nullptr) return false;
  for (const std::string& allowed : impl.allowed_origins)
    if (allowed == origin) return true;
  return false;
}

// The caller's origin as the engine sent it; null when the request has none.
const char* RequestOrigin(WebKitURISchemeRequest* request) {
  SoupMessageHeaders* headers = webkit_uri_scheme_request_get_http_headers(request);
  return headers == nullptr ? nullptr : soup_message_headers_get_one(headers, "Origin");
}

// Lets only `origin` read the reply.
void Answer(WebKitURISchemeRequest* request, const std::string& origin, const std::string& reply) {
  GBytes* bytes = g_bytes_new(reply.data(), reply.size());
  GInputStream* stream = g_memory_input_stream_new_from_bytes(bytes);
  WebKitURISchemeResponse* response =
      webkit_uri_scheme_response_new(stream, static_cast<gint64>(reply.size()));
  webkit_uri_scheme_response_set_content_type(response, "application/json");
  SoupMessageHeaders* headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
  soup_message_headers_append(headers, "Access-Control-Allow-Origin", origin.c_str());
  webkit_uri_scheme_response_set_http_headers(response, headers);
  webkit_uri_scheme_request_finish_with_response(request, response);
  g_object_unref(response);
  g_object_unref(stream);
  g_bytes_unref(bytes);
}

// A refused call fails in the page as a network error would; its script then
// tries the message path, which refuses it as well, and WinFun returns false.
void Refuse(WebKitURISchemeRequest* request) {
  GError* error = g_error_new_literal(G_IO_ERROR, G_IO_ERROR_PERMISSION_DENIED, "not allowed");
  webkit_uri_scheme_request_finish_error(request, error);
  g_error_free(error);
}

void OnSchemeRequest(WebKitURISchemeRequest* request, gpointer data) {
  auto& impl = *static_cast<WebWindow::Impl*>(data);
  const char* origin = RequestOrigin(request);
  if (!IsAllowedOrigin(impl, origin)) return Refuse(request);
  const char* method = webkit_uri_scheme_request_get_http_method(request);
  if (method == nullptr || std::string(method) != "POST") {
    Answer(request, origin, R"({"ok":false,"error":"bad request"})");
    return;
  }
  Answer(request, origin, RunCall(impl, ReadBody(request)));
}

// Item `index` of the message as text; empty when it is not a string.
std::string MessageItem(JSCValue* message, guint index) {
  JSCValue* item = jsc_value_object_get_property_at_index(message, index);
  std::string text;
  if (jsc_value_is_string(item)) {
    gchar* chars = jsc_value_to_string(item);
    text = chars;
    g_free(chars);
  }
  g_object_unref(item);
  return text;
}

// The unload fallback: [origin, body] from the isolated world. The call runs,
// its statements go to the page as usual outside a call, and the page gets
// no answer.
void OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
  auto& impl = *static_cast<WebWindow::Impl*>(data);
  JSCValue* message = webkit_javascript_result_get_js_value(result);
  if (!jsc_value_is_array(message)) return;
  if (!IsAllowedOrigin(impl, MessageItem(message, 0).c_str())) return;
  impl.events->OnWinFun(DecodeArguments(MessageItem(message, 1)));
}

// Adds `source` to every frame at document start, in the page's own world
// when `world` is null.
void AddScript(WebKitUserContentManager* manager, const char* source, const char* world) {
  const auto frames = WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES;
  const auto time = WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START;
  WebKitUserScript* script =
      world == nullptr
          ? webkit_user_script_new(source, frames, time, nullptr, nullptr)
          : webkit_user_script_new_for_world(source, frames, time, world, nullptr, nullptr);
  webkit_user_content_manager_add_script(manager, script);
  webkit_user_script_unref(script);
}

}  // namespace

void PrepareContext(WebWindow::Impl& impl, WebKitUserContentManager* manager) {
  webkit_web_context_register_uri_scheme(impl.context, kScheme, OnSchemeRequest, &impl, nullptr);
  WebKitSecurityManager* security = webkit_web_context_get_security_manager(impl.context);
  webkit_security_manager_register_uri_scheme_as_cors_enabled(security, kScheme);
  webkit_security_manager_register_uri_scheme_as_secure(security, kScheme);
  AddScript(manager, kBridgeScript, nullptr);
  AddScript(manager, kMessengerScript, kIsolatedWorld);
  g_signal_connect(manager, (std::string("script-message-received::") + kMessageHandler).c_str(),
                   G_CALLBACK(OnScriptMessage), &impl);
  webkit_user_content_manager_register_script_message_handler_in_world(manager, kMessageHandler,
                                                                       kIsolatedWorld);
}

void EvaluateNow(WebWindow::Impl& impl, const std::wstring& statement) {
  if (impl.view == nullptr || !impl.has_document) return;
  if (!IsAllowedOrigin(impl, impl.document_origin.c_str())) return;
  std::string script = Utf8Encode(statement);
  webkit_web_view_evaluate_javascript(impl.view, script.c_str(), static_cast<gssize>(script.size()),
                                      nullptr, nullptr, nullptr, nullptr, nullptr);
}

std::string OriginOf(const char* uri) {
  if (uri == nullptr) return std::string();
  WebKitSecurityOrigin* origin = webkit_security_origin_new_for_uri(uri);
  gchar* text = webkit_security_origin_to_string(origin);
  std::string serialised = text != nullptr ? text : "";
  g_free(text);
  webkit_security_origin_unref(origin);
  return serialised;
}

}  // namespace platform::bridge
