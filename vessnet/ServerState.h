// State shared by the server's source files: one server per process, nothing allocated.
#pragma once

#include "TelnetServer.h"

#include <cstddef>

namespace vessnet {

constexpr std::size_t kReceiveSize = 2048;  // bytes taken per read notification

extern HINSTANCE g_hModule;
extern CRITICAL_SECTION g_ConnectionLock;
extern TS_CONNECTION g_Connections[TS_MAX_CONNECTIONS];
extern bool g_bWsaHeld;  // our WSAStartup succeeded and is not yet cleaned up

inline bool IsValidSocket(SOCKET s) { return s != 0 && s != INVALID_SOCKET; }

// An invalid value never names a connection, so free slots are never matched by socket.
inline bool SlotHolds(const TS_CONNECTION& slot, SOCKET s)
{
    return IsValidSocket(s) && slot.Socket == s;
}

long Now();  // seconds since 1970, from the clock tests may replace

// Re-entrant for its owner: host callbacks run with it held and may call back in.
class ConnectionLock {
public:
    ConnectionLock() { EnterCriticalSection(&g_ConnectionLock); }
    ~ConnectionLock() { LeaveCriticalSection(&g_ConnectionLock); }
    ConnectionLock(const ConnectionLock&) = delete;
    ConnectionLock& operator=(const ConnectionLock&) = delete;
};

}  // namespace vessnet
