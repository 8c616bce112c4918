// The last words on Windows: on a fault of the processor (an access violation, a stack
// overflow) or an exception raised by the driver, which no C++ handler sees, and on abort().
#pragma once

#include <cstdint>

namespace vigilon::platform {

// Installs the unhandled-exception filter and the abort handler, and keeps a part of the
// thread's stack for them after an overflow. Called at start and again once the driver is
// loaded: a library's own filter would otherwise take the place of ours.
void SayLastWordsOnProcessorFaults();

// The driver's own port write, which the last words go through from now on.
using DriverOutPortB = void(__stdcall*)(short port, unsigned char value);
void SpeakThroughDriver(DriverOutPortB out);
// The PortOut of the last words: the driver's write when one is known, else nothing.
void DriverPortOut(uint16_t port, uint8_t value);

}  // namespace vigilon::platform
