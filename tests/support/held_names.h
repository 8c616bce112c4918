// Windows-only tests: named objects another program holds, such as a mutex whose descriptor lets
// nobody open it, as another user's program can leave one.
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

// Holds a name for the rest of a test, however the test ends: a failed assertion must not leave
// it held for the tests after it.
class HeldName {
 public:
  // `handle` is what creating the object returned; the last error must still be its.
  explicit HeldName(HANDLE handle)
      : handle_(handle), fresh_(GetLastError() != ERROR_ALREADY_EXISTS) {}
  ~HeldName() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  HeldName(const HeldName&) = delete;
  HeldName& operator=(const HeldName&) = delete;

  // Made by this test, not opened from someone else's.
  bool madeHere() const { return handle_ != nullptr && fresh_; }

 private:
  HANDLE handle_;
  bool fresh_;
};

}  // namespace vigilon::test
