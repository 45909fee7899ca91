// The keep-alive timer: timer 2 of the hidden window, dying with it.
#include "ServerState.h"

void CTelnetServer::SetKaTimer(unsigned long dwInterval) {
    OnTsDebugInfo(3, "CTelnetServer::SetKaTimer: %d", static_cast<int>(dwInterval));
    // Without the window a timer would be a thread timer that nothing ever kills.
    if (m_hWndHidden == nullptr) return;
    if (m_wKaTimer != 0) KillTimer(m_hWndHidden, TS_KA_TIMER_ID);
    m_wKaTimer = static_cast<UINT>(SetTimer(m_hWndHidden, TS_KA_TIMER_ID, dwInterval, nullptr));
}
