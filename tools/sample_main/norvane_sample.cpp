// A stand-in for the main program "Norvane.exe", for the demo and the
// end-to-end tests: one window that shows the program's version and ends on
// the window manager's close request. It notes its start and a polite close
// in "norvane.log" in the current directory, so a run can be checked.
#include <gtk/gtk.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#ifndef NORVANE_VERSION
#error "NORVANE_VERSION names the version this build shows"
#endif

namespace {

void Note(const char* what) {
  if (FILE* log = std::fopen("norvane.log", "a")) {
    std::fprintf(log, "%s %s %d\n", what, NORVANE_VERSION, static_cast<int>(getpid()));
    std::fclose(log);
  }
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer) {
  Note("closed");
  gtk_main_quit();
  return TRUE;
}

}  // namespace

int main() {
  // The updater finds our window through X11.
  gdk_set_allowed_backends("x11");
  if (!gtk_init_check(nullptr, nullptr)) return 1;
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), "Norvane");
  gtk_window_set_default_size(GTK_WINDOW(window), 360, 160);
  const std::string text = std::string("Norvane ") + NORVANE_VERSION;
  GtkWidget* label = gtk_label_new(nullptr);
  gchar* markup = g_markup_printf_escaped("<span size='xx-large'>%s</span>", text.c_str());
  gtk_label_set_markup(GTK_LABEL(label), markup);
  g_free(markup);
  gtk_container_add(GTK_CONTAINER(window), label);
  g_signal_connect(window, "delete-event", G_CALLBACK(OnDelete), nullptr);
  gtk_widget_show_all(window);
  Note("started");
  gtk_main();
  return 0;
}
