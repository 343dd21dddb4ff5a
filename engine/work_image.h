#pragma once

#include "core/image.h"

#include <new>

// Sizes a work image of a pass. The passes cannot go on without their
// buffers, so a failed allocation leaves by an exception instead of a later
// write through a null pointer.
template <typename T>
void allocateOrThrow(Image<T>& image, int32_t width, int32_t height) {
    if (!image.resize(width, height))
        throw std::bad_alloc();
}
