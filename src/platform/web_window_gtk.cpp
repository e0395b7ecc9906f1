// The shell's window: a GtkWindow filled by one WebKitWebView, its input
// filter and its presentation modes.
#include "platform/gtk_shared.h"
#include "platform/utf8.h"
#include "platform/web_window_impl.h"

namespace platform {
namespace {

// clang-format off
Key KeyOf(guint keyval) {
  switch (keyval) {
    case GDK_KEY_Return: case GDK_KEY_KP_Enter: case GDK_KEY_ISO_Enter: return Key::kEnter;
    case GDK_KEY_Escape: return Key::kEscape;
    case GDK_KEY_Shift_L: case GDK_KEY_Shift_R: return Key::kShift;
    case GDK_KEY_F5: return Key::kF5;
    case GDK_KEY_F8: return Key::kF8;
    case GDK_KEY_F9: return Key::kF9;
    default: return Key::kOther;
  }
}
// clang-format on

// Connected before the window's own handlers, so TRUE keeps the key from the page.
gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
  auto& impl = *static_cast<WebWindow::Impl*>(data);
  return impl.events->OnKeyDown(KeyOf(event->keyval)) ? TRUE : FALSE;
}

gboolean OnKeyRelease(GtkWidget*, GdkEventKey* event, gpointer data) {
  auto& impl = *static_cast<WebWindow::Impl*>(data);
  return impl.events->OnKeyUp(KeyOf(event->keyval)) ? TRUE : FALSE;
}

gboolean OnButtonPress(GtkWidget*, GdkEventButton* event, gpointer data) {
  auto& impl = *static_cast<WebWindow::Impl*>(data);
  MouseButton button = event->button == GDK_BUTTON_PRIMARY     ? MouseButton::kLeft
                       : event->button == GDK_BUTTON_SECONDARY ? MouseButton::kRight
                                                               : MouseButton::kOther;
  bool repeated = event->type != GDK_BUTTON_PRESS;
  return impl.events->OnButtonDown(button, repeated) ? TRUE : FALSE;
}

// The engine's own context menu never opens.
gboolean OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*,
                       gpointer) {
  return TRUE;
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
  static_cast<WebWindow::Impl*>(data)->events->OnCloseRequest();
  return TRUE;  // the shell decides when the window ends
}

// Outside developer mode the engine shows no dialogs of its own. A page's
// question whether to leave it is answered "leave": unanswered it would mean
// "stay" and hold the shell's own navigations.
gboolean OnScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer data) {
  if (static_cast<WebWindow::Impl*>(data)->developer_mode) return FALSE;
  if (webkit_script_dialog_get_dialog_type(dialog) == WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM)
    webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
  return TRUE;
}

void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer data) {
  if (event != WEBKIT_LOAD_COMMITTED) return;
  auto& impl = *static_cast<WebWindow::Impl*>(data);
  impl.has_document = true;
  impl.document_origin = bridge::OriginOf(webkit_web_view_get_uri(view));
}

// An automation session ends by closing the view; it must really go away.
void OnViewClose(WebKitWebView*, gpointer data) {
  auto& impl = *static_cast<WebWindow::Impl*>(data);
  if (impl.view == nullptr) return;
  gtk_widget_destroy(GTK_WIDGET(impl.view));
  impl.view = nullptr;
  impl.events->OnViewClosed();
}

GtkWidget* OnAutomationCreateView(WebKitAutomationSession*, gpointer data) {
  auto& impl = *static_cast<WebWindow::Impl*>(data);
  return impl.view != nullptr ? GTK_WIDGET(impl.view) : nullptr;
}

void OnAutomationStarted(WebKitWebContext*, WebKitAutomationSession* session, gpointer data) {
  g_signal_connect(session, "create-web-view", G_CALLBACK(OnAutomationCreateView), data);
}

WebKitWebView* NewView(WebWindow::Impl& impl) {
  impl.context = webkit_web_context_new();
  if (impl.options.automation) {
    webkit_web_context_set_automation_allowed(impl.context, TRUE);
    g_signal_connect(impl.context, "automation-started", G_CALLBACK(OnAutomationStarted), &impl);
  }
  WebKitUserContentManager* manager = webkit_user_content_manager_new();
  bridge::PrepareContext(impl, manager);
  GtkWidget* view = GTK_WIDGET(g_object_new(
      WEBKIT_TYPE_WEB_VIEW, "web-context", impl.context, "user-content-manager", manager,
      "is-controlled-by-automation", impl.options.automation ? TRUE : FALSE, nullptr));
  g_object_unref(manager);
  g_signal_connect(view, "button-press-event", G_CALLBACK(OnButtonPress), &impl);
  g_signal_connect(view, "context-menu", G_CALLBACK(OnContextMenu), &impl);
  g_signal_connect(view, "script-dialog", G_CALLBACK(OnScriptDialog), &impl);
  g_signal_connect(view, "load-changed", G_CALLBACK(OnLoadChanged), &impl);
  g_signal_connect(view, "close", G_CALLBACK(OnViewClose), &impl);
  gtk_widget_set_size_request(view, impl.options.client_width, impl.options.client_height);
  return WEBKIT_WEB_VIEW(view);
}

GtkWidget* NewWindow(WebWindow::Impl& impl) {
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), Utf8Encode(impl.options.title).c_str());
  gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
  GList* icons = gtk_shared::CreateAppIcons();
  gtk_window_set_icon_list(GTK_WINDOW(window), icons);
  g_list_free_full(icons, g_object_unref);
  g_signal_connect(window, "key-press-event", G_CALLBACK(OnKeyPress), &impl);
  g_signal_connect(window, "key-release-event", G_CALLBACK(OnKeyRelease), &impl);
  g_signal_connect(window, "delete-event", G_CALLBACK(OnDelete), &impl);
  return window;
}

// Writes size hints to the window at once: GTK alone would send them only at
// its next layout, after the window manager has seen (and refused) a maximise.
void WriteSizeHints(WebWindow::Impl& impl, bool fixed) {
  GdkWindow* gdk_window = gtk_widget_get_window(impl.window);
  if (gdk_window == nullptr) return;
  GdkGeometry geometry{};
  geometry.min_width = geometry.max_width = impl.options.client_width;
  geometry.min_height = geometry.max_height = impl.options.client_height;
  auto hints = static_cast<GdkWindowHints>(GDK_HINT_MIN_SIZE | (fixed ? GDK_HINT_MAX_SIZE : 0));
  gdk_window_set_geometry_hints(gdk_window, &geometry, hints);
}

// The fixed window offers only the close box (the shell itself still
// minimises it); a maximised one must let the window manager maximise it.
void SetWindowFunctions(WebWindow::Impl& impl, bool close_box_only) {
  GdkWindow* gdk_window = gtk_widget_get_window(impl.window);
  if (gdk_window == nullptr) return;
  gdk_window_set_functions(
      gdk_window,
      close_box_only ? static_cast<GdkWMFunction>(GDK_FUNC_MOVE | GDK_FUNC_CLOSE) : GDK_FUNC_ALL);
}

}  // namespace

WebWindow::WebWindow(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

std::unique_ptr<WebWindow> WebWindow::Create(const WebWindowOptions& options,
                                             WebWindowEvents& events) {
  if (!gtk_shared::EnsureGtk()) return nullptr;
  auto impl = std::make_unique<Impl>();
  impl->events = &events;
  impl->options = options;
  impl->view = NewView(*impl);
  impl->window = NewWindow(*impl);
  gtk_container_add(GTK_CONTAINER(impl->window), GTK_WIDGET(impl->view));
  gtk_widget_realize(impl->window);
  SetWindowFunctions(*impl, true);
  gtk_widget_show_all(impl->window);
  gtk_widget_grab_focus(GTK_WIDGET(impl->view));
  gtk_shared::SetMainWindow(GTK_WINDOW(impl->window));
  return std::unique_ptr<WebWindow>(new WebWindow(std::move(impl)));
}

WebWindow::~WebWindow() {
  gtk_shared::SetMainWindow(nullptr);
  if (m_impl->view != nullptr) g_signal_handlers_disconnect_by_data(m_impl->view, m_impl.get());
  g_signal_handlers_disconnect_by_data(m_impl->window, m_impl.get());
  gtk_widget_destroy(m_impl->window);
  g_object_unref(m_impl->context);
}

void WebWindow::SetDeveloperMode(bool on) {
  m_impl->developer_mode = on;
  if (m_impl->view == nullptr) return;
  WebKitSettings* settings = webkit_web_view_get_settings(m_impl->view);
  webkit_settings_set_enable_developer_extras(settings, on ? TRUE : FALSE);
}

void WebWindow::AllowCallsFrom(const std::vector<std::wstring>& origins) {
  m_impl->allowed_origins.clear();
  for (const std::wstring& origin : origins) m_impl->allowed_origins.push_back(Utf8Encode(origin));
}

void WebWindow::Navigate(const std::wstring& url) {
  if (m_impl->view != nullptr) webkit_web_view_load_uri(m_impl->view, Utf8Encode(url).c_str());
}

void WebWindow::Reload() {
  if (m_impl->view != nullptr) webkit_web_view_reload(m_impl->view);
}

void WebWindow::RunScript(const std::wstring& statement) {
  if (!m_impl->calls.empty()) {
    m_impl->calls.back().push_back(statement);
    return;
  }
  bridge::EvaluateNow(*m_impl, statement);
}

// Showing the window maximised or restored brings it back from the task bar.
void WebWindow::SetReadingMode() {
  GtkWindow* window = GTK_WINDOW(m_impl->window);
  gtk_window_deiconify(window);
  gtk_window_set_resizable(window, TRUE);
  gtk_window_set_decorated(window, FALSE);
  SetWindowFunctions(*m_impl, false);
  WriteSizeHints(*m_impl, false);
  gtk_window_maximize(window);
}

void WebWindow::SetWindowedMode(bool maximise) {
  GtkWindow* window = GTK_WINDOW(m_impl->window);
  gtk_window_set_decorated(window, TRUE);
  SetWindowFunctions(*m_impl, !maximise);
  if (maximise) {
    gtk_window_deiconify(window);
    gtk_window_set_resizable(window, TRUE);
    WriteSizeHints(*m_impl, false);
    gtk_window_maximize(window);
    return;
  }
  gtk_window_unmaximize(window);
  gtk_window_set_resizable(window, FALSE);
  WriteSizeHints(*m_impl, true);
  gtk_window_deiconify(window);
  gtk_window_present(window);
}

void WebWindow::Minimise() { gtk_window_iconify(GTK_WINDOW(m_impl->window)); }

void WebWindow::Present() {
  GtkWindow* window = GTK_WINDOW(m_impl->window);
  gtk_window_deiconify(window);
  gtk_window_present(window);
  if (GtkWindow* dialog = gtk_shared::TopDialog()) gtk_window_present(dialog);
}

void WebWindow::SetMark(bool on) {
  m_impl->marked = on;
  GdkWindow* gdk_window = gtk_widget_get_window(m_impl->window);
  if (gdk_window == nullptr) return;
  // Also visible to other programs as a window property, as the mark always was.
  GdkAtom mark = gdk_atom_intern_static_string("QUILLORY_INSTANCE");
  if (on) {
    gulong one = 1;  // format 32 travels as long on X11
    gdk_property_change(gdk_window, mark, gdk_atom_intern_static_string("CARDINAL"), 32,
                        GDK_PROP_MODE_REPLACE, reinterpret_cast<const guchar*>(&one), 1);
  } else {
    gdk_property_delete(gdk_window, mark);
  }
}

bool WebWindow::HasMark() const { return m_impl->marked; }

}  // namespace platform
