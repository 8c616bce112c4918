// The port-I/O interface bound to kestrel.dll, loaded from the program's own folder.
#pragma once

#include <string>

#include "chip/port_io.h"

namespace vigilon::platform {

// Takes the program's folder and the current folder out of the library search, for every
// library the process loads from now on (Windows' own delay-loaded ones too). First of all.
void NarrowLibrarySearch();

class KestrelPortIo : public chip::PortIo {
 public:
  // `dllPath` is the full path of kestrel.dll, UTF-8; nothing is loaded until LoadKestrelVxD.
  explicit KestrelPortIo(std::string dllPath) : dllPath_(std::move(dllPath)) {}
  ~KestrelPortIo() override = default;  // the driver stays loaded until the process ends

  // A missing library or a missing export is a load failure like the driver's own.
  int16_t LoadKestrelVxD() override;
  int16_t UnLoadKestrelVxD() override;
  int16_t InitialBus(int16_t mode, uint8_t a, uint8_t b, uint8_t c) override;
  uint8_t InPortB(uint16_t port) override;
  void OutPortB(uint16_t port, uint8_t value) override;
  int16_t EnablePri() override;
  int16_t DisablePri() override;

 private:
  using Fn0 = short(__stdcall*)();
  using FnBus = short(__stdcall*)(short, unsigned char, unsigned char, unsigned char);
  using FnIn = unsigned char(__stdcall*)(short);
  using FnOut = void(__stdcall*)(short, unsigned char);

  std::string dllPath_;
  Fn0 load_ = nullptr;
  Fn0 unload_ = nullptr;
  FnBus initialBus_ = nullptr;
  FnIn in_ = nullptr;
  FnOut out_ = nullptr;
  Fn0 enablePri_ = nullptr;
  Fn0 disablePri_ = nullptr;
};

}  // namespace vigilon::platform
