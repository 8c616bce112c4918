// Build-tree paths are Unix paths; the Windows test programs see them through Wine's drive Z:.
#pragma once

#include <string>

namespace vigilon::test {

inline std::string WindowsPath(std::string path) {
  if (!path.empty() && path.front() == '/') path.insert(0, "Z:");
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

}  // namespace vigilon::test
