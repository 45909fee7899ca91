// Who monitors what, whose command completes, which calls are hidden, who may connect, and
// how the settings file is read.
#include <gtest/gtest.h>

#include <map>

#include "AccessRules.h"
#include "CallFilter.h"
#include "HostSettings.h"
#include "LoginThrottle.h"
#include "MonitorRegistry.h"
#include "PendingCommands.h"

TEST(HostMonitorRegistry, OpensOnTheFirstClientAndClosesAfterTheLast) {
    MonitorRegistry m;
    EXPECT_EQ(m.Add(1, "201"), MonitorRegistry::AddResult::AddedFirst);
    EXPECT_EQ(m.Add(2, "201"), MonitorRegistry::AddResult::Added);
    EXPECT_EQ(m.Add(1, "201"), MonitorRegistry::AddResult::AlreadyMonitored);
    EXPECT_EQ(m.ClientCount("201"), 2u);
    EXPECT_EQ(m.Remove(3, "201"), MonitorRegistry::RemoveResult::NotMonitored);
    EXPECT_EQ(m.Remove(1, "202"), MonitorRegistry::RemoveResult::NotMonitored);
    EXPECT_EQ(m.Remove(1, "201"), MonitorRegistry::RemoveResult::Removed);
    EXPECT_FALSE(m.IsMonitoring(1, "201"));
    EXPECT_TRUE(m.IsMonitoring(2, "201"));
    EXPECT_EQ(m.Remove(2, "201"), MonitorRegistry::RemoveResult::RemovedLast);
    EXPECT_EQ(m.Add(1, "201"), MonitorRegistry::AddResult::AddedFirst);
}

TEST(HostMonitorRegistry, ADepartingClientReleasesOnlyLinesNobodyElseWatches) {
    MonitorRegistry m;
    m.Add(1, "201");
    m.Add(1, "202");
    m.Add(2, "202");
    std::vector<std::string> closed = m.RemoveClient(1);
    EXPECT_EQ(closed, std::vector<std::string>{"201"});
    EXPECT_TRUE(m.ExtensionsOf(1).empty());
    EXPECT_EQ(m.ClientCount("202"), 1u);
    EXPECT_TRUE(m.RemoveClient(1).empty());
}

TEST(HostPendingCommands, FindsTheOwnerByTheNumberTheLibraryHandsBack) {
    PendingCommands p(4);
    std::uint32_t a = p.Add({10, "inv-a", "MakeCall", "201"});
    std::uint32_t b = p.Add({11, "inv-b", "HoldCall", "202"});
    EXPECT_NE(a, 0u);
    EXPECT_NE(a, b);
    ASSERT_NE(p.FindText(std::to_string(b).c_str()), nullptr);
    EXPECT_EQ(p.FindText(std::to_string(b).c_str())->invokeId, "inv-b");
    EXPECT_EQ(p.Find(a)->client, 10u);
    for (const char* junk : {"", "0", "x1", "-1", "1x", "99999999999", " 1"})
        EXPECT_EQ(p.FindText(junk), nullptr) << junk;
    EXPECT_EQ(p.FindText(nullptr), nullptr);
    p.DropClient(10);
    EXPECT_EQ(p.Find(a), nullptr);
    EXPECT_NE(p.Find(b), nullptr);
    // Four newer commands reuse every place: the old number no longer names a command.
    for (int i = 0; i < 4; ++i) p.Add({12, "", "AnswerCall", "203"});
    EXPECT_EQ(p.Find(b), nullptr);
}

TEST(HostCallFilter, HidesCallsByNumberPrefixUntilTheyAreCleared) {
    CallFilter f("2", "0049");
    EXPECT_TRUE(f.HidesNumber(true, "202"));
    EXPECT_FALSE(f.HidesNumber(true, "0301234"));
    EXPECT_FALSE(f.HidesNumber(false, "202"));
    EXPECT_TRUE(f.HidesNumber(false, "004930123"));
    EXPECT_FALSE(f.HidesNumber(false, "004"));
    EXPECT_TRUE(f.Judge(0, 77, true, "203"));
    EXPECT_TRUE(f.IsHidden(0, 77));
    EXPECT_FALSE(f.IsHidden(1, 77));
    EXPECT_FALSE(f.Judge(1, 78, true, "0301"));
    EXPECT_FALSE(f.IsHidden(1, 78));
    f.Forget(0, 77);
    EXPECT_FALSE(f.IsHidden(0, 77));
    EXPECT_EQ(f.TrackedCalls(), 0u);
    CallFilter none("", "");
    EXPECT_FALSE(none.HidesNumber(true, ""));
    EXPECT_FALSE(none.Judge(0, 1, false, "123"));
}

TEST(HostAccessRules, PasswordComparison) {
    EXPECT_TRUE(ConstantTimeEquals("s3cret", "s3cret"));
    EXPECT_FALSE(ConstantTimeEquals("s3cre", "s3cret"));
    EXPECT_FALSE(ConstantTimeEquals("s3crett", "s3cret"));
    EXPECT_FALSE(ConstantTimeEquals("S3cret", "s3cret"));
    EXPECT_FALSE(ConstantTimeEquals(std::string("s3cret\0", 7), "s3cret"));
    EXPECT_FALSE(ConstantTimeEquals("", ""));  // no password configured is never a match
}

TEST(HostAccessRules, AllowedAddressesAndNetworks) {
    AddressList any;
    EXPECT_TRUE(any.Parse(""));
    EXPECT_TRUE(any.Allows(0x0A000001));
    AddressList list;
    EXPECT_TRUE(list.Parse("127.0.0.1, 192.168.10.0/24;10.0.0.0/8"));
    EXPECT_TRUE(list.Allows(0x7F000001));
    EXPECT_FALSE(list.Allows(0x7F000002));
    EXPECT_TRUE(list.Allows(0xC0A80AFE));
    EXPECT_FALSE(list.Allows(0xC0A80B01));
    EXPECT_TRUE(list.Allows(0x0AFFFFFF));
    AddressList typo;
    std::string bad;
    EXPECT_FALSE(typo.Parse("127.0.0.256 localhost 10.1.2.3/33", &bad));
    EXPECT_EQ(bad, "127.0.0.256");
    EXPECT_FALSE(typo.Allows(0x7F000001));  // a list of errors lets nobody in
    AddressList all;
    EXPECT_TRUE(all.Parse("0.0.0.0/0"));
    EXPECT_TRUE(all.Allows(0xDEADBEEF));
    std::uint32_t a = 0;
    EXPECT_FALSE(ParseIPv4("1.2.3", a));
    EXPECT_FALSE(ParseIPv4("1.2.3.4.5", a));
    EXPECT_FALSE(ParseIPv4("1.2.3.0004", a));
    EXPECT_TRUE(ParseIPv4("1.2.3.4", a));
    EXPECT_EQ(a, 0x01020304u);
}

TEST(HostSettingsFile, ValuesOfTheSettingsFileAndTheirFallbacks) {
    std::map<std::string, std::string> ini;
    auto lookup = [&ini](const char* key) { return ini.count(key) ? ini[key] : std::string(); };
    HostSettings d = SettingsFromLookup(lookup);
    EXPECT_EQ(d.port, 25001u);
    EXPECT_EQ(d.useProtocol, 1);
    EXPECT_EQ(d.startDelay, 0u);
    EXPECT_EQ(d.loginTimeout, 10u);
    EXPECT_EQ(d.keepAlive, 30u);
    EXPECT_TRUE(d.alternateAddress);
    ini = {{"Port", "4711"},   {"UseProtocol", "7"}, {"StartDelay", "5000"}, {"FilterInbound", "0049"},
           {"Password", "pw"}, {"KeepAlive", "0"},   {"LoginTimeout", "0"},  {"AlternateAddress", "0"}};
    HostSettings s = SettingsFromLookup(lookup);
    EXPECT_EQ(s.port, 4711u);
    EXPECT_EQ(s.useProtocol, 3);  // the applet's rule: the low two bits
    EXPECT_EQ(s.startDelay, 999u);
    EXPECT_EQ(s.filterInbound, "0049");
    EXPECT_EQ(s.password, "pw");
    EXPECT_EQ(s.keepAlive, 0u);
    EXPECT_EQ(s.loginTimeout, 10u);
    EXPECT_FALSE(s.alternateAddress);
    ini = {{"Port", "70000"}, {"UseProtocol", "0"}, {"StartDelay", "-3"}};
    s = SettingsFromLookup(lookup);
    EXPECT_EQ(s.port, 25001u);
    EXPECT_EQ(s.useProtocol, 0);
    EXPECT_EQ(s.startDelay, 0u);
    ini = {{"Port", "0"}, {"UseProtocol", "x"}};
    s = SettingsFromLookup(lookup);
    EXPECT_EQ(s.port, 25001u);
    EXPECT_EQ(s.useProtocol, 1);
}

TEST(HostLoginThrottle, DelaysGrowThenTheAddressIsLockedOutAndALaterSuccessForgets) {
    LoginThrottle t(300);
    const std::uint32_t a = 0x7F000001, b = 0x0A000001;
    std::uint64_t now = 1000;
    for (int n = 0; n < 3; ++n) EXPECT_EQ(t.Failed(a, now), LoginThrottle::Outcome::Counted);
    EXPECT_EQ(t.WaitSeconds(a, now), 0u) << "three mistakes cost nothing";
    std::uint32_t expected[] = {1, 2, 4, 8, 16, 32};
    for (std::uint32_t wait : expected) {
        EXPECT_EQ(t.Failed(a, now), LoginThrottle::Outcome::Delayed);
        EXPECT_EQ(t.WaitSeconds(a, now), wait);
        EXPECT_EQ(t.WaitSeconds(a, now + wait * 1000 - 1), 1u);
        now += wait * 1000;
        EXPECT_EQ(t.WaitSeconds(a, now), 0u);
    }
    EXPECT_EQ(t.Failed(a, now), LoginThrottle::Outcome::LockedOut);
    EXPECT_EQ(t.WaitSeconds(a, now), 300u);
    EXPECT_EQ(t.WaitSeconds(b, now), 0u) << "another address is not touched";
    now += 300 * 1000;
    EXPECT_EQ(t.WaitSeconds(a, now), 0u);
    EXPECT_EQ(t.Failed(a, now), LoginThrottle::Outcome::Counted) << "after the lockout the count starts afresh";
    t.Succeeded(a);
    EXPECT_EQ(t.Failures(a), 0u);
}

TEST(HostSettingsFile, SettingsThatMustStopTheStart) {
    HostSettings s;
    EXPECT_EQ(SettingsProblem(s), "");
    s.password = std::string(64, 'p');
    EXPECT_EQ(SettingsProblem(s), "");
    s.password = std::string(65, 'p');
    EXPECT_NE(SettingsProblem(s), "");
    for (const char* bad : {"a{b", "a}b", "a\tb", "a\x7f"}) {
        s.password = bad;
        EXPECT_NE(SettingsProblem(s), "") << bad;
    }
    s.password = "Zebra 42";
    s.listenAddress = "127.0.0.1";
    EXPECT_EQ(SettingsProblem(s), "");
    s.listenAddress = "localhost";
    EXPECT_NE(SettingsProblem(s), "");
    EXPECT_EQ(SettingsTextProblem("; comment\r\n  [general]  \r\nPort=1\r\n"), "");
    EXPECT_EQ(SettingsTextProblem("[Other]\r\nPort=1\r\n"), "the file has no [General] section");
    EXPECT_EQ(SettingsTextProblem("x=[General]\r\n"), "the file has no [General] section");
    EXPECT_EQ(SettingsTextProblem(std::string("[General]\r\n\0\x01", 13)), "the file is not text");
    HostSettings fromFile = SettingsFromLookup([](const char* key) {
        return std::string(key) == "IdleTimeout" ? "0" : std::string(key) == "MaxClientsPerAddress" ? "999" : "";
    });
    EXPECT_EQ(fromFile.idleTimeout, 0u);
    EXPECT_EQ(fromFile.maxClientsPerAddress, 32u);
    EXPECT_EQ(fromFile.loginLockout, 300u);
}
