#pragma once

#include "core/strings.h"

#include <cstdint>

// Mouse button bits.
enum MouseButton : uint32_t {
    MouseLeft = 1,
    MouseRight = 2,
    MouseMiddle = 4,
};

// Key codes in the key queue. Codes 32 to 127 are the typed characters.
enum KeyCode : uint8_t {
    KeyLeft = 1,
    KeyRight = 2,
    KeyUp = 3,
    KeyDown = 4,
    KeyPageUp = 5,
    KeyPageDown = 6,
    KeyHome = 7,
    KeyBackspace = 8,
    KeyTab = 9,
    KeyEnd = 10,
    KeyDelete = 11,
    KeyEscape = 12,
    KeyEnter = 13,
    KeyF1 = 14,  // F1 .. F10 are 14 .. 23
    KeyF10 = 23,
};

// One window's input. The native layer accumulates events between frames;
// TakeSnapshot() turns them into what widgets and Update() read for one
// frame.
struct InputState {
    // Accumulated between frames.
    uint32_t buttonsDown = 0;
    uint32_t buttonsPressed = 0;
    uint32_t buttonsDoubleClicked = 0;
    int32_t wheelAccumulated = 0;
    ByteArray keyQueue;

    // The frame's snapshot.
    uint32_t held = 0;           // down OR pressed: a click within one frame still reads as held
    uint32_t pressed = 0;
    uint32_t doubleClicked = 0;
    int32_t wheel = 0;
    ByteArray keys;
    int32_t mouseX = 0;          // client coordinates, may lie outside the window
    int32_t mouseY = 0;
    bool active = false;

    // Event recording (native side).
    void OnButtonDown(uint32_t button) {
        buttonsDown |= button;
        buttonsPressed |= button;
    }
    void OnButtonUp(uint32_t button) { buttonsDown &= ~button; }
    void OnDoubleClick(uint32_t button) {
        buttonsDown |= button;
        buttonsPressed |= button;
        buttonsDoubleClicked |= button;
    }
    void OnWheel(int32_t delta) { wheelAccumulated += delta > 0 ? 1 : (delta < 0 ? -1 : 0); }
    void OnKey(uint8_t code) { keyQueue.AppendByte(code); }

    // Frame snapshot: copies the accumulated half and clears it. The caller
    // supplies the pointer position and whether the window is active.
    void TakeSnapshot(int32_t x, int32_t y, bool isActive) {
        active = isActive;
        held = buttonsDown | buttonsPressed;
        pressed = buttonsPressed;
        doubleClicked = buttonsDoubleClicked;
        wheel = wheelAccumulated;
        keys.Assign(keyQueue.data, keyQueue.length);
        buttonsPressed = buttonsDoubleClicked = 0;
        wheelAccumulated = 0;
        keyQueue.Empty();
        mouseX = x;
        mouseY = y;
    }

    bool IsHeld(uint32_t button) const { return (held & button) != 0; }
    bool WasPressed(uint32_t button) const { return (pressed & button) != 0; }
};
