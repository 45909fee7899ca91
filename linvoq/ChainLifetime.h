// What a command chain needs beyond its 64-byte record: storage for the consultation handle that
// outlives the chain, the device's address taken at set-up, and the set of running chains that
// StopTapi ends before the session goes away.
#pragma once

#include <windows.h>

struct CommandChainRecord;

namespace linvoq {

struct ChainContext {
    DWORD dwOrgCmdId;      // the host's command id when the chain was set up
    char szAddress[64];    // the device's address at set-up, for the records
    DWORD* phConsultCall;  // where TAPI writes the consultation handle (library-owned)
    DWORD dwGeneration;    // the session the chain belongs to
};

// Attaches a context to a new record; false when out of memory.
bool AttachChainContext(const CommandChainRecord* pRecord, DWORD dwOrgCmdId, const char* pszAddress);
// A copy of the record's context (empty, of the running session, when it has none).
ChainContext ChainContextOf(const CommandChainRecord* pRecord);
// Frees a record with its context; a consultation slot it holds waits for its reply.
void FreeChainRecord(CommandChainRecord* pRecord);

// Sets the transfer up for the record's chain (lineSetupTransfer), giving TAPI a slot that lives
// until the request's LINE_REPLY has arrived. Call with the library lock held, so that the reply
// cannot be handled before the slot knows its request id.
long SetupChainTransfer(CommandChainRecord* pRecord);
// The consultation handle TAPI has written so far (0 until the set-up completes).
DWORD ConsultCallOf(const ChainContext& context);
// LINE_REPLY for requestId has arrived: TAPI writes no more into its slot.
void ConsultReplyArrived(DWORD dwRequestID);

// Keeps a handle of a chain thread that is about to run; false when it cannot be kept.
bool RegisterChainThread(HANDLE hThread);
// Waits up to dwMs; false when the chain's session is being stopped (the chain must end).
bool ChainWait(const ChainContext& context, DWORD dwMs);
bool ChainCancelled(const ChainContext& context);
// Tells every running chain to end and waits for them, at most dwMaxWaitMs in all.
void StopChains(DWORD dwMaxWaitMs);
// After lineShutdown: no reply will come, so slots whose chain has ended are freed.
void EndConsultReplies();

}  // namespace linvoq
