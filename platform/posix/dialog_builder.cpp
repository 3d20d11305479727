#include "platform/posix/dialog_builder.h"

#include <optional>

#include "platform/text.h"

namespace platform::gui {

namespace {

// Installed by the dependency script; it covers Latin and CJK text, so no
// text of ours shows missing glyphs.
const char kCjkFace[] = "WenQuanYi Micro Hei";

const char kAlphabets[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

bool HasFace(const std::string& face) {
  PangoFontMap* map = pango_cairo_font_map_get_default();
  PangoFontFamily** families = nullptr;
  int count = 0;
  pango_font_map_list_families(map, &families, &count);
  bool found = false;
  for (int i = 0; i < count && !found; ++i)
    found = g_ascii_strcasecmp(pango_font_family_get_name(families[i]), face.c_str()) == 0;
  g_free(families);
  return found;
}

void AddCss(GtkWidget* widget, const std::string& css) {
  GtkCssProvider* provider = gtk_css_provider_new();
  gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
  gtk_style_context_add_provider(gtk_widget_get_style_context(widget), GTK_STYLE_PROVIDER(provider),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(provider);
}

GList* IconList(std::span<const IconImage> icons) {
  GList* list = nullptr;
  for (const IconImage& icon : icons) {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
    if (!loader) continue;
    if (gdk_pixbuf_loader_write(loader, icon.png, icon.bytes, nullptr) && gdk_pixbuf_loader_close(loader, nullptr)) {
      if (GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader))
        list = g_list_append(list, g_object_ref(pixbuf));
    } else {
      gdk_pixbuf_loader_close(loader, nullptr);
    }
    g_object_unref(loader);
  }
  return list;
}

}  // namespace

std::string DialogFontFace(const std::wstring& templateFace) {
  const std::string face = WideToAnsi(templateFace);
  return !face.empty() && HasFace(face) ? face : kCjkFace;
}

int FontPixelHeight(int points) {
  double dpi = gdk_screen_get_resolution(gdk_screen_get_default());
  if (dpi <= 0) dpi = 96;
  return MulDiv(points, static_cast<int>(dpi + 0.5), 72);
}

BaseUnits MeasureBaseUnits(GtkWidget* widget, const std::string& face, int pixelHeight) {
  PangoContext* context = gtk_widget_get_pango_context(widget);
  PangoFontDescription* font = pango_font_description_new();
  pango_font_description_set_family(font, face.c_str());
  pango_font_description_set_absolute_size(font, pixelHeight * PANGO_SCALE);

  PangoLayout* layout = pango_layout_new(context);
  pango_layout_set_font_description(layout, font);
  pango_layout_set_text(layout, kAlphabets, -1);
  int width = 0, height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);
  g_object_unref(layout);

  PangoFontMetrics* metrics = pango_context_get_metrics(context, font, nullptr);
  const int cy = PANGO_PIXELS_CEIL(pango_font_metrics_get_ascent(metrics) + pango_font_metrics_get_descent(metrics));
  pango_font_metrics_unref(metrics);
  pango_font_description_free(font);
  return {AverageCharWidth(width), cy > 0 ? cy : pixelHeight};
}

BuiltDialog BuildDialog(const DialogTemplate& dialog, GtkWindowType type) {
  BuiltDialog built;
  built.window = gtk_window_new(type);
  GtkWindow* window = GTK_WINDOW(built.window);
  gtk_window_set_title(window, WideToAnsi(dialog.caption).c_str());
  gtk_window_set_resizable(window, FALSE);
  gtk_window_set_deletable(window, dialog.closeBox ? TRUE : FALSE);
  gtk_window_set_type_hint(window, dialog.minimizeBox ? GDK_WINDOW_TYPE_HINT_NORMAL : GDK_WINDOW_TYPE_HINT_DIALOG);

  const std::string face = DialogFontFace(dialog.fontFace);
  const int pixelHeight = FontPixelHeight(dialog.fontPoints);
  built.base = MeasureBaseUnits(built.window, face, pixelHeight);
  AddCss(built.window, "* { font-family: \"" + face + "\"; font-size: " + std::to_string(pixelHeight) + "px; }");

  built.width = DialogUnitsToPixelsX(dialog.cx, built.base);
  built.height = DialogUnitsToPixelsY(dialog.cy, built.base);
  GtkWidget* fixed = gtk_fixed_new();
  gtk_widget_set_size_request(fixed, built.width, built.height);
  gtk_container_add(GTK_CONTAINER(built.window), fixed);
  gtk_widget_show(fixed);

  for (const ControlTemplate& c : dialog.controls) {
    const int w = DialogUnitsToPixelsX(c.cx, built.base);
    const int h = DialogUnitsToPixelsY(c.cy, built.base);
    const std::string text = WideToAnsi(c.text ? c.text : L"");
    GtkWidget* widget = nullptr;
    switch (c.kind) {
      case ControlKind::Label:
        widget = gtk_label_new(text.c_str());
        gtk_label_set_xalign(GTK_LABEL(widget), 0.0f);
        gtk_label_set_yalign(GTK_LABEL(widget), 0.0f);
        break;
      case ControlKind::ProgressBar:
        widget = gtk_progress_bar_new();
        // The bar fills its whole height, as the template draws it.
        AddCss(widget, "trough, progress { min-height: " + std::to_string(h > 4 ? h - 4 : 1) + "px; }");
        break;
      case ControlKind::Button:
        widget = gtk_button_new_with_label(text.c_str());
        break;
    }
    if (c.border) AddCss(widget, "* { border: 1px solid #7a7a7a; }");
    gtk_widget_set_size_request(widget, w, h);
    gtk_fixed_put(GTK_FIXED(fixed), widget, DialogUnitsToPixelsX(c.x, built.base), DialogUnitsToPixelsY(c.y, built.base));
    if (c.visible) gtk_widget_show(widget);
    if (c.kind == ControlKind::Button && c.defaultButton) {
      gtk_widget_set_can_default(widget, TRUE);
      gtk_window_set_default(window, widget);
      gtk_window_set_focus(window, widget);
    }
    built.controls.push_back({c.id, c.kind, widget});
  }

  // The frame offers only what the template has: no maximising (the window
  // is not resizable), minimising and the close box only when asked for.
  gtk_widget_realize(built.window);
  if (GdkWindow* native = gtk_widget_get_window(built.window)) {
    int functions = GDK_FUNC_MOVE;
    if (dialog.minimizeBox) functions |= GDK_FUNC_MINIMIZE;
    if (dialog.closeBox) functions |= GDK_FUNC_CLOSE;
    gdk_window_set_functions(native, static_cast<GdkWMFunction>(functions));
    int decorations = GDK_DECOR_BORDER | GDK_DECOR_TITLE;
    if (dialog.closeBox || dialog.minimizeBox) decorations |= GDK_DECOR_MENU;
    if (dialog.minimizeBox) decorations |= GDK_DECOR_MINIMIZE;
    gdk_window_set_decorations(native, static_cast<GdkWMDecoration>(decorations));
  }
  return built;
}

void SetWindowIcons(GtkWindow* window, std::span<const IconImage> icons) {
  if (icons.empty()) return;
  GList* list = IconList(icons);
  gtk_window_set_icon_list(window, list);
  g_list_free_full(list, g_object_unref);
}

ControlHandle HandleOf(std::size_t index) { return static_cast<ControlHandle>(index + 1); }

Control* ControlOf(BuiltDialog& dialog, ControlHandle handle) {
  const auto n = static_cast<std::intptr_t>(handle);
  if (n < 1 || n > static_cast<std::intptr_t>(dialog.controls.size())) return nullptr;
  return &dialog.controls[static_cast<std::size_t>(n - 1)];
}

ControlHandle FindControl(const BuiltDialog& dialog, int id) {
  for (std::size_t i = 0; i < dialog.controls.size(); ++i)
    if (dialog.controls[i].id == id) return HandleOf(i);
  return ControlHandle::None;
}

void SetText(Control& control, const std::wstring& text) {
  const std::string utf8 = WideToAnsi(text);
  switch (control.kind) {
    case ControlKind::Label:
      gtk_label_set_text(GTK_LABEL(control.widget), utf8.c_str());
      break;
    case ControlKind::Button:
      gtk_button_set_label(GTK_BUTTON(control.widget), utf8.c_str());
      break;
    case ControlKind::ProgressBar:
      break;
  }
}

void CenterOver(GtkWindow* window, int width, int height, GtkWindow* centre) {
  GdkDisplay* display = gdk_display_get_default();
  if (!display) return;

  GdkWindow* centreWindow = centre ? gtk_widget_get_window(GTK_WIDGET(centre)) : nullptr;
  if (centreWindow && (!gtk_widget_get_visible(GTK_WIDGET(centre)) ||
                       (gdk_window_get_state(centreWindow) & GDK_WINDOW_STATE_ICONIFIED)))
    centreWindow = nullptr;

  GdkMonitor* monitor = nullptr;
  std::optional<Rect> centreRect;
  if (centreWindow) {
    GdkRectangle frame;
    gdk_window_get_frame_extents(centreWindow, &frame);
    centreRect = Rect{frame.x, frame.y, frame.x + frame.width, frame.y + frame.height};
    monitor = gdk_display_get_monitor_at_window(display, centreWindow);
  } else {
    int x = 0, y = 0;
    gtk_window_get_position(window, &x, &y);
    monitor = gdk_display_get_monitor_at_point(display, x + width / 2, y + height / 2);
  }
  if (!monitor) return;
  GdkRectangle work;
  gdk_monitor_get_workarea(monitor, &work);
  const Point p = CenteredPosition(width, height, centreRect, {work.x, work.y, work.x + work.width, work.y + work.height});
  gtk_window_move(window, p.x, p.y);
}

}  // namespace platform::gui
