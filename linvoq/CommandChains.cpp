// Multi-step commands on a thread of their own: dial on a consultation call once it has dial
// tone, and complete a transfer once the destination rings or answers.
#include <tapi.h>

#include <cstdlib>
#include <map>
#include <mutex>

#include "CommandChain.h"
#include "CommandRecord.h"
#include "TapiApp.h"
#include "TapiBase.h"
#include "TextRules.h"

namespace {
const int kAttempts = 20;
const DWORD kMakeCallWaitMs = 150;
const DWORD kTransferDialWaitMs = 100;
const DWORD kTransferPollMs = 250;
const DWORD kReachedMask = LINECALLSTATE_RINGBACK | LINECALLSTATE_CONNECTED | LINECALLSTATE_PROCEEDING;
const SIZE_T kChainStackSize = 2048;
HCALL g_hChainConfCall;

// The host's command id of the command that set each chain up. A chain stores its records
// seconds later, when m_dwOrgCmdId may already belong to another command; records the library
// did not make itself (none in the table) keep the value current when they store.
std::mutex g_chainIdsLock;
std::map<const CommandChainRecord*, DWORD> g_chainOrgCmdIds;

void RememberOrgCmdId(const CommandChainRecord* pRecord, DWORD dwOrgCmdId) {
    std::lock_guard<std::mutex> guard(g_chainIdsLock);
    g_chainOrgCmdIds[pRecord] = dwOrgCmdId;
}

DWORD ChainOrgCmdId(const CommandChainRecord* pRecord, DWORD dwCurrent) {
    std::lock_guard<std::mutex> guard(g_chainIdsLock);
    auto it = g_chainOrgCmdIds.find(pRecord);
    return it == g_chainOrgCmdIds.end() ? dwCurrent : it->second;
}

void ForgetOrgCmdId(const CommandChainRecord* pRecord) {
    std::lock_guard<std::mutex> guard(g_chainIdsLock);
    g_chainOrgCmdIds.erase(pRecord);
}

DWORD ConsultState(DWORD hConsultCall) {
    CCallStatus status(hConsultCall);
    return status.GetStatus();
}
}  // namespace

namespace linvoq {

CommandChainRecord* NewChainRecord(LONG lInitialError, DWORD dwChainType, CLineDevice* pDevice, DWORD hCall,
                                   const char* pszNumber) {
    CommandChainRecord* pRecord = static_cast<CommandChainRecord*>(std::calloc(1, sizeof(CommandChainRecord)));
    if (!pRecord) return nullptr;
    pRecord->lInitialError = lInitialError;
    pRecord->dwChainType = dwChainType;
    pRecord->pDevice = pDevice;
    pRecord->dwDeviceID = pDevice ? pDevice->GetDeviceID() : 0;
    pRecord->hCall = hCall;
    CopyText(pRecord->szNumber, sizeof pRecord->szNumber, pszNumber, 31);
    RememberOrgCmdId(pRecord, CTapiApp::m_dwOrgCmdId);
    return pRecord;
}

}  // namespace linvoq

HANDLE CTapiApp::StartChain(CommandChainRecord* pRecord) {
    // Suspended until the handle is in the record: the thread closes it at its end.
    HANDLE hThread = CreateThread(nullptr, kChainStackSize, CommandChainTread, pRecord, CREATE_SUSPENDED,
                                  &pRecord->dwThreadId);
    if (!hThread) {
        ForgetOrgCmdId(pRecord);
        std::free(pRecord);
        return nullptr;
    }
    pRecord->hThread = hThread;
    ResumeThread(hThread);
    return hThread;
}

void CTapiApp::RunMakeCallChain(CommandChainRecord* pRecord) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (ConsultState(pRecord->hConsultCall) == LINECALLSTATE_DIALTONE) {
            long result = lineDial(pRecord->hConsultCall, pRecord->szNumber, 0);
            if (result > 0)
                linvoq::g_ReplyStack.Store(result, "{Cmd:ConsultationCall}{OrgCmdId:%d}{CmdId:%d}{Ext:%s}{Dest:%s}",
                                           ChainOrgCmdId(pRecord, m_dwOrgCmdId), result, pRecord->pDevice->GetAddress(),
                                           pRecord->szNumber);
            else
                OnCommandResult(pRecord->dwDeviceID, pRecord->lInitialError, result);
            return;
        }
        Sleep(kMakeCallWaitMs);
    }
}

void CTapiApp::RunTransferChain(CommandChainRecord* pRecord) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (ConsultState(pRecord->hConsultCall) != LINECALLSTATE_DIALTONE) {
            Sleep(kTransferDialWaitMs);
            continue;
        }
        long result = lineDial(pRecord->hConsultCall, pRecord->szNumber, 0);
        if (result <= 0) {
            OnCommandResult(pRecord->dwDeviceID, pRecord->lInitialError, result);
            return;
        }
        for (int poll = 0; poll < kAttempts; ++poll) {
            if (ConsultState(pRecord->hConsultCall) & kReachedMask) {
                long complete = lineCompleteTransfer(pRecord->hCall, pRecord->hConsultCall, &g_hChainConfCall,
                                                     LINETRANSFERMODE_TRANSFER);
                if (complete > 0)
                    linvoq::g_ReplyStack.Store(complete, "{Cmd:TransferCall}{OrgCmdId:%d}{CmdId:%d}{Ext:%s}",
                                               ChainOrgCmdId(pRecord, m_dwOrgCmdId), complete,
                                               pRecord->pDevice->GetAddress());
                else
                    OnCommandResult(pRecord->dwDeviceID, pRecord->lInitialError, complete);
                return;
            }
            Sleep(kTransferPollMs);
        }
        return;
    }
}

DWORD WINAPI CTapiApp::CommandChainTread(LPVOID pParam) {
    CommandChainRecord* pRecord = static_cast<CommandChainRecord*>(pParam);
    CTapiApp* app = m_pThisTA;
    if (app) {
        app->SendDebugInfo(4, "CommandChainTread");
        app->SendDebugInfo(4, " lpRecord: 0x%08X", pRecord);
        if (pRecord->dwChainType == ZYKLUS_MAKECALL2) {
            app->SendDebugInfo(5, " ZYKLUS_MAKECALL2");
            app->RunMakeCallChain(pRecord);
        } else if (pRecord->dwChainType == ZYKLUS_BLINDTRANSFER2) {
            app->SendDebugInfo(5, " ZYKLUS_BLINDTRANSFER2");
            app->RunTransferChain(pRecord);
        }
        app->SendDebugInfo(5, "CommandChainTread End");
    }
    HANDLE hThread = pRecord->hThread;
    ForgetOrgCmdId(pRecord);
    std::free(pRecord);
    CloseHandle(hThread);
    return 0;
}
