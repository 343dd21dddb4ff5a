#pragma once

// The program keeps every text as UTF-8 bytes; Windows takes and gives
// UTF-16. These convert at that boundary.

#include <string>

// False for bytes that are not valid UTF-8 (nothing is guessed).
bool WideFromUtf8(const char* text, size_t length, std::wstring& wide);
std::wstring WideFromUtf8(const std::string& text);  // empty when invalid
std::string Utf8FromWide(const wchar_t* text, size_t length);
std::string Utf8FromWide(const std::wstring& text);
