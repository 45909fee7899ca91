// lineGetAddressStatus and lineGetLineDevStatus.
#include <vector>

#include "Entries.h"
#include "EntryPoint.h"
#include "ForwardList.h"
#include "SimText.h"
#include "VarLayout.h"

namespace tapisim {

namespace {

struct CallCounts {
    DWORD active = 0;
    DWORD onHold = 0;
    DWORD onHoldPend = 0;
    DWORD any = 0;
};

// The calls the simulator has on a line plus the counters the test set.
CallCounts CountCalls(const Sim& sim, const LineDevice& line, DWORD device) {
    CallCounts counts;
    for (const auto& entry : sim.calls) {
        const Call& call = entry.second;
        if (call.device != device || call.state == LINECALLSTATE_IDLE) continue;
        ++counts.any;
        if (call.state == LINECALLSTATE_ONHOLD)
            ++counts.onHold;
        else if (call.state == LINECALLSTATE_ONHOLDPENDTRANSFER || call.state == LINECALLSTATE_ONHOLDPENDCONF)
            ++counts.onHoldPend;
        else
            ++counts.active;
    }
    counts.active += line.status.numActiveCalls;
    counts.onHold += line.status.numOnHoldCalls;
    counts.onHoldPend += line.status.numOnHoldPendCalls;
    counts.any += line.status.numActiveCalls + line.status.numOnHoldCalls + line.status.numOnHoldPendCalls;
    return counts;
}

// The forwarding list: an array of LINEFORWARD whose texts follow it, located from the start of
// the whole structure. Entries have the size the line's API version gives them (24 bytes before
// 3.1). `records` must live until the layout is written.
void AddForwardList(VarLayout& layout, LINEADDRESSSTATUS& status, const std::vector<Forward>& forwards, bool unicode,
                    DWORD apiVersion, std::vector<LINEFORWARD>& records) {
    status.dwForwardNumEntries = static_cast<DWORD>(forwards.size());
    if (forwards.empty()) return;
    const std::size_t entrySize = ForwardEntrySize(apiVersion);
    records.assign(forwards.size(), LINEFORWARD());
    std::size_t array =
        layout.Add(status.dwForwardSize, status.dwForwardOffset, std::string(records.size() * entrySize, '\0'));
    for (std::size_t i = 0; i < forwards.size(); ++i) {
        LINEFORWARD& record = records[i];
        record.dwForwardMode = forwards[i].mode;
        record.dwDestCountryCode = forwards[i].destCountryCode;
        record.dwCallerAddressType = LINEADDRESSTYPE_PHONENUMBER;
        record.dwDestAddressType = LINEADDRESSTYPE_PHONENUMBER;
        layout.Add(record.dwCallerAddressSize, record.dwCallerAddressOffset, TextPart(forwards[i].caller, unicode));
        layout.Add(record.dwDestAddressSize, record.dwDestAddressOffset, TextPart(forwards[i].dest, unicode));
    }
    std::string bytes;
    for (const LINEFORWARD& record : records) bytes.append(reinterpret_cast<const char*>(&record), entrySize);
    layout.SetBytes(array, bytes.data(), bytes.size());
}

void FillAddressStatus(const Sim& sim, const LineDevice& line, DWORD device, DWORD addressId, bool unicode,
                       DWORD apiVersion, LPLINEADDRESSSTATUS out) {
    LINEADDRESSSTATUS status = {};
    VarLayout layout(sizeof status);
    if (addressId == 0) {  // every call of the simulator is on address 0
        CallCounts counts = CountCalls(sim, line, device);
        status.dwNumInUse = counts.any ? 1 : 0;
        status.dwNumActiveCalls = counts.active;
        status.dwNumOnHoldCalls = counts.onHold;
        status.dwNumOnHoldPendCalls = counts.onHoldPend;
    }
    status.dwAddressFeatures = line.addressFeatures;
    std::vector<LINEFORWARD> records;
    AddForwardList(layout, status, line.forwards, unicode, apiVersion, records);
    layout.Write(out, &status, sizeof status);
}

void FillLineDevStatus(const Sim& sim, const LineDevice& line, DWORD device, LPLINEDEVSTATUS out) {
    LINEDEVSTATUS status = {};
    VarLayout layout(sizeof status);
    for (DWORD hLine : sim.OpensOf(device)) {
        ++status.dwNumOpens;
        status.dwOpenMediaModes |= sim.openLines.at(hLine).mediaModes;
    }
    CallCounts counts = CountCalls(sim, line, device);
    status.dwNumActiveCalls = counts.active;
    status.dwNumOnHoldCalls = counts.onHold;
    status.dwNumOnHoldPendCalls = counts.onHoldPend;
    status.dwLineFeatures = line.status.lineFeatures;
    status.dwRingMode = 1;
    status.dwSignalLevel = 0xFFFF;
    status.dwBatteryLevel = 0xFFFF;
    status.dwRoamMode = LINEROAMMODE_UNAVAIL;
    status.dwDevStatusFlags = LINEDEVSTATUSFLAGS_CONNECTED | LINEDEVSTATUSFLAGS_INSERVICE;
    status.dwAvailableMediaModes = kLineMediaModes;
    layout.Write(out, &status, sizeof status);
}

}  // namespace

LONG GetAddressStatus(HLINE hLine, DWORD addressId, LPLINEADDRESSSTATUS status, bool wide) {
    JournalLine line("lineGetAddressStatus");
    line.Dec(hLine).Dec(addressId).Size(status);
    return RunLocked(line, [&](Sim& sim) -> LONG {
        OpenLine* open = sim.FindOpenLine(hLine);
        if (!open) return LINEERR_INVALLINEHANDLE;
        LineDevice& dev = sim.lines[open->device];
        if (addressId >= dev.numAddresses) return LINEERR_INVALADDRESSID;
        if (!status) return LINEERR_INVALPOINTER;
        if (status->dwTotalSize < sizeof(LINEADDRESSSTATUS)) return LINEERR_STRUCTURETOOSMALL;
        FillAddressStatus(sim, dev, open->device, addressId, wide || dev.unicode, open->apiVersion, status);
        return 0;
    });
}

LONG GetLineDevStatus(HLINE hLine, LPLINEDEVSTATUS status) {
    JournalLine line("lineGetLineDevStatus");
    line.Dec(hLine).Size(status);
    return RunLocked(line, [&](Sim& sim) -> LONG {
        OpenLine* open = sim.FindOpenLine(hLine);
        if (!open) return LINEERR_INVALLINEHANDLE;
        if (!status) return LINEERR_INVALPOINTER;
        if (status->dwTotalSize < sizeof(LINEDEVSTATUS)) return LINEERR_STRUCTURETOOSMALL;
        FillLineDevStatus(sim, sim.lines[open->device], open->device, status);
        return 0;
    });
}

}  // namespace tapisim

using namespace tapisim;

extern "C" {

LONG WINAPI lineGetAddressStatusA(HLINE hLine, DWORD dwAddressID, LPLINEADDRESSSTATUS lpAddressStatus) {
    return GetAddressStatus(hLine, dwAddressID, lpAddressStatus, false);
}

LONG WINAPI lineGetLineDevStatusA(HLINE hLine, LPLINEDEVSTATUS lpLineDevStatus) {
    return GetLineDevStatus(hLine, lpLineDevStatus);
}

}  // extern "C"
