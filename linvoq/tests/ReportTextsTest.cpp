// Feature texts, version texts and provider paths of the diagnostic reports.
#include <gtest/gtest.h>

#include <string>

#include "ReportTexts.h"

using namespace linvoq;

namespace {

// Names in the order the report prints them, bit by bit.
const char kAllAddressFeatures[] =
    "0x00000FFF (FORWARD MAKECALL PICKUP PICKUPDIRECT PICKUPGROUP PICKUPHELD PICKUPWAITING SETMEDIACONTROL "
    "SETTERMINAL SETUPCONF UNCOMPLETECALL UNPARK )";
const char kAllLineFeatures[] =
    "0x000001FF (DEVSPECIFIC DEVSPECIFICFEAT FORWARD FORWARDDND FORWARDFWD MAKECALL SETDEVSTATUS SETMEDIACONTROL "
    "SETTERMINAL )";
const char kAllCallFeatures[] =
    "0xFFFFFFFF (ACCEPT ADDTOCONF ANSWER BLINDTRANSFER COMPLETECALL COMPLETETRANSF DIAL DROP GATHERDIGITS "
    "GENERATEDIGITS GENERATETONE HOLD MONITORDIGITS MONITORMEDIA MONITORTONES PARK PREPAREADDCONF REDIRECT "
    "RELEASEUSERUSERINFO REMOVEFROMCONF SECURECALL SENDUSERUSER SETCALLDATA SETCALLPARAMS SETMEDIACONTROL SETQOS "
    "SETTERMINAL SETTREATMENT SETUPCONF SETUPTRANSFER SWAPHOLD UNHOLD )";
const char kAllCallFeatures2[] =
    "0x000003FF (COMPLCALLBACK COMPLCAMPON COMPLINTRUDE COMPLMESSAGE NOHOLDCONFERENCE ONESTEPTRANSFER TRANSFERCONF "
    "TRANSFERNORM PARKDIRECT PARKNONDIRECT )";

// Every single bit of a formatter gives either exactly one name of the full text or None.
void ExpectSingleBitsCoverFullText(char* (*format)(uint32_t), const std::string& full, uint32_t namedMask) {
    std::string names;
    for (int bit = 0; bit < 32; ++bit) {
        uint32_t mask = 1u << bit;
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08X (", mask);
        std::string text = format(mask);
        ASSERT_EQ(0u, text.find(hex)) << text;
        std::string inner = text.substr(12, text.size() - 13);
        if (namedMask & mask) {
            EXPECT_NE(std::string("None"), inner) << "bit " << bit;
            EXPECT_EQ(' ', inner.back()) << "bit " << bit;
            EXPECT_TRUE(full.find(" " + inner) != std::string::npos || full.find("(" + inner) != std::string::npos)
                << "bit " << bit << ": " << inner;
            names += inner;
        } else {
            EXPECT_EQ("None", inner) << "bit " << bit;
        }
        EXPECT_EQ(')', text.back());
    }
    EXPECT_EQ(full.size() - 13, names.size());  // no name twice, none missing
}

}  // namespace

TEST(FeatureTexts, NamesFollowTheirTablesOrderNotTheBitOrder) {
    EXPECT_STREQ("0x00000003 (FORWARD MAKECALL )", AddressFeaturesText(3));
    EXPECT_STREQ("0x00000600 (PICKUPDIRECT PICKUPGROUP )", AddressFeaturesText(0x600));
    EXPECT_STREQ("0x00000188 (FORWARDDND FORWARDFWD MAKECALL )", LineFeaturesText(0x188));
    EXPECT_STREQ("0x0000000C (COMPLCALLBACK COMPLCAMPON )", CallFeatures2Text(0xC));
    EXPECT_STREQ("0x000000C0 (TRANSFERCONF TRANSFERNORM )", CallFeatures2Text(0xC0));
    // The right-hand column of the call features mixes the high bits in.
    EXPECT_STREQ("0x10020000 (REDIRECT RELEASEUSERUSERINFO )", CallFeaturesText(0x10020000));
}

TEST(FeatureTexts, BitThirtyOneOfTheCallFeaturesComesAfterSendUserUser) {
    EXPECT_STREQ("0x80100000 (SENDUSERUSER SETCALLDATA )", CallFeaturesText(0x80100000));
    EXPECT_STREQ("0x80000000 (SETCALLDATA )", CallFeaturesText(0x80000000));
}

TEST(FeatureTexts, MasksWithoutNamedBitsSayNone) {
    EXPECT_STREQ("0x00000000 (None)", AddressFeaturesText(0));
    EXPECT_STREQ("0x00000200 (None)", LineFeaturesText(0x200));
    EXPECT_STREQ("0xFFFFFE00 (None)", LineFeaturesText(0xFFFFFE00));
    EXPECT_STREQ("0xFFFFFC00 (None)", CallFeatures2Text(0xFFFFFC00));
    EXPECT_STREQ("0x00000000 (None)", CallFeaturesText(0));
    // Unnamed bits beside named ones add nothing.
    EXPECT_STREQ("0x00001002 (MAKECALL )", AddressFeaturesText(0x1002));
}

TEST(FeatureTexts, FullMasksListEveryNameOnceInOrder) {
    EXPECT_STREQ(kAllAddressFeatures, AddressFeaturesText(0xFFF));
    EXPECT_STREQ(kAllLineFeatures, LineFeaturesText(0x1FF));
    EXPECT_STREQ(kAllCallFeatures, CallFeaturesText(0xFFFFFFFF));
    EXPECT_STREQ(kAllCallFeatures2, CallFeatures2Text(0x3FF));
    ExpectSingleBitsCoverFullText(AddressFeaturesText, kAllAddressFeatures, 0xFFF);
    ExpectSingleBitsCoverFullText(LineFeaturesText, kAllLineFeatures, 0x1FF);
    ExpectSingleBitsCoverFullText(CallFeaturesText, kAllCallFeatures, 0xFFFFFFFF);
    ExpectSingleBitsCoverFullText(CallFeatures2Text, kAllCallFeatures2, 0x3FF);
}

TEST(FeatureTexts, EachFormatterKeepsItsOwnBufferUntilItRunsAgain) {
    char* address = AddressFeaturesText(1);
    char* line = LineFeaturesText(8);
    char* call = CallFeaturesText(4);
    char* call2 = CallFeatures2Text(1);
    EXPECT_STREQ("0x00000001 (FORWARD )", address);
    EXPECT_STREQ("0x00000008 (MAKECALL )", line);
    EXPECT_STREQ("0x00000004 (ANSWER )", call);
    EXPECT_STREQ("0x00000001 (NOHOLDCONFERENCE )", call2);
    AddressFeaturesText(2);
    EXPECT_STREQ("0x00000002 (MAKECALL )", address);
}

TEST(VersionText, WordsOfBothHalvesInOrder) {
    char text[64];
    FormatVersionText(0x00010002, 0x00030004, text, sizeof text);
    EXPECT_STREQ("1.2.3.4", text);
    FormatVersionText(0xFFFFFFFF, 0x0000FFFF, text, sizeof text);
    EXPECT_STREQ("65535.65535.0.65535", text);
    char small[6];
    FormatVersionText(0x000A000B, 0x000C000D, small, sizeof small);
    EXPECT_STREQ("10.11", small);
}

TEST(ProviderPath, OneBackslashBetweenDirectoryAndName) {
    char path[260];
    ASSERT_TRUE(JoinSystemPath("C:\\windows\\system32", "tvxsim.tsp", path, sizeof path));
    EXPECT_STREQ("C:\\windows\\system32\\tvxsim.tsp", path);
    ASSERT_TRUE(JoinSystemPath("C:\\", "a.tsp", path, sizeof path));
    EXPECT_STREQ("C:\\a.tsp", path);
}

TEST(ProviderPath, LongNamesAreCutAndPathsThatDoNotFitAreRefused) {
    char path[600];
    std::string name(300, 'n');
    ASSERT_TRUE(JoinSystemPath("C:\\s", name.c_str(), path, sizeof path));
    EXPECT_EQ("C:\\s\\" + std::string(258, 'n'), std::string(path));
    char shortPath[260];
    EXPECT_FALSE(JoinSystemPath("C:\\windows\\system32", name.c_str(), shortPath, sizeof shortPath));
    EXPECT_STREQ("", shortPath);
    // Exactly filling the buffer still fits.
    std::string dir(259 - 1 - 5, 'd');
    EXPECT_TRUE(JoinSystemPath(dir.c_str(), "a.tsp", shortPath, sizeof shortPath));
    EXPECT_EQ(259u, std::string(shortPath).size());
}
