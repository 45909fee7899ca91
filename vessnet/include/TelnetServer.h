// CTelnetServer: the TCP server for the host's text protocol (VESSNET.DLL).
//
// One server per process. The host derives its own class, overrides the On... operations,
// calls StartNetwork once and StopNetwork at shutdown, and pumps messages on the thread that
// called StartNetwork: every socket event and the keep-alive timer arrive at a hidden window
// on that thread. Incoming bytes are cut into lines at CR, LF or NUL and handed to
// OnDispatchCommand; output lines end with CR LF.
//
// All texts the library hands to the host are its own and valid only during the call.
// Every text result is a static buffer that the next call of the same operation overwrites.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include "VessnetApi.h"

#if defined(__GNUC__)
#define VESSNET_PRINTF(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#else
#define VESSNET_PRINTF(fmt, args)
#endif

// Messages of the hidden window.
#define WM_SOCKET_NOTIFY (WM_USER + 106)  // wParam socket, LOWORD(lParam) event, HIWORD error
// wParam socket to close; posted by ClearConnection (a socket the library did not post is left open)
#define WM_CLOSE_SOCKET (WM_USER + 107)

#define TS_MAX_CONNECTIONS 248
#define TS_LINE_SIZE 2048
#define TS_TOKENS_SIZE 128
#define TS_KA_TIMER_ID 2

// One client connection: a slot of the server's fixed connection table.
struct TS_CONNECTION {
    SOCKET Socket;                  // INVALID_SOCKET when the slot is free
    DWORD nLength;                  // characters gathered so far in szLine
    char szLine[TS_LINE_SIZE];      // line being gathered; all zero between lines
    char szTokens[TS_TOKENS_SIZE];  // token list, entries "token|" one after another
    long tConnected;                // seconds since 1970 when accepted; 0 when cleared
    DWORD dwIP;                     // peer IPv4 address, network byte order
};

class VESSNET_API CTelnetServer {
public:
    CTelnetServer();                      // becomes the instance the window procedure calls; frees every slot
    CTelnetServer(const CTelnetServer&);  // copies nothing
    CTelnetServer& operator=(const CTelnetServer&);  // copies nothing

    // Virtual operations, in their fixed table order.
    virtual ~CTelnetServer();  // StopNetwork
    // A complete line (1 to 2047 characters, line end removed) from socket s.
    virtual void OnDispatchCommand(SOCKET s, char* pszLine);
    virtual void OnConnected(SOCKET s);
    virtual void OnDisconnected(SOCKET s);
    // Called on FD_ACCEPT. The base body accepts and stores the connection; overrides call it.
    virtual void OnNewConnection();
    virtual void OnKaTimer();
    // Every trace line: level 0 errors ... 4 the full text being sent.
    virtual void OnTsDebugInfo(unsigned long dwLevel, const char* pszFormat, ...) VESSNET_PRINTF(3, 4);
    // Added after the original slots, which keep their order. A line of 2048 or more
    // characters was received and dropped whole, up to and including its line end; nBytes is
    // its length without the line end (INT_MAX when longer). One call per dropped line, so a
    // host can answer it as it answers every other line.
    virtual void OnLineDropped(SOCKET s, int nBytes);
    // Added after OnLineDropped. The output queue of s ran over and s is being cleared:
    // nBytes (saturated) of the text sent to s never went out, counted from the end of
    // what was sent. Called once, right before OnDisconnected.
    virtual void OnOutputDropped(SOCKET s, unsigned long nBytes);

    // Listens on the decimal TCP port in pszPort on all local interfaces. pszName names the
    // hidden window's class and title. Returns 1 when listening, else 0. pszPort must not be null.
    int StartNetwork(const char* pszName, const char* pszPort);
    // Closes every connection (without OnDisconnected) and the listening socket, destroys the window.
    void StopNetwork();

    // Tokens: short texts the host attaches to a connection. An entry is "token|" (at most
    // 30 characters); a list matches a token when the entry occurs anywhere in it.
    void SetToken(SOCKET s, const char* pszToken);     // the list becomes this one entry
    void AddToken(SOCKET s, const char* pszToken);     // appends unless the list already matches
    void RemoveToken(SOCKET s, const char* pszToken);  // removes the first occurrence
    char* SocketToToken(SOCKET s);                     // first token of the list, "" if none
    char* SocketToTokens(SOCKET s);                    // the slot's own list, "" if no slot
    SOCKET TokenToSocket(const char* pszToken);        // first live connection matching, else 0
    SOCKET IPToSocket(unsigned long dwIP);             // first live connection from dwIP, else 0

    // Sending: the formatted text (at most 2047 characters) with CR LF appended while it fits
    // in 2046 characters. SendToClient sends no terminating NUL; the other three send one.
    void SendToClient(SOCKET s, const char* pszFormat, ...) VESSNET_PRINTF(3, 4);
    void SendToClientWithToken(const char* pszToken, const char* pszFormat, ...) VESSNET_PRINTF(3, 4);
    void SendToClientsWithTokens(const char* pszToken, const char* pszFormat, ...) VESSNET_PRINTF(3, 4);
    void SendToAllClients(const char* pszFormat, ...) VESSNET_PRINTF(2, 3);

    // (Re)starts keep-alive timer 2 of the hidden window: OnKaTimer every dwInterval ms.
    void SetKaTimer(unsigned long dwInterval);

    // Added after the original operations. On: lines sent on the window's thread while another
    // window's message is handled (telephony callbacks, timers) are gathered per connection as
    // those of the server's own messages are, and go out together right after that message, in
    // one send per connection; the same bytes in the same order. Off (the default): they go out
    // at once. For a host that pumps its messages with the usual loop.
    static void GatherOutsideDispatch(BOOL bOn);
    // Added after GatherOutsideDispatch. For a host whose own loop pumps the window's thread:
    // HoldOutput(TRUE) before it handles the messages waiting, HoldOutput(FALSE) before it waits
    // for more. Meanwhile every line sent on that thread, in the server's own messages too, is
    // gathered per connection (no wake-up is posted), and HoldOutput(FALSE) sends it all, one send
    // per connection; SendHeldOutput sends it earlier, for a long run of messages. The same bytes
    // in the same order; other threads still send at once. Calls nest; no effect on other threads.
    static void HoldOutput(BOOL bHold);
    static void SendHeldOutput();

protected:
    static LRESULT CALLBACK HiddenWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    void ResetSockets();  // closes and frees every slot; the host is not told
    void ReadConnection(SOCKET s);
    void DispatchCommand2(SOCKET s, char c);  // one received character
    // Frees the slots of s. With bNotify the socket is closed through WM_CLOSE_SOCKET and
    // the host gets OnDisconnected; without it the slot is only emptied.
    void ClearConnection(SOCKET s, BOOL bNotify);
    unsigned long GetConnectionCount();  // slots holding a valid socket
    long GetConnectionPos(SOCKET s);     // lowest slot of s, or -1
    unsigned long GetSameSocketCount(SOCKET s);

    static BOOL m_bWsaStartup;  // start Windows Sockets in StartNetwork; cleared after a failed start
    static SOCKET m_ServerSocket;
    static sockaddr_in m_SockAddrIn;  // listening address; accept writes the peer's address here
    static HWND m_hWndHidden;
    static CTelnetServer* m_pThisTS;  // the instance the window procedure calls
    static UINT m_wKaTimer;           // result of the last keep-alive SetTimer
};
