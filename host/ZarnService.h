// The ZARN service: client sessions, commands carried out through the telephony link, and the
// event lines for the clients that monitor a line.
//
// It knows the libraries only through ClientLink and TelephonyLink. Everything runs on the
// thread that pumps the messages of both libraries, except ReportChainRefusal, which only
// posts to that thread.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "AccessRules.h"
#include "CallFilter.h"
#include "ClientLink.h"
#include "EventJournal.h"
#include "HostSettings.h"
#include "LoginThrottle.h"
#include "MonitorRegistry.h"
#include "PendingCommands.h"
#include "ProtocolLog.h"
#include "StreamFormat.h"
#include "StreamSessions.h"
#include "TelephonyLink.h"
#include "ZarnCommands.h"

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
    // A command's work once its line has been parsed and checked; see RegisterCommand.
    using CommandHandler = std::function<void(SOCKET, const zarn::Request&)>;

    ZarnService(const HostSettings& settings, ProtocolLog& log);

    void Attach(TelephonyLink* pTelephony, ClientLink* pLink);
    // Commands beyond the built-in ones hook in here (the kind must be in the command table).
    void RegisterCommand(zarn::CommandKind kind, CommandHandler handler);

    // From the connection server. dwLocalAddress is the address the client reached us on.
    void OnClientConnected(SOCKET s, std::uint32_t dwPeerAddress, std::uint32_t dwLocalAddress);
    void OnClientDisconnected(SOCKET s);
    // Before OnClientDisconnected, when the server drops a client whose output ran over:
    // the bytes sent to it that never went out.
    void OnClientOutputLost(SOCKET s, unsigned long dwBytes);
    void OnClientLine(SOCKET s, const char* pszLine);
    // The server dropped a line of nLength characters (INT_MAX: at least that many) unread.
    void OnClientLineDropped(SOCKET s, int nLength);
    void OnKeepAlive();
    // Once a second: closes connections that did not log in in time or stayed idle.
    void OnSecondTick();

    // From the telephony object.
    void PublishLineEvent(const std::string& ext, const std::string& line);
    void PublishCallEvent(DWORD dwDeviceID, DWORD hCall, const std::string& ext, const std::string& line);
    // Judges a call by its number (filters) before its event is published.
    void JudgeCall(DWORD dwDeviceID, DWORD hCall, bool bInbound, const std::string& number);
    void ForgetCall(DWORD dwDeviceID, DWORD hCall);
    bool HidesNumber(bool bInbound, const std::string& number) const;
    void PublishToAll(const std::string& line);
    void OnCompletion(const char* pszExt, const char* pszCmd, const char* pszOrgCmdId, int bSuccess,
                      const char* pszResult);
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

    // For command handlers.
    void Answer(SOCKET s, const std::string& line);
    void AnswerError(SOCKET s, const zarn::Request& request, const std::string& code, const std::string& text,
                     long lTapiError = 0, const std::string& field = std::string());
    void AnswerOk(SOCKET s, const zarn::Request& request, const std::string& extraFields = std::string());
    TelephonyLink& Telephony() { return *m_pTelephony; }
    ProtocolLog& Log() { return m_log; }
    // The line named by the request's extension, or false after an error answer.
    bool ResolveLine(SOCKET s, const zarn::Request& request, LineView& line);
    bool IsMonitoring(SOCKET s, const std::string& address) const { return m_monitors.IsMonitoring(s, address); }
    bool HasSession(SOCKET s) const { return m_sessions.count(s) != 0; }
    // Work a handler left running for a client (sounds) ends with its session: called wherever
    // the service drops a client's pending commands.
    void OnClientGone(std::function<void(SOCKET)> handler) { m_clientGone.push_back(std::move(handler)); }

private:
    struct Session {
        bool bLoggedIn = false;
        DWORD dwConnectTick = 0;
        DWORD dwLastInputTick = 0;
        std::uint32_t dwPeer = 0;
        std::string peer;
        // ZARN 2 (ZarnStream.cpp).
        int protocol = 1;
        bool bJson = false;
        std::string id;  // given on the first switch to ZARN 2
        zarn::EventFilter filter;
        zarn::DeliveryLog delivery;
        bool bOverflowed = false;
        unsigned long dwLostBytes = 0;
    };

    enum class MonitorAdded { Failed, Already, Opened, Joined };

    // Sessions (ZarnSessions.cpp).
    bool AdmitClient(SOCKET s, std::uint32_t dwPeer, std::uint32_t dwLocal, const std::string& peer);
    void Refuse(SOCKET s, const char* pszError);
    void DropSession(SOCKET s);
    void CloseLate(SOCKET s, const char* pszEvent, const char* pszWhy);
    std::size_t ConnectionsFrom(std::uint32_t dwPeer) const;
    void DoLogin(SOCKET s, const zarn::Request& request);

    // Commands (ZarnCommandRun.cpp).
    void RegisterBuiltInCommands();
    void Execute(SOCKET s, const zarn::Request& request);
    void DoHelp(SOCKET s, const zarn::Request& request);
    void DoPing(SOCKET s, const zarn::Request& request);
    void DoQuit(SOCKET s, const zarn::Request& request);
    void DoGetDevices(SOCKET s, const zarn::Request& request);
    void DoMonitorStart(SOCKET s, const zarn::Request& request);
    void DoMonitorStop(SOCKET s, const zarn::Request& request);
    void DoCallControl(SOCKET s, const zarn::Request& request);

    // ZARN 2: sequence numbers, resume, filters, JSON (ZarnStream.cpp).
    void RegisterStreamCommands();
    void DoSetProtocol(SOCKET s, const zarn::Request& request);
    void DoSetFilter(SOCKET s, const zarn::Request& request);
    void DoSetFormat(SOCKET s, const zarn::Request& request);
    void DoResume(SOCKET s, const zarn::Request& request);
    void DoMonitorResume(SOCKET s, const zarn::Request& request);
    // Switches the connection to ZARN 2 if it is not yet; returns the fields its Ok then carries.
    std::string SwitchToZarn2(Session& session);
    void RememberSessionEnd(const Session& session);
    // A line on its way to one client, as its format wants it; seq is its event's Seq or 0.
    void Transmit(SOCKET s, Session* pSession, const std::string& line, std::uint64_t seq = 0);
    // A numbered event to one ZARN 2 client: brace text or its JSON (made once per event).
    void TransmitEvent(SOCKET s, Session& session, const zarn::StampedEvent& event, std::string& json);

    // Lines and events (ZarnLines.cpp).
    // Adds s as a monitor of the line, opening the line when it is closed; Failed after an error answer.
    MonitorAdded AddMonitor(SOCKET s, const zarn::Request& request, LineView& line);
    bool OpenLineFor(const std::string& address, long& lError);
    void CloseMonitorsOf(SOCKET s);
    // The last monitor of the line has gone: close it now or once its calls are over.
    void ReleaseLine(const std::string& ext);
    // A client that starts monitoring learns the line's forwarding, phone state and calls.
    void SendLineState(SOCKET s, const std::string& invokeId, const LineView& line, bool bForwarding);
    void SendToMonitors(const std::string& ext, const std::string& line, const zarn::StampedEvent& event);

    HostSettings m_settings;
    ProtocolLog& m_log;
    TelephonyLink* m_pTelephony = nullptr;
    ClientLink* m_pLink = nullptr;
    AddressList m_allowed;
    std::uint32_t m_dwListenAddress = 0;  // 0: any
    LoginThrottle m_throttle;
    CallFilter m_filter;
    MonitorRegistry m_monitors;
    PendingCommands m_pending;
    std::map<SOCKET, Session> m_sessions;
    std::map<zarn::CommandKind, CommandHandler> m_handlers;
    std::vector<std::function<void(SOCKET)>> m_clientGone;
    std::set<std::string> m_closePending;
    // Disconnected calls the service dropped itself to free a line nobody monitors.
    std::set<std::pair<std::string, std::uint32_t>> m_drops;
    bool m_bShowEvents = false;
    zarn::EventJournal m_journal;
    zarn::SessionMemory m_endedSessions;
    zarn::SessionIds m_sessionIds;
};
