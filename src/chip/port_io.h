// The port-I/O driver interface the system calls: the seven driver exports with the
// results the system relies on. Bound to kestrel.dll on Windows, to the simulator natively.
#pragma once

#include <cstdint>

namespace vigilon::chip {

class PortIo {
 public:
  virtual ~PortIo() = default;
  // 0 = ready, anything else = failure.
  virtual int16_t LoadKestrelVxD() = 0;
  // Declared for completeness; the system never unloads the driver.
  virtual int16_t UnLoadKestrelVxD() = 0;
  // 0 = success.
  virtual int16_t InitialBus(int16_t mode, uint8_t a, uint8_t b, uint8_t c) = 0;
  virtual uint8_t InPortB(uint16_t port) = 0;
  virtual void OutPortB(uint16_t port, uint8_t value) = 0;
  // Nonzero = the right to shut the system down was obtained.
  virtual int16_t EnablePri() = 0;
  virtual int16_t DisablePri() = 0;
};

}  // namespace vigilon::chip
