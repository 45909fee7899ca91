#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "DialableNumber.h"

using namespace linvoq;

namespace {

struct FakeTapi {
    std::string answer;  // dialable string to hand back, "" for a failed translation
    std::string asked;   // canonical text of the last request
    std::uint32_t options = 99;
    int calls = 0;
};

bool Translate(void* context, const char* canonical, std::uint32_t options, char* out, std::size_t outSize) {
    FakeTapi* tapi = static_cast<FakeTapi*>(context);
    ++tapi->calls;
    tapi->asked = canonical;
    tapi->options = options;
    if (tapi->answer.empty()) return false;
    std::snprintf(out, outSize, "%s", tapi->answer.c_str());
    return true;
}

// Country 49, outside line 0, long distance 0, area 30, PBX 1234; internal numbers up to 3 digits.
DialingContext Berlin() {
    DialingContext c = {};
    c.dwCountry = 49;
    std::strcpy(c.szCountry, "49");
    c.dwCountryLen = 2;
    std::strcpy(c.szOutsideAccess, "0");
    std::strcpy(c.szLongDistanceAccess, "0");
    std::strcpy(c.szAreaCode, "30");
    std::strcpy(c.szPbxBase, "1234");
    std::strcpy(c.szFullPbxPrefix, "00301234");
    c.dwFullPbxPrefixLen = 8;
    std::strcpy(c.szLocalPbxPrefix, "01234");
    c.dwLocalPbxPrefixLen = 5;
    std::strcpy(c.szIntlPrefix, "00049");
    c.dwIntlPrefixLen = 5;
    c.dwMaxInternLen = 3;
    return c;
}

std::string Dial(const DialingContext& ctx, const char* destination, FakeTapi* tapi = nullptr) {
    FakeTapi none;
    char result[DIALABLE_LEN];
    return BuildDialableNumber(ctx, destination, Translate, tapi ? tapi : &none, result);
}

}  // namespace

TEST(DialableNumber, NationalAndInternalNumbers) {
    DialingContext ctx = Berlin();
    EXPECT_EQ(Dial(ctx, "56"), "56");
    EXPECT_EQ(Dial(ctx, "030 98765-43"), "00309876543");
    EXPECT_EQ(Dial(ctx, "0049 30 1234 56"), "56");       // abroad into the own PBX
    EXPECT_EQ(Dial(ctx, "0049 40 555"), "0040555");      // abroad into the own country
    EXPECT_EQ(Dial(ctx, "(+49) 30 1234"), "049301234");  // "(" first: national form
    EXPECT_EQ(Dial(ctx, "1234 77"), "77");               // the PBX dialled locally
    EXPECT_EQ(Dial(ctx, "01234 77"), "00123477");        // a national number, no PBX
    EXPECT_EQ(Dial(ctx, "*#12#"), "12");                 // service characters never reach the line
    EXPECT_EQ(Dial(ctx, ""), "");
    EXPECT_EQ(Dial(ctx, nullptr), "");
}

TEST(DialableNumber, InternationalNumbersGoThroughTheTranslation) {
    DialingContext ctx = Berlin();
    FakeTapi tapi;
    tapi.answer = "0030 9876543";
    EXPECT_EQ(Dial(ctx, "+49 (0)30 9876543", &tapi), "00309876543");
    EXPECT_EQ(tapi.asked, "+49 309876543");  // trunk zero removed
    EXPECT_EQ(tapi.options, TRANSLATE_FORCELD);

    tapi.answer = "0001 2125551234";
    EXPECT_EQ(Dial(ctx, "+1 (212) 555-1234", &tapi), "00012125551234");
    EXPECT_EQ(tapi.asked, "+1 2125551234");
    EXPECT_EQ(tapi.options, 0u);

    EXPECT_EQ(Dial(ctx, "+49+30 9876543", &tapi), "00012125551234");
    EXPECT_EQ(tapi.asked, "+49 309876543");  // the second plus is no second number

    tapi.answer = "";  // a failing translation leaves the canonical text
    EXPECT_EQ(Dial(ctx, "+43 0 1 234", &tapi), "+43 1234");
    EXPECT_EQ(Dial(ctx, "+4", &tapi), "+4 ");
    EXPECT_EQ(Dial(ctx, "+", &tapi), "+ ");
}

TEST(DialableNumber, LongDestinationIsCutBeforeFiltering) {
    DialingContext ctx = Berlin();
    // 31 characters survive the cut, the blanks among them are then dropped.
    EXPECT_EQ(Dial(ctx, "0 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9"), "00123456789012345");
}

TEST(DialableNumber, WithoutInternationalPrefixNothingIsReplaced) {
    DialingContext ctx = Berlin();
    ctx.szIntlPrefix[0] = '\0';
    ctx.dwIntlPrefixLen = 0;
    EXPECT_EQ(Dial(ctx, "0309876543"), "00309876543");
    DialingContext bare = {};
    EXPECT_EQ(Dial(bare, "0309876543"), "0309876543");  // no outside code, no PBX
}

TEST(DialableNumber, CountryCodeLengthForEveryFirstDigit) {
    struct {
        const char* digits;
        int length;
    } cases[] = {
        {"1212", 1}, {"7495", 1}, {"20", 2}, {"27", 3}, {"21", 3}, {"2", 3},  {"30", 2}, {"35", 3},
        {"37", 3},   {"38", 3},   {"36", 2}, {"42", 3}, {"43", 2}, {"49", 2}, {"50", 3}, {"59", 3},
        {"55", 2},   {"67", 3},   {"68", 3}, {"69", 3}, {"61", 2}, {"80", 3}, {"83", 3}, {"85", 3},
        {"87", 3},   {"88", 3},   {"89", 3}, {"81", 2}, {"86", 2}, {"96", 3}, {"97", 3}, {"99", 3},
        {"91", 2},   {"0", 3},    {"", 3},   {"x1", 3}, {"8", 2},
    };
    for (const auto& c : cases) EXPECT_EQ(CountryCodeLength(c.digits), c.length) << c.digits;
}

TEST(DialableNumber, InternationalPrefixFromTheTestNumber) {
    DialingContext ctx = Berlin();
    EXPECT_STREQ(InternationalTestNumber(ctx), "+91 (11) 66666666");
    DeriveInternationalPrefix(ctx, "000911166666666");
    EXPECT_STREQ(ctx.szIntlPrefix, "00049");
    EXPECT_EQ(ctx.dwIntlPrefixLen, 5u);

    DialingContext us = {};
    us.dwCountry = 1;
    std::strcpy(us.szCountry, "1");
    EXPECT_STREQ(InternationalTestNumber(us), "+49 (30) 66666666");
    DeriveInternationalPrefix(us, "9011493066666666");
    EXPECT_STREQ(us.szIntlPrefix, "90111");
}
