#include "DeferredClose.h"

#include "ServerState.h"

namespace vessnet {

namespace {

// One per slot is the most that can wait at a time; twice that leaves room for a burst.
constexpr int kMaxDue = 2 * TS_MAX_CONNECTIONS;
SOCKET g_due[kMaxDue];
int g_dueCount = 0;

bool RemoveDue(SOCKET s) {
    for (int i = 0; i < g_dueCount; ++i) {
        if (g_due[i] == s) {
            g_due[i] = g_due[--g_dueCount];
            return true;
        }
    }
    return false;
}

}  // namespace

void DeferClose(HWND hWnd, SOCKET s) {
    RemoveDue(s);  // never recorded twice
    if (g_dueCount < kMaxDue && hWnd != nullptr && PostMessageA(hWnd, WM_CLOSE_SOCKET, s, 0)) {
        g_due[g_dueCount++] = s;
        return;
    }
    closesocket(s);
}

void CloseIfDue(SOCKET s) {
    if (RemoveDue(s)) closesocket(s);
}

void ForgetDueClose(SOCKET s) { RemoveDue(s); }

void CloseAllDue() {
    while (g_dueCount > 0) closesocket(g_due[--g_dueCount]);
}

}  // namespace vessnet
