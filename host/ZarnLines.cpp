// Lines and their events: who hears what, the state a new monitor learns, and closing a line
// once nobody monitors it and its calls are over.
#include "ZarnService.h"

#include <tapi.h>

#include "EventLines.h"
#include "TapiErrors.h"

using zarn::LineBuilder;

namespace {

// The monitor that WatchAllLines registers: no connection has this id.
const MonitorRegistry::ClientId kConsoleWatcher = static_cast<MonitorRegistry::ClientId>(INVALID_SOCKET);

// A call in any state but disconnected or idle would be dropped with the line.
bool HasLiveCall(const LineView& line) {
    for (const CallView& call : line.calls) {
        if (call.state != LINECALLSTATE_DISCONNECTED && call.state != LINECALLSTATE_IDLE) return true;
    }
    return false;
}

}  // namespace

ZarnService::MonitorAdded ZarnService::AddMonitor(SOCKET s, const zarn::Request& request, LineView& line) {
    const std::string address = line.address;
    MonitorRegistry::AddResult added = m_monitors.Add(s, address);
    if (added == MonitorRegistry::AddResult::AlreadyMonitored) return MonitorAdded::Already;
    // A line still open for a call that outlived its monitors needs no second open.
    bool bReopen = added == MonitorRegistry::AddResult::AddedFirst && m_closePending.erase(address);
    if (bReopen) m_log.Write(1, "line %s monitored again before it was closed", address.c_str());
    if (added != MonitorRegistry::AddResult::AddedFirst || bReopen) return MonitorAdded::Joined;
    // The monitor stands before the line opens, so the line's first state reaches this client.
    long lError = 0;
    if (!OpenLineFor(address, lError)) {
        m_monitors.Remove(s, address);
        m_log.Write(1, "line %s could not be opened: %s", address.c_str(), zarn::TapiErrorName(lError));
        AnswerError(s, request, "TapiError", "the line could not be opened", lError);
        return MonitorAdded::Failed;
    }
    m_log.Write(1, "line %s opened", address.c_str());
    // The open told the forwarding; the calls the line already had are known only now.
    m_pTelephony->FindLine(address, line);
    return MonitorAdded::Opened;
}

bool ZarnService::OpenLineFor(const std::string& address, long& lError) {
    // Events of the open itself already belong to the line's new stretch of events.
    m_journal.LineOpened(address);
    if (m_pTelephony->OpenLine(address, lError)) return true;
    m_journal.LineClosed(address);
    return false;
}

void ZarnService::CloseMonitorsOf(SOCKET s) {
    for (const std::string& ext : m_monitors.RemoveClient(s)) ReleaseLine(ext);
}

void ZarnService::ReleaseLine(const std::string& ext) {
    LineView line;
    if (!m_pTelephony->FindLine(ext, line)) {
        m_closePending.erase(ext);
        return;
    }
    if (HasLiveCall(line)) {
        if (m_closePending.insert(ext).second)
            m_log.Write(1, "line %s stays open until its calls are over", ext.c_str());
        return;
    }
    if (!line.calls.empty()) {
        // Only calls whose far end has gone: hang them up as the person at the phone would, or
        // the extension stays busy at the PBX once the line is closed. Oldest first, one at a time.
        m_closePending.insert(ext);
        const CallView& oldest = line.calls.front();
        if (oldest.state == LINECALLSTATE_DISCONNECTED && m_drops.insert({ext, oldest.hCall}).second) {
            CommandArgs args;
            args.address = ext;
            long lResult = 0;
            bool bOk = m_pTelephony->Run(TelephonyCommand::ClearConnection, args, lResult);
            m_log.Write(1, "line %s: clearing disconnected call %u before closing: %s", ext.c_str(), oldest.hCall,
                        bOk ? "accepted" : zarn::TapiErrorName(lResult));
        }
        return;
    }
    m_closePending.erase(ext);
    for (auto it = m_drops.begin(); it != m_drops.end();) it = it->first == ext ? m_drops.erase(it) : ++it;
    m_pTelephony->CloseLine(ext);
    m_journal.LineClosed(ext);
    m_log.Write(1, "line %s closed: no client monitors it", ext.c_str());
}

void ZarnService::CheckPendingCloses() {
    std::set<std::string> pending;
    pending.swap(m_closePending);
    for (const std::string& ext : pending) {
        if (m_monitors.ClientCount(ext) == 0) ReleaseLine(ext);
    }
}

void ZarnService::SendLineState(SOCKET s, const std::string& invokeId, const LineView& line, bool bWithState) {
    if (!line.open) return;
    if (bWithState) {
        ForwardingView forwarding = m_pTelephony->Forwarding(line.address);
        if (forwarding.known) Answer(s, zarn::ForwardingLine(line, forwarding.dest));
        Answer(s, zarn::PhoneStateLine(line, ""));
    }
    for (const CallView& call : line.calls) {
        if (m_filter.IsHidden(line.deviceId, call.hCall)) continue;
        LineBuilder start;
        start.Add("Event", "CallState");
        if (!invokeId.empty()) start.Add("InvokeId", invokeId);
        Answer(s, start.Text() + zarn::CallFields(line, call));
    }
}

void ZarnService::WatchAllLines() {
    m_bShowEvents = true;
    ProtocolLog::Batch batch(m_log);  // three lines for each of possibly thousands of lines
    for (const LineView& line : m_pTelephony->Lines()) {
        if (!zarn::IsUsableAddress(line.address)) continue;
        if (m_monitors.Add(kConsoleWatcher, line.address) != MonitorRegistry::AddResult::AddedFirst) continue;
        long lError = 0;
        if (OpenLineFor(line.address, lError)) {
            m_log.Write(1, "line %s opened for the console", line.address.c_str());
        } else {
            m_monitors.Remove(kConsoleWatcher, line.address);
            m_log.Write(1, "line %s could not be opened: %s", line.address.c_str(), zarn::TapiErrorName(lError));
        }
    }
}

void ZarnService::PublishLineEvent(const std::string& ext, const std::string& line) {
    if (!zarn::IsUsableAddress(ext)) return;
    if (m_bShowEvents) m_log.Write(1, "event %s", line.c_str());
    SYSTEMTIME t;
    GetLocalTime(&t);
    const zarn::StampedEvent& event = m_journal.Record(
        ext, line,
        zarn::FormatClockMillis({t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds}));
    SendToMonitors(ext, line, event);
}

void ZarnService::SendToMonitors(const std::string& ext, const std::string& line, const zarn::StampedEvent& event) {
    std::vector<MonitorRegistry::ClientId> clients = m_monitors.ClientsOf(ext);
    bool bLogged = false;
    std::string json;  // made once for every JSON client of this event
    for (MonitorRegistry::ClientId client : clients) {
        if (client == kConsoleWatcher) continue;
        SOCKET s = static_cast<SOCKET>(client);
        auto it = m_sessions.find(s);
        if (it == m_sessions.end()) continue;
        if (!bLogged) m_log.Write(2, "-> <%s> %s", ext.c_str(), event.text.c_str());
        bLogged = true;
        Session& session = it->second;
        if (session.protocol == 1)
            Transmit(s, &session, line);
        else
            TransmitEvent(s, session, event, json);
    }
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
