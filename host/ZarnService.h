// The ZARN service: client sessions, commands carried out on the telephony object, and the
// event lines for the clients that monitor a line.
//
// Everything runs on the thread that pumps the messages of both libraries, except
// ReportChainRefusal, which only posts to that thread.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <map>
#include <memory>
#include <set>
#include <string>

#include "AccessRules.h"
#include "CallFilter.h"
#include "ClientLink.h"
#include "HostSettings.h"
#include "MediaJobs.h"
#include "MonitorRegistry.h"
#include "PendingCommands.h"
#include "ProtocolLog.h"
#include "ZarnCommands.h"

class CTelvarixTapi;
class CLineDevice;

// Thread message carrying a refused chain step (wParam: heap ChainRefusal, freed by the handler).
#define WM_TVX_CHAIN_REFUSAL (WM_APP + 1)
// Thread message: look again at the lines waiting to be closed.
#define WM_TVX_CHECK_CLOSES (WM_APP + 2)

struct ChainRefusal {
    DWORD dwDeviceID;
    long lInitialError;
    long lResult;
};

class ZarnService {
public:
    ZarnService(const HostSettings& settings, ProtocolLog& log);

    void Attach(CTelvarixTapi* pTapi, ClientLink* pLink);

    // From the connection server.
    void OnClientConnected(SOCKET s, std::uint32_t dwPeerAddress);
    void OnClientDisconnected(SOCKET s);
    void OnClientLine(SOCKET s, const char* pszLine);
    void OnKeepAlive();
    // Once a second: closes connections that did not log in in time.
    void OnSecondTick();

    // From the telephony object.
    void PublishLineEvent(const std::string& ext, const std::string& line);
    void PublishCallEvent(DWORD dwDeviceID, DWORD hCall, const std::string& ext, const std::string& line);
    // Judges a call by its number (filters) before its event is published.
    void JudgeCall(DWORD dwDeviceID, DWORD hCall, bool bInbound, const std::string& number);
    void ForgetCall(DWORD dwDeviceID, DWORD hCall);
    bool HidesNumber(bool bInbound, const std::string& number) const;
    void PublishToAll(const std::string& line);
    void OnCompletion(char* pszExt, char* pszCmd, char* pszOrgCmdId, int bSuccess, char* pszResult);
    void OnChainRefusal(const ChainRefusal& refusal);
    // Any thread: hands the refusal to the service's thread.
    static void ReportChainRefusal(DWORD dwThreadId, DWORD dwDeviceID, long lInitialError, long lResult);

    // Lines nobody monitors any more stay open while a call on them is alive, since closing
    // the line would drop the call. These look again after each line message.
    bool HasPendingCloses() const { return !m_closePending.empty(); }
    void CheckPendingCloses();

    // Console mode: the service itself monitors every line and shows each event line in the
    // console, so the calls of the PBX can be followed without a client. It counts as one more
    // monitor of each line, which therefore stays open.
    void WatchAllLines();

    // Before the server stops.
    void AnnounceShutdown();
    std::size_t SessionCount() const { return m_sessions.size(); }
    // Before the telephony object goes: waits for sounds still playing or recording. False when
    // some still run after dwMs (their line devices must then stay).
    bool FinishMediaJobs(DWORD dwMs);

private:
    struct Session {
        bool bLoggedIn = false;
        DWORD dwConnectTick = 0;
        std::string peer;
    };

    void Answer(SOCKET s, const std::string& line);
    void AnswerError(SOCKET s, const zarn::Request& request, const std::string& code, const std::string& text,
                     long lTapiError = 0, const std::string& field = std::string());
    void AnswerOk(SOCKET s, const zarn::Request& request, const std::string& extraFields = std::string());
    void Execute(SOCKET s, Session& session, const zarn::Request& request);
    void DoLogin(SOCKET s, Session& session, const zarn::Request& request);
    void DoHelp(SOCKET s, const zarn::Request& request);
    void DoGetDevices(SOCKET s, const zarn::Request& request);
    void DoMonitorStart(SOCKET s, const zarn::Request& request);
    void DoMonitorStop(SOCKET s, const zarn::Request& request);
    void DoCallControl(SOCKET s, const zarn::Request& request);
    // The line named by the request's extension, or null after an error answer.
    CLineDevice* ResolveLine(SOCKET s, const zarn::Request& request, std::string& address);
    int RunLibraryCommand(const zarn::Request& request, const std::string& address);
    void CloseMonitorsOf(SOCKET s);
    // The last monitor of the line has gone: close it now or once its calls are over.
    void ReleaseLine(const std::string& ext);
    // A client that joins a line already open learns its forwarding and phone state, which the
    // line's other monitors heard when it opened.
    void SendLineState(SOCKET s, const std::string& ext);
    void DoDiagnostics(SOCKET s, const zarn::Request& request);   // DiagnosticsCommands.cpp
    void DoMediaCommand(SOCKET s, const zarn::Request& request);  // MediaCommands.cpp
    void OnMediaDone(const MediaJobResult& result);

    HostSettings m_settings;
    ProtocolLog& m_log;
    CTelvarixTapi* m_pTapi = nullptr;
    ClientLink* m_pLink = nullptr;
    AddressList m_allowed;
    CallFilter m_filter;
    MonitorRegistry m_monitors;
    PendingCommands m_pending;
    std::map<SOCKET, Session> m_sessions;
    std::set<std::string> m_closePending;
    bool m_bShowEvents = false;
    // While set, line events go to this connection alone (the state of a line it joins).
    SOCKET m_stateTarget = INVALID_SOCKET;
    std::unique_ptr<MediaJobs> m_pMedia;  // made on first use, on this thread
};
