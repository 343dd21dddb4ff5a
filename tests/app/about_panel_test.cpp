#include "app/about_panel.h"

#include <gtest/gtest.h>

#include <utility>

// The hovered link's underline moves from link to link and goes with the
// hover, leaving no line behind.
TEST(AboutPanel, TheUnderlineFollowsTheHoveredLinkAndGoesWithIt) {
    Widget root, first, second;
    first.bounds = Rect(10, 10, 60, 24);
    second.bounds = Rect(10, 30, 90, 44);
    ColorRect* underline = nullptr;
    for (const auto& [link, line] : {std::pair{&first, Rect(10, 22, 60, 23)}, {&second, Rect(10, 42, 90, 43)}}) {
        UnderlineLink(root, underline, link);
        ASSERT_EQ(root.ChildCount(), 1);
        EXPECT_EQ(root.Child(0)->bounds, line);
    }
    UnderlineLink(root, underline, nullptr);
    EXPECT_EQ(root.ChildCount(), 0);
    EXPECT_EQ(underline, nullptr);
}
