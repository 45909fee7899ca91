// lineGetDevCaps and lineGetAddressCaps.
#include "Entries.h"
#include "EntryPoint.h"
#include "SimText.h"
#include "VarLayout.h"
#include "Versions.h"

namespace tapisim {

namespace {

// What every caps call checks, in TAPI's order; the device on success.
LONG CheckCapsCall(Sim& sim, DWORD app, DWORD device, DWORD api, DWORD ext, const void* structure,
                   std::size_t fixedSize, LineDevice** line) {
    if (!sim.FindApp(app, false)) return LINEERR_INVALAPPHANDLE;
    LONG r = sim.LookupLine(device, line);
    if (r) return r;
    if (!ApiSupported(api, ProviderApiHigh((*line)->apiHigh))) return LINEERR_INCOMPATIBLEAPIVERSION;
    if (!ExtAccepted(ext, (*line)->extVersion, (*line)->rejectExtVersion)) return LINEERR_INCOMPATIBLEEXTVERSION;
    if (!structure) return LINEERR_INVALPOINTER;
    if (*static_cast<const DWORD*>(structure) < fixedSize) return LINEERR_STRUCTURETOOSMALL;
    return 0;
}

void FillDevCaps(const LineDevice& line, bool unicode, LPLINEDEVCAPS out) {
    LINEDEVCAPS caps = {};
    VarLayout layout(sizeof caps);
    layout.Add(caps.dwProviderInfoSize, caps.dwProviderInfoOffset, TextPart(line.provider, unicode));
    layout.Add(caps.dwLineNameSize, caps.dwLineNameOffset, TextPart(line.name, unicode));
    layout.Add(caps.dwDeviceClassesSize, caps.dwDeviceClassesOffset, TextListPart({L"tapi/line"}, unicode));
    caps.dwPermanentLineID = line.permanentLineId;
    caps.dwStringFormat = unicode ? STRINGFORMAT_UNICODE : STRINGFORMAT_ASCII;
    caps.dwAddressModes = LINEADDRESSMODE_ADDRESSID;
    caps.dwNumAddresses = line.numAddresses;
    caps.dwBearerModes = LINEBEARERMODE_VOICE;
    caps.dwMediaModes = kLineMediaModes;
    caps.dwDevCapFlags = LINEDEVCAPFLAGS_CLOSEDROP;
    caps.dwMaxNumActiveCalls = line.maxActiveCalls;
    caps.dwAnswerMode = LINEANSWERMODE_HOLD;
    caps.dwRingModes = 1;
    caps.dwLineStates = kAllLineStates;
    caps.dwLineFeatures = line.lineFeatures;
    caps.dwAddressTypes = LINEADDRESSTYPE_PHONENUMBER;
    layout.Write(out, &caps, sizeof caps);
}

void FillAddressCaps(const LineDevice& line, DWORD device, bool unicode, LPLINEADDRESSCAPS out) {
    const DWORD partyFlags =
        LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME | LINECALLPARTYID_UNKNOWN | LINECALLPARTYID_UNAVAIL;
    LINEADDRESSCAPS caps = {};
    VarLayout layout(sizeof caps);
    layout.Add(caps.dwAddressSize, caps.dwAddressOffset, TextPart(line.address, unicode));
    layout.Add(caps.dwDeviceClassesSize, caps.dwDeviceClassesOffset, TextListPart({L"tapi/line"}, unicode));
    caps.dwLineDeviceID = device;
    caps.dwAddressSharing = LINEADDRESSSHARING_PRIVATE;
    caps.dwAddressStates = kAllAddressStates;
    caps.dwCallInfoStates = 0x7FFFFFFF;
    caps.dwCallerIDFlags = caps.dwCalledIDFlags = caps.dwConnectedIDFlags = partyFlags;
    caps.dwRedirectionIDFlags = caps.dwRedirectingIDFlags = partyFlags;
    caps.dwCallStates = kAllCallStates;
    caps.dwDialToneModes = LINEDIALTONEMODE_NORMAL;
    caps.dwBusyModes = LINEBUSYMODE_STATION;
    caps.dwDisconnectModes = LINEDISCONNECTMODE_NORMAL | LINEDISCONNECTMODE_REJECT | LINEDISCONNECTMODE_PICKUP |
                             LINEDISCONNECTMODE_FORWARDED | LINEDISCONNECTMODE_BUSY | LINEDISCONNECTMODE_NOANSWER |
                             LINEDISCONNECTMODE_UNAVAIL;
    caps.dwMaxNumActiveCalls = line.maxActiveCalls;
    caps.dwMaxNumOnHoldCalls = 1;
    caps.dwMaxNumOnHoldPendingCalls = 1;
    caps.dwMaxNumConference = line.maxConfCalls;
    caps.dwCallFeatures = line.callFeatures;
    caps.dwForwardModes =
        LINEFORWARDMODE_UNCOND | LINEFORWARDMODE_BUSY | LINEFORWARDMODE_NOANSW | LINEFORWARDMODE_BUSYNA;
    caps.dwMaxForwardEntries = 4;
    caps.dwAddressFeatures = line.addressFeatures;
    caps.dwMaxCallDataSize = 4096;
    caps.dwCallFeatures2 = line.callFeatures2;
    caps.dwAvailableMediaModes = kLineMediaModes;
    layout.Write(out, &caps, sizeof caps);
}

}  // namespace

LONG GetDevCaps(HLINEAPP hLineApp, DWORD device, DWORD api, DWORD ext, LPLINEDEVCAPS caps, bool wide) {
    JournalLine line("lineGetDevCaps");
    line.Dec(hLineApp).Dec(device).Hex(api).Hex(ext).Size(caps);
    return RunLocked(line, [&](Sim& sim) -> LONG {
        LineDevice* dev = nullptr;
        LONG r = CheckCapsCall(sim, hLineApp, device, api, ext, caps, sizeof(LINEDEVCAPS), &dev);
        if (r) return r;
        FillDevCaps(*dev, wide || dev->unicode, caps);
        return 0;
    });
}

LONG GetAddressCaps(HLINEAPP hLineApp, DWORD device, DWORD addressId, DWORD api, DWORD ext, LPLINEADDRESSCAPS caps,
                    bool wide) {
    JournalLine line("lineGetAddressCaps");
    line.Dec(hLineApp).Dec(device).Dec(addressId).Hex(api).Hex(ext).Size(caps);
    return RunLocked(line, [&](Sim& sim) -> LONG {
        LineDevice* dev = nullptr;
        LONG r = CheckCapsCall(sim, hLineApp, device, api, ext, caps, sizeof(LINEADDRESSCAPS), &dev);
        if (r) return r;
        if (addressId >= dev->numAddresses) return LINEERR_INVALADDRESSID;
        FillAddressCaps(*dev, device, wide || dev->unicode, caps);
        return 0;
    });
}

}  // namespace tapisim

using namespace tapisim;

extern "C" {

LONG WINAPI lineGetDevCapsA(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                            LPLINEDEVCAPS lpLineDevCaps) {
    return GetDevCaps(hLineApp, dwDeviceID, dwAPIVersion, dwExtVersion, lpLineDevCaps, false);
}

LONG WINAPI lineGetAddressCapsA(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAddressID, DWORD dwAPIVersion,
                                DWORD dwExtVersion, LPLINEADDRESSCAPS lpAddressCaps) {
    return GetAddressCaps(hLineApp, dwDeviceID, dwAddressID, dwAPIVersion, dwExtVersion, lpAddressCaps, false);
}

}  // extern "C"
