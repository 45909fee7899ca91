// Multi-step commands on a thread of their own: dial on a consultation call once it has dial
// tone, and complete a transfer once the destination rings or answers.
#include <tapi.h>

#include <cstdlib>

#include "ChainLifetime.h"
#include "CommandChain.h"
#include "CommandRecord.h"
#include "ScopedLock.h"
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

DWORD ConsultState(DWORD hConsultCall) {
    CCallStatus status(hConsultCall);
    return status.GetStatus();
}

// One request of a chain, issued with the library lock held and only while the line is still
// there: its record is stored before the reply can be handled, and a removed line is never
// touched. A refused request goes to OnCommandResult. Returns the request's result, 0 when the
// line or the session is gone (the chain then ends without a report).
template <class Request, class StoreRecord>
long ChainRequest(CTapiApp* app, const CommandChainRecord* pRecord, const linvoq::ChainContext& context,
                  Request request, StoreRecord store) {
    linvoq::ScopedLock lock(&CTapiApp::m_CS);
    if (linvoq::ChainCancelled(context) || !app->GetDeviceObjectFromLineID(pRecord->dwDeviceID)) return 0;
    long result = request();
    if (result > 0)
        store(result);
    else
        app->OnCommandResult(pRecord->dwDeviceID, pRecord->lInitialError, result);
    return result;
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
    AttachChainContext(pRecord, CTapiApp::m_dwOrgCmdId, pDevice ? pDevice->GetAddress() : "");
    return pRecord;
}

}  // namespace linvoq

HANDLE CTapiApp::StartChain(CommandChainRecord* pRecord) {
    // Suspended until the handle is in the record: the thread closes it at its end.
    tvx::ScopedKernelHandle thread(
        CreateThread(nullptr, kChainStackSize, CommandChainTread, pRecord, CREATE_SUSPENDED, &pRecord->dwThreadId));
    if (!thread) {
        linvoq::FreeChainRecord(pRecord);
        return nullptr;
    }
    if (!linvoq::RegisterChainThread(thread.get())) {
        // A chain StopTapi could not wait for must not run.
        TerminateThread(thread.get(), 0);
        linvoq::FreeChainRecord(pRecord);
        return nullptr;
    }
    HANDLE hThread = thread.release();
    pRecord->hThread = hThread;
    ResumeThread(hThread);
    return hThread;
}

void CTapiApp::RunMakeCallChain(CommandChainRecord* pRecord) {
    linvoq::ChainContext context = linvoq::ChainContextOf(pRecord);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        pRecord->hConsultCall = linvoq::ConsultCallOf(context);
        if (ConsultState(pRecord->hConsultCall) == LINECALLSTATE_DIALTONE) {
            ChainRequest(
                this, pRecord, context, [&] { return lineDial(pRecord->hConsultCall, pRecord->szNumber, 0); },
                [&](long request) {
                    linvoq::g_ReplyStack.Store(request,
                                               "{Cmd:ConsultationCall}{OrgCmdId:%d}{CmdId:%d}{Ext:%s}{Dest:%s}",
                                               context.dwOrgCmdId, request, context.szAddress, pRecord->szNumber);
                });
            return;
        }
        if (!linvoq::ChainWait(context, kMakeCallWaitMs)) return;
    }
}

void CTapiApp::RunTransferChain(CommandChainRecord* pRecord) {
    linvoq::ChainContext context = linvoq::ChainContextOf(pRecord);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        pRecord->hConsultCall = linvoq::ConsultCallOf(context);
        if (ConsultState(pRecord->hConsultCall) != LINECALLSTATE_DIALTONE) {
            if (!linvoq::ChainWait(context, kTransferDialWaitMs)) return;
            continue;
        }
        long result = ChainRequest(
            this, pRecord, context, [&] { return lineDial(pRecord->hConsultCall, pRecord->szNumber, 0); }, [](long) {});
        if (result <= 0) return;
        for (int poll = 0; poll < kAttempts; ++poll) {
            if (ConsultState(pRecord->hConsultCall) & kReachedMask) {
                ChainRequest(
                    this, pRecord, context,
                    [&] {
                        return lineCompleteTransfer(pRecord->hCall, pRecord->hConsultCall, &g_hChainConfCall,
                                                    LINETRANSFERMODE_TRANSFER);
                    },
                    [&](long request) {
                        linvoq::g_ReplyStack.Store(request, "{Cmd:TransferCall}{OrgCmdId:%d}{CmdId:%d}{Ext:%s}",
                                                   context.dwOrgCmdId, request, context.szAddress);
                    });
                return;
            }
            if (!linvoq::ChainWait(context, kTransferPollMs)) return;
        }
        return;
    }
}

DWORD WINAPI CTapiApp::CommandChainTread(LPVOID pParam) {
    CommandChainRecord* pRecord = static_cast<CommandChainRecord*>(pParam);
    linvoq::ChainContext context = linvoq::ChainContextOf(pRecord);
    CTapiApp* app = m_pThisTA;
    // A chain of a session that is being stopped does not touch the application object.
    if (app && !linvoq::ChainCancelled(context)) {
        app->SendDebugInfo(4, "CommandChainTread");
        app->SendDebugInfo(4, " lpRecord: 0x%08X", pRecord);
        if (pRecord->dwChainType == ZYKLUS_MAKECALL2) {
            app->SendDebugInfo(5, " ZYKLUS_MAKECALL2");
            app->RunMakeCallChain(pRecord);
        } else if (pRecord->dwChainType == ZYKLUS_BLINDTRANSFER2) {
            app->SendDebugInfo(5, " ZYKLUS_BLINDTRANSFER2");
            app->RunTransferChain(pRecord);
        }
        if (!linvoq::ChainCancelled(context)) app->SendDebugInfo(5, "CommandChainTread End");
    }
    HANDLE hThread = pRecord->hThread;
    linvoq::FreeChainRecord(pRecord);
    CloseHandle(hThread);
    return 0;
}
