// How the page turns settings-file texts into numbers: the rules the service relies on too.
#include <gtest/gtest.h>

#include <climits>

#include "SettingsValues.h"

TEST(SettingsValues, DecimalConversionAsTheRuntimeReadsIt) {
    EXPECT_EQ(0, ConvertDecimal(""));
    EXPECT_EQ(0, ConvertDecimal(nullptr));
    EXPECT_EQ(0, ConvertDecimal("abc"));
    EXPECT_EQ(0, ConvertDecimal("x12"));
    EXPECT_EQ(12, ConvertDecimal("12abc"));
    EXPECT_EQ(42, ConvertDecimal(" \t42"));
    EXPECT_EQ(-7, ConvertDecimal("-7"));
    EXPECT_EQ(7, ConvertDecimal("+7"));
    EXPECT_EQ(0, ConvertDecimal("- 7"));
    EXPECT_EQ(INT_MAX, ConvertDecimal("99999999999999999999"));
    EXPECT_EQ(INT_MIN, ConvertDecimal("-99999999999999999999"));
}

TEST(SettingsValues, PortKeepsTheLow16Bits) {
    EXPECT_EQ(80u, PortFromSettingsText("80"));
    EXPECT_EQ(4464u, PortFromSettingsText("70000"));
    EXPECT_EQ(0u, PortFromSettingsText("65536")) << "starts the free-port search";
    EXPECT_EQ(0u, PortFromSettingsText(""));
    EXPECT_EQ(65535u, PortFromSettingsText("-1"));
    EXPECT_EQ(25001u, PortFromSettingsText("25001"));
}

TEST(SettingsValues, ProtocolKeepsTheLowTwoBits) {
    EXPECT_EQ(3, ProtocolFromSettingsText("7"));
    EXPECT_EQ(0, ProtocolFromSettingsText("4"));
    EXPECT_EQ(1, ProtocolFromSettingsText("1"));
    EXPECT_EQ(0, ProtocolFromSettingsText("abc"));
    EXPECT_EQ(3, ProtocolFromSettingsText("-1"));
}

TEST(SettingsValues, OnlyPortsFrom1025To65535MayBeSaved) {
    EXPECT_FALSE(IsSavablePort(0));
    EXPECT_FALSE(IsSavablePort(80));
    EXPECT_FALSE(IsSavablePort(1024));
    EXPECT_TRUE(IsSavablePort(1025));
    EXPECT_TRUE(IsSavablePort(65535));
    EXPECT_FALSE(IsSavablePort(65536));
    EXPECT_FALSE(IsSavablePort(-1)) << "a negative number taken as unsigned is far out of range";
    EXPECT_FALSE(IsSavablePort(INT_MIN + 2000));
}
