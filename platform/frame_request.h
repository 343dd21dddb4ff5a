#pragma once

#include <cstdint>

// Asks for another frame within the given milliseconds although no input
// comes: anything that changes by itself (a running job, a blinking caret)
// asks on every frame it is still changing. A frame that had input or
// painted something asks by itself.
void RequestFrameWithin(int32_t milliseconds);

// The earliest frame asked for since the last call, in milliseconds from
// now; -1 when none was. Clears the request.
int32_t TakeFrameRequest();
