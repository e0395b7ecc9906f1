// The inside of WebWindow, shared by the window and the bridge sources.
// Main thread only.
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <string>
#include <vector>

#include "platform/web_window.h"

struct platform::WebWindow::Impl {
  WebWindowEvents* events = nullptr;
  WebWindowOptions options;
  GtkWidget* window = nullptr;
  WebKitWebView* view = nullptr;
  WebKitWebContext* context = nullptr;
  bool developer_mode = false;
  bool has_document = false;
  // Origin of the document the view last committed ("" for an opaque one).
  std::string document_origin;
  // Origins (serialised, UTF-8) whose documents the bridge answers.
  std::vector<std::string> allowed_origins;
  bool marked = false;
  // Statements collected by RunScript during open WinFun calls, innermost last.
  std::vector<std::vector<std::wstring>> calls;
};

namespace platform::bridge {

// Registers the bridge scheme and its script on the context and manager of a
// view about to be created.
void PrepareContext(WebWindow::Impl& impl, WebKitUserContentManager* manager);
// Runs `statement` in the current document, outside any call, when that
// document is of an allowed origin.
void EvaluateNow(WebWindow::Impl& impl, const std::wstring& statement);
// The serialised origin of `uri` ("scheme://host:port"); "" for an opaque one.
std::string OriginOf(const char* uri);

}  // namespace platform::bridge

namespace platform::gtk_shared {
// The shell's icon in several sizes (owned by the caller: g_list_free_full with g_object_unref).
GList* CreateAppIcons();
}  // namespace platform::gtk_shared
