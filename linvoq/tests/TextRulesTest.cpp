#include <gtest/gtest.h>

#include <string>

#include "TextRules.h"

using namespace linvoq;

namespace {
std::string Plausible(std::string name) {
    char out[32] = "stale";
    PlausibleAddressFromName(&name[0], out, sizeof out);
    return out;
}
}  // namespace

TEST(PlausibleAddress, TakesTheLastOfUpToFourDigitWords) {
    EXPECT_EQ(Plausible("Phone 12 ext 3456"), "3456");
    EXPECT_EQ(Plausible("Port 7 ext 205"), "205");
    EXPECT_EQ(Plausible("12 34 56 78 90"), "78");  // only four words are looked at
    EXPECT_EQ(Plausible("12 34 5 6"), "34");       // single digits do not count
    EXPECT_EQ(Plausible("a1b2"), "");              // digits split by letters are words of one
    EXPECT_EQ(Plausible("Port 7"), "");
    EXPECT_EQ(Plausible(""), "");
}

TEST(PlausibleAddress, OverlongWordEndsTheSplit) {
    EXPECT_EQ(Plausible("55 1234567890123456789012345678901 66"), "55");
    EXPECT_EQ(Plausible("1234567890123456789012345678901 66"), "");
    EXPECT_EQ(Plausible("123456789012345678901234567890"), "123456789012345678901234567890");
}

TEST(PlausibleAddress, BlanksTheCallersText) {
    std::string name = "Tel 42-7";
    char out[32];
    PlausibleAddressFromName(&name[0], out, sizeof out);
    EXPECT_EQ(name, "    42 7");
    EXPECT_STREQ(out, "42");
}

TEST(NumberFilters, PartyNumbersKeepDialableCharacters) {
    char a[] = "+49 (30) 1234";
    FilterPartyNumber(a);
    EXPECT_STREQ(a, "+49(30)1234");
    char b[] = "tel:030/12-34#*";
    FilterPartyNumber(b);
    EXPECT_STREQ(b, "0301234");
}

TEST(NumberFilters, PlusBeforeZeroIsDropped) {
    char a[] = "+0301234";
    DropPlusBeforeZero(a);
    EXPECT_STREQ(a, "0301234");
    char b[] = "+49301234";
    DropPlusBeforeZero(b);
    EXPECT_STREQ(b, "+49301234");
    char c[] = "+";
    DropPlusBeforeZero(c);
    EXPECT_STREQ(c, "+");
}

TEST(NumberFilters, DigitsOnlyAndCopyLimits) {
    char a[] = "030-1234";
    KeepDigits(a);
    EXPECT_STREQ(a, "0301234");
    char out[8];
    CopyText(out, sizeof out, "1234567890", 30);
    EXPECT_STREQ(out, "1234567");
    CopyText(out, sizeof out, "1234567890", 3);
    EXPECT_STREQ(out, "123");
    CopyText(out, sizeof out, nullptr, 3);
    EXPECT_STREQ(out, "");
}
