// The program's entry on Windows: the platform is set up in this order before
// the portable run (ui/app.h) and released after it.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "platform/win32/app_module.h"
#include "ui/app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  // COM for the run (the shell's open needs it); the result is not examined.
  ::CoInitialize(nullptr);
  // Settles the window system's per-thread state before any window exists.
  ::DefWindowProcW(nullptr, 0, 0, 0);
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = 8;  // the structure's size
  controls.dwICC = ICC_BAR_CLASSES;
  ::InitCommonControlsEx(&controls);
  platform::win32::Module().Init(instance, showCommand);

  const int code = AppMain();

  platform::win32::Module().Term();
  ::CoUninitialize();
  return code;
}
