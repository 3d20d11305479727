#include "platform/posix/message_box.h"

#include "platform/posix/gui_loop.h"
#include "platform/text.h"
#include "platform/window.h"

namespace platform::gui {

namespace {

struct BoxState {
  MessageButtons buttons;
  int answer = -1;  // -1 while open
  bool gone = false;
};

void OnResponse(GtkDialog*, gint response, gpointer data) {
  auto* state = static_cast<BoxState*>(data);
  if (state->answer != -1) return;
  if (response == kIdOk || response == kIdYes || response == kIdNo)
    state->answer = response;
  else  // the close box or Escape
    state->answer = state->buttons == MessageButtons::YesNo ? kIdNo : kIdOk;
}

void OnDestroy(GtkWidget*, gpointer data) { static_cast<BoxState*>(data)->gone = true; }

}  // namespace

int RunMessageBox(GtkWindow* owner, const std::wstring& text, const std::wstring& caption, MessageButtons buttons) {
  if (!gdk_display_get_default()) return 0;
  const std::string utf8Text = WideToAnsi(text);
  GtkWidget* box = gtk_message_dialog_new(owner, static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
                                          GTK_MESSAGE_OTHER, GTK_BUTTONS_NONE, "%s", utf8Text.c_str());
  if (!box) return 0;
  gtk_window_set_title(GTK_WINDOW(box), WideToAnsi(caption).c_str());
  gtk_window_set_resizable(GTK_WINDOW(box), FALSE);
  if (buttons == MessageButtons::YesNo) {
    gtk_dialog_add_button(GTK_DIALOG(box), "是", kIdYes);
    gtk_dialog_add_button(GTK_DIALOG(box), "否", kIdNo);
    gtk_dialog_set_default_response(GTK_DIALOG(box), kIdYes);
  } else {
    gtk_dialog_add_button(GTK_DIALOG(box), "确定", kIdOk);
    gtk_dialog_set_default_response(GTK_DIALOG(box), kIdOk);
  }
  // Over a shown owner the box sits on it; a box of a still hidden owner
  // (the configuration error at start-up) goes to the middle of the screen.
  const bool ownerShown = owner && gtk_widget_get_visible(GTK_WIDGET(owner));
  gtk_window_set_position(GTK_WINDOW(box), ownerShown ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);

  gtk_widget_realize(box);
  if (GdkWindow* native = gtk_widget_get_window(box)) {
    gdk_window_set_functions(native, static_cast<GdkWMFunction>(GDK_FUNC_MOVE | GDK_FUNC_CLOSE));
    gdk_window_set_decorations(native, static_cast<GdkWMDecoration>(GDK_DECOR_BORDER | GDK_DECOR_TITLE | GDK_DECOR_MENU));
  }

  BoxState state{buttons};
  g_signal_connect(box, "response", G_CALLBACK(OnResponse), &state);
  g_signal_connect(box, "destroy", G_CALLBACK(OnDestroy), &state);
  gtk_widget_show(box);
  RunNestedLoop([&] { return state.answer != -1 || state.gone; });
  if (!state.gone) {
    g_signal_handlers_disconnect_by_data(box, &state);
    gtk_widget_destroy(box);
  }
  return state.answer == -1 ? 0 : state.answer;
}

}  // namespace platform::gui
