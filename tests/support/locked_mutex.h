// Windows-only tests: a named mutex whose descriptor lets nobody open it, as another user's
// program can leave one.
#pragma once

#include <windows.h>

namespace vigilon::test {

// An empty access list grants nothing, not even to its creator; the handle returned is the only
// way in. Null when the name could not be made.
inline HANDLE CreateMutexNobodyMayOpen(const char* name) {
  SECURITY_DESCRIPTOR descriptor;
  ACL nothingGranted;
  if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !InitializeAcl(&nothingGranted, sizeof nothingGranted, ACL_REVISION) ||
      !SetSecurityDescriptorDacl(&descriptor, TRUE, &nothingGranted, FALSE))
    return nullptr;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
  return CreateMutexA(&attributes, FALSE, name);
}

}  // namespace vigilon::test
