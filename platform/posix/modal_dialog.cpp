// A modal dialog on GTK over the main dialog: while its loop runs the owner
// takes no input, and the dialog itself takes input only while no box is
// open over it.
#include <gtk/gtk.h>

#include "platform/gui.h"
#include "platform/posix/dialog_builder.h"
#include "platform/posix/gui_loop.h"

namespace platform {

struct ModalDialog::Impl {
  Impl(DialogWindow& o, const DialogTemplate& t) : owner(o), dialog(t) {}

  DialogWindow& owner;
  const DialogTemplate& dialog;
  gui::BuiltDialog built;
  MessageMap map;
  int depth = 0;  // the depth its loop runs at
  bool ended = false;
  int result = -1;
  bool gone = false;

  std::intptr_t Deliver(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    std::intptr_t r = 0;
    if (!gone && map) map(message, wParam, lParam, r);
    return r;
  }
  bool TakesInput() const { return !ended && !gone && gui::LoopDepth() == depth; }
  void Command(int id) {
    if (TakesInput()) Deliver(kWmCommand, static_cast<std::uintptr_t>(id), 0);
  }

  static gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto* impl = static_cast<Impl*>(data);
    if (event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter || event->keyval == GDK_KEY_ISO_Enter) {
      impl->Command(kIdOk);
      return TRUE;
    }
    if (event->keyval == GDK_KEY_Escape) {
      impl->Command(kIdCancel);
      return TRUE;
    }
    return impl->TakesInput() ? FALSE : TRUE;
  }
  // A dialog without a close box ignores the window manager's close.
  static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer) { return TRUE; }
  static void OnDestroy(GtkWidget*, gpointer data) { static_cast<Impl*>(data)->gone = true; }
};

namespace {

struct ButtonCookie {
  ModalDialog::Impl* impl;
  int id;
};

void OnClicked(GtkButton*, gpointer data) {
  auto* cookie = static_cast<ButtonCookie*>(data);
  cookie->impl->Command(cookie->id);
}

}  // namespace

ModalDialog::ModalDialog(DialogWindow& owner, const DialogTemplate& dialog)
    : m_impl(std::make_unique<Impl>(owner, dialog)) {}

ModalDialog::~ModalDialog() {
  if (m_impl->built.window && !m_impl->gone) gtk_widget_destroy(m_impl->built.window);
}

int ModalDialog::Run(MessageMap map) {
  Impl& d = *m_impl;
  auto* owner = static_cast<GtkWindow*>(d.owner.NativeWindow());
  if (d.built.window || !owner) return -1;
  d.built = gui::BuildDialog(d.dialog, GTK_WINDOW_TOPLEVEL);
  if (!d.built.window) return -1;
  GtkWindow* window = GTK_WINDOW(d.built.window);
  gtk_window_set_transient_for(window, owner);
  gtk_window_set_modal(window, TRUE);
  gtk_window_set_destroy_with_parent(window, TRUE);
  g_signal_connect(d.built.window, "key-press-event", G_CALLBACK(Impl::OnKey), &d);
  g_signal_connect(d.built.window, "delete-event", G_CALLBACK(Impl::OnDelete), &d);
  g_signal_connect(d.built.window, "destroy", G_CALLBACK(Impl::OnDestroy), &d);
  for (const gui::Control& c : d.built.controls)
    if (c.kind == ControlKind::Button)
      g_signal_connect_data(c.widget, "clicked", G_CALLBACK(OnClicked), new ButtonCookie{&d, c.id},
                            [](gpointer cookie, GClosure*) { delete static_cast<ButtonCookie*>(cookie); },
                            GConnectFlags{});

  d.map = std::move(map);
  d.depth = gui::LoopDepth() + 1;
  d.Deliver(kWmInitDialog, 0, 0);
  if (!d.ended && !d.gone) {
    gtk_widget_show(d.built.window);
    gui::RunNestedLoop([&d] { return d.ended || d.gone; });
  }
  if (!d.gone) gtk_widget_destroy(d.built.window);
  d.gone = true;
  return d.ended ? d.result : -1;
}

WindowHandle ModalDialog::Owner() { return m_impl->owner.Window(); }

ControlHandle ModalDialog::GetControl(int id) { return gui::FindControl(m_impl->built, id); }

void ModalDialog::CenterWindow() {
  if (m_impl->gone || !m_impl->built.window) return;
  gui::CenterOver(GTK_WINDOW(m_impl->built.window), m_impl->built.width, m_impl->built.height,
                  static_cast<GtkWindow*>(m_impl->owner.NativeWindow()));
}

void ModalDialog::SetControlText(ControlHandle control, const std::wstring& text) {
  if (gui::Control* c = gui::ControlOf(m_impl->built, control); c && !m_impl->gone) gui::SetText(*c, text);
}

void ModalDialog::EndDialog(int result) {
  if (m_impl->ended) return;
  m_impl->ended = true;
  m_impl->result = result;
}

}  // namespace platform
