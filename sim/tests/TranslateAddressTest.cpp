// lineTranslateAddress through the DLL: the location comes from the registry, the output
// structure grows like every other variable-size structure.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "TestSupport.h"

using namespace simtest;

namespace {

const char kLocations[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations";

void SetText(HKEY key, const char* name, const char* value) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), std::strlen(value) + 1);
}

void WriteLocation(DWORD id, DWORD country, const char* outside, const char* longDistance, const char* area) {
    HKEY key;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kLocations, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExA(key, "CurrentID", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&id), sizeof id);
    RegCloseKey(key);
    std::string path = std::string(kLocations) + "\\Location" + std::to_string(id);
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExA(key, "Country", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&country), sizeof country);
    SetText(key, "OutsideAccess", outside);
    SetText(key, "LongDistanceAccess", longDistance);
    SetText(key, "AreaCode", area);
    RegCloseKey(key);
}

class TranslateAddressTest : public ::testing::Test {
protected:
    void SetUp() override {
        simReset();
        SimLineDesc a = Extension("Office 201", "201");
        simAddLine(&a);
        SimLineDesc w = Extension("Office 203", "203");
        w.unicode = 1;
        simAddLine(&w);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kLocations);
    }
    void TearDown() override {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kLocations);
        simReset();
    }
    // The dialable string as text, or the error as "error 0x...".
    std::string Dialable(LineApp& app, DWORD device, const char* canonical, DWORD options) {
        DWORD buffer[64] = {};
        auto* out = reinterpret_cast<LINETRANSLATEOUTPUT*>(buffer);
        out->dwTotalSize = sizeof buffer;
        LONG r = lineTranslateAddressA(app.handle, device, kApi, canonical, 0, options, out);
        if (r) {
            char text[32];
            std::snprintf(text, sizeof text, "error 0x%08lX", static_cast<unsigned long>(r));
            return text;
        }
        const BYTE* at = reinterpret_cast<const BYTE*>(buffer) + out->dwDialableStringOffset;
        if (out->dwDialableStringSize == 0) return "<none>";
        if (device == 1) {  // the Unicode line answers UTF-16
            std::string text;
            for (const WCHAR* w = reinterpret_cast<const WCHAR*>(at); *w; ++w) text += static_cast<char>(*w);
            return text;
        }
        return reinterpret_cast<const char*>(at);
    }
};

}  // namespace

TEST_F(TranslateAddressTest, DialsFromTheCurrentLocationInTheDevicesTextFormat) {
    WriteLocation(3, 49, "0", "0", "30");
    LineApp app;
    EXPECT_EQ(Dialable(app, 0, "+91 1166666666", 0),
              "0009111666666"
              "66");
    EXPECT_EQ(Dialable(app, 0, "+49 309876543", LINETRANSLATEOPTION_FORCELD), "00309876543");
    EXPECT_EQ(Dialable(app, 1, "+49 309876543", LINETRANSLATEOPTION_FORCELD), "00309876543");
    EXPECT_EQ(Dialable(app, 0, "0301234", 0), "error 0x80000010");  // LINEERR_INVALADDRESS
    char last[200];
    simJournalGet(simJournalCount() - 1, last, sizeof last);
    EXPECT_EQ(std::string(last), "lineTranslateAddress(" + std::to_string(app.handle) +
                                     ", 0, 0x00030001, \"0301234\", 0, 0x00000000, size=256) = 0x80000010");
}

TEST_F(TranslateAddressTest, ALocationAbroadAndAMissingOne) {
    LineApp app;
    EXPECT_EQ(Dialable(app, 0, "+49 30123", 0), "error 0x8000000E");  // no location: LINEERR_INIFILECORRUPT
    WriteLocation(1, 1, "9", "1", "212");
    EXPECT_EQ(Dialable(app, 0, "+49 30 123", 0), "90114930123");
    EXPECT_EQ(Dialable(app, 0, "+1 (212) 5551234", 0), "95551234");
    EXPECT_EQ(Dialable(app, 0, "+1 (212) 5551234", LINETRANSLATEOPTION_FORCELD), "912125551234");
}

TEST_F(TranslateAddressTest, TooSmallAnOutputGetsTheNeededSizeOnly) {
    WriteLocation(1, 49, "0", "0", "30");
    LineApp app;
    LINETRANSLATEOUTPUT small = {};
    small.dwTotalSize = sizeof small;
    ASSERT_EQ(lineTranslateAddressA(app.handle, 0, kApi, "+91 1166666666", 0, 0, &small), 0);
    EXPECT_EQ(small.dwDialableStringSize, 0u);
    EXPECT_GT(small.dwNeededSize, sizeof small);
    EXPECT_EQ(small.dwDestCountry, 91u);
    small.dwTotalSize = sizeof small - 1;
    EXPECT_EQ(lineTranslateAddressA(app.handle, 0, kApi, "+91 1166666666", 0, 0, &small),
              static_cast<LONG>(LINEERR_STRUCTURETOOSMALL));
    EXPECT_EQ(lineTranslateAddressA(app.handle, 9, kApi, "+91 1166666666", 0, 0, &small),
              static_cast<LONG>(LINEERR_BADDEVICEID));
}
