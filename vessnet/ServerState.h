// State shared by the server's source files: one server per process, nothing allocated.
#pragma once

#include "LineGatherer.h"
#include "OutputQueue.h"
#include "TelnetServer.h"
#include "toolfunc/ScopedGuards.h"

#include <cstddef>
#include <cstdint>

namespace vessnet {

constexpr std::size_t kReceiveSize = 2048;  // bytes taken per read notification

// Posted when a connection's output queue ran over; wParam is its socket. The connection is
// cleared when the message is handled, never inside the sending operation, so that a host
// sending from a loop over its own clients never sees OnDisconnected in the middle of it.
constexpr UINT WM_OUTPUT_OVERFLOW = WM_USER + 108;
// Posted when lines were gathered outside the window procedure; handling it sends them.
constexpr UINT WM_OUTPUT_FLUSH = WM_USER + 109;

// What a slot needs beyond TS_CONNECTION, whose layout hosts may rely on.
struct SlotState {
    std::uint32_t serial = 0;  // changes each time the slot is taken
    LineSkip skip;
    bool reading = false;         // a read of this slot is dispatching (the host may pump messages)
    bool readAgain = false;       // an FD_READ came meanwhile: read again once the first is done
    bool closeAfterRead = false;  // an FD_CLOSE came meanwhile: handled once the read is done
    bool overflowed = false;      // the output queue ran over; the slot is cleared soon
    bool batched = false;         // holds lines gathered during the current message, not yet sent
    unsigned long dropped = 0;    // bytes not sent since it ran over
    OutputQueue output;
};

extern HINSTANCE g_hModule;
extern CRITICAL_SECTION g_ConnectionLock;
extern CRITICAL_SECTION g_OutputLock;
extern TS_CONNECTION g_Connections[TS_MAX_CONNECTIONS];
extern SlotState g_Slots[TS_MAX_CONNECTIONS];
extern bool g_bWsaHeld;  // our WSAStartup succeeded and is not yet cleaned up

inline bool IsValidSocket(SOCKET s) { return s != 0 && s != INVALID_SOCKET; }

// An invalid value never names a connection, so free slots are never matched by socket.
inline bool SlotHolds(const TS_CONNECTION& slot, SOCKET s) { return IsValidSocket(s) && slot.Socket == s; }

long Now();  // seconds since 1970, from the clock tests may replace

// Re-entrant for its owner: host callbacks run with it held and may call back in.
class ConnectionLock : public tvx::ScopedLock {
public:
    ConnectionLock() : tvx::ScopedLock(&g_ConnectionLock) {}
};

// Guards the output queues, so that sends from any thread and FD_WRITE on the window's thread
// never interleave. Held only around queue work and send(): never while host code runs.
class OutputLock : public tvx::ScopedLock {
public:
    OutputLock() : tvx::ScopedLock(&g_OutputLock) {}
};

// Fresh input and output state for a slot that is taken or freed.
void ResetSlotState(long pos);

}  // namespace vessnet
