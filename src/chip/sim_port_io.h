// The native binding of the port-I/O interface: straight onto an in-process chip simulator.
#pragma once

#include "chip/port_io.h"
#include "sim/chip_sim.h"

namespace vigilon::chip {

class SimPortIo : public PortIo {
 public:
  explicit SimPortIo(sim::ChipSim& chip) : chip_(chip) {}
  int16_t LoadKestrelVxD() override { return chip_.Load(); }
  int16_t UnLoadKestrelVxD() override { return 0; }
  int16_t InitialBus(int16_t mode, uint8_t a, uint8_t b, uint8_t c) override {
    return chip_.InitialBus(mode, a, b, c);
  }
  uint8_t InPortB(uint16_t port) override { return chip_.In(port); }
  void OutPortB(uint16_t port, uint8_t value) override { chip_.Out(port, value); }
  int16_t EnablePri() override { return chip_.EnablePri(); }
  int16_t DisablePri() override { return chip_.DisablePri(); }

 private:
  sim::ChipSim& chip_;
};

}  // namespace vigilon::chip
