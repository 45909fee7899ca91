// The parts of a command chain that must outlive its record or be known of all chains at once.
#include "ChainLifetime.h"

#include <tapi.h>

#include <cstdlib>
#include <list>
#include <map>
#include <mutex>
#include <vector>

#include "CommandChain.h"
#include "TextRules.h"

namespace linvoq {

namespace {

// TAPI writes the consultation handle when the set-up completes, which can be after the chain
// has given up; the slot therefore lives until both the reply has come and the chain let go.
struct ConsultSlot {
    DWORD hConsultCall = 0;
    DWORD dwRequestID = 0;
    bool bAwaitingReply = false;
    bool bHeldByChain = true;
};

std::mutex g_lock;
std::map<const CommandChainRecord*, ChainContext> g_contexts;
std::list<ConsultSlot*> g_slots;
std::vector<HANDLE> g_threads;
DWORD g_dwGeneration = 1;
HANDLE g_hStopEvent = nullptr;

ConsultSlot* SlotOf(DWORD* phConsultCall) {
    for (ConsultSlot* slot : g_slots)
        if (&slot->hConsultCall == phConsultCall) return slot;
    return nullptr;
}

void FreeSlotIfUnused(ConsultSlot* slot) {
    if (slot->bAwaitingReply || slot->bHeldByChain) return;
    g_slots.remove(slot);
    delete slot;
}

HANDLE StopEvent() {
    if (!g_hStopEvent) g_hStopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return g_hStopEvent;
}

// A chain may be sending a debug line to a window of this thread: serve such messages while
// waiting, or both would wait until the time is up.
void WaitServingSentMessages(HANDLE hThread, DWORD dwStart, DWORD dwMaxWaitMs) {
    for (;;) {
        DWORD dwSpent = GetTickCount() - dwStart;
        DWORD dwLeft = dwSpent < dwMaxWaitMs ? dwMaxWaitMs - dwSpent : 0;
        if (MsgWaitForMultipleObjects(1, &hThread, FALSE, dwLeft, QS_SENDMESSAGE) != WAIT_OBJECT_0 + 1) return;
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace

bool AttachChainContext(const CommandChainRecord* pRecord, DWORD dwOrgCmdId, const char* pszAddress) {
    ChainContext context = {};
    context.dwOrgCmdId = dwOrgCmdId;
    CopyText(context.szAddress, sizeof context.szAddress, pszAddress, sizeof context.szAddress - 1);
    std::lock_guard<std::mutex> guard(g_lock);
    context.dwGeneration = g_dwGeneration;
    g_contexts[pRecord] = context;
    return true;
}

ChainContext ChainContextOf(const CommandChainRecord* pRecord) {
    std::lock_guard<std::mutex> guard(g_lock);
    auto it = g_contexts.find(pRecord);
    if (it != g_contexts.end()) return it->second;
    ChainContext none = {};  // a record the library did not set up: no address, no slot
    none.dwGeneration = g_dwGeneration;
    return none;
}

void FreeChainRecord(CommandChainRecord* pRecord) {
    if (!pRecord) return;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        auto it = g_contexts.find(pRecord);
        if (it != g_contexts.end()) {
            if (ConsultSlot* slot = SlotOf(it->second.phConsultCall)) {
                slot->bHeldByChain = false;
                FreeSlotIfUnused(slot);
            }
            g_contexts.erase(it);
        }
    }
    std::free(pRecord);
}

long SetupChainTransfer(CommandChainRecord* pRecord) {
    ConsultSlot* slot = new (std::nothrow) ConsultSlot;
    if (!slot) return LINEERR_NOMEM;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        g_slots.push_back(slot);
        g_contexts[pRecord].phConsultCall = &slot->hConsultCall;
    }
    long result = lineSetupTransfer(pRecord->hCall, &slot->hConsultCall, nullptr);
    if (result > 0) {
        std::lock_guard<std::mutex> guard(g_lock);
        slot->dwRequestID = static_cast<DWORD>(result);
        slot->bAwaitingReply = true;
    }
    return result;
}

DWORD ConsultCallOf(const ChainContext& context) {
    if (!context.phConsultCall) return 0;
    // TAPI writes it from the thread that handles the reply.
    return static_cast<DWORD>(
        InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(context.phConsultCall), 0, 0));
}

void ConsultReplyArrived(DWORD dwRequestID) {
    std::lock_guard<std::mutex> guard(g_lock);
    for (ConsultSlot* slot : g_slots) {
        if (slot->bAwaitingReply && slot->dwRequestID == dwRequestID) {
            slot->bAwaitingReply = false;
            FreeSlotIfUnused(slot);
            return;
        }
    }
}

bool RegisterChainThread(HANDLE hThread) {
    HANDLE hKept = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), hThread, GetCurrentProcess(), &hKept, SYNCHRONIZE, FALSE, 0))
        return false;
    std::lock_guard<std::mutex> guard(g_lock);
    if (!StopEvent()) {
        CloseHandle(hKept);
        return false;
    }
    // Forget chains that have ended, so the set stays as small as the chains running.
    for (auto it = g_threads.begin(); it != g_threads.end();) {
        if (WaitForSingleObject(*it, 0) == WAIT_OBJECT_0) {
            CloseHandle(*it);
            it = g_threads.erase(it);
        } else {
            ++it;
        }
    }
    g_threads.push_back(hKept);
    return true;
}

bool ChainCancelled(const ChainContext& context) {
    std::lock_guard<std::mutex> guard(g_lock);
    return context.dwGeneration != g_dwGeneration;
}

bool ChainWait(const ChainContext& context, DWORD dwMs) {
    HANDLE hStop;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        if (context.dwGeneration != g_dwGeneration) return false;
        hStop = StopEvent();
    }
    if (hStop)
        WaitForSingleObject(hStop, dwMs);
    else
        Sleep(dwMs);
    return !ChainCancelled(context);
}

void StopChains(DWORD dwMaxWaitMs) {
    std::vector<HANDLE> threads;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        ++g_dwGeneration;
        if (g_hStopEvent) SetEvent(g_hStopEvent);
        threads.swap(g_threads);
    }
    DWORD dwStart = GetTickCount();
    for (HANDLE hThread : threads) {
        WaitServingSentMessages(hThread, dwStart, dwMaxWaitMs);
        CloseHandle(hThread);
    }
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_hStopEvent) ResetEvent(g_hStopEvent);
}

void EndConsultReplies() {
    std::lock_guard<std::mutex> guard(g_lock);
    for (auto it = g_slots.begin(); it != g_slots.end();) {
        ConsultSlot* slot = *it;
        slot->bAwaitingReply = false;
        if (!slot->bHeldByChain) {
            it = g_slots.erase(it);
            delete slot;
        } else {
            ++it;
        }
    }
}

}  // namespace linvoq
