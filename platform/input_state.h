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

// Keys as the native layer names them, before they become key codes. Only
// the keys of the key-down rows produce a code on the key-down path; every
// other key (letters, digits, F11, F12, ...) is Other there and can only
// arrive through the character path.
enum class NativeKey : uint8_t {
    Other,
    Left,
    Right,
    Up,
    Down,
    PageUp,
    PageDown,
    Home,
    End,
    Delete,
    Escape,
    F1, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11, F12,
};

// The key-down code of a key, 0 when the key has none.
inline uint8_t KeyDownCode(NativeKey key) {
    switch (key) {
    case NativeKey::Left: return KeyLeft;
    case NativeKey::Right: return KeyRight;
    case NativeKey::Up: return KeyUp;
    case NativeKey::Down: return KeyDown;
    case NativeKey::PageUp: return KeyPageUp;
    case NativeKey::PageDown: return KeyPageDown;
    case NativeKey::Home: return KeyHome;
    case NativeKey::End: return KeyEnd;
    case NativeKey::Delete: return KeyDelete;
    case NativeKey::Escape: return KeyEscape;
    case NativeKey::F11:
    case NativeKey::F12:
    case NativeKey::Other: return 0;
    default: return static_cast<uint8_t>(KeyF1 + (static_cast<int>(key) - static_cast<int>(NativeKey::F1)));
    }
}

// The code a typed character gives: backspace, tab and enter keep their
// control codes, 32 to 127 are themselves, anything else gives 0.
inline uint8_t CharacterCode(uint32_t character) {
    if (character == 8 || character == 9 || character == 13)
        return static_cast<uint8_t>(character);
    if (character >= 32 && character <= 127)
        return static_cast<uint8_t>(character);
    return 0;
}

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
    // Buttons the system says are up (its own mask, a lost grab, the focus
    // gone to another window) are up, whatever releases we missed.
    void KeepButtonsDown(uint32_t reallyDown) { buttonsDown &= reallyDown; }
    void OnDoubleClick(uint32_t button) {
        buttonsDown |= button;
        buttonsPressed |= button;
        buttonsDoubleClicked |= button;
    }
    void OnWheel(int32_t delta) { wheelAccumulated += delta > 0 ? 1 : (delta < 0 ? -1 : 0); }
    void OnKey(uint8_t code) { keyQueue.AppendByte(code); }
    // The two paths a key press takes: the key itself, then the character
    // it typed, if any. Keys and characters without a code are dropped.
    void OnKeyDown(NativeKey key) {
        if (uint8_t code = KeyDownCode(key))
            OnKey(code);
    }
    void OnCharacter(uint32_t character) {
        if (uint8_t code = CharacterCode(character))
            OnKey(code);
    }

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
