// The yardstick for idle CPU: the smallest Win32 program that does what the hidden monitor does
// at rest, one window and one 10 ms timer with nothing to do.
#include <windows.h>

namespace {
LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA type{};
  type.lpfnWndProc = Procedure;
  type.hInstance = instance;
  type.lpszClassName = "IdleReference";
  RegisterClassA(&type);
  HWND window = CreateWindowA("IdleReference", "Idle reference", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                              100, nullptr, nullptr, instance, nullptr);
  SetTimer(window, 1, 10, nullptr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return 0;
}
