// UTF-8 <-> UTF-16 conversion and the long form of a full path.
#include "platform/win32/wide_text.h"

#include <windows.h>

namespace vigilon::platform {

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

std::string Narrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n,
                      nullptr, nullptr);
  return utf8;
}

std::wstring WidePath(std::string_view utf8Path) {
  return LongPathForm(Widen(utf8Path));
}

std::wstring LongPathForm(std::wstring path) {
  if (path.size() < MAX_PATH || path.starts_with(L"\\\\?\\")) return path;
  // The long form takes no "/" and no "." or ".." parts: the system no longer tidies the path.
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  if (path.size() > 2 && path[1] == L':' && path[2] == L'\\') return L"\\\\?\\" + path;
  if (path.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + path.substr(2);
  return path;  // a relative path has no long form; the program makes none
}

}  // namespace vigilon::platform
