#include "platform/input_state.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

TEST(InputState, ClickWithinOneFrameReadsHeldForExactlyThatFrame) {
    InputState s;
    s.OnButtonDown(MouseLeft);
    s.OnButtonUp(MouseLeft);
    s.TakeSnapshot(0, 0, true);
    EXPECT_EQ(std::pair(0u, 0), std::pair(s.doubleClicked, s.wheel));  // nothing double-clicked or turned yet
    EXPECT_EQ(std::pair(true, true), std::pair(s.IsHeld(MouseLeft), s.WasPressed(MouseLeft)));
    // A double click holds and presses too; the wheel counts notches, whatever each one's size.
    s.OnDoubleClick(MouseRight);
    for (int32_t delta : {120, 3, -120, 0, 1})
        s.OnWheel(delta);
    s.TakeSnapshot(0, 0, true);
    EXPECT_EQ(std::tuple(false, true, true, uint32_t(MouseRight), 2),
              std::tuple(s.IsHeld(MouseLeft) || s.WasPressed(MouseLeft), s.IsHeld(MouseRight), s.WasPressed(MouseRight),
                         s.doubleClicked, s.wheel));
    s.TakeSnapshot(0, 0, true);
    EXPECT_EQ(std::tuple(false, 0u, 0), std::tuple(s.WasPressed(MouseRight), s.doubleClicked, s.wheel));
}

TEST(InputState, ButtonHeldAcrossFramesIsPressedOnlyInTheFirst) {
    InputState s;
    s.OnButtonDown(MouseRight);
    s.TakeSnapshot(0, 0, true);
    EXPECT_EQ(std::pair(s.held, s.pressed), std::pair(uint32_t(MouseRight), uint32_t(MouseRight)));
    s.OnButtonDown(MouseMiddle);
    s.TakeSnapshot(0, 0, true);
    EXPECT_EQ(std::pair(s.held, s.pressed), std::pair(uint32_t(MouseRight | MouseMiddle), uint32_t(MouseMiddle)));
    s.OnButtonUp(MouseRight);
    s.TakeSnapshot(0, 0, true);
    EXPECT_EQ(std::pair(s.held, s.pressed), std::pair(uint32_t(MouseMiddle), 0u));
}

TEST(InputState, KeysKeepArrivalOrderAndEmptyAfterTheirFrame) {
    InputState s;
    s.OnCharacter('x');
    for (NativeKey key : {NativeKey::Left, NativeKey::Delete, NativeKey::F10, NativeKey::Up, NativeKey::Down,
                          NativeKey::PageUp, NativeKey::PageDown})
        s.OnKeyDown(key);
    for (uint32_t c : {uint32_t('y'), 9u, 10u, 31u, 32u, 127u, 128u})  // a tab keeps its code; 32..127 are themselves
        s.OnCharacter(c);
    s.TakeSnapshot(0, 0, true);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.keys.data), s.keys.length),
              std::string({'x', 1, 11, 23, 3, 4, 5, 6, 'y', 9, ' ', 127}));
    s.TakeSnapshot(0, 0, true);
    EXPECT_EQ(s.keys.length, 0);
}
