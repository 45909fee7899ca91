// lineGetID: the device id behind a line, an address or a call, for the class "tapi/line", and
// the wave devices of the line ("wave/in", "wave/out").

#include "Entries.h"
#include "EntryPoint.h"
#include "VarLayout.h"
#include "WaveIds.h"

namespace tapisim {

namespace {

// The line device a select value names.
LONG SelectDevice(Sim& sim, HLINE hLine, DWORD addressId, HCALL hCall, DWORD select, DWORD* device) {
    if (select == LINECALLSELECT_CALL) {
        Call* call = sim.FindCall(hCall);
        if (!call || !sim.AskingHolder(*call)) return LINEERR_INVALCALLHANDLE;
        *device = call->device;
        return 0;
    }
    if (select != LINECALLSELECT_LINE && select != LINECALLSELECT_ADDRESS) return LINEERR_INVALCALLSELECT;
    OpenLine* open = sim.FindOpenLine(hLine);
    if (!open) return LINEERR_INVALLINEHANDLE;
    if (select == LINECALLSELECT_ADDRESS && addressId >= sim.lines[open->device].numAddresses)
        return LINEERR_INVALADDRESSID;
    *device = open->device;
    return 0;
}

}  // namespace

LONG GetId(HLINE hLine, DWORD addressId, HCALL hCall, DWORD select, LPVARSTRING id, const char* deviceClass) {
    JournalLine line("lineGetID");
    line.Dec(hLine).Dec(addressId).Dec(hCall).Hex(select).Text(deviceClass).Size(id);
    return RunLocked(line, [&](Sim& sim) -> LONG {
        DWORD device = 0;
        LONG r = SelectDevice(sim, hLine, addressId, hCall, select, &device);
        if (r) return r;
        if (!id || !deviceClass) return LINEERR_INVALPOINTER;
        if (id->dwTotalSize < sizeof(VARSTRING)) return LINEERR_STRUCTURETOOSMALL;
        if (lstrcmpiA(deviceClass, "tapi/line") != 0) {
            // Wave devices belong to calls here; the line and its addresses have none.
            if (select != LINECALLSELECT_CALL) return LINEERR_INVALDEVICECLASS;
            r = WaveDeviceOfLine(sim.lines[device], deviceClass, &device);
            if (r) return r;
        }
        VARSTRING fixed = {};
        VarLayout layout(sizeof fixed);
        layout.Add(fixed.dwStringSize, fixed.dwStringOffset,
                   std::string(reinterpret_cast<const char*>(&device), sizeof device));
        fixed.dwStringFormat = STRINGFORMAT_BINARY;
        layout.Write(id, &fixed, sizeof fixed);
        return 0;
    });
}

}  // namespace tapisim

extern "C" LONG WINAPI lineGetIDA(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect, LPVARSTRING lpDeviceID,
                                  LPCSTR lpszDeviceClass) {
    return tapisim::GetId(hLine, dwAddressID, hCall, dwSelect, lpDeviceID, lpszDeviceClass);
}
