#include "wizard_fixture.h"

#include "ui/text_label.h"

#include <clocale>
#include <cstdlib>

// GTK puts the process in the user's locale; the zoom label must read "12.5%" where the decimal point is a comma.
class ZoomLocaleTest : public WizardTest {
protected:
    void TearDown() override { std::setlocale(LC_ALL, "C"); unsetenv("LOCPATH"); WizardTest::TearDown(); }
};

TEST_F(ZoomLocaleTest, ZoomLabelKeepsTheDecimalPointUnderADecimalCommaLocale) {
    // A German locale compiled into the test's own folder, so the machine needs no generated locales.
    const std::string locales = Path("locales");
    std::filesystem::create_directory(locales);
    const std::string command = "localedef -i de_DE -f UTF-8 '" + locales + "/de_DE.UTF-8' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << "localedef and the locales package are needed";
    setenv("LOCPATH", locales.c_str(), 1);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    ASSERT_EQ(std::to_string(12.5), "12,500000");  // the locale is in force

    OpenPaths({WriteImage("a.png", Gradient(40, 30))});
    for (const char* text : {"50%", "25%", "12.5%", "6.25%"}) {
        ClickWidget(wizard->zoomOutButton);
        EXPECT_EQ(wizard->zoomLabel->text.str(), text);
    }
    for (int32_t i = 0; i < 8; ++i) ClickWidget(wizard->zoomInButton);
    EXPECT_EQ(wizard->zoomLabel->text.str(), "1600%");
}
