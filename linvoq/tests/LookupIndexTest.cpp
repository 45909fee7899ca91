// Lookups by address, line handle and device id must give what a walk of the line list gives
// while lines come, go, open and close.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "TestSupport.h"

using namespace tvxtest;

namespace {

char* Text(const char* s) { return const_cast<char*>(s); }

// The first match of a walk from the head, as the lookups are defined.
CLineDevice* WalkAddress(const char* address) {
    for (CLineDevice* p = CTapiApp::m_pLineFirst; p; p = p->GetNext()) {
        const char* a = p->GetAddress();
        std::size_t n = std::strlen(a), k = std::strlen(address);
        if (std::strcmp(a, address) == 0 || (n > k && a[n - k - 1] == '-' && std::strcmp(a + n - k, address) == 0))
            return p;
    }
    return nullptr;
}
CLineDevice* WalkLine(DWORD hLine) {
    for (CLineDevice* p = CTapiApp::m_pLineFirst; p; p = p->GetNext())
        if (p->GetLine() == hLine) return p;
    return nullptr;
}

class LookupIndexTest : public ::testing::Test {
protected:
    void SetUp() override { simReset(); }
    void TearDown() override {
        delete app;
        simReset();
    }
    DWORD Add(const char* name, const char* address) {
        SimLineDesc d = Line(name, address);
        return simAddLine(&d);
    }
    void Start() {
        app = new RecordingApp(1);
        ASSERT_NE(CTapiApp::m_pLineFirst, nullptr);
    }
    // Every address the test knows, its tails and the line handles in use agree with a walk.
    void ExpectInStepWithTheList() {
        for (const char* a : {"", "201", "1234", "030-1234", "12345", "34", "5", "030-12345", "301", "0"})
            EXPECT_EQ(app->GetDeviceObjectFromAddress(Text(a)), WalkAddress(a)) << "address " << a;
        for (CLineDevice* p = CTapiApp::m_pLineFirst; p; p = p->GetNext()) {
            EXPECT_EQ(app->GetDeviceObjectFromLineID(p->GetDeviceID()), p);
            EXPECT_EQ(app->GetDeviceObjectFromLine(p->GetLine()), WalkLine(p->GetLine()));
        }
        EXPECT_EQ(app->GetDeviceObjectFromLine(0), WalkLine(0));
    }
    RecordingApp* app = nullptr;
};

}  // namespace

TEST_F(LookupIndexTest, DuplicateAddressesFirstMatchWinsAndTheNextTakesOverOnRemove) {
    DWORD dashed = Add("Remote", "030-1234");
    DWORD plain = Add("Office", "1234");
    DWORD twin = Add("Office twin", "1234");
    Add("Longer", "030-12345");
    Start();
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("1234"))->GetDeviceID(), dashed);
    ExpectInStepWithTheList();

    simRemoveLine(dashed);
    Pump(2000, [&] { return app->GetDeviceObjectFromLineID(dashed) == nullptr; });
    EXPECT_EQ(app->GetDeviceObjectFromLineID(dashed), nullptr);
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("030-1234")), nullptr);
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("1234"))->GetDeviceID(), plain);

    simRemoveLine(plain);
    Pump(2000, [&] { return app->GetDeviceObjectFromLineID(plain) == nullptr; });
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("1234"))->GetDeviceID(), twin);
    ExpectInStepWithTheList();
}

TEST_F(LookupIndexTest, LinesCreatedAtRunTimeComeAfterTheListedOnes) {
    Add("Office", "201");
    Start();
    SimLineDesc dashed = Line("Remote", "030-201");
    DWORD late = simAddLine(&dashed);
    SimLineDesc other = Line("Other", "0-301");
    DWORD later = simAddLine(&other);
    simAnnounceLine(late);
    simAnnounceLine(later);
    Pump(2000, [&] { return app->GetDeviceObjectFromLineID(later) != nullptr; });
    ASSERT_NE(app->GetDeviceObjectFromLineID(late), nullptr);
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("201"))->GetDeviceID(), 0u);  // the earlier one wins
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("030-201"))->GetDeviceID(), late);
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("301"))->GetDeviceID(), later);
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("01")), nullptr);
    EXPECT_EQ(ListedDevices().back()->GetDeviceID(), later);  // appended at the end
    ExpectInStepWithTheList();
}

TEST_F(LookupIndexTest, LineHandlesFollowOpenCloseAndTheProvidersClose) {
    DWORD a = Add("A", "201");
    DWORD b = Add("B", "202");
    DWORD c = Add("C", "203");
    Start();
    app->OpenAllMonitors();
    CLineDevice* devA = app->GetDeviceObjectFromLineID(a);
    CLineDevice* devB = app->GetDeviceObjectFromLineID(b);
    CLineDevice* devC = app->GetDeviceObjectFromLineID(c);
    DWORD oldB = devB->GetLine(), oldC = devC->GetLine();
    ASSERT_NE(oldC, 0u);
    EXPECT_EQ(app->GetDeviceObjectFromLine(oldC), devC);
    ExpectInStepWithTheList();

    simCloseLine(c);  // LINE_CLOSE: the device forgets its handle
    Pump(2000, [&] { return devC->GetLine() == 0; });
    EXPECT_EQ(devC->GetLine(), 0u);
    EXPECT_EQ(app->GetDeviceObjectFromLine(oldC), nullptr);

    EXPECT_EQ(devB->CloseLineInstance(), 0);
    EXPECT_EQ(app->GetDeviceObjectFromLine(oldB), nullptr);

    DWORD oldA = devA->GetLine();
    EXPECT_EQ(devA->Open(1), 0);  // a new handle; the old one finds nothing
    EXPECT_NE(devA->GetLine(), oldA);
    EXPECT_EQ(app->GetDeviceObjectFromLine(devA->GetLine()), devA);
    EXPECT_EQ(app->GetDeviceObjectFromLine(oldA), nullptr);

    ASSERT_EQ(app->DoMonitorStart(Text("202")), 1);  // reopened after its close
    EXPECT_EQ(app->GetDeviceObjectFromLine(devB->GetLine()), devB);
    ExpectInStepWithTheList();
}

TEST_F(LookupIndexTest, ARestartedSessionFindsOnlyItsOwnDevices) {
    Add("A", "201");
    Add("B", "030-1234");
    Start();
    ASSERT_EQ(app->DoMonitorStart(Text("1234")), 1);
    DWORD handle = app->GetDeviceObjectFromAddress(Text("1234"))->GetLine();
    app->StopTapi();
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("201")), nullptr);
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("")), nullptr);
    EXPECT_EQ(app->GetDeviceObjectFromLineID(0), nullptr);
    EXPECT_EQ(app->GetDeviceObjectFromLine(handle), nullptr);

    // A new PBX with other lines: nothing of the old list is found.
    simReset();
    DWORD x = Add("X", "1234");
    Add("Y", "201");
    ASSERT_EQ(app->StartTapi(), 1);
    ASSERT_EQ(app->DoMonitorStart(Text("201")), 1);
    CLineDevice* y = app->GetDeviceObjectFromAddress(Text("201"));
    EXPECT_EQ(app->GetDeviceObjectFromLine(y->GetLine()), y);
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("1234"))->GetDeviceID(), x);
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("")), CTapiApp::m_pLineFirst);
    ExpectInStepWithTheList();
}
