#include "platform/input_state.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Keys(const InputState& s) { return std::string(reinterpret_cast<const char*>(s.keys.data), s.keys.length); }

}  // namespace

TEST(InputState, ClickWithinOneFrameReadsHeldForExactlyThatFrame) {
    InputState s;
    s.OnButtonDown(MouseLeft);
    s.OnButtonUp(MouseLeft);
    s.TakeSnapshot(0, 0, true);
    EXPECT_TRUE(s.IsHeld(MouseLeft));
    EXPECT_TRUE(s.WasPressed(MouseLeft));
    s.TakeSnapshot(0, 0, true);
    EXPECT_FALSE(s.IsHeld(MouseLeft));
    EXPECT_FALSE(s.WasPressed(MouseLeft));
}

TEST(InputState, ButtonHeldAcrossFramesIsPressedOnlyInTheFirst) {
    InputState s;
    s.OnButtonDown(MouseRight);
    s.TakeSnapshot(0, 0, true);
    EXPECT_EQ(s.held, uint32_t(MouseRight));
    EXPECT_EQ(s.pressed, uint32_t(MouseRight));
    s.OnButtonDown(MouseMiddle);
    s.TakeSnapshot(0, 0, true);
    EXPECT_EQ(s.held, uint32_t(MouseRight | MouseMiddle));
    EXPECT_EQ(s.pressed, uint32_t(MouseMiddle));
    s.OnButtonUp(MouseRight);
    s.TakeSnapshot(0, 0, true);
    EXPECT_EQ(s.held, uint32_t(MouseMiddle));
    EXPECT_EQ(s.pressed, 0u);
}

TEST(InputState, DoubleClickLastsOneFrame) {
    InputState s;
    s.OnButtonDown(MouseLeft);
    s.OnButtonUp(MouseLeft);
    s.OnDoubleClick(MouseLeft);
    s.OnButtonUp(MouseLeft);
    s.TakeSnapshot(0, 0, true);
    EXPECT_EQ(s.doubleClicked, uint32_t(MouseLeft));
    EXPECT_TRUE(s.IsHeld(MouseLeft));
    s.TakeSnapshot(0, 0, true);
    EXPECT_EQ(s.doubleClicked, 0u);
    EXPECT_FALSE(s.IsHeld(MouseLeft));
}

TEST(InputState, WheelCountsNotchesNotDeltas) {
    InputState s;
    s.OnWheel(120);
    s.OnWheel(240);
    s.TakeSnapshot(0, 0, true);
    EXPECT_EQ(s.wheel, 2);
    s.OnWheel(-1);
    s.OnWheel(0);
    s.TakeSnapshot(0, 0, true);
    EXPECT_EQ(s.wheel, -1);
    s.TakeSnapshot(0, 0, true);
    EXPECT_EQ(s.wheel, 0);
}

TEST(InputState, LetterArrivesOnlyThroughTheCharacterPath) {
    InputState s;
    s.OnKeyDown(NativeKey::Other);  // the letter key itself
    s.OnCharacter('a');
    s.TakeSnapshot(0, 0, true);
    EXPECT_EQ(Keys(s), "a");
}

TEST(InputState, KeyCodeTable) {
    InputState s;
    const NativeKey keys[] = {NativeKey::Left, NativeKey::Right, NativeKey::Up, NativeKey::Down,
                              NativeKey::PageUp, NativeKey::PageDown, NativeKey::Home, NativeKey::End,
                              NativeKey::Delete, NativeKey::Escape, NativeKey::F1, NativeKey::F10};
    for (NativeKey k : keys)
        s.OnKeyDown(k);
    s.OnKeyDown(NativeKey::F11);
    s.OnKeyDown(NativeKey::F12);
    s.TakeSnapshot(0, 0, true);
    EXPECT_EQ(Keys(s), std::string({1, 2, 3, 4, 5, 6, 7, 10, 11, 12, 14, 23}));

    for (int f = 0; f < 10; ++f)
        s.OnKeyDown(static_cast<NativeKey>(static_cast<int>(NativeKey::F1) + f));
    s.TakeSnapshot(0, 0, true);
    EXPECT_EQ(Keys(s), std::string({14, 15, 16, 17, 18, 19, 20, 21, 22, 23}));
}

TEST(InputState, CharacterPathKeepsControlsAndPrintablesOnly) {
    InputState s;
    for (uint32_t c : {8u, 9u, 13u, 32u, 126u, 127u})
        s.OnCharacter(c);
    // Escape as a character, other control characters, and anything above
    // 127 are dropped.
    for (uint32_t c : {0u, 1u, 10u, 27u, 31u, 128u, 233u, 0x20ACu})
        s.OnCharacter(c);
    s.TakeSnapshot(0, 0, true);
    EXPECT_EQ(Keys(s), std::string({8, 9, 13, 32, 126, 127}));
}

TEST(InputState, KeysKeepArrivalOrderAndEmptyAfterTheirFrame) {
    InputState s;
    s.OnCharacter('x');
    s.OnKeyDown(NativeKey::Left);
    s.OnCharacter('y');
    s.TakeSnapshot(0, 0, true);
    EXPECT_EQ(Keys(s), std::string({'x', 1, 'y'}));
    s.TakeSnapshot(0, 0, true);
    EXPECT_EQ(s.keys.length, 0);
}

TEST(InputState, SnapshotTakesPointerAndActiveFlag) {
    InputState s;
    s.TakeSnapshot(-20, 900, false);
    EXPECT_EQ(s.mouseX, -20);
    EXPECT_EQ(s.mouseY, 900);
    EXPECT_FALSE(s.active);
    s.TakeSnapshot(5, 6, true);
    EXPECT_TRUE(s.active);
}
