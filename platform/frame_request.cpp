#include "platform/frame_request.h"

#include "platform/clock.h"

#include <algorithm>

namespace {

int64_t frameDueMicros = -1;  // when the next frame is wanted; -1: not before a message

}  // namespace

void RequestFrameWithin(int32_t milliseconds) {
    const int64_t due = NowMicroseconds() + int64_t(std::max(milliseconds, 0)) * 1000;
    if (frameDueMicros < 0 || due < frameDueMicros)
        frameDueMicros = due;
}

int32_t TakeFrameRequest() {
    if (frameDueMicros < 0)
        return -1;
    const int64_t left = frameDueMicros - NowMicroseconds();
    frameDueMicros = -1;
    return left <= 0 ? 0 : static_cast<int32_t>((left + 999) / 1000);
}
