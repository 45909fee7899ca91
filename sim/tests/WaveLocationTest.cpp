// The wave devices of calls (lineGetID "wave/in", "wave/out") and tapiGetLocationInfo.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "TestSupport.h"

using namespace simtest;

namespace {

const char kLocations[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations";

void WriteCurrentLocation(DWORD country, const char* area) {
    HKEY key;
    DWORD id = 3;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kLocations, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExA(key, "CurrentID", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&id), sizeof id);
    RegCloseKey(key);
    std::string path = std::string(kLocations) + "\\Location3";
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExA(key, "Country", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&country), sizeof country);
    RegSetValueExA(key, "AreaCode", 0, REG_SZ, reinterpret_cast<const BYTE*>(area), std::strlen(area) + 1);
    RegCloseKey(key);
}

class WaveLocationTest : public ::testing::Test {
protected:
    void SetUp() override {
        simReset();
        SimLineDesc a = Extension("Office 201", "201");
        simAddLine(&a);
        simAddLine(&a);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kLocations);
    }
    void TearDown() override {
        simReset();
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kLocations);
    }
    // The wave device lineGetID names, or the error.
    LONG WaveId(DWORD hCall, const char* deviceClass, DWORD* id) {
        std::vector<unsigned char> buf = Buffer(92);
        LONG r = lineGetID(0, 0, hCall, LINECALLSELECT_CALL, As<VARSTRING>(buf), deviceClass);
        if (r == 0) {
            EXPECT_EQ(As<VARSTRING>(buf)->dwStringFormat, static_cast<DWORD>(STRINGFORMAT_BINARY));
            EXPECT_EQ(As<VARSTRING>(buf)->dwStringSize, 4u);
            EXPECT_EQ(As<VARSTRING>(buf)->dwStringOffset, 24u);
            std::memcpy(id, buf.data() + 24, sizeof *id);
        }
        return r;
    }
};

}  // namespace

TEST_F(WaveLocationTest, CallsNameTheirLinesWaveDevices) {
    LineApp app;
    HLINE h = app.Open(1);
    ASSERT_NE(h, 0u);
    SimCallDesc c = {};
    c.state = LINECALLSTATE_CONNECTED;
    DWORD hCall = simCreateCall(1, &c);
    DWORD id = 99;
    ASSERT_EQ(WaveId(hCall, "wave/out", &id), 0);
    EXPECT_EQ(id, 0u);
    ASSERT_EQ(WaveId(hCall, "WAVE/IN", &id), 0);
    EXPECT_EQ(id, 0u);

    simSetWaveDevices(1, 3, 5);
    ASSERT_EQ(WaveId(hCall, "wave/in", &id), 0);
    EXPECT_EQ(id, 3u);
    ASSERT_EQ(WaveId(hCall, "wave/out", &id), 0);
    EXPECT_EQ(id, 5u);

    simSetWaveDevices(1, SIM_NO_WAVE_DEVICE, 5);
    EXPECT_EQ(WaveId(hCall, "wave/in", &id), static_cast<LONG>(LINEERR_NODEVICE));
    EXPECT_EQ(WaveId(hCall, "wave/inx", &id), static_cast<LONG>(LINEERR_INVALDEVICECLASS));
    EXPECT_EQ(WaveId(hCall, "wave", &id), static_cast<LONG>(LINEERR_INVALDEVICECLASS));
    EXPECT_EQ(WaveId(hCall + 1000, "wave/out", &id), static_cast<LONG>(LINEERR_INVALCALLHANDLE));

    // A reset gives every line its default devices back.
    simReset();
    SimLineDesc a = Extension("Office 201", "201");
    simAddLine(&a);
    simAddLine(&a);
    LineApp again;
    ASSERT_NE(again.Open(1), 0u);
    DWORD hNew = simCreateCall(1, &c);
    ASSERT_EQ(WaveId(hNew, "wave/in", &id), 0);
    EXPECT_EQ(id, 0u);
    std::vector<std::string> lines = JournalLines("lineGetID(");
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find("0x00000004, \"wave/in\", size=92) = 0"), std::string::npos) << lines.back();
}

TEST_F(WaveLocationTest, LocationInfoIsTheCurrentLocationsCountryAndAreaCode) {
    char country[8] = "x", city[8] = "x";
    EXPECT_EQ(tapiGetLocationInfoA(country, city), static_cast<LONG>(TAPIERR_REQUESTFAILED));

    WriteCurrentLocation(49, "30");
    ASSERT_EQ(tapiGetLocationInfoA(country, city), 0);
    EXPECT_STREQ(country, "49");
    EXPECT_STREQ(city, "30");

    // Codes longer than TAPI's eight-character buffers are cut, never written past them.
    WriteCurrentLocation(1, "123456789012");
    char guarded[3][8];
    std::memset(guarded, '#', sizeof guarded);
    ASSERT_EQ(tapiGetLocationInfoA(guarded[0], guarded[1]), 0);
    EXPECT_STREQ(guarded[0], "1");
    EXPECT_STREQ(guarded[1], "1234567");
    EXPECT_EQ(guarded[2][0], '#');

    wchar_t wideCountry[8] = {}, wideCity[8] = {};
    ASSERT_EQ(tapiGetLocationInfoW(wideCountry, wideCity), 0);
    EXPECT_EQ(std::wstring(wideCity), L"1234567");
    EXPECT_EQ(tapiGetLocationInfoA(nullptr, city), static_cast<LONG>(TAPIERR_REQUESTFAILED));
    EXPECT_EQ(JournalLines("tapiGetLocationInfo(").size(), 5u);
}
