// Chip detection.
#include "chip/detect.h"

#include "chip/chip_registers.h"

namespace vigilon::chip {

using namespace reg;

namespace {
constexpr uint16_t kSuperIoPorts[] = {0x2E, 0x4E};
// Below this lie the mainboard's own devices (timers, the keyboard controller, the DMA pages);
// no monitor is placed there.
constexpr uint16_t kLowestMonitorBase = 0x100;
// What both base registers read where nothing drives the bus: its pair would be the top ports.
constexpr uint16_t kFloatingBase = 0xFFFF;
// What the driver is handed to reach a monitor without a Super-I/O device: ports 0 and 1 are
// routed to the chip at these bus addresses (0x2D, 0x49 and 0x48 shifted left by one bit).
constexpr int16_t kBusMode = 1;
constexpr uint8_t kBusMonitorAddress = 0x5A;
constexpr uint8_t kBusSecondAddress = 0x92;
constexpr uint8_t kBusThirdAddress = 0x90;

uint16_t MonitorIndexPort(uint16_t base) {
  return static_cast<uint16_t>((base & ~7u) + kMonitorIndexOffset);
}
}  // namespace

bool PlausibleMonitorBase(uint16_t base) {
  if (base < kLowestMonitorBase || base == kFloatingBase) return false;
  const uint16_t index = MonitorIndexPort(base);
  for (uint16_t config : kSuperIoPorts) {
    // The two pairs overlap when either port of one is a port of the other.
    if (index <= config + 1 && config <= index + 1) return false;
  }
  return true;
}

Detection DetectChip(MonitorChip& chip) {
  Detection d;
  ChipAccess& c = chip.access();
  // Each way the device is handed back is a configuration sequence of its own.
  auto giveDeviceBack = [&] { chip.RestoreMonitorDevice(d.SuperIoActivation); };
  {
    // The probes, the activation and the base are one configuration sequence: under one hold,
    // so that another program's entry...exit sequence cannot fall between its parts.
    const ChipAccess::Transaction sequence(c);
    c.SuperIoPort = 0;
    for (uint16_t port : kSuperIoPorts) {
      if (c.ProbeSuperIoPort(port)) {
        c.SuperIoPort = port;
        break;
      }
    }
    if (c.SuperIoPort != 0) {
      d.SuperIoActivation = c.ReadSuperIoReg(kSioActivation);
      if (d.SuperIoActivation == 0) c.WriteSuperIoReg(kSioActivation, 1);
      const uint16_t base = static_cast<uint16_t>(c.ReadSuperIoReg(kSioBaseHigh) * 256 +
                                                  c.ReadSuperIoReg(kSioBaseLow));
      if (!PlausibleMonitorBase(base)) {
        // A device that names such a base has no monitor where the program could reach it, and
        // a port there may belong to something else: none of them is touched.
        giveDeviceBack();
        d.outcome = Detection::Outcome::ChipMissing;
        return d;
      }
      c.MonitorPort = MonitorIndexPort(base);
    } else {
      c.MonitorPort = 0;  // the driver routes ports 0 and 1 to the monitor
    }
  }

  if (chip.driver().InitialBus(kBusMode, kBusMonitorAddress, kBusSecondAddress,
                               kBusThirdAddress) != 0) {
    giveDeviceBack();
    d.outcome = Detection::Outcome::BusInitFailed;
    return d;
  }

  d.VendorId = c.ReadVendorId();
  if (d.VendorId != kVendorIdNorvane) {
    giveDeviceBack();
    d.outcome = Detection::Outcome::ChipMissing;
    return d;
  }

  d.ChipId = chip.ReadChipId();
  d.model = ChipTraitsFor(d.ChipId);
  if (d.model == nullptr) {
    // Nothing else in the program knows such a chip: stop before writing any of its
    // registers, and hand the monitor device back as it was found.
    giveDeviceBack();
    d.outcome = Detection::Outcome::UnsupportedChip;
    return d;
  }
  chip.SetModel(*d.model);
  d.outcome = Detection::Outcome::Found;
  return d;
}

}  // namespace vigilon::chip
