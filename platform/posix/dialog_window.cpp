// The main dialog on GTK: a hidden-until-shown top-level window whose
// messages (the worker's sends, posts to itself, timer events, keys and the
// close box) all reach the dialog's message map on the GTK thread.
#include <gtk/gtk.h>

#include <atomic>
#include <deque>
#include <map>

#include "platform/gui.h"
#include "platform/posix/dialog_builder.h"
#include "platform/posix/gui_loop.h"
#include "platform/posix/message_box.h"
#include "platform/posix/message_window.h"
#include "platform/posix/shell_open.h"

namespace platform {

namespace {

struct PostSource {
  GSource source;
  DialogWindow::Impl* impl;
};

struct TimerCookie {
  DialogWindow::Impl* impl;
  std::uintptr_t id;
  unsigned serial;
};

bool IsEnter(guint key) { return key == GDK_KEY_Return || key == GDK_KEY_KP_Enter || key == GDK_KEY_ISO_Enter; }

}  // namespace

struct DialogWindow::Impl {
  struct Posted {
    unsigned message;
    int depth;  // loop depth at which it was posted
  };
  struct Timer {
    GSource* source;
    unsigned serial;
  };

  Impl(DialogWindow& owner, const DialogTemplate& t, std::function<void(DialogWindow&)> hint)
      : self(owner), dialog(t), runHint(std::move(hint)) {}

  DialogWindow& self;
  const DialogTemplate& dialog;
  std::function<void(DialogWindow&)> runHint;
  gui::BuiltDialog built;
  MessageMap map;
  std::unique_ptr<MessageWindow> messages;
  bool created = false;
  bool destroyed = false;
  bool filter = false;  // registered with the loop: Return and Escape are commands
  std::deque<Posted> posted;
  GSource* postSource = nullptr;
  std::map<std::uintptr_t, Timer> timers;
  unsigned nextSerial = 0;

  GtkWindow* Native() const { return built.window ? GTK_WINDOW(built.window) : nullptr; }

  std::intptr_t Deliver(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (destroyed || !map) return 0;
    std::intptr_t result = 0;
    if (map(message, wParam, lParam, result)) return result;
    // A close request the dialog does not handle itself is its Cancel.
    if (message == kWmClose && !destroyed) map(kWmCommand, static_cast<std::uintptr_t>(kIdCancel), 0, result);
    return 0;
  }

  // A message posted at some depth waits for the loop of that depth (or an
  // outer one): a loop that the posting handler started later never sees it.
  std::deque<Posted>::iterator NextPosted() {
    const int depth = gui::LoopDepth();
    for (auto it = posted.begin(); it != posted.end(); ++it)
      if (it->depth >= depth) return it;
    return posted.end();
  }
  bool HasPosted() { return NextPosted() != posted.end(); }
  void DispatchOnePosted() {
    const auto it = NextPosted();
    if (it == posted.end()) return;
    const unsigned message = it->message;
    posted.erase(it);
    Deliver(message, 0, 0);
  }

  void StopAllSources() {
    for (auto& [id, timer] : timers) {
      g_source_destroy(timer.source);
      g_source_unref(timer.source);
    }
    timers.clear();
    if (postSource) {
      g_source_destroy(postSource);
      g_source_unref(postSource);
      postSource = nullptr;
    }
    posted.clear();
  }

  static gboolean PostPrepare(GSource* source, gint* timeout) {
    *timeout = -1;
    return reinterpret_cast<PostSource*>(source)->impl->HasPosted();
  }
  static gboolean PostCheck(GSource* source) { return reinterpret_cast<PostSource*>(source)->impl->HasPosted(); }
  static gboolean PostDispatch(GSource* source, GSourceFunc, gpointer) {
    reinterpret_cast<PostSource*>(source)->impl->DispatchOnePosted();
    return G_SOURCE_CONTINUE;
  }

  static gboolean OnTimer(gpointer data) {
    const auto cookie = *static_cast<TimerCookie*>(data);
    const auto it = cookie.impl->timers.find(cookie.id);
    // A timer stopped (or restarted) after this event was due has no event.
    if (it == cookie.impl->timers.end() || it->second.serial != cookie.serial) return G_SOURCE_REMOVE;
    cookie.impl->Deliver(kWmTimer, cookie.id, 0);
    return G_SOURCE_CONTINUE;
  }

  // The worker's sends wake the loop up from the worker's thread; the handle
  // travels by value, as the window may be gone by the time the loop runs.
  static gboolean DispatchSends(gpointer handle) {
    MessageWindow::DispatchPending(static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(handle)));
    return G_SOURCE_REMOVE;
  }

  static gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto* impl = static_cast<Impl*>(data);
    // A box or the confirmation dialog is open over us: no input.
    if (gui::LoopDepth() > 0) return TRUE;
    if (!impl->filter) return FALSE;
    if (IsEnter(event->keyval)) {
      impl->Deliver(kWmCommand, static_cast<std::uintptr_t>(kIdOk), 0);
      return TRUE;
    }
    if (event->keyval == GDK_KEY_Escape) {
      impl->Deliver(kWmCommand, static_cast<std::uintptr_t>(kIdCancel), 0);
      return TRUE;
    }
    return FALSE;
  }

  static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
    auto* impl = static_cast<Impl*>(data);
    // The window is only ever destroyed by the dialog itself.
    if (gui::LoopDepth() == 0) impl->Deliver(kWmClose, 0, 0);
    return TRUE;
  }
};

namespace {

GSourceFuncs kPostFuncs = {DialogWindow::Impl::PostPrepare, DialogWindow::Impl::PostCheck,
                           DialogWindow::Impl::PostDispatch, nullptr, nullptr, nullptr};

}  // namespace

DialogWindow::DialogWindow(const DialogTemplate& dialog, std::function<void(DialogWindow&)> runHintDialog)
    : m_impl(std::make_unique<Impl>(*this, dialog, std::move(runHintDialog))) {}

DialogWindow::~DialogWindow() {
  m_impl->StopAllSources();
  m_impl->messages.reset();
  if (m_impl->built.window) gtk_widget_destroy(m_impl->built.window);
}

bool DialogWindow::Create(MessageMap map) {
  Impl& d = *m_impl;
  if (d.created) return !d.destroyed;
  d.created = true;
  d.built = gui::BuildDialog(d.dialog, GTK_WINDOW_TOPLEVEL);
  if (!d.built.window) return false;
  g_signal_connect(d.built.window, "key-press-event", G_CALLBACK(Impl::OnKey), &d);
  g_signal_connect(d.built.window, "delete-event", G_CALLBACK(Impl::OnDelete), &d);

  auto handle = std::make_shared<std::atomic<std::uintptr_t>>(0);
  d.messages = std::make_unique<MessageWindow>(
      [&d](unsigned m, std::uintptr_t w, std::intptr_t l) { return d.Deliver(m, w, l); },
      [handle] {
        g_idle_add_full(G_PRIORITY_DEFAULT, Impl::DispatchSends, reinterpret_cast<gpointer>(handle->load()), nullptr);
      });
  handle->store(static_cast<std::uintptr_t>(d.messages->Handle()));

  d.postSource = g_source_new(&kPostFuncs, sizeof(PostSource));
  reinterpret_cast<PostSource*>(d.postSource)->impl = &d;
  g_source_set_priority(d.postSource, G_PRIORITY_DEFAULT);
  // Posted messages are handled inside the boxes of other posted messages.
  g_source_set_can_recurse(d.postSource, TRUE);
  g_source_attach(d.postSource, nullptr);

  d.map = std::move(map);
  d.Deliver(kWmInitDialog, 0, 0);
  return !d.destroyed;
}

void DialogWindow::Show() {
  if (m_impl->built.window && !m_impl->destroyed) gtk_widget_show(m_impl->built.window);
}

void* DialogWindow::NativeWindow() const { return m_impl->destroyed ? nullptr : m_impl->Native(); }

WindowHandle DialogWindow::Window() {
  return m_impl->messages && !m_impl->destroyed ? m_impl->messages->Handle() : WindowHandle::None;
}

ControlHandle DialogWindow::GetControl(int id) { return gui::FindControl(m_impl->built, id); }

void DialogWindow::CenterWindow() {
  if (m_impl->destroyed) return;
  gui::CenterOver(m_impl->Native(), m_impl->built.width, m_impl->built.height, nullptr);
}

void DialogWindow::SetIcons() {
  if (!m_impl->destroyed) gui::SetWindowIcons(m_impl->Native(), m_impl->dialog.icons);
}

void DialogWindow::AddToMessageLoop() { m_impl->filter = true; }
void DialogWindow::RemoveFromMessageLoop() { m_impl->filter = false; }

int DialogWindow::ShowMessage(const std::wstring& text, const std::wstring& caption, MessageButtons buttons) {
  // A box needs a living owner, as on every window system.
  if (m_impl->destroyed || !m_impl->built.window) return 0;
  return gui::RunMessageBox(m_impl->Native(), text, caption, buttons);
}

void DialogWindow::ShowControl(ControlHandle control, bool visible) {
  if (gui::Control* c = gui::ControlOf(m_impl->built, control); c && !m_impl->destroyed)
    gtk_widget_set_visible(c->widget, visible);
}

void DialogWindow::SetControlText(ControlHandle control, const std::wstring& text) {
  if (gui::Control* c = gui::ControlOf(m_impl->built, control); c && !m_impl->destroyed) gui::SetText(*c, text);
}

namespace {

void ShowProgress(gui::Control& bar) {
  const double span = bar.high - bar.low;
  gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(bar.widget), span > 0 ? (bar.pos - bar.low) / span : 0.0);
}

int Clamp(int pos, int low, int high) { return pos < low ? low : pos > high ? high : pos; }

}  // namespace

void DialogWindow::SetProgressRange(ControlHandle bar, int low, int high) {
  gui::Control* c = gui::ControlOf(m_impl->built, bar);
  if (!c || c->kind != ControlKind::ProgressBar || m_impl->destroyed) return;
  c->low = low;
  c->high = high < low ? low : high;
  c->pos = Clamp(c->pos, c->low, c->high);
  ShowProgress(*c);
}

void DialogWindow::SetProgressPos(ControlHandle bar, int pos) {
  gui::Control* c = gui::ControlOf(m_impl->built, bar);
  if (!c || c->kind != ControlKind::ProgressBar || m_impl->destroyed) return;
  c->pos = Clamp(pos, c->low, c->high);
  ShowProgress(*c);
}

void DialogWindow::StartTimer(std::uintptr_t id, unsigned milliseconds) {
  Impl& d = *m_impl;
  if (d.destroyed) return;
  StopTimer(id);
  GSource* source = g_timeout_source_new(milliseconds);
  // Timer events come last, when nothing else is waiting, and also inside
  // the boxes of the timer's own handler.
  g_source_set_priority(source, G_PRIORITY_LOW);
  g_source_set_can_recurse(source, TRUE);
  const unsigned serial = ++d.nextSerial;
  g_source_set_callback(source, Impl::OnTimer, new TimerCookie{&d, id, serial},
                        [](gpointer cookie) { delete static_cast<TimerCookie*>(cookie); });
  g_source_attach(source, nullptr);
  d.timers[id] = {source, serial};
}

void DialogWindow::StopTimer(std::uintptr_t id) {
  const auto it = m_impl->timers.find(id);
  if (it == m_impl->timers.end()) return;
  g_source_destroy(it->second.source);
  g_source_unref(it->second.source);
  m_impl->timers.erase(it);
}

void DialogWindow::PostToSelf(unsigned message) {
  if (m_impl->destroyed || !m_impl->postSource) return;
  m_impl->posted.push_back({message, gui::LoopDepth()});
}

void DialogWindow::OpenProgram(const std::wstring& file) { gui::OpenWithShell(file); }

void DialogWindow::RunHintDialog() {
  if (!m_impl->destroyed && m_impl->runHint) m_impl->runHint(*this);
}

void DialogWindow::DestroyDialog() {
  Impl& d = *m_impl;
  if (d.destroyed || !d.created) return;
  d.Deliver(kWmDestroy, 0, 0);
  d.destroyed = true;
  d.StopAllSources();
  // Boxes and dialogs owned by the window go with it.
  if (d.built.window) gtk_widget_destroy(d.built.window);
  d.built.window = nullptr;
  d.built.controls.clear();
  // Releases a worker waiting in a send, and turns later sends away.
  d.messages.reset();
}

void DialogWindow::QuitLoop(int code) { gui::RequestQuit(code); }

}  // namespace platform
