#include "ZarnService.h"

#include <tapi.h>

#include <cstring>
#include <vector>

#include "EventLines.h"
#include "TapiApp.h"
#include "TapiErrors.h"
#include "TelvarixTapi.h"

using zarn::LineBuilder;
using zarn::Request;

namespace {

std::string PeerText(std::uint32_t dwAddress) {
    return std::to_string(dwAddress >> 24) + "." + std::to_string((dwAddress >> 16) & 0xFF) + "." +
           std::to_string((dwAddress >> 8) & 0xFF) + "." + std::to_string(dwAddress & 0xFF);
}

// Start of an answer line: {Response:...}{Cmd:...}{InvokeId:...}
LineBuilder AnswerStart(const char* pszResponse, const Request& request) {
    LineBuilder line;
    line.Add("Response", pszResponse);
    if (request.info) line.Add("Cmd", request.info->name);
    if (!request.invokeId.empty()) line.Add("InvokeId", request.invokeId);
    return line;
}

// The library takes writable texts (forwarding even writes into its destination).
struct Writable {
    explicit Writable(const std::string& text) : buffer(text.begin(), text.end()) { buffer.push_back('\0'); }
    char* get() { return buffer.data(); }
    std::vector<char> buffer;
};

// A call in any state but disconnected or idle would be dropped with the line.
bool HasLiveCall(CLineDevice* pDevice) {
    for (DWORD pos = 0; pos < pDevice->GetCallCount(); ++pos) {
        DWORD dwState = pDevice->Calls[pos].dwState;
        if (dwState != LINECALLSTATE_DISCONNECTED && dwState != LINECALLSTATE_IDLE) return true;
    }
    return false;
}

// The monitor that WatchAllLines registers: no connection has this id.
const MonitorRegistry::ClientId kConsoleWatcher = static_cast<MonitorRegistry::ClientId>(INVALID_SOCKET);

}  // namespace

ZarnService::ZarnService(const HostSettings& settings, ProtocolLog& log)
    : m_settings(settings), m_log(log), m_filter(settings.filterInbound, settings.filterOutbound) {
    std::string bad;
    if (!m_allowed.Parse(settings.allowedClients, &bad))
        m_log.Write(1, "AllowedClients: entry \"%s\" is not an address and is ignored", bad.c_str());
}

void ZarnService::Attach(CTelvarixTapi* pTapi, ClientLink* pLink) {
    m_pTapi = pTapi;
    m_pLink = pLink;
}

// ---- Sessions -------------------------------------------------------------------------

void ZarnService::OnClientConnected(SOCKET s, std::uint32_t dwPeerAddress) {
    std::string peer = PeerText(dwPeerAddress);
    if (!m_allowed.Allows(dwPeerAddress)) {
        m_log.Write(1, "client %s refused: address not allowed", peer.c_str());
        Answer(s, LineBuilder().Add("Event", "Refused").Add("Error", "AddressNotAllowed").Text());
        m_pLink->Close(s);
        return;
    }
    Session& session = m_sessions[s];
    session = Session();
    session.dwConnectTick = GetTickCount();
    session.peer = peer;
    session.bLoggedIn = m_settings.password.empty();
    m_log.Write(1, "client %u connected from %s", static_cast<unsigned>(s), peer.c_str());
    Answer(s, LineBuilder()
                  .Add("Event", "Welcome")
                  .Add("Service", "Telvarix")
                  .Add("Protocol", "ZARN 1")
                  .Add("Login", session.bLoggedIn ? "NotNeeded" : "Required")
                  .Add("Hint", "send help or {Cmd:Help} for the commands")
                  .Text());
}

void ZarnService::OnClientDisconnected(SOCKET s) {
    if (m_sessions.erase(s) == 0) return;
    CloseMonitorsOf(s);
    m_pending.DropClient(s);
    if (m_pMedia) m_pMedia->DropClient(s);
    m_log.Write(1, "client %u disconnected", static_cast<unsigned>(s));
}

void ZarnService::CloseMonitorsOf(SOCKET s) {
    for (const std::string& ext : m_monitors.RemoveClient(s)) ReleaseLine(ext);
}

void ZarnService::ReleaseLine(const std::string& ext) {
    if (!m_pTapi) return;
    Writable address(ext);
    CLineDevice* pDevice = m_pTapi->GetDeviceObjectFromAddress(address.get());
    if (pDevice && HasLiveCall(pDevice)) {
        m_closePending.insert(ext);
        m_log.Write(1, "line %s stays open until its calls are over", ext.c_str());
        return;
    }
    m_closePending.erase(ext);
    m_pTapi->DoMonitorStop(address.get());
    m_log.Write(1, "line %s closed: no client monitors it", ext.c_str());
}

void ZarnService::SendLineState(SOCKET s, const std::string& ext) {
    Writable address(ext);
    CLineDevice* pDevice = m_pTapi->GetDeviceObjectFromAddress(address.get());
    if (!pDevice || !pDevice->GetLine()) return;
    m_stateTarget = s;
    m_pTapi->ReportLineState(pDevice);
    m_stateTarget = INVALID_SOCKET;
}

void ZarnService::CheckPendingCloses() {
    std::set<std::string> pending;
    pending.swap(m_closePending);
    for (const std::string& ext : pending) {
        if (m_monitors.ClientCount(ext) == 0) ReleaseLine(ext);
    }
}

void ZarnService::OnSecondTick() {
    DWORD dwNow = GetTickCount();
    std::vector<SOCKET> late;
    for (const auto& entry : m_sessions) {
        if (!entry.second.bLoggedIn && dwNow - entry.second.dwConnectTick >= m_settings.loginTimeout * 1000u)
            late.push_back(entry.first);
    }
    for (SOCKET s : late) {
        m_log.Write(1, "client %u closed: no login within %u s", static_cast<unsigned>(s), m_settings.loginTimeout);
        Answer(s, LineBuilder().Add("Event", "LoginTimeout").Text());
        m_pLink->Close(s);
        m_sessions.erase(s);
        m_pending.DropClient(s);
        if (m_pMedia) m_pMedia->DropClient(s);
    }
}

void ZarnService::OnKeepAlive() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    std::string line = LineBuilder()
                           .Add("Event", "KeepAlive")
                           .Add("Time", zarn::FormatClock({t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond}))
                           .Text();
    PublishToAll(line);
}

void ZarnService::AnnounceShutdown() { PublishToAll(LineBuilder().Add("Event", "Shutdown").Text()); }

// ---- Input ----------------------------------------------------------------------------

void ZarnService::OnClientLine(SOCKET s, const char* pszLine) {
    auto it = m_sessions.find(s);
    if (it == m_sessions.end()) return;
    std::string text(pszLine);
    m_log.Write(2, "<- %u %s", static_cast<unsigned>(s), text.c_str());
    // People typing at a terminal get the command list without knowing the syntax.
    std::string bare = text;
    while (!bare.empty() && (bare.back() == ' ' || bare.back() == '\t')) bare.pop_back();
    while (!bare.empty() && (bare.front() == ' ' || bare.front() == '\t')) bare.erase(0, 1);
    if (zarn::EqualsNoCase(bare, "help") || bare == "?") {
        Request help;
        help.info = zarn::FindCommand("Help");
        DoHelp(s, help);
        return;
    }
    zarn::FieldList fields;
    zarn::ParseError parseError = zarn::ParseLine(text, fields);
    if (parseError == zarn::ParseError::Empty) return;
    if (parseError != zarn::ParseError::None) {
        AnswerError(s, Request(), zarn::ParseErrorName(parseError),
                    "a command line is {Cmd:Name}{Field:Value}...; type help for the list");
        return;
    }
    Request request;
    zarn::RequestError requestError;
    if (!zarn::BuildRequest(fields, request, requestError)) {
        AnswerError(s, request, requestError.code, requestError.text, 0, requestError.field);
        return;
    }
    Execute(s, it->second, request);
}

void ZarnService::Execute(SOCKET s, Session& session, const Request& request) {
    using zarn::CommandKind;
    CommandKind kind = request.info->kind;
    if (kind == CommandKind::Login) return DoLogin(s, session, request);
    if (kind == CommandKind::Help) return DoHelp(s, request);
    if (kind == CommandKind::Quit) {
        AnswerOk(s, request);
        m_pLink->Close(s);
        OnClientDisconnected(s);
        return;
    }
    if (!session.bLoggedIn) return AnswerError(s, request, "NotLoggedIn", "log in first: {Cmd:Login}{Password:...}");
    switch (kind) {
        case CommandKind::GetDevices: return DoGetDevices(s, request);
        case CommandKind::MonitorStart: return DoMonitorStart(s, request);
        case CommandKind::MonitorStop: return DoMonitorStop(s, request);
        case CommandKind::Diagnostics: return DoDiagnostics(s, request);
        case CommandKind::PlayFile:
        case CommandKind::RecordFile: return DoMediaCommand(s, request);
        default: return DoCallControl(s, request);
    }
}

void ZarnService::DoLogin(SOCKET s, Session& session, const Request& request) {
    if (m_settings.password.empty()) {
        session.bLoggedIn = true;
        return AnswerOk(s, request);
    }
    if (!ConstantTimeEquals(request.password, m_settings.password)) {
        m_log.Write(1, "client %u: wrong password", static_cast<unsigned>(s));
        return AnswerError(s, request, "BadPassword", "the password is wrong");
    }
    session.bLoggedIn = true;
    m_log.Write(1, "client %u logged in", static_cast<unsigned>(s));
    AnswerOk(s, request);
}

void ZarnService::DoHelp(SOCKET s, const Request& request) {
    for (const zarn::CommandInfo& info : zarn::CommandTable()) {
        std::string fields = "Cmd InvokeId";
        if (info.needsExt) fields += " Ext";
        if (info.dest == zarn::DestRule::Required) fields += " Dest";
        if (info.dest == zarn::DestRule::Optional) fields += " [Dest]";
        if (*info.extraFields) fields += std::string(" [") + info.extraFields + "]";
        LineBuilder line;
        line.Add("Help", info.name).Add("Fields", fields).Add("Text", info.summary);
        if (!request.invokeId.empty()) line.Add("InvokeId", request.invokeId);
        Answer(s, line.Text());
    }
    Answer(s, LineBuilder()
                  .Add("Help", "Example")
                  .Add("Text", "{Cmd:MonitorStart}{Ext:201} then {Cmd:MakeCall}{InvokeId:1}{Ext:201}{Dest:202}")
                  .Text());
    AnswerOk(s, request);
}

void ZarnService::DoGetDevices(SOCKET s, const Request& request) {
    int count = 0;
    EnterCriticalSection(&CTapiApp::m_CS);
    for (CLineDevice* p = CTapiApp::m_pLineFirst ? CTapiApp::m_pLineFirst->GetNext() : nullptr; p; p = p->GetNext()) {
        std::string address = p->GetAddress();
        std::string calls = "(";
        for (DWORD pos = 0; pos < p->GetCallCount(); ++pos) {
            if (pos) calls += ",";
            calls += std::to_string(p->Calls[pos].hCall) + ":" + zarn::CallStateName(p->Calls[pos].dwState);
        }
        calls += ")";
        LineBuilder line;
        line.Add("Data", "Device");
        if (!request.invokeId.empty()) line.Add("InvokeId", request.invokeId);
        line.Add("Ext", address)
            .Add("DeviceId", p->GetDeviceID())
            .Add("Name", p->GetDeviceName())
            .Add("Open", p->GetLine() ? 1 : 0)
            .Add("Monitored", m_monitors.IsMonitoring(s, address) ? 1 : 0)
            .Add("Monitors", static_cast<long long>(m_monitors.ClientCount(address)))
            .Add("CallCount", p->GetCallCount())
            .Add("Calls", calls);
        Answer(s, line.Text());
        ++count;
    }
    LeaveCriticalSection(&CTapiApp::m_CS);
    AnswerOk(s, request, LineBuilder().Add("Count", count).Text());
}

CLineDevice* ZarnService::ResolveLine(SOCKET s, const Request& request, std::string& address) {
    Writable ext(request.ext);
    CLineDevice* pDevice = m_pTapi ? m_pTapi->GetDeviceObjectFromAddress(ext.get()) : nullptr;
    if (!pDevice || pDevice == CTapiApp::m_pLineFirst) {
        AnswerError(s, request, "UnknownExtension", "no line has the extension " + request.ext);
        return nullptr;
    }
    address = pDevice->GetAddress();
    if (!zarn::IsUsableAddress(address)) {
        AnswerError(s, request, "BadValue", "the line's address cannot be monitored");
        return nullptr;
    }
    return pDevice;
}

void ZarnService::DoMonitorStart(SOCKET s, const Request& request) {
    std::string address;
    if (!ResolveLine(s, request, address)) return;
    std::string token = zarn::MonitorToken(address);
    MonitorRegistry::AddResult added = m_monitors.Add(s, address);
    if (added == MonitorRegistry::AddResult::AlreadyMonitored)
        return AnswerOk(s, request, LineBuilder().Add("Ext", address).Add("Already", 1).Text());
    if (!m_pLink->AddToken(s, token)) {
        m_monitors.Remove(s, address);
        return AnswerError(s, request, "TooManyMonitors", "this connection monitors as many lines as it can");
    }
    // The token stands before the line opens, so the line's first state reaches this client.
    // A line still open for a call that outlived its monitors needs no second open.
    if (added == MonitorRegistry::AddResult::AddedFirst && m_closePending.erase(address)) {
        m_log.Write(1, "line %s monitored again before it was closed", address.c_str());
        SendLineState(s, address);
    } else if (added == MonitorRegistry::AddResult::Added) {
        SendLineState(s, address);
    } else if (added == MonitorRegistry::AddResult::AddedFirst) {
        Writable ext(address);
        if (!m_pTapi->DoMonitorStart(ext.get())) {
            long lError = m_pTapi->GetLastCTIError();
            m_pLink->RemoveToken(s, token);
            m_monitors.Remove(s, address);
            m_log.Write(1, "line %s could not be opened: %s", address.c_str(), zarn::TapiErrorName(lError));
            return AnswerError(s, request, "TapiError", "the line could not be opened", lError);
        }
        m_log.Write(1, "line %s opened", address.c_str());
    }
    AnswerOk(s, request, LineBuilder().Add("Ext", address).Text());
}

void ZarnService::DoMonitorStop(SOCKET s, const Request& request) {
    std::string address;
    if (!ResolveLine(s, request, address)) return;
    MonitorRegistry::RemoveResult removed = m_monitors.Remove(s, address);
    if (removed == MonitorRegistry::RemoveResult::NotMonitored)
        return AnswerError(s, request, "NotMonitored", "this connection does not monitor " + address);
    m_pLink->RemoveToken(s, zarn::MonitorToken(address));
    if (removed == MonitorRegistry::RemoveResult::RemovedLast) ReleaseLine(address);
    AnswerOk(s, request, LineBuilder().Add("Ext", address).Text());
}

int ZarnService::RunLibraryCommand(const Request& request, const std::string& address) {
    using zarn::CommandKind;
    Writable ext(address);
    Writable dest(request.dest);
    Writable data(request.callData);
    switch (request.info->kind) {
        case CommandKind::MakeCall: return m_pTapi->DoMakeCall(ext.get(), dest.get(), request.offHook ? 1 : 0);
        case CommandKind::ConsultationCall: return m_pTapi->DoConsultationCall(ext.get(), dest.get());
        case CommandKind::AnswerCall: return m_pTapi->DoAnswer(ext.get());
        case CommandKind::ClearConnection: return m_pTapi->DoHangup(ext.get());
        case CommandKind::HoldCall: return m_pTapi->DoHold(ext.get());
        case CommandKind::RetrieveCall: return m_pTapi->DoUnhold(ext.get());
        case CommandKind::AlternateCall: return m_pTapi->DoAlternate(ext.get());
        case CommandKind::TransferCall: return m_pTapi->DoTransfer(ext.get());
        case CommandKind::ConferenceCall: return m_pTapi->DoConference(ext.get());
        case CommandKind::DeflectCall:
            return m_pTapi->DoRedirect(ext.get(), dest.get(), request.callData.empty() ? nullptr : data.get());
        case CommandKind::PickupCall: return m_pTapi->DoPickup(ext.get(), dest.get());
        case CommandKind::SetForwarding: return m_pTapi->DoForward(ext.get(), dest.get());
        default: break;
    }
    return 0;
}

void ZarnService::DoCallControl(SOCKET s, const Request& request) {
    std::string address;
    CLineDevice* pDevice = ResolveLine(s, request, address);
    if (!pDevice) return;
    if (!m_monitors.IsMonitoring(s, address))
        return AnswerError(s, request, "NotMonitored", "send {Cmd:MonitorStart}{Ext:" + address + "} first");
    if (!pDevice->GetLine()) return AnswerError(s, request, "LineNotOpen", "the line is not open");
    std::uint32_t id = m_pending.Add({s, request.invokeId, request.info->name, address});
    m_pTapi->SetOrgCmdId(id);
    int bOk = RunLibraryCommand(request, address);
    long lResult = m_pTapi->GetLastCTIError();
    m_log.Write(1, "client %u %s %s %s: %s (%ld)", static_cast<unsigned>(s), request.info->name, address.c_str(),
                request.dest.c_str(), bOk ? "accepted" : "refused", lResult);
    if (!bOk) {
        m_pending.Remove(id);
        zarn::CommandFailure failure = zarn::ClassifyCommandError(request.info->name, lResult);
        return AnswerError(s, request, failure.code, failure.text, lResult);
    }
    Answer(s, AnswerStart("Accepted", request).Add("Ext", address).Add("RequestId", lResult).Text());
}

// ---- Completions ----------------------------------------------------------------------

void ZarnService::OnCompletion(char* pszExt, char* pszCmd, char* pszOrgCmdId, int bSuccess, char* pszResult) {
    const PendingCommand* pCommand = m_pending.FindText(pszOrgCmdId);
    m_log.Write(1, "completion %s of %s on %s: %s %s", pszOrgCmdId, pszCmd, pszExt, bSuccess ? "success" : "failure",
                pszResult);
    if (!pCommand || !m_sessions.count(static_cast<SOCKET>(pCommand->client))) return;
    LineBuilder line;
    line.Add("Response", "Done").Add("Cmd", pCommand->cmd);
    if (!pCommand->invokeId.empty()) line.Add("InvokeId", pCommand->invokeId);
    line.Add("Ext", pCommand->ext);
    if (pCommand->cmd != pszCmd && *pszCmd) line.Add("Step", pszCmd);
    line.Add("Success", bSuccess ? 1 : 0).Add("Result", pszResult);
    if (!bSuccess) line.Add("TapiError", zarn::TapiErrorName(std::strtol(pszResult, nullptr, 10)));
    Answer(static_cast<SOCKET>(pCommand->client), line.Text());
}

void ZarnService::ReportChainRefusal(DWORD dwThreadId, DWORD dwDeviceID, long lInitialError, long lResult) {
    ChainRefusal* pRefusal = new ChainRefusal{dwDeviceID, lInitialError, lResult};
    if (!PostThreadMessageA(dwThreadId, WM_TVX_CHAIN_REFUSAL, reinterpret_cast<WPARAM>(pRefusal), 0)) delete pRefusal;
}

void ZarnService::OnChainRefusal(const ChainRefusal& refusal) {
    CLineDevice* pDevice = m_pTapi ? m_pTapi->GetDeviceObjectFromLineID(refusal.dwDeviceID) : nullptr;
    std::string ext = pDevice ? pDevice->GetAddress() : "";
    m_log.Write(1, "a later step of a command on line %s was refused: %ld", ext.c_str(), refusal.lResult);
    if (ext.empty()) return;
    PublishLineEvent(ext, LineBuilder()
                              .Add("Event", "CommandFailed")
                              .Add("Ext", ext)
                              .Add("DeviceId", refusal.dwDeviceID)
                              .Add("Result", refusal.lResult)
                              .Add("TapiError", zarn::TapiErrorName(refusal.lResult))
                              .Text());
}

// ---- Events ---------------------------------------------------------------------------

void ZarnService::WatchAllLines() {
    m_bShowEvents = true;
    for (CLineDevice* pDevice = CTapiApp::m_pLineFirst; pDevice; pDevice = pDevice->GetNext()) {
        std::string address = pDevice->GetAddress();
        if (!zarn::IsUsableAddress(address)) continue;
        if (m_monitors.Add(kConsoleWatcher, address) != MonitorRegistry::AddResult::AddedFirst) continue;
        Writable ext(address);
        if (m_pTapi->DoMonitorStart(ext.get())) {
            m_log.Write(1, "line %s opened for the console", address.c_str());
        } else {
            m_monitors.Remove(kConsoleWatcher, address);
            m_log.Write(1, "line %s could not be opened: %s", address.c_str(),
                        zarn::TapiErrorName(m_pTapi->GetLastCTIError()));
        }
    }
}

void ZarnService::PublishLineEvent(const std::string& ext, const std::string& line) {
    if (!zarn::IsUsableAddress(ext)) return;
    if (m_stateTarget != INVALID_SOCKET) return Answer(m_stateTarget, line);
    if (m_bShowEvents) m_log.Write(1, "event %s", line.c_str());
    if (m_monitors.ClientCount(ext) == 0) return;
    m_log.Write(2, "-> <%s> %s", ext.c_str(), line.c_str());
    m_pLink->SendToToken(zarn::MonitorToken(ext), line);
}

void ZarnService::PublishCallEvent(DWORD dwDeviceID, DWORD hCall, const std::string& ext, const std::string& line) {
    if (m_filter.IsHidden(dwDeviceID, hCall)) return;
    PublishLineEvent(ext, line);
}

void ZarnService::JudgeCall(DWORD dwDeviceID, DWORD hCall, bool bInbound, const std::string& number) {
    m_filter.Judge(dwDeviceID, hCall, bInbound, number);
}

void ZarnService::ForgetCall(DWORD dwDeviceID, DWORD hCall) { m_filter.Forget(dwDeviceID, hCall); }

bool ZarnService::HidesNumber(bool bInbound, const std::string& number) const {
    return m_filter.HidesNumber(bInbound, number);
}

void ZarnService::PublishToAll(const std::string& line) {
    m_log.Write(2, "-> all %s", line.c_str());
    for (const auto& entry : m_sessions) {
        if (entry.second.bLoggedIn) m_pLink->Send(entry.first, line);
    }
}

// ---- Answers --------------------------------------------------------------------------

void ZarnService::Answer(SOCKET s, const std::string& line) {
    m_log.Write(2, "-> %u %s", static_cast<unsigned>(s), line.c_str());
    m_pLink->Send(s, line);
}

void ZarnService::AnswerOk(SOCKET s, const Request& request, const std::string& extraFields) {
    Answer(s, AnswerStart("Ok", request).Text() + extraFields);
}

void ZarnService::AnswerError(SOCKET s, const Request& request, const std::string& code, const std::string& text,
                              long lTapiError, const std::string& field) {
    LineBuilder line = AnswerStart("Error", request);
    line.Add("Error", code);
    if (!field.empty()) line.Add("Field", field);
    if (lTapiError != 0) line.Add("TapiError", zarn::TapiErrorName(lTapiError));
    line.Add("Text", text);
    Answer(s, line.Text());
}
