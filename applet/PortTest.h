// Whether the service could listen on a TCP port: bind a listener to the port, connect to it
// over 127.0.0.1, send a 4-byte token and wait up to about 1 s for it to arrive. Socket events
// come as window messages to a hidden window of the calling thread, whose messages the test
// dispatches while it waits.
#pragma once

#include <winsock2.h>
#include <windows.h>

// Socket notification of the hidden window.
#define WM_SOCKET_NOTIFY (WM_USER + 106)

class CTcpPortTest {
public:
    enum Result {
        PORT_USABLE = 0,       // the token arrived
        PORT_NO_SOCKET = 1,    // a socket could not be created
        PORT_NO_SELECT = 2,    // event selection on the listener failed
        PORT_BIND_FAILED = 3,  // port in use or not allowed
        PORT_LISTEN_FAILED = 4,
        PORT_CONNECT_FAILED = 5,
        PORT_SEND_FAILED = 6,   // the token was not sent whole
        PORT_NO_TOKEN = 7,      // the token did not arrive in time
        PORT_OUT_OF_RANGE = 8,  // outside 1025 to 65535; nothing was tried
    };

    CTcpPortTest();           // starts WinSock 2.0
    virtual ~CTcpPortTest();  // ends it

    // One of Result. Runs on the calling thread and dispatches its messages while waiting.
    int PortTest(unsigned int nPort);
    // Closes the sockets and removes the hidden window and its class.
    void Clear();

    static const char* const kWindowClass;  // "PortTestWindow"

private:
    static void CreateHiddenWindow();
    static int RunSocketTest();
    static void WaitForToken();
    static LRESULT CALLBACK HiddenWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    static void OnAccept();
    static void OnRead();
};

// The module's one port test (WinSock lives as long as the module).
CTcpPortTest& ThePortTest();

// True if the bytes are the test's token: exactly 4 bytes, 0x12345678 in memory order.
bool IsPortTestToken(const char* pBytes, int nBytes);
