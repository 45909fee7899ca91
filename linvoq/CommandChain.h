// The hand-over from a command to its chain thread (one heap block of 64 bytes).
#pragma once

#include <windows.h>

class CLineDevice;

enum : DWORD {
    ZYKLUS_MAKECALL2 = 1,       // dial on the consultation call once it has dial tone
    ZYKLUS_BLINDTRANSFER2 = 2,  // dial, wait until it rings or answers, complete the transfer
};

struct CommandChainRecord {
    HANDLE hThread;
    DWORD dwThreadId;
    LONG lInitialError;
    DWORD dwChainType;
    DWORD dwDeviceID;
    DWORD hCall;         // the connected call the transfer was set up on
    DWORD hConsultCall;  // written by TAPI when the set-up completes
    char szNumber[32];
    CLineDevice* pDevice;
};

static_assert(sizeof(void*) != 4 || sizeof(CommandChainRecord) == 64, "the chain record is one 64-byte block");

namespace linvoq {

// Allocates a zero-filled record; null when out of memory.
CommandChainRecord* NewChainRecord(LONG lInitialError, DWORD dwChainType, CLineDevice* pDevice, DWORD hCall,
                                   const char* pszNumber);

}  // namespace linvoq
