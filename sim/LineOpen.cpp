// lineOpen, lineClose and lineSetStatusMessages.
#include "ControlPort.h"
#include "Entries.h"
#include "EntryPoint.h"
#include "Versions.h"

namespace tapisim {

namespace {

const DWORD kOpenOptions = LINEOPENOPTION_SINGLEADDRESS | LINEOPENOPTION_PROXY;

LONG CheckPrivileges(DWORD privileges, DWORD mediaModes) {
    if (privileges & kOpenOptions) return LINEERR_OPERATIONUNAVAIL;  // not simulated
    const DWORD monitorOwner = LINECALLPRIVILEGE_MONITOR | LINECALLPRIVILEGE_OWNER;
    bool valid = privileges == LINECALLPRIVILEGE_NONE || (privileges != 0 && (privileges & ~monitorOwner) == 0);
    if (!valid) return LINEERR_INVALPRIVSELECT;
    if ((privileges & LINECALLPRIVILEGE_OWNER) && (mediaModes == 0 || (mediaModes & ~kLineMediaModes)))
        return LINEERR_INVALMEDIAMODE;
    return 0;
}

// LINEMAPPER: the first line, in id order, that this application has not open and that carries
// the media mode the call parameters ask for.
LONG MapLine(Sim& sim, DWORD app, const LINECALLPARAMS* params, DWORD* device) {
    if (!params) return LINEERR_INVALPOINTER;
    if (params->dwTotalSize < sizeof(LINECALLPARAMS)) return LINEERR_STRUCTURETOOSMALL;
    if (params->dwMediaMode & ~kLineMediaModes) return LINEERR_LINEMAPPERFAILED;
    for (DWORD id = 0; id < sim.lines.size(); ++id) {
        if (sim.FindLine(id) && !sim.FindOpenLine(app, id)) {
            *device = id;
            return 0;
        }
    }
    return LINEERR_LINEMAPPERFAILED;
}

LONG Open(Sim& sim, DWORD app, DWORD device, LPHLINE lphLine, DWORD api, DWORD ext, DWORD_PTR instance,
          DWORD privileges, DWORD mediaModes, const LINECALLPARAMS* params) {
    if (!sim.FindApp(app, false)) return LINEERR_INVALAPPHANDLE;
    if (!lphLine) return LINEERR_INVALPOINTER;
    if (device == LINEMAPPER) {
        LONG mapped = MapLine(sim, app, params, &device);
        if (mapped) return mapped;
    }
    LineDevice* line = nullptr;
    LONG r = sim.LookupLine(device, &line);
    if (r) return r;
    if (!ApiSupported(api, ProviderApiHigh(line->apiHigh))) return LINEERR_INCOMPATIBLEAPIVERSION;
    if (ext != 0 && ext != line->extVersion) return LINEERR_INCOMPATIBLEEXTVERSION;
    r = CheckPrivileges(privileges, mediaModes);
    if (r) return r;
    if (sim.FindOpenLine(app, device)) return LINEERR_RESOURCEUNAVAIL;  // one handle per application and line
    OpenLine open = {sim.NewHandle(),
                     app,
                     device,
                     api,
                     ext,
                     instance,
                     privileges,
                     (privileges & LINECALLPRIVILEGE_OWNER) ? mediaModes : 0};
    sim.AddOpenLine(open);
    *lphLine = open.hLine;
    NoteLineOpened(sim, device);
    return 0;
}

}  // namespace

LONG OpenLineEntry(HLINEAPP hLineApp, DWORD device, LPHLINE lphLine, DWORD api, DWORD ext, DWORD_PTR instance,
                   DWORD privileges, DWORD mediaModes, LPLINECALLPARAMS params) {
    JournalLine line("lineOpen");
    line.Dec(hLineApp)
        .Dec(device)
        .Hex(api)
        .Hex(ext)
        .Dec(static_cast<uint32_t>(instance))
        .Hex(privileges)
        .Hex(mediaModes)
        .Raw(params ? "params=set" : "params=null");
    return RunLocked(line, [&](Sim& sim) {
        return Open(sim, hLineApp, device, lphLine, api, ext, instance, privileges, mediaModes, params);
    });
}

}  // namespace tapisim

using namespace tapisim;

extern "C" {

LONG WINAPI lineOpenA(HLINEAPP hLineApp, DWORD dwDeviceID, LPHLINE lphLine, DWORD dwAPIVersion, DWORD dwExtVersion,
                      DWORD_PTR dwCallbackInstance, DWORD dwPrivileges, DWORD dwMediaModes,
                      LPLINECALLPARAMS const lpCallParams) {
    return OpenLineEntry(hLineApp, dwDeviceID, lphLine, dwAPIVersion, dwExtVersion, dwCallbackInstance, dwPrivileges,
                         dwMediaModes, lpCallParams);
}

LONG WINAPI lineClose(HLINE hLine) {
    JournalLine line("lineClose");
    line.Dec(hLine);
    return RunLocked(line, [&](Sim& sim) -> LONG {
        if (!sim.FindOpenLine(hLine)) return LINEERR_INVALLINEHANDLE;
        sim.ForgetOpenLine(hLine);
        return 0;
    });
}

LONG WINAPI lineSetStatusMessages(HLINE hLine, DWORD dwLineStates, DWORD dwAddressStates) {
    JournalLine line("lineSetStatusMessages");
    line.Dec(hLine).Hex(dwLineStates).Hex(dwAddressStates);
    return RunLocked(line, [&](Sim& sim) -> LONG {
        OpenLine* open = sim.FindOpenLine(hLine);
        if (!open) return LINEERR_INVALLINEHANDLE;
        if (dwLineStates & ~kAllLineStates) return LINEERR_INVALLINESTATE;
        if (dwAddressStates & ~kAllAddressStates) return LINEERR_INVALADDRESSSTATE;
        open->lineStates = dwLineStates;
        open->addressStates = dwAddressStates;
        return 0;
    });
}

}  // extern "C"
