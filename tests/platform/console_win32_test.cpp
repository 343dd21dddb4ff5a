// On a console UTF-8 shows as its characters and escape codes are on; output into a file leaves the console alone.
// Needs a console to start with: the test run gives it a pseudo-terminal (Wine makes none without a display).
#include "platform/console.h"
#include "platform/win32/utf8_win32.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

TEST(Console, UsesUtf8AndEscapeCodesOnAConsoleOnly) {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE), out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(err, &mode))
        GTEST_SKIP() << "standard error is not a console";
    HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, console);
    ASSERT_TRUE(SetConsoleOutputCP(437));
    ASSERT_TRUE(SetConsoleMode(console, mode & ~ENABLE_VIRTUAL_TERMINAL_PROCESSING));

    // Both streams into a file (the null device): the console keeps its code page and mode.
    HANDLE file = CreateFileW(L"NUL", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetStdHandle(STD_OUTPUT_HANDLE, file);
    SetStdHandle(STD_ERROR_HANDLE, file);
    EXPECT_TRUE(PrepareConsoleOutput());
    EXPECT_EQ(437u, GetConsoleOutputCP());
    ASSERT_TRUE(GetConsoleMode(console, &mode));
    EXPECT_FALSE(mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    CloseHandle(file);

    SetStdHandle(STD_ERROR_HANDLE, console);
    EXPECT_TRUE(PrepareConsoleOutput());
    EXPECT_EQ(static_cast<UINT>(CP_UTF8), GetConsoleOutputCP());
    ASSERT_TRUE(GetConsoleMode(console, &mode));
    EXPECT_TRUE(mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING);

    // "Фото.png" as the program writes it: UTF-8 bytes through WriteFile, read back from the screen as characters.
    // (Wine's console hands escape codes on to its terminal rather than acting on them, so none is written here.)
    const std::string text = "\r\xd0\xa4\xd0\xbe\xd1\x82\xd0\xbe.png";
    CONSOLE_SCREEN_BUFFER_INFO info;
    ASSERT_TRUE(GetConsoleScreenBufferInfo(console, &info));
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
    std::wstring cells(8, L'\0');
    DWORD read = 0;
    ASSERT_TRUE(ReadConsoleOutputCharacterW(console, &cells[0], 8, COORD{0, info.dwCursorPosition.Y}, &read));
    EXPECT_EQ(L"\u0424\u043e\u0442\u043e.png", cells.substr(0, read));
    CloseHandle(console);
    SetStdHandle(STD_OUTPUT_HANDLE, out);
    SetStdHandle(STD_ERROR_HANDLE, err);
}
