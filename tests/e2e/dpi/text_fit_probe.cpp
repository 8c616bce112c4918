// A hook library that the DPI check loads into the running vigilon.exe: asked through one
// registered message, it measures, inside the program, the text of every visible static,
// button, option, check box and frame of the program's windows in the control's own font, and
// writes what each needs and what its control gives it to text-fit.txt beside the program.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Fit {
  std::string form;
  HWND window;
  std::wstring kind;
  std::wstring text;
  SIZE need;
  SIZE have;
  bool cut;  // part of the control lies outside its container
};

std::string FormName(HWND window) {
  const auto atom =
      static_cast<ATOM>(reinterpret_cast<uintptr_t>(GetPropA(window, "VigilonFormName")));
  char name[256] = {};
  const UINT length = atom != 0 ? GlobalGetAtomNameA(atom, name, sizeof name) : 0;
  return std::string(name, length);
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

// The text's extent as DrawText lays it out in the control's font: within `width` when the
// control breaks lines, on one line otherwise.
SIZE Extent(HWND window, const std::wstring& text, UINT format, int width) {
  HDC dc = GetDC(window);
  auto font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
  HGDIOBJ old = SelectObject(dc, font != nullptr ? font : GetStockObject(SYSTEM_FONT));
  RECT rect{0, 0, width, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, format | DT_CALCRECT);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

int AverageCharWidth(HWND window) {
  HDC dc = GetDC(window);
  auto font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
  HGDIOBJ old = SelectObject(dc, font != nullptr ? font : GetStockObject(SYSTEM_FONT));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return metrics.tmAveCharWidth;
}

// What the control's text needs against what the control gives it, or false for a control
// that shows no text of its own (pictures, bars, spin controls, empty labels).
bool Measure(HWND window, Fit& fit) {
  RECT client{};
  GetClientRect(window, &client);
  fit.kind = ClassOf(window);
  fit.text = TextOf(window);
  fit.have = {client.right, client.bottom};
  const auto style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
  if (_wcsicmp(fit.kind.c_str(), L"Static") == 0) {
    const DWORD type = style & SS_TYPEMASK;
    if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_LEFTNOWORDWRAP &&
        type != SS_SIMPLE)
      return false;
    if (fit.text.empty()) return false;
    const bool wraps = type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT;
    UINT format = DT_EXPANDTABS | (wraps ? DT_WORDBREAK : DT_SINGLELINE);
    if (style & SS_NOPREFIX) format |= DT_NOPREFIX;
    fit.need = Extent(window, fit.text, format, client.right);
    return true;
  }
  if (_wcsicmp(fit.kind.c_str(), L"Button") == 0) {
    if (style & (BS_ICON | BS_BITMAP)) return false;
    const DWORD type = style & BS_TYPEMASK;
    const UINT format = (style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE;
    if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
      fit.kind = L"button";
      if (fit.text.empty()) return false;
      // Text under the button's outline is hidden; the face inside it is the caption's.
      const int inset = 2 * GetSystemMetrics(SM_CXBORDER);
      fit.have = {client.right - inset, client.bottom - inset};
      fit.need = Extent(window, fit.text, format, fit.have.cx);
      return true;
    }
    const bool box = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE ||
                     type == BS_AUTO3STATE;
    const bool option = type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
    if (!box && !option) return false;
    fit.kind = box ? L"check box" : L"option";
    // The glyph, then half a character, then the caption.
    const int glyph = GetSystemMetrics(SM_CXMENUCHECK);
    fit.need = {glyph, glyph};
    if (!fit.text.empty()) {
      const int gap = AverageCharWidth(window) / 2;
      const SIZE text = Extent(window, fit.text, format, client.right - glyph - gap);
      fit.need = {glyph + gap + text.cx, std::max<LONG>(glyph, text.cy)};
    }
    return true;
  }
  if (_wcsicmp(fit.kind.c_str(), L"VigilonFrame") == 0) {
    if (fit.text.empty()) return false;
    fit.kind = L"frame";
    // The caption stands a group box's indent in from the edge and must end as far from the
    // other: 8 pixels at 96 DPI.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    auto getDpi = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    const int inset = MulDiv(8, getDpi != nullptr ? static_cast<int>(getDpi(window)) : 96, 96);
    fit.need = Extent(window, fit.text, DT_SINGLELINE, client.right);
    fit.need.cx += 2 * inset;
    return true;
  }
  return false;
}

void Walk(HWND container, const std::string& form, std::vector<Fit>& fits) {
  RECT inside{};
  GetClientRect(container, &inside);
  for (HWND child = GetWindow(container, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, container, reinterpret_cast<POINT*>(&rect), 2);
    RECT shown{};
    // Wholly outside its container it is not seen at all (rows parked beyond a frame's edge).
    if (!IntersectRect(&shown, &rect, &inside)) continue;
    Fit fit{form, child, {}, {}, {}, {}, !EqualRect(&shown, &rect)};
    if (Measure(child, fit)) fits.push_back(fit);
    Walk(child, form, fits);
  }
}

BOOL CALLBACK CollectForm(HWND window, LPARAM param) {
  auto& fits = *reinterpret_cast<std::vector<Fit>*>(param);
  const std::string form = FormName(window);
  if (!form.empty() && IsWindowVisible(window)) Walk(window, form, fits);
  return TRUE;
}

std::string Utf8(const std::wstring& wide) {
  std::string out(wide.size() * 3 + 1, '\0');
  out.resize(static_cast<size_t>(
      WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), out.data(),
                          static_cast<int>(out.size()), nullptr, nullptr)));
  return out;
}

void Report(HWND asked) {
  std::vector<Fit> fits;
  EnumThreadWindows(GetCurrentThreadId(), CollectForm, reinterpret_cast<LPARAM>(&fits));
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string file(path);
  file.resize(file.find_last_of('\\') + 1);
  file += "text-fit.txt";
  FILE* out = std::fopen((file + ".new").c_str(), "wb");
  if (out == nullptr) return;
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  auto getDpi = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
  std::fprintf(out, "dpi %u\n", getDpi != nullptr ? getDpi(asked) : 0u);
  for (const Fit& fit : fits) {
    const bool fits_ = !fit.cut && fit.need.cx <= fit.have.cx && fit.need.cy <= fit.have.cy;
    std::fprintf(out, "%s\t%s\t%d\t%ldx%ld\t%ldx%ld\t%s\t%s\n", fit.form.c_str(),
                 Utf8(fit.kind).c_str(), GetDlgCtrlID(fit.window), fit.need.cx, fit.need.cy,
                 fit.have.cx, fit.have.cy, fits_ ? "fits" : (fit.cut ? "CUT" : "CLIPPED"),
                 Utf8(fit.text).c_str());
  }
  std::fclose(out);
  MoveFileExA((file + ".new").c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    TextFitHook(int code, WPARAM wParam, LPARAM lParam) {
  static const UINT asked = RegisterWindowMessageA("VigilonTextFitProbe");
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && call->message == asked) Report(call->hwnd);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
