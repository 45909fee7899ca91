#include "DialableNumber.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "TextRules.h"

namespace linvoq {

namespace {

const std::size_t kMaxText = 30;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Keeps "#", "(", ")", "*", digits and the first "+"; a later "+" becomes a blank, anything else goes.
void FilterDestination(char* text) {
    char* out = text;
    bool plusSeen = false;
    for (const char* in = text; *in; ++in) {
        char c = *in;
        if (c == '+') {
            *out++ = plusSeen ? ' ' : '+';
            plusSeen = true;
        } else if (IsDigit(c) || c == '#' || c == '(' || c == ')' || c == '*') {
            *out++ = c;
        }
    }
    *out = '\0';
}

void Prepend(char* text, const char* prefix) {
    char joined[96];
    std::snprintf(joined, sizeof joined, "%s%s", prefix, text);
    CopyText(text, DIALABLE_LEN, joined, kMaxText);
}

bool StartsWith(const char* text, const char* prefix, std::size_t len) {
    return len > 0 && std::strncmp(text, prefix, len) == 0;
}

void RemovePrefix(char* text, std::size_t len) { std::memmove(text, text + len, std::strlen(text + len) + 1); }

void BuildInternational(const DialingContext& ctx, char* text, TranslateFn translate, void* context) {
    char digits[DIALABLE_LEN];
    CopyText(digits, sizeof digits, text + 1, kMaxText);
    KeepDigits(digits);
    int n = CountryCodeLength(digits);
    char cc[4] = {};
    std::strncpy(cc, digits, static_cast<std::size_t>(n));
    const char* rest = std::strlen(digits) > static_cast<std::size_t>(n) ? digits + n : "";
    char rebuilt[96];
    std::snprintf(rebuilt, sizeof rebuilt, "+%s %s", cc, rest);
    CopyText(text, DIALABLE_LEN, rebuilt, kMaxText);

    if (!std::strncmp(text, "+49 0", 5) || !std::strncmp(text, "+41 0", 5) || !std::strncmp(text, "+43 0", 5))
        RemovePrefix(text + 4, 1);

    std::uint32_t options = (cc[0] && std::strtoul(cc, nullptr, 10) == ctx.dwCountry) ? TRANSLATE_FORCELD : 0;
    char dialable[4096];
    if (translate && translate(context, text, options, dialable, sizeof dialable) && dialable[0]) {
        CopyText(text, DIALABLE_LEN, dialable, kMaxText);
        KeepDigits(text);
    }
}

void BuildNational(const DialingContext& ctx, char* text) {
    KeepDigits(text);
    if (ctx.szOutsideAccess[0] && std::strlen(text) > ctx.dwMaxInternLen) Prepend(text, ctx.szOutsideAccess);
    // Dialled abroad into the own country: national form instead.
    if (StartsWith(text, ctx.szIntlPrefix, ctx.dwIntlPrefixLen)) {
        char national[96];
        std::snprintf(national, sizeof national, "%s%s%s", ctx.szOutsideAccess, ctx.szLongDistanceAccess,
                      text + ctx.dwIntlPrefixLen);
        CopyText(text, DIALABLE_LEN, national, kMaxText);
    }
}

}  // namespace

int CountryCodeLength(const char* digits) {
    char d1 = digits[0];
    char d2 = d1 ? digits[1] : '\0';
    switch (d1) {
    case '1':
    case '7':
        return 1;
    case '2':
        return d2 != '0' ? 3 : 2;
    case '3':
        return (d2 == '5' || d2 == '7' || d2 == '8') ? 3 : 2;
    case '4':
        return d2 == '2' ? 3 : 2;
    case '5':
        return (d2 == '0' || d2 == '9') ? 3 : 2;
    case '6':
        return (d2 == '7' || d2 == '8' || d2 == '9') ? 3 : 2;
    case '8':
        return std::strchr("035789", d2) && d2 ? 3 : 2;
    case '9':
        return (d2 == '6' || d2 == '7' || d2 == '9') ? 3 : 2;
    default:
        return 3;
    }
}

char* BuildDialableNumber(const DialingContext& ctx, const char* destination, TranslateFn translate, void* context,
                          char* result) {
    CopyText(result, DIALABLE_LEN, destination ? destination : "", DIALABLE_LEN - 1);
    FilterDestination(result);
    if (result[0] == '+')
        BuildInternational(ctx, result, translate, context);
    else
        BuildNational(ctx, result);
    // Numbers that lead back into the own PBX shrink to the bare extension.
    if (ctx.szPbxBase[0]) {
        if (StartsWith(result, ctx.szFullPbxPrefix, ctx.dwFullPbxPrefixLen))
            RemovePrefix(result, ctx.dwFullPbxPrefixLen);
        if (StartsWith(result, ctx.szLocalPbxPrefix, ctx.dwLocalPbxPrefixLen))
            RemovePrefix(result, ctx.dwLocalPbxPrefixLen);
    }
    return result;
}

const char* InternationalTestNumber(const DialingContext& ctx) {
    return ctx.dwCountry == 49 ? "+91 (11) 66666666" : "+49 (30) 66666666";
}

void DeriveInternationalPrefix(DialingContext& ctx, const char* dialableTestNumber) {
    char prefix[DIALABLE_LEN];
    CopyText(prefix, sizeof prefix, dialableTestNumber, kMaxText);
    if (char* at = std::strstr(prefix, "493066")) *at = '\0';
    if (char* at = std::strstr(prefix, "911166")) *at = '\0';
    char joined[96];
    std::snprintf(joined, sizeof joined, "%s%s", prefix, ctx.szCountry);
    CopyText(ctx.szIntlPrefix, sizeof ctx.szIntlPrefix, joined, kMaxText);
    ctx.dwIntlPrefixLen = static_cast<std::uint32_t>(std::strlen(ctx.szIntlPrefix));
}

}  // namespace linvoq
