#pragma once

// The program's text is UTF-8 bytes; the Windows API takes UTF-16. Every
// call that hands text to Windows or takes it back converts here.

#include "core/strings.h"

#include <string>

// Bytes that are not UTF-8 become U+FFFD; embedded NULs are kept.
std::wstring Widen(const char* text, int32_t length);
std::wstring Widen(const String& text);
// Up to the first NUL when length is negative.
String Narrow(const wchar_t* text, int32_t length = -1);
