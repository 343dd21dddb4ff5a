#pragma once

#include "core/bitmap.h"

#include <cstdint>

// Face states: bit 1 down, bit 2 hover.
enum ButtonFaceState : int32_t {
    FaceNormal = 0,
    FaceDown = 1,
    FaceHover = 2,
    FaceHoverDown = 3,
};

// Renders one face of a button, edit field or progress bar into target
// (resized to width x height; -1 takes the default: the icon's size for an
// icon without text, otherwise 50 x 19). A down face is drawn one pixel
// lower and further right, without the shadow. In progress mode the first
// percent of the face is red and the text white.
void RenderButtonFace(int32_t state, Bitmap& target, const Bitmap* icon, const char* text, int32_t width,
                      int32_t height, bool progressMode, int32_t percent);
