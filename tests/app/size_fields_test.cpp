#include "wizard_fixture.h"

#include <tuple>

class SizeFieldsTest : public WizardTest {};  // the final size fields show five digits; what they show is what runs

TEST_F(SizeFieldsTest, ALockedSideTooLargeForTheFieldsIsCappedWithItsMaster) {
    // Either side typed past five digits: the other is capped, the typed one recomputed; at 99999 exactly it stands.
    for (const auto& [size, typed, shown] :
         {std::tuple{Size{185, 187}, "98929", "98929 x 99999"}, {Size{187, 185}, "98929", "99999 x 98929"},
          {Size{10000, 100}, "1000", "99999 x 1000"}, {Size{100, 10000}, "1000", "1000 x 99999"}}) {
        OpenPaths({WriteImage("in.png", Gradient(size.width, size.height))});
        TypeInto(size.width > size.height ? wizard->heightField : wizard->widthField, typed);  // the shorter side
        EXPECT_EQ(Sizes(), shown);
    }
    // The tall picture stays open: the width typed last is the master again.
    TypeInto(wizard->heightField, "5");
    TypeInto(wizard->widthField, "9999");  // 999900: width back to 999.99
    EXPECT_EQ(Sizes(), "1000 x 99999");

    // "Photo 4x zoom" on a wide picture (120000 x 80) and on a tall one.
    for (const auto& [size, shown] : {std::pair{Size{30000, 20}, "99999 x 67"}, {Size{20, 30000}, "67 x 99999"}}) {
        OpenPaths({WriteImage("long.png", Gradient(size.width, size.height))});
        ClickWidget(wizard->presetButtons[5]);
        EXPECT_EQ(Sizes(), shown);
    }
}

TEST(FieldValueTest, FieldsAreReadInFull) {
    EditField field(Point{0, 0}, 50, "123456", "0123456789", 5);
    EXPECT_EQ(FieldValue(&field), 123456);
    field.SetText("0042x7");
    EXPECT_EQ(FieldValue(&field), 42);
    field.SetText("99999999999999");  // no overflow
    EXPECT_GT(FieldValue(&field), 99999);
    EXPECT_EQ(FieldValue(nullptr), 0);  // a field not made yet
}
