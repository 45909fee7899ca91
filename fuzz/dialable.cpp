// The dialable-number builder over any destination, dialling location and translation answer.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <string>

#include "DialableNumber.h"
#include "FuzzCheck.h"

namespace {

bool AllOf(const char* text, const char* allowed) {
    for (; *text; ++text)
        if (!std::strchr(allowed, *text)) return false;
    return true;
}

// A location text as start-up leaves it: at most 30 characters, digits in the common case.
void LocationText(FuzzedDataProvider& data, bool digitsOnly, char (&out)[32]) {
    std::string text = data.ConsumeRandomLengthString(30);
    std::string kept;
    for (char c : text)
        if (c && (!digitsOnly || (c >= '0' && c <= '9'))) kept += c;
    std::snprintf(out, sizeof out, "%s", kept.c_str());
}

struct Translation {
    std::string answer;
};

bool Translate(void* context, const char* canonical, std::uint32_t, char* out, std::size_t outSize) {
    FUZZ_CHECK(canonical[0] == '+' && std::strlen(canonical) <= 30);
    const Translation* t = static_cast<const Translation*>(context);
    if (t->answer.empty()) return false;
    std::snprintf(out, outSize, "%s", t->answer.c_str());
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    bool digitsOnly = data.ConsumeBool();
    linvoq::DialingContext ctx = {};
    ctx.dwCountry = data.ConsumeIntegralInRange<std::uint32_t>(0, 999);
    std::snprintf(ctx.szCountry, sizeof ctx.szCountry, "%u", static_cast<unsigned>(ctx.dwCountry));
    ctx.dwCountryLen = static_cast<std::uint32_t>(std::strlen(ctx.szCountry));
    LocationText(data, digitsOnly, ctx.szOutsideAccess);
    LocationText(data, digitsOnly, ctx.szLongDistanceAccess);
    LocationText(data, digitsOnly, ctx.szAreaCode);
    LocationText(data, digitsOnly, ctx.szPbxBase);
    std::snprintf(
        ctx.szFullPbxPrefix, sizeof ctx.szFullPbxPrefix, "%.30s",
        (std::string(ctx.szOutsideAccess) + ctx.szLongDistanceAccess + ctx.szAreaCode + ctx.szPbxBase).c_str());
    ctx.dwFullPbxPrefixLen = static_cast<std::uint32_t>(std::strlen(ctx.szFullPbxPrefix));
    std::snprintf(ctx.szLocalPbxPrefix, sizeof ctx.szLocalPbxPrefix, "%.30s",
                  (std::string(ctx.szOutsideAccess) + ctx.szPbxBase).c_str());
    ctx.dwLocalPbxPrefixLen = static_cast<std::uint32_t>(std::strlen(ctx.szLocalPbxPrefix));
    ctx.dwMaxInternLen = data.ConsumeIntegralInRange<std::uint32_t>(0, 8);

    Translation prefixAnswer{data.ConsumeRandomLengthString(40)};
    char result[linvoq::DIALABLE_LEN];
    linvoq::BuildDialableNumber(ctx, linvoq::InternationalTestNumber(ctx), Translate, &prefixAnswer, result);
    linvoq::DeriveInternationalPrefix(ctx, result);
    FUZZ_CHECK(ctx.dwIntlPrefixLen == std::strlen(ctx.szIntlPrefix) && ctx.dwIntlPrefixLen <= 30);

    Translation answer{data.ConsumeRandomLengthString(64)};
    std::string destination = data.ConsumeRemainingBytesAsString();
    std::memset(result, 'x', sizeof result);
    linvoq::BuildDialableNumber(ctx, destination.c_str(), Translate, &answer, result);
    FUZZ_CHECK(std::strlen(result) < linvoq::DIALABLE_LEN);
    if (digitsOnly) {
        // Digits only, "#", "*" and brackets of an internal number, or the rebuilt
        // "+CC REST" when the translation gave nothing.
        if (result[0] == '+')
            FUZZ_CHECK(AllOf(result + 1, "0123456789 ") &&
                       std::string(answer.answer.c_str()).find_first_of("0123456789") == std::string::npos);
        else
            FUZZ_CHECK(AllOf(result, "0123456789"));
    }
    return 0;
}
