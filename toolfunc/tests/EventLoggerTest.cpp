// Event-log source registration in the registry, reporting and removal.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "toolfunc/EventLogger.h"

using TOOLFUNC_service::CEventLogger;

namespace {

const std::string kLog = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";

DWORD DwordValue(const std::string& key, const char* name) {
    DWORD type = 0;
    std::string bytes;
    if (!tftest::ReadRegValue(HKEY_LOCAL_MACHINE, key, name, &type, &bytes) || type != REG_DWORD) return 0xDEAD;
    return *reinterpret_cast<const DWORD*>(bytes.data());
}

std::string TextValue(const std::string& key, const char* name) {
    DWORD type = 0;
    std::string bytes;
    if (!tftest::ReadRegValue(HKEY_LOCAL_MACHINE, key, name, &type, &bytes) || type != REG_SZ) return "<none>";
    return bytes.c_str();
}

}  // namespace

TEST(TfEventLogger, RegistersReportsAndRemovesTheSource) {
    const std::string source = tftest::UniqueName("TvxToolfuncSource");
    const std::string key = kLog + "\\" + source;
    CEventLogger logger(source.c_str(), "tfmessages.dll");
    EXPECT_EQ(DwordValue(key, "CategoryCount"), 1u);
    EXPECT_EQ(DwordValue(key, "TypesSupported"), 7u);
    const std::string file = tftest::SystemDir() + "\\tfmessages.dll";
    EXPECT_EQ(TextValue(key, "EventMessageFile"), file);
    EXPECT_EQ(TextValue(key, "ParameterMessageFile"), file);
    std::string out = tftest::RunCapture("reg.exe query \"HKLM\\" + key + "\" /v TypesSupported");
    EXPECT_NE(out.find("0x7"), std::string::npos) << out;

    EXPECT_TRUE(logger.Report(EVENTLOG_INFORMATION_TYPE, 1, 100, "Leitung %d bereit", 3));

    HKEY sub = NULL;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, (key + "\\Sub\\Deeper").c_str(), &sub), ERROR_SUCCESS);
    RegCloseKey(sub);
    EXPECT_EQ(logger.Remove(), ERROR_SUCCESS);
    EXPECT_FALSE(tftest::RegKeyExists(HKEY_LOCAL_MACHINE, key));
    EXPECT_TRUE(tftest::RegKeyExists(HKEY_LOCAL_MACHINE, kLog));
    EXPECT_EQ(logger.Remove(), ERROR_FILE_NOT_FOUND);
}

TEST(TfEventLogger, AnEmptySourceTouchesNothing) {
    CEventLogger logger("", "tfmessages.dll");
    EXPECT_EQ(TextValue(kLog, "EventMessageFile"), "<none>");
    EXPECT_EQ(logger.Remove(), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(tftest::RegKeyExists(HKEY_LOCAL_MACHINE, kLog));
}
