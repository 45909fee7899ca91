// Texts of the simulated devices: kept as UTF-16, handed out as TAPI text parts.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

namespace tapisim {

std::wstring WideFromAnsi(const char* text);  // Windows ANSI code page; null gives ""
std::wstring WideFromUtf8(const std::string& text);
std::string AnsiFromWide(const std::wstring& text);
std::string AnsiFromWide(const wchar_t* text);  // null gives ""

// The bytes of one text in a TAPI structure, terminator included: UTF-16 when unicode, else
// ANSI. An empty text gives no bytes (its size and offset then read 0).
std::string TextPart(const std::wstring& text, bool unicode);
// A list of texts, each terminated, closed by one more terminator (device class lists).
std::string TextListPart(std::initializer_list<const wchar_t*> texts, bool unicode);

}  // namespace tapisim
