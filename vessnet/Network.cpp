// Construction, start and stop of the server.
#include "DeferredClose.h"
#include "HiddenWindow.h"
#include "PortText.h"
#include "ServerState.h"

#include <cstring>

using vessnet::IsValidSocket;

BOOL CTelnetServer::m_bWsaStartup = 1;
SOCKET CTelnetServer::m_ServerSocket = INVALID_SOCKET;
sockaddr_in CTelnetServer::m_SockAddrIn = {};
HWND CTelnetServer::m_hWndHidden = nullptr;
CTelnetServer* CTelnetServer::m_pThisTS = nullptr;
UINT CTelnetServer::m_wKaTimer = 0;

namespace {

constexpr int kBindTries = 5;
// A burst of clients connecting at once must all be taken, not left half-open by the system.
constexpr int kListenBacklog = SOMAXCONN;

void CloseListener(CTelnetServer& server, SOCKET& listener) {
    server.OnTsDebugInfo(2, " Close socket %d", static_cast<int>(listener));
    if (IsValidSocket(listener)) closesocket(listener);
    listener = INVALID_SOCKET;
}

}  // namespace

// The last constructed instance gets the events. Only the first one resets the table: a
// second object must not cut the live connections of the running server.
CTelnetServer::CTelnetServer() {
    const bool bFirst = m_pThisTS == nullptr;
    m_pThisTS = this;
    if (bFirst) ResetSockets();
}

CTelnetServer::CTelnetServer(const CTelnetServer&) {}

CTelnetServer& CTelnetServer::operator=(const CTelnetServer&) { return *this; }

// Copies and instances that were superseded leave the running server alone.
CTelnetServer::~CTelnetServer() {
    if (m_pThisTS != this) return;
    StopNetwork();
    m_pThisTS = nullptr;  // the window procedure must not reach a dead object
}

void CTelnetServer::OnDispatchCommand(SOCKET, char*) {}
void CTelnetServer::OnConnected(SOCKET) {}
void CTelnetServer::OnDisconnected(SOCKET) {}
void CTelnetServer::OnKaTimer() {}
void CTelnetServer::OnTsDebugInfo(unsigned long, const char*, ...) {}
void CTelnetServer::OnLineDropped(SOCKET, int) {}

void CTelnetServer::OnOutputDropped(SOCKET, unsigned long) {}

int CTelnetServer::StartNetwork(const char* pszName, const char* pszPort) {
    OnTsDebugInfo(2, "CTelnetServer::StartNetwork %s %s", pszName, pszPort);
    if (pszPort == nullptr || pszPort[0] == '\0') return 0;

    std::memset(&m_SockAddrIn, 0, sizeof m_SockAddrIn);
    m_SockAddrIn.sin_family = AF_INET;
    m_SockAddrIn.sin_port = htons(vessnet::ParsePortText(pszPort));
    m_SockAddrIn.sin_addr.s_addr = htonl(INADDR_ANY);

    // A second start replaces the listener; the first one must not go on accepting unseen.
    if (IsValidSocket(m_ServerSocket)) CloseListener(*this, m_ServerSocket);

    vessnet::RegisterHiddenWindowClass(pszName, HiddenWindowProc);
    if (m_hWndHidden == nullptr) {
        OnTsDebugInfo(1, " Create Hidden Window");
        m_hWndHidden = vessnet::CreateHiddenWindow(pszName);
        OnTsDebugInfo(1, " m_hWndHidden: 0x%08X", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(m_hWndHidden)));
        if (m_hWndHidden == nullptr) {
            // Without the window no socket event would ever be dispatched.
            OnTsDebugInfo(0, " CreateWindow-Fehler %lu", GetLastError());
            StopNetwork();
            return 0;
        }
    }

    // Started once and held until StopNetwork, so start-up and clean-up stay balanced.
    if (m_bWsaStartup && !vessnet::g_bWsaHeld) {
        WSADATA wsaData;
        std::memset(&wsaData, 0, sizeof wsaData);
        int nResult = WSAStartup(MAKEWORD(2, 0), &wsaData);
        OnTsDebugInfo(2, " WSAStartup result: %d", nResult);
        if (nResult != 0) {
            OnTsDebugInfo(0, " WSAStartup-Fehler");
            m_bWsaStartup = 0;
            return 0;
        }
        vessnet::g_bWsaHeld = true;
    }

    WSASetLastError(0);
    m_ServerSocket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    OnTsDebugInfo(2, " m_ServerSocket: %d", static_cast<int>(m_ServerSocket));
    if (m_ServerSocket == INVALID_SOCKET) {
        OnTsDebugInfo(0, " Client Socket Fehler %d", WSAGetLastError());
        StopNetwork();
        return 0;
    }

    WSASetLastError(0);
    if (WSAAsyncSelect(m_ServerSocket, m_hWndHidden, WM_SOCKET_NOTIFY, FD_READ | FD_ACCEPT | FD_CLOSE) != 0) {
        OnTsDebugInfo(0, " WSAAsyncSelect-Fehler %d", WSAGetLastError());
        StopNetwork();
        return 0;
    }

    int nBindError = 0;
    for (int nTry = 0; nTry < kBindTries; ++nTry) {
        Sleep(static_cast<DWORD>(nTry) * 1000);  // 0 + 1 + 2 + 3 + 4 s: a port in TIME_WAIT frees up
        nBindError = 0;
        WSASetLastError(0);
        if (bind(m_ServerSocket, reinterpret_cast<sockaddr*>(&m_SockAddrIn), sizeof m_SockAddrIn) == 0) break;
        nBindError = WSAGetLastError();
        OnTsDebugInfo(0, " Bind Error (try %d): %d", nTry, nBindError);
    }
    if (nBindError != 0) {
        StopNetwork();
        return 0;
    }

    WSASetLastError(0);
    if (listen(m_ServerSocket, kListenBacklog) != 0) {
        OnTsDebugInfo(0, " Listen Fehler %d", WSAGetLastError());
        StopNetwork();
        return 0;
    }

    OnTsDebugInfo(1, " StartNetwork successful");
    return 1;
}

void CTelnetServer::StopNetwork() {
    OnTsDebugInfo(1, "CTelnetServer::StopNetwork");
    ResetSockets();
    if (m_ServerSocket != 0) CloseListener(*this, m_ServerSocket);
    {
        // Sockets cleared with notification whose WM_CLOSE_SOCKET has not come yet.
        vessnet::ConnectionLock lock;
        vessnet::CloseAllDue();
    }
    if (vessnet::g_bWsaHeld) {
        WSACleanup();
        vessnet::g_bWsaHeld = false;
    }
    OnTsDebugInfo(2, " Destroy hidden window 0x%08X", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(m_hWndHidden)));
    if (m_hWndHidden != nullptr) DestroyWindow(m_hWndHidden);
    m_hWndHidden = nullptr;
}
