// lineForward: the line's forwarding list is replaced when the request completes; applications
// that asked for it then get LINE_ADDRESSSTATE(FORWARD).
#include <vector>

#include "AsyncRequests.h"
#include "Entries.h"
#include "EntryPoint.h"
#include "ForwardList.h"
#include "PbxEvents.h"
#include "SimText.h"

#undef lineForward

namespace tapisim {

namespace {

std::wstring TextOf(const std::string& bytes, bool wide) {
    if (!wide) return WideFromAnsi(bytes.c_str());
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

LONG ReadList(const LINEFORWARDLIST* list, bool wide, DWORD apiVersion, std::vector<Forward>* forwards) {
    forwards->clear();
    if (!list) return 0;  // no list: forwarding off
    std::vector<ForwardEntry> entries;
    switch (ReadForwardList(reinterpret_cast<const unsigned char*>(list), wide, apiVersion, &entries)) {
    case ForwardListCheck::kTooSmall:
        return LINEERR_STRUCTURETOOSMALL;
    case ForwardListCheck::kBadEntry:
        return LINEERR_INVALPARAM;
    case ForwardListCheck::kOk:
        break;
    }
    for (const ForwardEntry& e : entries)
        forwards->push_back({e.mode, TextOf(e.caller, wide), TextOf(e.dest, wide), e.destCountryCode});
    return 0;
}

LONG ForwardLine(HLINE hLine, DWORD allAddresses, DWORD addressId, const LINEFORWARDLIST* list, DWORD rings,
                 LPHCALL lphConsultCall, const LINECALLPARAMS* params, bool wide) {
    JournalLine line("lineForward");
    line.Dec(hLine).Dec(allAddresses).Dec(addressId);
    line.Raw(ForwardListJournal(reinterpret_cast<const unsigned char*>(list), wide).c_str());
    line.Dec(rings).Raw(params ? "params=set" : "params=null");
    return RunLocked(line, [&](Sim& sim) -> LONG {
        OpenLine* open = sim.FindOpenLine(hLine);
        if (!open) return LINEERR_INVALLINEHANDLE;
        const LineDevice& device = sim.lines[open->device];
        if (!allAddresses && addressId >= device.numAddresses) return LINEERR_INVALADDRESSID;
        if (!(device.addressFeatures & LINEADDRFEATURE_FORWARD)) return LINEERR_OPERATIONUNAVAIL;
        if (!lphConsultCall) return LINEERR_INVALPOINTER;
        std::vector<Forward> forwards;
        LONG r = ReadList(list, wide, open->apiVersion, &forwards);
        if (r) return r;
        DWORD deviceId = open->device;
        return BeginAsync(sim, open->app, "lineForward", [=](Sim& sim, Reply& reply) {
            LineDevice* target = sim.FindLine(deviceId);
            if (!target || !sim.FindOpenLine(hLine)) {
                reply(LINEERR_INVALLINEHANDLE);
                return;
            }
            target->forwards = forwards;  // every address of a line shares one list here
            *lphConsultCall = 0;          // the PBX forwards without a consultation call
            reply(0);
            NotifyForwarding(sim, deviceId);
        });
    });
}

}  // namespace

}  // namespace tapisim

using namespace tapisim;

extern "C" {

LONG WINAPI lineForwardA(HLINE hLine, DWORD bAllAddresses, DWORD dwAddressID, LPLINEFORWARDLIST const lpForwardList,
                         DWORD dwNumRingsNoAnswer, LPHCALL lphConsultCall, LPLINECALLPARAMS const lpCallParams) {
    return tapisim::ForwardLine(hLine, bAllAddresses, dwAddressID, lpForwardList, dwNumRingsNoAnswer, lphConsultCall,
                                lpCallParams, false);
}
LONG WINAPI lineForward(HLINE hLine, DWORD bAllAddresses, DWORD dwAddressID, LPLINEFORWARDLIST const lpForwardList,
                        DWORD dwNumRingsNoAnswer, LPHCALL lphConsultCall, LPLINECALLPARAMS const lpCallParams) {
    return lineForwardA(hLine, bAllAddresses, dwAddressID, lpForwardList, dwNumRingsNoAnswer, lphConsultCall,
                        lpCallParams);
}
LONG WINAPI lineForwardW(HLINE hLine, DWORD bAllAddresses, DWORD dwAddressID, LPLINEFORWARDLIST const lpForwardList,
                         DWORD dwNumRingsNoAnswer, LPHCALL lphConsultCall, LPLINECALLPARAMS const lpCallParams) {
    return tapisim::ForwardLine(hLine, bAllAddresses, dwAddressID, lpForwardList, dwNumRingsNoAnswer, lphConsultCall,
                                lpCallParams, true);
}

}  // extern "C"
