#include "platform/win32/utf8_win32.h"

#include <windows.h>

#include <climits>

bool WideFromUtf8(const char* text, size_t length, std::wstring& wide) {
    wide.clear();
    if (length == 0)
        return true;
    if (length > INT_MAX / 2)
        return false;
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, static_cast<int>(length), nullptr, 0);
    if (n <= 0)
        return false;
    wide.resize(static_cast<size_t>(n));
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, static_cast<int>(length), &wide[0], n) == n;
}

std::wstring WideFromUtf8(const std::string& text) {
    std::wstring wide;
    if (!WideFromUtf8(text.data(), text.size(), wide))
        wide.clear();
    return wide;
}

std::string Utf8FromWide(const wchar_t* text, size_t length) {
    if (length == 0 || length > INT_MAX / 4)
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return std::string();
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), &bytes[0], n, nullptr, nullptr);
    return bytes;
}

std::string Utf8FromWide(const std::wstring& text) { return Utf8FromWide(text.data(), text.size()); }
