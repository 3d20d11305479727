// A stand-in for the main program, built as "Norvane.exe": one top-level
// window that ends the program (exit code 7) when it is asked to close.
//   --ignore-close   the window refuses every close request
//   --no-window      no window at all; the program waits to be ended
//   --ready <file>   the file is created once the window exists
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

bool g_ignoreClose = false;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      if (!g_ignoreClose) ::DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(7);
      return 0;
    default:
      return ::DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  bool window = true;
  std::wstring ready;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--ignore-close") g_ignoreClose = true;
    if (arg == L"--no-window") window = false;
    if (arg == L"--ready" && i + 1 < argc) ready = argv[++i];
  }
  ::LocalFree(argv);

  if (window) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"NorvaneStandIn";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    ::RegisterClassW(&wc);
    if (!::CreateWindowExW(0, wc.lpszClassName, L"Norvane", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 320, 200,
                           nullptr, nullptr, instance, nullptr))
      return 1;
  }
  if (!ready.empty()) ::CloseHandle(::CreateFileW(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!window) {
    ::Sleep(INFINITE);
    return 0;
  }
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
