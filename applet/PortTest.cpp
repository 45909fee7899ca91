#include "PortTest.h"

#include <cstring>

#include "ActivationScope.h"
#include "toolfunc/ScopedGuards.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

const char* const CTcpPortTest::kWindowClass = "PortTestWindow";

namespace {

const DWORD kToken = 0x12345678;
const int kWaitRounds = 20;
const DWORD kWaitStepMs = 50;
const unsigned kLowestPort = 1025;
const unsigned kHighestPort = 65535;

// State of the one test; a test runs on one thread at a time.
bool s_bWinSockStarted = false;
tvx::ScopedSocket s_server;
tvx::ScopedSocket s_client;
tvx::ScopedSocket s_accepted;
sockaddr_in s_serverAddress;
sockaddr_in s_targetAddress;
unsigned short s_nPort = 0;
bool s_bReceived = false;
HWND s_hWnd = NULL;

HINSTANCE ThisModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

sockaddr_in Address(u_long ulHostOrderIp, unsigned short nPort) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(nPort);
    address.sin_addr.s_addr = htonl(ulHostOrderIp);
    return address;
}

// Everything a test set up goes when it ends, whichever step it ended at.
class CClearOnExit {
public:
    explicit CClearOnExit(CTcpPortTest& test) : m_test(test) {}
    ~CClearOnExit() { m_test.Clear(); }

private:
    CTcpPortTest& m_test;
};

}  // namespace

bool IsPortTestToken(const char* pBytes, int nBytes) {
    return nBytes == static_cast<int>(sizeof kToken) && std::memcmp(pBytes, &kToken, sizeof kToken) == 0;
}

CTcpPortTest::CTcpPortTest() {
    WSADATA data;
    s_bWinSockStarted = WSAStartup(MAKEWORD(2, 0), &data) == 0;
}

CTcpPortTest::~CTcpPortTest() {
    if (s_bWinSockStarted) WSACleanup();
    s_bWinSockStarted = false;
}

int CTcpPortTest::PortTest(unsigned int nPort) {
    CreateHiddenWindow();
    s_bReceived = false;
    s_nPort = static_cast<unsigned short>(nPort);
    s_serverAddress = Address(INADDR_ANY, s_nPort);
    s_targetAddress = Address(INADDR_LOOPBACK, s_nPort);
    if (nPort < kLowestPort || nPort > kHighestPort) return PORT_OUT_OF_RANGE;

    CClearOnExit clear(*this);
    return RunSocketTest();
}

void CTcpPortTest::Clear() {
    s_client.reset();
    s_accepted.reset();
    s_server.reset();
    s_nPort = 0;
    std::memset(&s_serverAddress, 0, sizeof s_serverAddress);
    std::memset(&s_targetAddress, 0, sizeof s_targetAddress);
    if (s_hWnd) {
        DestroyWindow(s_hWnd);
        s_hWnd = NULL;
        UnregisterClassA(kWindowClass, ThisModule());
    }
}

void CTcpPortTest::CreateHiddenWindow() {
    CActivationScope scope;
    WNDCLASSA wc = {};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
    wc.lpfnWndProc = HiddenWindowProc;
    wc.hInstance = ThisModule();
    wc.lpszClassName = kWindowClass;
    // A class still registered from an out-of-range call keeps its window.
    if (RegisterClassA(&wc))
        s_hWnd = CreateWindowA(kWindowClass, kWindowClass, WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, NULL, NULL,
                               ThisModule(), NULL);
}

int CTcpPortTest::RunSocketTest() {
    WSASetLastError(0);
    s_server.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!s_server) return PORT_NO_SOCKET;
    WSASetLastError(0);
    if (WSAAsyncSelect(s_server.get(), s_hWnd, WM_SOCKET_NOTIFY, FD_ACCEPT) != 0) return PORT_NO_SELECT;
    WSASetLastError(0);
    s_client.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!s_client) return PORT_NO_SOCKET;
    WSASetLastError(0);
    if (bind(s_server.get(), reinterpret_cast<sockaddr*>(&s_serverAddress), sizeof s_serverAddress) != 0)
        return PORT_BIND_FAILED;
    if (listen(s_server.get(), 5) != 0) return PORT_LISTEN_FAILED;
    WSASetLastError(0);
    if (connect(s_client.get(), reinterpret_cast<sockaddr*>(&s_targetAddress), sizeof s_targetAddress) != 0 &&
        WSAGetLastError() != WSAEWOULDBLOCK)
        return PORT_CONNECT_FAILED;
    if (send(s_client.get(), reinterpret_cast<const char*>(&kToken), sizeof kToken, 0) != sizeof kToken)
        return PORT_SEND_FAILED;

    WaitForToken();
    return s_bReceived ? PORT_USABLE : PORT_NO_TOKEN;
}

void CTcpPortTest::WaitForToken() {
    for (int i = 0; i < kWaitRounds && !s_bReceived; ++i) {
        Sleep(kWaitStepMs);
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

LRESULT CALLBACK CTcpPortTest::HiddenWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg != WM_SOCKET_NOTIFY) return DefWindowProcA(hWnd, uMsg, wParam, lParam);
    if (WSAGETSELECTERROR(lParam) != 0) return 0;
    switch (WSAGETSELECTEVENT(lParam)) {
    case FD_ACCEPT:
        OnAccept();
        break;
    case FD_READ:
        OnRead();
        break;
    }
    return 0;
}

void CTcpPortTest::OnAccept() {
    SOCKET s = accept(s_server.get(), NULL, NULL);
    if (s == INVALID_SOCKET) return;
    // A second connection replaces the first; the first must not leak.
    s_accepted.reset(s);
    WSAAsyncSelect(s_accepted.get(), s_hWnd, WM_SOCKET_NOTIFY, FD_READ);
}

void CTcpPortTest::OnRead() {
    char bytes[sizeof kToken] = {};
    int n = recv(s_accepted.get(), bytes, sizeof bytes, 0);
    if (IsPortTestToken(bytes, n)) s_bReceived = true;
}

// Created when the module loads, so WinSock is up before the first test.
static CTcpPortTest s_portTest;

CTcpPortTest& ThePortTest() { return s_portTest; }
