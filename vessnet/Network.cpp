// Construction, start and stop of the server.
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
constexpr int kListenBacklog = 5;
}

CTelnetServer::CTelnetServer()
{
    m_pThisTS = this;
    ResetSockets();
}

CTelnetServer::CTelnetServer(const CTelnetServer&) {}

CTelnetServer& CTelnetServer::operator=(const CTelnetServer&) { return *this; }

CTelnetServer::~CTelnetServer()
{
    StopNetwork();
    if (m_pThisTS == this)
        m_pThisTS = nullptr;  // the window procedure must not reach a dead object
}

void CTelnetServer::OnDispatchCommand(SOCKET, char*) {}
void CTelnetServer::OnConnected(SOCKET) {}
void CTelnetServer::OnDisconnected(SOCKET) {}
void CTelnetServer::OnKaTimer() {}
void CTelnetServer::OnTsDebugInfo(unsigned long, const char*, ...) {}

int CTelnetServer::StartNetwork(const char* pszName, const char* pszPort)
{
    OnTsDebugInfo(2, "CTelnetServer::StartNetwork %s %s", pszName, pszPort);
    if (pszPort == nullptr || pszPort[0] == '\0')
        return 0;

    std::memset(&m_SockAddrIn, 0, sizeof m_SockAddrIn);
    m_SockAddrIn.sin_family = AF_INET;
    m_SockAddrIn.sin_port = htons(vessnet::ParsePortText(pszPort));
    m_SockAddrIn.sin_addr.s_addr = htonl(INADDR_ANY);

    vessnet::RegisterHiddenWindowClass(pszName, HiddenWindowProc);
    if (m_hWndHidden == nullptr) {
        OnTsDebugInfo(1, " Create Hidden Window");
        m_hWndHidden = vessnet::CreateHiddenWindow(pszName);
        OnTsDebugInfo(1, " m_hWndHidden: 0x%08X", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(m_hWndHidden)));
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
        if (bind(m_ServerSocket, reinterpret_cast<sockaddr*>(&m_SockAddrIn), sizeof m_SockAddrIn) == 0)
            break;
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

namespace {

// Sockets cleared with notification are closed when their WM_CLOSE_SOCKET is handled; those
// still queued die with the window unless closed here.
void CloseQueuedSockets(HWND hWnd)
{
    MSG msg;
    for (int i = 0; i < 4 * TS_MAX_CONNECTIONS && hWnd != nullptr &&
                    PeekMessageA(&msg, hWnd, WM_CLOSE_SOCKET, WM_CLOSE_SOCKET, PM_REMOVE);
         ++i)
        closesocket(static_cast<SOCKET>(msg.wParam));
}

}  // namespace

void CTelnetServer::StopNetwork()
{
    OnTsDebugInfo(1, "CTelnetServer::StopNetwork");
    ResetSockets();
    if (m_ServerSocket != 0) {
        OnTsDebugInfo(2, " Close socket %d", static_cast<int>(m_ServerSocket));
        if (IsValidSocket(m_ServerSocket))
            closesocket(m_ServerSocket);
        m_ServerSocket = INVALID_SOCKET;
    }
    CloseQueuedSockets(m_hWndHidden);
    if (vessnet::g_bWsaHeld) {
        WSACleanup();
        vessnet::g_bWsaHeld = false;
    }
    OnTsDebugInfo(2, " Destroy hidden window 0x%08X", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(m_hWndHidden)));
    if (m_hWndHidden != nullptr)
        DestroyWindow(m_hWndHidden);
    m_hWndHidden = nullptr;
}
