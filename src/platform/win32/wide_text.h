// UTF-8 text and paths above the platform layer, UTF-16 at the Win32 boundary: the one place
// they are converted, for every Win32 side that names a file or shows a text.
#pragma once

#include <string>
#include <string_view>

namespace vigilon::platform {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

// A UTF-8 path for the wide file functions. A full path of MAX_PATH characters or more gets
// the "\\?\" form, the one every wide file function takes beyond that length whatever the
// system's long-path setting; a shorter one stays as it is.
std::wstring WidePath(std::string_view utf8Path);
std::wstring LongPathForm(std::wstring path);

}  // namespace vigilon::platform
