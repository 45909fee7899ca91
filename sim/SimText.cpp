#include "SimText.h"

#include <cstring>

namespace tapisim {

namespace {
std::wstring Widen(UINT codePage, const char* text, int length) {
    if (length <= 0) return std::wstring();
    int n = MultiByteToWideChar(codePage, 0, text, length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text, length, &wide[0], n);
    return wide;
}
}  // namespace

std::wstring WideFromAnsi(const char* text) {
    return text ? Widen(CP_ACP, text, static_cast<int>(std::strlen(text))) : std::wstring();
}

std::wstring WideFromUtf8(const std::string& text) {
    return Widen(CP_UTF8, text.data(), static_cast<int>(text.size()));
}

std::string AnsiFromWide(const std::wstring& text) {
    if (text.empty()) return std::string();
    int length = static_cast<int>(text.size());
    int n = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), length, &ansi[0], n, nullptr, nullptr);
    return ansi;
}

std::string AnsiFromWide(const wchar_t* text) { return text ? AnsiFromWide(std::wstring(text)) : std::string(); }

std::string TextPart(const std::wstring& text, bool unicode) {
    if (text.empty()) return std::string();
    if (!unicode) return AnsiFromWide(text) + '\0';
    std::string bytes(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
    return bytes;
}

std::string TextListPart(std::initializer_list<const wchar_t*> texts, bool unicode) {
    std::string bytes;
    for (const wchar_t* text : texts) bytes += TextPart(text, unicode);
    bytes += unicode ? std::string(2, '\0') : std::string(1, '\0');
    return bytes;
}

}  // namespace tapisim
