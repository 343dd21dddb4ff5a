#include "platform/win32/wide_text.h"

#include <windows.h>

#include <cwchar>

std::wstring Widen(const char* text, int32_t length) {
    if (!text || length <= 0)
        return std::wstring();
    int count = MultiByteToWideChar(CP_UTF8, 0, text, length, nullptr, 0);
    if (count <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(count), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, length, &wide[0], count);
    return wide;
}

std::wstring Widen(const String& text) { return Widen(text.chars(), text.length); }

String Narrow(const wchar_t* text, int32_t length) {
    if (!text)
        return String();
    if (length < 0)
        length = static_cast<int32_t>(std::wcslen(text));
    if (length == 0)
        return String();
    int count = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (count <= 0)
        return String();
    String narrow;
    narrow.SetLength(count);
    WideCharToMultiByte(CP_UTF8, 0, text, length, reinterpret_cast<char*>(narrow.data), count, nullptr, nullptr);
    return narrow;
}
