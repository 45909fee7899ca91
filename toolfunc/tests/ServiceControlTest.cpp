// The service functions against the real service control manager, with a test service.
#include <gtest/gtest.h>

#include <vector>

#include "TestSupport.h"
#include "toolfunc/ServiceControl.h"
#include "toolfunc/ServiceFiles.h"

using namespace TOOLFUNC_service;

namespace {

const char kService[] = "TvxToolfuncTestSvc";
const char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services\\";

struct Config {
    bool read = false;
    DWORD type = 0, start = 0, errorControl = 0;
    std::string path, display, account, dependencies;
};

Config ReadConfig(const char* name) {
    Config config;
    std::vector<char> buffer(8192);
    auto* q = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    DWORD needed = 0;
    if (!ServiceQueryConfig(name, q, static_cast<DWORD>(buffer.size()), &needed)) return config;
    config.read = true;
    config.type = q->dwServiceType;
    config.start = q->dwStartType;
    config.errorControl = q->dwErrorControl;
    config.path = q->lpBinaryPathName ? q->lpBinaryPathName : "";
    config.display = q->lpDisplayName ? q->lpDisplayName : "";
    config.account = q->lpServiceStartName ? q->lpServiceStartName : "";
    // The registry holds the list as stored (the query does not return it on every platform).
    DWORD type = 0;
    std::string bytes;
    if (tftest::ReadRegValue(HKEY_LOCAL_MACHINE, kServicesKey + std::string(name), "DependOnService", &type, &bytes)) {
        for (const char* d = bytes.c_str(); *d; d += strlen(d) + 1) config.dependencies += std::string(d) + ";";
    }
    return config;
}

// The description as the service manager stored it.
std::string Description(const char* name) {
    DWORD type = 0;
    std::string bytes;
    if (!tftest::ReadRegValue(HKEY_LOCAL_MACHINE, kServicesKey + std::string(name), "Description", &type, &bytes))
        return std::string();
    return bytes.c_str();
}

bool WaitForState(const char* name, DWORD state) {
    return tftest::WaitUntil([&] { return ServiceGetState(name) == state; }, 10000, 50);
}

class TfService : public ::testing::Test {
protected:
    void SetUp() override { RemoveLeftovers(); }
    void TearDown() override { RemoveLeftovers(); }
    static void RemoveLeftovers() {
        if (ServiceExists(kService)) {
            ServiceControl(SERVICE_CONTROL_STOP, kService, SC_MANAGER_ALL_ACCESS, SERVICE_ALL_ACCESS);
            WaitForState(kService, SERVICE_STOPPED);
            ServiceDelete(kService);
            tftest::WaitUntil([] { return !ServiceExists(kService); }, 5000);
        }
    }
    static std::string ServiceProgram() { return tftest::ExeDir() + "tf_test_service.exe"; }
    static std::string Events() { return tftest::ReadFileBytes(ServiceProgram() + ".events"); }
};

}  // namespace

TEST_F(TfService, MissingServiceGivesZeroesAndClearsTheLastError) {
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(ServiceGetState("TvxNoSuchService"), 0u);
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_FALSE(ServiceExists("TvxNoSuchService"));
    EXPECT_FALSE(ServiceControl(0, "TvxNoSuchService", SC_MANAGER_CONNECT, SERVICE_START));
    EXPECT_FALSE(ServiceDelete("TvxNoSuchService"));
}

TEST_F(TfService, InstallStartInterrogateStopDelete) {
    SetLastError(ERROR_INVALID_FUNCTION);
    ASSERT_TRUE(ServiceInstall(SERVICE_INTERACTIVE_PROCESS, kService, ServiceProgram().c_str(), SERVICE_DEMAND_START,
                               "RpcSs\0", "Ein Testdienst.", "TF Testdienst"));
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_TRUE(ServiceExists(kService));
    Config config = ReadConfig(kService);
    ASSERT_TRUE(config.read);
    EXPECT_EQ(config.type, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS));
    EXPECT_EQ(config.start, static_cast<DWORD>(SERVICE_DEMAND_START));
    EXPECT_EQ(config.errorControl, static_cast<DWORD>(SERVICE_ERROR_NORMAL));
    EXPECT_EQ(config.path, ServiceProgram());
    EXPECT_EQ(config.display, "TF Testdienst");
    EXPECT_EQ(config.dependencies, "RpcSs;");
    EXPECT_EQ(_stricmp(config.account.c_str(), "LocalSystem"), 0) << config.account;
    EXPECT_EQ(Description(kService), "Ein Testdienst.");
    EXPECT_EQ(ServiceGetState(kService), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(std::string(ServiceImagePath(kService)), ServiceProgram());

    DeleteFileA((ServiceProgram() + ".events").c_str());
    ASSERT_TRUE(ServiceControl(0, kService, SC_MANAGER_CONNECT, SERVICE_START | SERVICE_QUERY_STATUS));
    ASSERT_TRUE(WaitForState(kService, SERVICE_RUNNING));
    EXPECT_NE(Events().find("start"), std::string::npos);
    EXPECT_EQ(ServiceGetState(kService), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_TRUE(tftest::WaitUntil([] { return Events().find("interrogate") != std::string::npos; }, 3000)) << Events();

    EXPECT_TRUE(
        ServiceControl(SERVICE_CONTROL_STOP, kService, SC_MANAGER_CONNECT, SERVICE_STOP | SERVICE_QUERY_STATUS));
    EXPECT_TRUE(WaitForState(kService, SERVICE_STOPPED));
    EXPECT_NE(Events().find("stop"), std::string::npos);
    EXPECT_FALSE(ServiceControl(SERVICE_CONTROL_STOP, kService, SC_MANAGER_CONNECT,
                                SERVICE_STOP | SERVICE_QUERY_STATUS));  // not running

    EXPECT_TRUE(ServiceDelete(kService));
    EXPECT_TRUE(tftest::WaitUntil([] { return !ServiceExists(kService); }, 5000));
    DeleteFileA((ServiceProgram() + ".events").c_str());
}

namespace {

struct Poller {
    volatile LONG run = 1;
    LONG polls = 0;
};

DWORD WINAPI PollState(LPVOID parameter) {
    Poller* poller = static_cast<Poller*>(parameter);
    while (poller->run) {
        ServiceGetState(kService);
        InterlockedIncrement(&poller->polls);
        Sleep(20);
    }
    return 0;
}

}  // namespace

// The applet's monitor keeps polling while its Stop button asks the service to stop.
TEST_F(TfService, PollingWhileAStopIsAnsweredLeavesTheServiceToEndByItself) {
    ASSERT_TRUE(ServiceInstall(SERVICE_INTERACTIVE_PROCESS, kService, ServiceProgram().c_str(), SERVICE_DEMAND_START,
                               NULL, NULL, NULL));
    DeleteFileA((ServiceProgram() + ".events").c_str());
    ASSERT_TRUE(ServiceControl(0, kService, SC_MANAGER_CONNECT, SERVICE_START | SERVICE_QUERY_STATUS));
    ASSERT_TRUE(WaitForState(kService, SERVICE_RUNNING));

    Poller poller;
    HANDLE thread = CreateThread(NULL, 0, PollState, &poller, 0, NULL);
    ASSERT_TRUE(thread != NULL);
    ASSERT_TRUE(tftest::WaitUntil([&] { return poller.polls > 2; }, 5000));
    BOOL bStopAsked =
        ServiceControl(SERVICE_CONTROL_STOP, kService, SC_MANAGER_CONNECT, SERVICE_STOP | SERVICE_QUERY_STATUS);
    EXPECT_TRUE(bStopAsked) << GetLastError();
    EXPECT_TRUE(WaitForState(kService, SERVICE_STOPPED)) << ServiceGetState(kService);
    InterlockedExchange(&poller.run, 0);
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    EXPECT_NE(Events().find("end"), std::string::npos) << Events();
    DeleteFileA((ServiceProgram() + ".events").c_str());
}

TEST_F(TfService, BareProgramNameAndDefaults) {
    ASSERT_TRUE(ServiceInstall(0, kService, "tf_bare_program.exe", SERVICE_DEMAND_START, NULL, NULL, NULL));
    Config config = ReadConfig(kService);
    ASSERT_TRUE(config.read);
    EXPECT_EQ(config.path, tftest::SystemDir() + "\\tf_bare_program.exe");
    EXPECT_EQ(config.type, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    EXPECT_EQ(config.display, kService);
    EXPECT_EQ(Description(kService), "");
    EXPECT_EQ(config.dependencies, "");

    // The program does not exist: the path of the module holding the library instead.
    EXPECT_EQ(std::string(ServiceImagePath(kService)), tftest::ExeDir() + "toolfunc_tests.exe");

    SetLastError(0);
    EXPECT_FALSE(ServiceInstall(0, kService, "tf_bare_program.exe", SERVICE_DEMAND_START, NULL, NULL, NULL));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_EXISTS));
}

TEST_F(TfService, QuotedImagePathIsReadWithoutItsQuotes) {
    // As an installer registers a program whose path holds a blank.
    const std::string quoted = "\"" + ServiceProgram() + "\" -k test";
    ASSERT_TRUE(ServiceInstall(0, kService, quoted.c_str(), SERVICE_DEMAND_START, NULL, NULL, NULL));
    EXPECT_EQ(ReadConfig(kService).path, quoted);
    EXPECT_EQ(std::string(ServiceImagePath(kService)), ServiceProgram());
}

TEST_F(TfService, ImagePathOfAMissingServiceCreatesItsKey) {
    const std::string name = tftest::UniqueName("TvxToolfuncNoSvc");
    EXPECT_EQ(std::string(ServiceImagePath(name.c_str())), tftest::ExeDir() + "toolfunc_tests.exe");
    EXPECT_TRUE(tftest::RegKeyExists(HKEY_LOCAL_MACHINE, kServicesKey + name));
    tftest::DeleteRegTree(HKEY_LOCAL_MACHINE, kServicesKey + name);
}

TEST_F(TfService, TapiSrvIsMovedIntoItsOwnProcess) {
    const char* tapi = "tapisrv";
    bool existed = ServiceExists(tapi);
    DWORD originalType = SERVICE_WIN32_SHARE_PROCESS;
    if (existed) {
        originalType = ReadConfig(tapi).type;
    } else {
        SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_CREATE_SERVICE);
        ASSERT_NE(manager, (SC_HANDLE)NULL);
        SC_HANDLE service = CreateServiceA(
            manager, tapi, "Telephony", SERVICE_ALL_ACCESS, SERVICE_WIN32_SHARE_PROCESS, SERVICE_DEMAND_START,
            SERVICE_ERROR_IGNORE, "C:\\windows\\system32\\svchost.exe -k tapisrv", NULL, NULL, NULL, NULL, NULL);
        ASSERT_NE(service, (SC_HANDLE)NULL);
        CloseServiceHandle(service);
        CloseServiceHandle(manager);
    }

    TapiSrvSetOwnProcess();
    Config config = ReadConfig(tapi);
    EXPECT_EQ(config.type, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    if (!existed) {
        EXPECT_EQ(config.start, static_cast<DWORD>(SERVICE_DEMAND_START));
        EXPECT_EQ(config.errorControl, static_cast<DWORD>(SERVICE_ERROR_IGNORE));
        EXPECT_EQ(config.path, "C:\\windows\\system32\\svchost.exe -k tapisrv");
        ServiceDelete(tapi);
    } else {
        ServiceSetTypeAndDependencies(tapi, originalType, NULL);
    }
}
