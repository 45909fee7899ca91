// lineNegotiateAPIVersion, lineNegotiateExtVersion, phoneNegotiateAPIVersion, phoneNegotiateExtVersion.
#include <cstring>

#include "EntryPoint.h"
#include "Versions.h"

namespace tapisim {

namespace {

struct NegotiationErrors {
    DWORD invalAppHandle, invalPointer, incompatibleApi, incompatibleExt, operationUnavail;
};
const NegotiationErrors kLine = {LINEERR_INVALAPPHANDLE, LINEERR_INVALPOINTER, LINEERR_INCOMPATIBLEAPIVERSION,
                                 LINEERR_INCOMPATIBLEEXTVERSION, LINEERR_OPERATIONUNAVAIL};
const NegotiationErrors kPhone = {PHONEERR_INVALAPPHANDLE, PHONEERR_INVALPOINTER, PHONEERR_INCOMPATIBLEAPIVERSION,
                                  PHONEERR_INCOMPATIBLEEXTVERSION, PHONEERR_OPERATIONUNAVAIL};

// The provider's versions of a device: its highest API version and its extension version.
struct ProviderVersions {
    DWORD apiHigh;
    DWORD ext;
};

LONG FindProvider(Sim& sim, bool phone, DWORD app, DWORD device, ProviderVersions* out) {
    if (!sim.FindApp(app, phone)) return phone ? kPhone.invalAppHandle : kLine.invalAppHandle;
    if (phone) {
        PhoneDevice* p = nullptr;
        LONG r = sim.LookupPhone(device, &p);
        if (r) return r;
        *out = {kTapiVersion, p->extVersion};
        return 0;
    }
    LineDevice* l = nullptr;
    LONG r = sim.LookupLine(device, &l);
    if (r) return r;
    *out = {ProviderApiHigh(l->apiHigh), l->extVersion};
    return 0;
}

LONG NegotiateApiEntry(bool phone, DWORD app, DWORD device, DWORD low, DWORD high, LPDWORD version, void* extensionId,
                       std::size_t extensionIdSize) {
    const NegotiationErrors& errors = phone ? kPhone : kLine;
    JournalLine line(phone ? "phoneNegotiateAPIVersion" : "lineNegotiateAPIVersion");
    line.Dec(app).Dec(device).Hex(low).Hex(high);
    return RunLocked(line, [&](Sim& sim) -> LONG {
        ProviderVersions provider;
        LONG r = FindProvider(sim, phone, app, device, &provider);
        if (r) return r;
        if (!version || !extensionId) return errors.invalPointer;
        uint32_t negotiated = 0;
        if (NegotiateApi(low, high, provider.apiHigh, &negotiated) != Negotiation::Ok) return errors.incompatibleApi;
        *version = negotiated;
        std::memset(extensionId, 0, extensionIdSize);  // the simulated providers have no extension id
        return 0;
    });
}

LONG NegotiateExtEntry(bool phone, DWORD app, DWORD device, DWORD api, DWORD low, DWORD high, LPDWORD version) {
    const NegotiationErrors& errors = phone ? kPhone : kLine;
    JournalLine line(phone ? "phoneNegotiateExtVersion" : "lineNegotiateExtVersion");
    line.Dec(app).Dec(device).Hex(api).Hex(low).Hex(high);
    return RunLocked(line, [&](Sim& sim) -> LONG {
        ProviderVersions provider;
        LONG r = FindProvider(sim, phone, app, device, &provider);
        if (r) return r;
        if (!version) return errors.invalPointer;
        if (!ApiSupported(api, provider.apiHigh)) return errors.incompatibleApi;
        uint32_t ext = 0;
        Negotiation result = NegotiateExt(low, high, provider.ext, &ext);
        *version = ext;
        if (result == Negotiation::Unavailable) return errors.operationUnavail;
        if (result == Negotiation::Incompatible) return errors.incompatibleExt;
        return 0;
    });
}

}  // namespace
}  // namespace tapisim

using namespace tapisim;

extern "C" {

LONG WINAPI lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion, DWORD dwAPIHighVersion,
                                    LPDWORD lpdwAPIVersion, LPLINEEXTENSIONID lpExtensionID) {
    return NegotiateApiEntry(false, hLineApp, dwDeviceID, dwAPILowVersion, dwAPIHighVersion, lpdwAPIVersion,
                             lpExtensionID, sizeof(LINEEXTENSIONID));
}

LONG WINAPI lineNegotiateExtVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtLowVersion,
                                    DWORD dwExtHighVersion, LPDWORD lpdwExtVersion) {
    return NegotiateExtEntry(false, hLineApp, dwDeviceID, dwAPIVersion, dwExtLowVersion, dwExtHighVersion,
                             lpdwExtVersion);
}

LONG WINAPI phoneNegotiateAPIVersion(HPHONEAPP hPhoneApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
                                     DWORD dwAPIHighVersion, LPDWORD lpdwAPIVersion, LPPHONEEXTENSIONID lpExtensionID) {
    return NegotiateApiEntry(true, hPhoneApp, dwDeviceID, dwAPILowVersion, dwAPIHighVersion, lpdwAPIVersion,
                             lpExtensionID, sizeof(PHONEEXTENSIONID));
}

LONG WINAPI phoneNegotiateExtVersion(HPHONEAPP hPhoneApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtLowVersion,
                                     DWORD dwExtHighVersion, LPDWORD lpdwExtVersion) {
    return NegotiateExtEntry(true, hPhoneApp, dwDeviceID, dwAPIVersion, dwExtLowVersion, dwExtHighVersion,
                             lpdwExtVersion);
}

}  // extern "C"
