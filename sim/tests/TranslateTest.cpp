// Canonical numbers dialled from a location.
#include <gtest/gtest.h>

#include "TranslateRules.h"

using namespace tapisim;

namespace {
const DialLocation kBerlin{49, "0", "0", "", "30"};
const DialLocation kNewYork{1, "9", "1", "", "212"};

std::string Dial(const DialLocation& at, const char* canonical, bool forceLd = false, uint32_t* results = nullptr) {
    Translation t;
    if (!TranslateCanonical(at, canonical, forceLd, &t)) return "<refused>";
    if (results) *results = t.results;
    return t.dialable;
}
}  // namespace

TEST(TranslateCanonical, ForeignCountryDialsOutsideInternationalAndCountry) {
    uint32_t results = 0;
    EXPECT_EQ(Dial(kBerlin, "+91 1166666666", false, &results),
              "0009111666666"
              "66");
    EXPECT_EQ(results, 0x3u);  // canonical, international
    EXPECT_EQ(Dial(kNewYork, "+49 30 123"), "90114930123");
    DialLocation ownIntl = kBerlin;
    ownIntl.internationalAccess = "99";
    EXPECT_EQ(Dial(ownIntl, "+44 20 7946"),
              "099442"
              "07946");
}

TEST(TranslateCanonical, HomeCountryChoosesLongDistanceOrLocal) {
    uint32_t results = 0;
    EXPECT_EQ(Dial(kBerlin, "+49 30 9876543", true, &results), "00309876543");
    EXPECT_EQ(results, 0x5u);  // canonical, long distance
    EXPECT_EQ(Dial(kBerlin, "+49 89 123456"), "0089123456");
    EXPECT_EQ(Dial(kNewYork, "+1 212 5551234", false, &results), "95551234");
    EXPECT_EQ(results, 0x9u);  // canonical, local
    EXPECT_EQ(Dial(kNewYork, "+1 212 5551234", true), "912125551234");
    EXPECT_EQ(Dial(kNewYork, "+1 (212) 5551234"), "95551234");
    // Without an area part the rest is dialled as it stands, the long-distance code before it.
    EXPECT_EQ(Dial(kBerlin, "+49 309876543", true), "00309876543");
}

TEST(TranslateCanonical, RefusesWhatIsNotCanonical) {
    EXPECT_EQ(Dial(kBerlin, "0301234"), "<refused>");
    EXPECT_EQ(Dial(kBerlin, "+"), "<refused>");
    EXPECT_EQ(Dial(kBerlin, "+49"), "<refused>");
    EXPECT_EQ(Dial(kBerlin, "+49 30x 1"), "<refused>");
    EXPECT_EQ(Dial(kBerlin, "+49 30 1 2"), "<refused>");
}
