#include "ui/app.h"

#include <cstdio>
#include <cstdlib>

#include "platform/gui.h"
#include "res/dialogs.h"
#include "ui/dlg_hint.h"
#include "ui/main_dlg.h"
#include "ui/update_bindings.h"
#include "ui/worker_factory.h"
#include "ui/worker_watch.h"

namespace {

void RunHintDialog(platform::DialogWindow& owner) {
  platform::ModalDialog dialog(owner, res::HintDialog());
  CDlgHint hint(dialog);
  dialog.Run([&hint](unsigned m, std::uintptr_t w, std::intptr_t l, std::intptr_t& r) {
    return hint.ProcessWindowMessage(m, w, l, r);
  });
}

int RunApp() {
  CConfigBinding config;
  const std::unique_ptr<WorkerPort> worker = MakeWorker();
  CWorkerWatch watchedWorker(*worker);
  platform::DialogWindow window(res::MainDialog(), RunHintDialog);
  CMainDlg dlg(window, config, watchedWorker);

  // The dialog's initialisation (with the configuration load and its error
  // box, owned by the still hidden window) runs inside Create.
  if (!window.Create([&dlg](unsigned m, std::uintptr_t w, std::intptr_t l, std::intptr_t& r) {
        return dlg.ProcessWindowMessage(m, w, l, r);
      }))
    return 0;
  window.Show();
  const int code = platform::RunMessageLoop();

  if (watchedWorker.Abandoned()) {
    // The user forced the close while the worker was busy: its thread may
    // still run and use the worker object and the process's globals. Nothing
    // of that may be torn down under it, so the process ends here, without
    // destructors, as a process whose last window closed would.
    std::fflush(nullptr);
    std::_Exit(code);
  }
  return code;
}

}  // namespace

int AppMain() {
  if (!platform::InitWindowSystem()) return 0;
  return RunApp();
}
