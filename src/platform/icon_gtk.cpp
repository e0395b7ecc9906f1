// The shell's icon, drawn at run time: a teal tile with an open book and a
// quill laid across it.
#include <cmath>

#include "platform/web_window_impl.h"

namespace platform::gtk_shared {
namespace {

void RoundedTile(cairo_t* cr, double size) {
  double r = size * 0.18;
  cairo_new_sub_path(cr);
  cairo_arc(cr, size - r, r, r, -M_PI / 2, 0);
  cairo_arc(cr, size - r, size - r, r, 0, M_PI / 2);
  cairo_arc(cr, r, size - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, r, r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
  cairo_pattern_t* fill = cairo_pattern_create_linear(0, 0, 0, size);
  cairo_pattern_add_color_stop_rgb(fill, 0, 0.10, 0.55, 0.56);
  cairo_pattern_add_color_stop_rgb(fill, 1, 0.04, 0.36, 0.40);
  cairo_set_source(cr, fill);
  cairo_fill(cr);
  cairo_pattern_destroy(fill);
}

void OpenBook(cairo_t* cr, double s) {
  cairo_set_source_rgb(cr, 0.98, 0.96, 0.90);
  for (int side = -1; side <= 1; side += 2) {
    double outer = 0.5 + side * 0.36;
    cairo_move_to(cr, s * 0.5, s * 0.36);
    cairo_curve_to(cr, s * (0.5 + side * 0.12), s * 0.28, s * (0.5 + side * 0.26), s * 0.28,
                   s * outer, s * 0.32);
    cairo_line_to(cr, s * outer, s * 0.76);
    cairo_curve_to(cr, s * (0.5 + side * 0.26), s * 0.72, s * (0.5 + side * 0.12), s * 0.72,
                   s * 0.5, s * 0.80);
    cairo_close_path(cr);
    cairo_fill(cr);
  }
  cairo_set_source_rgb(cr, 0.04, 0.36, 0.40);
  cairo_set_line_width(cr, std::max(1.0, s * 0.03));
  cairo_move_to(cr, s * 0.5, s * 0.36);
  cairo_line_to(cr, s * 0.5, s * 0.80);
  cairo_stroke(cr);
}

void Quill(cairo_t* cr, double s) {
  cairo_set_source_rgb(cr, 0.96, 0.66, 0.20);
  cairo_move_to(cr, s * 0.30, s * 0.70);
  cairo_curve_to(cr, s * 0.45, s * 0.40, s * 0.70, s * 0.16, s * 0.88, s * 0.10);
  cairo_curve_to(cr, s * 0.80, s * 0.30, s * 0.58, s * 0.52, s * 0.30, s * 0.70);
  cairo_close_path(cr);
  cairo_fill(cr);
}

GdkPixbuf* DrawIcon(int size) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
  cairo_t* cr = cairo_create(surface);
  RoundedTile(cr, size);
  OpenBook(cr, size);
  Quill(cr, size);
  cairo_destroy(cr);
  GdkPixbuf* pixbuf = gdk_pixbuf_get_from_surface(surface, 0, 0, size, size);
  cairo_surface_destroy(surface);
  return pixbuf;
}

}  // namespace

GList* CreateAppIcons() {
  GList* icons = nullptr;
  for (int size : {16, 24, 32, 48, 64, 128}) icons = g_list_append(icons, DrawIcon(size));
  return icons;
}

}  // namespace platform::gtk_shared
