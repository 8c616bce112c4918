// The last words on a processor fault (an access violation, a stack overflow), which no C++
// handler sees.
#pragma once

namespace vigilon::platform {

void SayLastWordsOnProcessorFaults();

}  // namespace vigilon::platform
