// Variable-size structures as TAPI fills them: growth, texts, forwarding lists, VARSTRING ids.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace simtest;

namespace {

class StructureTest : public ::testing::Test {
protected:
    void SetUp() override { simUseDefaultPbx(); }
    void TearDown() override { simReset(); }
};

std::string Ansi(const void* s, DWORD offset, DWORD size) { return BytesAt(s, offset, size); }

}  // namespace

TEST_F(StructureTest, DefaultPbxHasItsExtensionsAndPhones) {
    LineApp app;
    PhoneApp phone;
    EXPECT_EQ(app.numDevs, 4u);
    EXPECT_EQ(phone.numDevs, 2u);
    std::vector<unsigned char> buf = Buffer(4096);
    for (DWORD dev = 0; dev < 4; ++dev) {
        ASSERT_EQ(lineGetDevCapsA(app.handle, dev, kApi, 0, As<LINEDEVCAPS>(buf)), 0);
        EXPECT_EQ(As<LINEDEVCAPS>(buf)->dwLineFeatures, static_cast<DWORD>(LINEFEATURE_MAKECALL));
    }
    auto address = [&](DWORD dev) {
        EXPECT_EQ(lineGetAddressCapsA(app.handle, dev, 0, kApi, 0, As<LINEADDRESSCAPS>(buf)), 0);
        LINEADDRESSCAPS* caps = As<LINEADDRESSCAPS>(buf);
        EXPECT_TRUE(caps->dwAddressFeatures & LINEADDRFEATURE_MAKECALL) << dev;
        return Ansi(caps, caps->dwAddressOffset, caps->dwAddressSize);
    };
    EXPECT_EQ(address(0), std::string("201", 4));
    EXPECT_EQ(address(1), std::string("202", 4));
    EXPECT_EQ(address(2), std::string("2\0"
                                      "0\0"
                                      "3\0"
                                      "\0",
                                      8));  // UTF-16
    EXPECT_EQ(address(3), "");
    ASSERT_EQ(lineGetDevCapsA(app.handle, 3, kApi, 0, As<LINEDEVCAPS>(buf)), 0);
    LINEDEVCAPS* port = As<LINEDEVCAPS>(buf);
    EXPECT_EQ(Ansi(port, port->dwLineNameOffset, port->dwLineNameSize), std::string("Port 7 ext 205", 15));
    EXPECT_EQ(Ansi(port, port->dwProviderInfoOffset, port->dwProviderInfoSize),
              std::string("Telvarix Simulated PBX", 23));
}

TEST_F(StructureTest, StructureGrowsToTheNeededSize) {
    LineApp app;
    std::vector<unsigned char> tooSmall = Buffer(sizeof(LINEDEVCAPS) - 1);
    EXPECT_EQ(lineGetDevCapsA(app.handle, 0, kApi, 0, As<LINEDEVCAPS>(tooSmall)),
              static_cast<LONG>(LINEERR_STRUCTURETOOSMALL));
    EXPECT_EQ(As<LINEDEVCAPS>(tooSmall)->dwNeededSize, 0xCDCDCDCDu);  // nothing written

    std::vector<unsigned char> fixedOnly = Buffer(sizeof(LINEDEVCAPS));
    ASSERT_EQ(lineGetDevCapsA(app.handle, 0, kApi, 0, As<LINEDEVCAPS>(fixedOnly)), 0);
    LINEDEVCAPS* head = As<LINEDEVCAPS>(fixedOnly);
    DWORD needed = head->dwNeededSize;
    EXPECT_GT(needed, static_cast<DWORD>(sizeof(LINEDEVCAPS)));
    EXPECT_EQ(head->dwUsedSize, static_cast<DWORD>(sizeof(LINEDEVCAPS)));
    EXPECT_EQ(head->dwLineNameSize, 0u);
    EXPECT_EQ(head->dwLineNameOffset, 0u);
    EXPECT_EQ(head->dwProviderInfoSize, 0u);
    EXPECT_EQ(head->dwNumAddresses, 1u);  // the fixed part is there all the same

    std::vector<unsigned char> exact = Buffer(needed);
    ASSERT_EQ(lineGetDevCapsA(app.handle, 0, kApi, 0, As<LINEDEVCAPS>(exact)), 0);
    LINEDEVCAPS* caps = As<LINEDEVCAPS>(exact);
    EXPECT_EQ(caps->dwNeededSize, needed);
    EXPECT_EQ(caps->dwUsedSize, needed);
    EXPECT_EQ(caps->dwStringFormat, static_cast<DWORD>(STRINGFORMAT_ASCII));
    EXPECT_EQ(Ansi(caps, caps->dwLineNameOffset, caps->dwLineNameSize), std::string("Office 201", 11));
    EXPECT_GE(caps->dwLineNameOffset, static_cast<DWORD>(sizeof(LINEDEVCAPS)));
    EXPECT_LE(caps->dwLineNameOffset + caps->dwLineNameSize, needed);
    EXPECT_LE(caps->dwProviderInfoOffset + caps->dwProviderInfoSize, needed);
}

TEST_F(StructureTest, UnicodeLineAnswersUtf16EvenThroughTheAnsiEntries) {
    LineApp app;
    std::vector<unsigned char> buf = Buffer(4096);
    ASSERT_EQ(lineGetDevCapsA(app.handle, 2, kApi, 0, As<LINEDEVCAPS>(buf)), 0);
    LINEDEVCAPS* caps = As<LINEDEVCAPS>(buf);
    EXPECT_EQ(caps->dwStringFormat, static_cast<DWORD>(STRINGFORMAT_UNICODE));
    EXPECT_EQ(WideAt(caps, caps->dwLineNameOffset, caps->dwLineNameSize), std::wstring(L"B\u00fcro 203", 9));
    EXPECT_EQ(caps->dwLineNameOffset % 2, 0u);
    ASSERT_EQ(lineGetAddressCapsA(app.handle, 2, 0, kApi, 0, As<LINEADDRESSCAPS>(buf)), 0);
    LINEADDRESSCAPS* addr = As<LINEADDRESSCAPS>(buf);
    EXPECT_EQ(WideAt(addr, addr->dwAddressOffset, addr->dwAddressSize), std::wstring(L"203", 4));

    // The W entries answer UTF-16 for an ANSI line too.
    ASSERT_EQ(lineGetDevCapsW(app.handle, 0, kApi, 0, As<LINEDEVCAPS>(buf)), 0);
    EXPECT_EQ(caps->dwStringFormat, static_cast<DWORD>(STRINGFORMAT_UNICODE));
    EXPECT_EQ(WideAt(caps, caps->dwLineNameOffset, caps->dwLineNameSize), std::wstring(L"Office 201", 11));
}

TEST_F(StructureTest, AnsiTextsOfUnicodeLinesAreConvertedFromTheCodePage) {
    simReset();
    SimLineDesc d = Extension(
        "K\xfc"
        "che",
        "204");  // "Küche" in the Windows code page
    d.unicode = 1;
    simAddLine(&d);
    LineApp app;
    std::vector<unsigned char> buf = Buffer(4096);
    ASSERT_EQ(lineGetDevCapsA(app.handle, 0, kApi, 0, As<LINEDEVCAPS>(buf)), 0);
    LINEDEVCAPS* caps = As<LINEDEVCAPS>(buf);
    EXPECT_EQ(WideAt(caps, caps->dwLineNameOffset, caps->dwLineNameSize), std::wstring(L"K\u00fcche", 6));
}

TEST_F(StructureTest, AddressCapsCarryTheLineDescription) {
    simReset();
    SimLineDesc d = Extension("Office 201", "201");
    d.numAddresses = 2;
    d.callFeatures2 = LINECALLFEATURE2_TRANSFERNORM;
    d.maxActiveCalls = 3;
    d.maxConfCalls = 5;
    simAddLine(&d);
    LineApp app;
    std::vector<unsigned char> buf = Buffer(4096);
    ASSERT_EQ(lineGetAddressCapsA(app.handle, 0, 1, kApi, 0, As<LINEADDRESSCAPS>(buf)), 0);
    LINEADDRESSCAPS* caps = As<LINEADDRESSCAPS>(buf);
    EXPECT_EQ(caps->dwLineDeviceID, 0u);
    EXPECT_EQ(caps->dwAddressFeatures, static_cast<DWORD>(LINEADDRFEATURE_MAKECALL | LINEADDRFEATURE_FORWARD));
    EXPECT_EQ(caps->dwCallFeatures, static_cast<DWORD>(LINECALLFEATURE_ANSWER | LINECALLFEATURE_DROP));
    EXPECT_EQ(caps->dwCallFeatures2, static_cast<DWORD>(LINECALLFEATURE2_TRANSFERNORM));
    EXPECT_EQ(caps->dwMaxNumActiveCalls, 3u);
    EXPECT_EQ(caps->dwMaxNumConference, 5u);
    EXPECT_EQ(Ansi(caps, caps->dwAddressOffset, caps->dwAddressSize), std::string("201", 4));
    EXPECT_EQ(lineGetAddressCapsA(app.handle, 0, 2, kApi, 0, As<LINEADDRESSCAPS>(buf)),
              static_cast<LONG>(LINEERR_INVALADDRESSID));
}

TEST_F(StructureTest, ForwardingListIsAnArrayOfLineForwardWithTextsBehindIt) {
    LineApp app;
    HLINE h = app.Open(0);
    SimForward list[] = {
        {LINEFORWARDMODE_UNCOND, nullptr, "0301234", 49},
        {0, "555", nullptr, 0},
    };
    simSetForwarding(0, list, 2, 0);

    std::vector<unsigned char> small = Buffer(sizeof(LINEADDRESSSTATUS));
    ASSERT_EQ(lineGetAddressStatusA(h, 0, As<LINEADDRESSSTATUS>(small)), 0);
    LINEADDRESSSTATUS* head = As<LINEADDRESSSTATUS>(small);
    EXPECT_EQ(head->dwForwardNumEntries, 2u);  // a count, not a location: kept
    EXPECT_EQ(head->dwForwardSize, 0u);
    EXPECT_EQ(head->dwForwardOffset, 0u);

    std::vector<unsigned char> buf = Buffer(head->dwNeededSize);
    ASSERT_EQ(lineGetAddressStatusA(h, 0, As<LINEADDRESSSTATUS>(buf)), 0);
    LINEADDRESSSTATUS* status = As<LINEADDRESSSTATUS>(buf);
    ASSERT_EQ(status->dwForwardNumEntries, 2u);
    EXPECT_EQ(status->dwForwardSize, 64u);
    EXPECT_EQ(status->dwForwardOffset % 4, 0u);
    const LINEFORWARD* fwd = reinterpret_cast<const LINEFORWARD*>(buf.data() + status->dwForwardOffset);
    EXPECT_EQ(fwd[0].dwForwardMode, static_cast<DWORD>(LINEFORWARDMODE_UNCOND));
    EXPECT_EQ(fwd[0].dwDestCountryCode, 49u);
    EXPECT_EQ(fwd[0].dwCallerAddressSize, 0u);
    EXPECT_EQ(Ansi(status, fwd[0].dwDestAddressOffset, fwd[0].dwDestAddressSize), std::string("0301234", 8));
    EXPECT_EQ(fwd[0].dwDestAddressType, static_cast<DWORD>(LINEADDRESSTYPE_PHONENUMBER));
    EXPECT_EQ(fwd[1].dwForwardMode, 0u);
    EXPECT_EQ(Ansi(status, fwd[1].dwCallerAddressOffset, fwd[1].dwCallerAddressSize), std::string("555", 4));
    EXPECT_EQ(fwd[1].dwDestAddressSize, 0u);
    EXPECT_GE(fwd[0].dwDestAddressOffset, status->dwForwardOffset + 64);

    simSetForwarding(0, nullptr, 0, 0);
    ASSERT_EQ(lineGetAddressStatusA(h, 0, As<LINEADDRESSSTATUS>(buf)), 0);
    EXPECT_EQ(status->dwForwardNumEntries, 0u);
    EXPECT_EQ(status->dwForwardSize, 0u);
    EXPECT_EQ(lineGetAddressStatusA(h, 1, As<LINEADDRESSSTATUS>(buf)), static_cast<LONG>(LINEERR_INVALADDRESSID));
}

TEST_F(StructureTest, LineDevStatusCountsTheTestsCountersAndTheCalls) {
    LineApp first, second;
    HLINE h = first.Open(0);
    second.Open(0, LINECALLPRIVILEGE_MONITOR);
    SimLineStatus counters = {1, 0, 1, LINEFEATURE_MAKECALL | LINEFEATURE_FORWARD};
    simSetLineStatus(0, &counters);
    SimCallDesc held = {};
    held.state = LINECALLSTATE_ONHOLD;
    simCreateCall(0, &held);
    SimCallDesc talking = {};
    talking.state = LINECALLSTATE_CONNECTED;
    simCreateCall(0, &talking);

    std::vector<unsigned char> buf = Buffer(sizeof(LINEDEVSTATUS));
    ASSERT_EQ(lineGetLineDevStatusA(h, As<LINEDEVSTATUS>(buf)), 0);
    LINEDEVSTATUS* status = As<LINEDEVSTATUS>(buf);
    EXPECT_EQ(status->dwNumOpens, 2u);
    EXPECT_EQ(status->dwOpenMediaModes, static_cast<DWORD>(LINEMEDIAMODE_INTERACTIVEVOICE));  // the owner's
    EXPECT_EQ(status->dwNumActiveCalls, 2u);
    EXPECT_EQ(status->dwNumOnHoldCalls, 1u);
    EXPECT_EQ(status->dwNumOnHoldPendCalls, 1u);
    EXPECT_EQ(status->dwLineFeatures, static_cast<DWORD>(LINEFEATURE_MAKECALL | LINEFEATURE_FORWARD));
    EXPECT_EQ(status->dwUsedSize, static_cast<DWORD>(sizeof(LINEDEVSTATUS)));

    std::vector<unsigned char> addr = Buffer(1024);
    ASSERT_EQ(lineGetAddressStatusA(h, 0, As<LINEADDRESSSTATUS>(addr)), 0);
    EXPECT_EQ(As<LINEADDRESSSTATUS>(addr)->dwNumActiveCalls, 2u);
    EXPECT_EQ(As<LINEADDRESSSTATUS>(addr)->dwNumOnHoldCalls, 1u);
    EXPECT_EQ(lineGetLineDevStatusA(h + 1000, As<LINEDEVSTATUS>(buf)), static_cast<LONG>(LINEERR_INVALLINEHANDLE));
}

TEST_F(StructureTest, LineIdOfACallOrALineIsTheDeviceIdBehindTheVarstring) {
    LineApp app;
    HLINE h = app.Open(1);
    SimCallDesc c = {};
    c.state = LINECALLSTATE_OFFERING;
    DWORD hCall = simCreateCall(1, &c);

    std::vector<unsigned char> fixedOnly = Buffer(sizeof(VARSTRING));
    ASSERT_EQ(lineGetID(0, 0, hCall, LINECALLSELECT_CALL, As<VARSTRING>(fixedOnly), "tapi/line"), 0);
    EXPECT_EQ(As<VARSTRING>(fixedOnly)->dwNeededSize, 28u);
    EXPECT_EQ(As<VARSTRING>(fixedOnly)->dwUsedSize, 24u);
    EXPECT_EQ(As<VARSTRING>(fixedOnly)->dwStringSize, 0u);

    std::vector<unsigned char> buf = Buffer(92);
    ASSERT_EQ(lineGetID(0, 0, hCall, LINECALLSELECT_CALL, As<VARSTRING>(buf), "tapi/line"), 0);
    VARSTRING* id = As<VARSTRING>(buf);
    EXPECT_EQ(id->dwStringFormat, static_cast<DWORD>(STRINGFORMAT_BINARY));
    EXPECT_EQ(id->dwStringSize, 4u);
    EXPECT_EQ(id->dwStringOffset, 24u);
    EXPECT_EQ(*reinterpret_cast<DWORD*>(buf.data() + 24), 1u);

    buf = Buffer(92);
    ASSERT_EQ(lineGetID(h, 0, 0, LINECALLSELECT_LINE, As<VARSTRING>(buf), "TAPI/Line"), 0);
    EXPECT_EQ(*reinterpret_cast<DWORD*>(buf.data() + 24), 1u);
    EXPECT_EQ(lineGetIDW(h, 0, 0, LINECALLSELECT_ADDRESS, As<VARSTRING>(buf), L"tapi/line"), 0);
    EXPECT_EQ(lineGetID(h, 1, 0, LINECALLSELECT_ADDRESS, As<VARSTRING>(buf), "tapi/line"),
              static_cast<LONG>(LINEERR_INVALADDRESSID));
    EXPECT_EQ(lineGetID(h, 0, 0, LINECALLSELECT_LINE, As<VARSTRING>(buf), "wave/in"),
              static_cast<LONG>(LINEERR_INVALDEVICECLASS));
    EXPECT_EQ(lineGetID(h, 0, 0, 3, As<VARSTRING>(buf), "tapi/line"), static_cast<LONG>(LINEERR_INVALCALLSELECT));
    EXPECT_EQ(lineGetID(0, 0, h, LINECALLSELECT_CALL, As<VARSTRING>(buf), "tapi/line"),
              static_cast<LONG>(LINEERR_INVALCALLHANDLE));  // a line handle is no call handle
    std::vector<unsigned char> tiny = Buffer(20);
    EXPECT_EQ(lineGetID(h, 0, 0, LINECALLSELECT_LINE, As<VARSTRING>(tiny), "tapi/line"),
              static_cast<LONG>(LINEERR_STRUCTURETOOSMALL));
}

TEST_F(StructureTest, PhoneCapsAndStatus) {
    PhoneApp first, second;
    std::vector<unsigned char> buf = Buffer(sizeof(PHONECAPS));
    ASSERT_EQ(phoneGetDevCapsA(first.handle, 1, kApi, 0, As<PHONECAPS>(buf)), 0);
    buf = Buffer(As<PHONECAPS>(buf)->dwNeededSize);
    ASSERT_EQ(phoneGetDevCapsA(first.handle, 1, kApi, 0, As<PHONECAPS>(buf)), 0);
    PHONECAPS* caps = As<PHONECAPS>(buf);
    EXPECT_EQ(Ansi(caps, caps->dwPhoneNameOffset, caps->dwPhoneNameSize), std::string("Desk phone 202", 15));
    EXPECT_EQ(phoneGetDevCapsA(first.handle, 2, kApi, 0, As<PHONECAPS>(buf)), static_cast<LONG>(PHONEERR_BADDEVICEID));

    HPHONE owner = 0, monitor = 0, again = 0;
    ASSERT_EQ(phoneOpen(first.handle, 1, &owner, kApi, 0, 0, PHONEPRIVILEGE_OWNER), 0);
    EXPECT_EQ(phoneOpen(second.handle, 1, &again, kApi, 0, 0, PHONEPRIVILEGE_OWNER), static_cast<LONG>(PHONEERR_INUSE));
    ASSERT_EQ(phoneOpen(second.handle, 1, &monitor, kApi, 0, 0, PHONEPRIVILEGE_MONITOR), 0);
    EXPECT_EQ(phoneOpen(second.handle, 0, &again, kApi, 0, 0, 3), static_cast<LONG>(PHONEERR_INVALPRIVILEGE));

    std::vector<unsigned char> st = Buffer(1024);
    ASSERT_EQ(phoneGetStatusA(monitor, As<PHONESTATUS>(st)), 0);
    PHONESTATUS* status = As<PHONESTATUS>(st);
    EXPECT_EQ(status->dwNumOwners, 1u);
    EXPECT_EQ(status->dwNumMonitors, 1u);
    EXPECT_GT(status->dwOwnerNameSize, 1u);  // the owner's module name
    EXPECT_EQ(phoneClose(owner), 0);
    EXPECT_EQ(phoneGetStatusA(owner, As<PHONESTATUS>(st)), static_cast<LONG>(PHONEERR_INVALPHONEHANDLE));
}
