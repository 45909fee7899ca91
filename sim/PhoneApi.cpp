// phoneGetDevCaps, phoneGetStatus, phoneOpen and phoneClose.
#include "Entries.h"
#include "EntryPoint.h"
#include "SimText.h"
#include "VarLayout.h"
#include "Versions.h"

namespace tapisim {

namespace {

const DWORD kPhoneProviderId = 0x0001;
const DWORD kAllPhoneStates = 0x007FFFFF;  // every PHONESTATE_ of API 3.1

void FillPhoneCaps(const PhoneDevice& phone, DWORD device, bool unicode, LPPHONECAPS out) {
    PHONECAPS caps = {};
    VarLayout layout(sizeof caps);
    layout.Add(caps.dwProviderInfoSize, caps.dwProviderInfoOffset, TextPart(L"Telvarix Simulated PBX", unicode));
    layout.Add(caps.dwPhoneNameSize, caps.dwPhoneNameOffset, TextPart(phone.name, unicode));
    layout.Add(caps.dwDeviceClassesSize, caps.dwDeviceClassesOffset, TextListPart({L"tapi/phone"}, unicode));
    caps.dwPermanentPhoneID = (kPhoneProviderId << 16) | device;
    caps.dwStringFormat = unicode ? STRINGFORMAT_UNICODE : STRINGFORMAT_ASCII;
    caps.dwPhoneStates = kAllPhoneStates;
    caps.dwHookSwitchDevs = PHONEHOOKSWITCHDEV_HANDSET;
    caps.dwHandsetHookSwitchModes = PHONEHOOKSWITCHMODE_ONHOOK | PHONEHOOKSWITCHMODE_MICSPEAKER;
    caps.dwMonitoredHandsetHookSwitchModes = caps.dwHandsetHookSwitchModes;
    caps.dwNumRingModes = 1;
    caps.dwPhoneFeatures = phone.phoneFeatures;
    layout.Write(out, &caps, sizeof caps);
}

void FillPhoneStatus(Sim& sim, const PhoneDevice& phone, DWORD device, bool unicode, LPPHONESTATUS out) {
    PHONESTATUS status = {};
    VarLayout layout(sizeof status);
    std::wstring owner;
    for (auto& entry : sim.openPhones) {
        if (entry.second.device != device) continue;
        if (entry.second.privilege == PHONEPRIVILEGE_OWNER) {
            ++status.dwNumOwners;
            if (App* app = sim.FindApp(entry.second.app, true)) owner = app->name;
        } else {
            ++status.dwNumMonitors;
        }
    }
    layout.Add(status.dwOwnerNameSize, status.dwOwnerNameOffset, TextPart(owner, unicode));
    status.dwStatusFlags = PHONESTATUSFLAGS_CONNECTED;
    status.dwHandsetHookSwitchMode = PHONEHOOKSWITCHMODE_ONHOOK;
    status.dwPhoneFeatures = phone.phoneFeatures;
    layout.Write(out, &status, sizeof status);
}

}  // namespace

LONG GetPhoneDevCaps(HPHONEAPP hPhoneApp, DWORD device, DWORD api, DWORD ext, LPPHONECAPS caps, bool wide) {
    JournalLine line("phoneGetDevCaps");
    line.Dec(hPhoneApp).Dec(device).Hex(api).Hex(ext).Size(caps);
    return RunLocked(line, [&](Sim& sim) -> LONG {
        if (!sim.FindApp(hPhoneApp, true)) return PHONEERR_INVALAPPHANDLE;
        PhoneDevice* phone = nullptr;
        LONG r = sim.LookupPhone(device, &phone);
        if (r) return r;
        if (!ApiSupported(api, kTapiVersion)) return PHONEERR_INCOMPATIBLEAPIVERSION;
        if (!ExtAccepted(ext, phone->extVersion, phone->rejectExtVersion)) return PHONEERR_INCOMPATIBLEEXTVERSION;
        if (!caps) return PHONEERR_INVALPOINTER;
        if (caps->dwTotalSize < sizeof(PHONECAPS)) return PHONEERR_STRUCTURETOOSMALL;
        FillPhoneCaps(*phone, device, wide || phone->unicode, caps);
        return 0;
    });
}

LONG GetPhoneStatus(HPHONE hPhone, LPPHONESTATUS status, bool wide) {
    JournalLine line("phoneGetStatus");
    line.Dec(hPhone).Size(status);
    return RunLocked(line, [&](Sim& sim) -> LONG {
        OpenPhone* open = sim.FindOpenPhone(hPhone);
        if (!open) return PHONEERR_INVALPHONEHANDLE;
        if (!status) return PHONEERR_INVALPOINTER;
        if (status->dwTotalSize < sizeof(PHONESTATUS)) return PHONEERR_STRUCTURETOOSMALL;
        PhoneDevice& phone = sim.phones[open->device];
        FillPhoneStatus(sim, phone, open->device, wide || phone.unicode, status);
        return 0;
    });
}

}  // namespace tapisim

using namespace tapisim;

namespace {

LONG OpenPhoneDevice(Sim& sim, DWORD app, DWORD device, LPHPHONE lphPhone, DWORD api, DWORD ext, DWORD_PTR instance,
                     DWORD privilege) {
    if (!sim.FindApp(app, true)) return PHONEERR_INVALAPPHANDLE;
    if (!lphPhone) return PHONEERR_INVALPOINTER;
    PhoneDevice* phone = nullptr;
    LONG r = sim.LookupPhone(device, &phone);
    if (r) return r;
    if (!ApiSupported(api, kTapiVersion)) return PHONEERR_INCOMPATIBLEAPIVERSION;
    if (ext != 0 && ext != phone->extVersion) return PHONEERR_INCOMPATIBLEEXTVERSION;
    if (privilege != PHONEPRIVILEGE_MONITOR && privilege != PHONEPRIVILEGE_OWNER) return PHONEERR_INVALPRIVILEGE;
    for (auto& entry : sim.openPhones) {
        const OpenPhone& other = entry.second;
        if (other.device != device) continue;
        if (other.app == app) return PHONEERR_RESOURCEUNAVAIL;  // one handle per application and phone
        if (privilege == PHONEPRIVILEGE_OWNER && other.privilege == PHONEPRIVILEGE_OWNER) return PHONEERR_INUSE;
    }
    OpenPhone open = {sim.NewHandle(), app, device, api, ext, instance, privilege};
    sim.openPhones[open.hPhone] = open;
    *lphPhone = open.hPhone;
    return 0;
}

}  // namespace

extern "C" {

LONG WINAPI phoneGetDevCapsA(HPHONEAPP hPhoneApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                             LPPHONECAPS lpPhoneCaps) {
    return GetPhoneDevCaps(hPhoneApp, dwDeviceID, dwAPIVersion, dwExtVersion, lpPhoneCaps, false);
}

LONG WINAPI phoneGetStatusA(HPHONE hPhone, LPPHONESTATUS lpPhoneStatus) {
    return GetPhoneStatus(hPhone, lpPhoneStatus, false);
}

LONG WINAPI phoneOpen(HPHONEAPP hPhoneApp, DWORD dwDeviceID, LPHPHONE lphPhone, DWORD dwAPIVersion, DWORD dwExtVersion,
                      DWORD_PTR dwCallbackInstance, DWORD dwPrivilege) {
    JournalLine line("phoneOpen");
    line.Dec(hPhoneApp)
        .Dec(dwDeviceID)
        .Hex(dwAPIVersion)
        .Hex(dwExtVersion)
        .Dec(static_cast<uint32_t>(dwCallbackInstance))
        .Hex(dwPrivilege);
    return RunLocked(line, [&](Sim& sim) {
        return OpenPhoneDevice(sim, hPhoneApp, dwDeviceID, lphPhone, dwAPIVersion, dwExtVersion, dwCallbackInstance,
                               dwPrivilege);
    });
}

LONG WINAPI phoneClose(HPHONE hPhone) {
    JournalLine line("phoneClose");
    line.Dec(hPhone);
    return RunLocked(line,
                     [&](Sim& sim) -> LONG { return sim.openPhones.erase(hPhone) ? 0 : PHONEERR_INVALPHONEHANDLE; });
}

}  // extern "C"
