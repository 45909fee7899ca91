// ZARN 2: numbered events, resuming a line's events, resuming a session, filters and JSON.
#include "ZarnService.h"

#include <cstdlib>

#include "EventLines.h"

using zarn::CommandKind;
using zarn::LineBuilder;
using zarn::Request;

namespace {

// A connection that simply went away may have lost what still waited in the connection
// server's output queue (at most 128 KB): counted as lost, LastDelivered errs low, never high.
const std::uint64_t kQueueBytesAtMost = 130 * 1024;

bool ParseSeq(const std::string& text, std::uint64_t& value) {
    if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::strtoull(text.c_str(), nullptr, 10);
    return true;
}

}  // namespace

void ZarnService::RegisterStreamCommands() {
    using namespace std::placeholders;
    RegisterCommand(CommandKind::SetProtocol, std::bind(&ZarnService::DoSetProtocol, this, _1, _2));
    RegisterCommand(CommandKind::SetFilter, std::bind(&ZarnService::DoSetFilter, this, _1, _2));
    RegisterCommand(CommandKind::SetFormat, std::bind(&ZarnService::DoSetFormat, this, _1, _2));
    RegisterCommand(CommandKind::Resume, std::bind(&ZarnService::DoResume, this, _1, _2));
}

std::string ZarnService::SwitchToZarn2(Session& session) {
    if (session.protocol == 2) return std::string();
    session.protocol = 2;
    if (session.id.empty()) session.id = m_sessionIds.Next();
    return LineBuilder().Add("Protocol", "ZARN 2").Add("Session", session.id).Text();
}

void ZarnService::DoSetProtocol(SOCKET s, const Request& request) {
    Session& session = m_sessions[s];
    if (request.value == "2") {
        SwitchToZarn2(session);
        return AnswerOk(s, request,
                        LineBuilder()
                            .Add("Protocol", "ZARN 2")
                            .Add("Session", session.id)
                            .Add("LastSeq", static_cast<long long>(m_journal.LastSeq()))
                            .Text());
    }
    if (request.value == "1") {
        // ZARN 1 has neither filters nor JSON: the connection gets exactly the lines of ZARN 1 again.
        session.protocol = 1;
        session.bJson = false;
        session.filter.Set("");
        return AnswerOk(s, request, LineBuilder().Add("Protocol", "ZARN 1").Text());
    }
    if (request.value.empty())
        return AnswerError(s, request, "MissingField", "SetProtocol needs {Value:2} or {Value:1}", 0, "Value");
    AnswerError(s, request, "BadValue", "the protocol is 1 or 2", 0, "Value");
}

void ZarnService::DoSetFilter(SOCKET s, const Request& request) {
    Session& session = m_sessions[s];
    zarn::EventFilter filter;
    std::string bad;
    if (!filter.Set(request.events, &bad))
        return AnswerError(s, request, "BadValue", "no line event is called \"" + bad + "\"", 0, "Events");
    session.filter = filter;
    std::string switched = SwitchToZarn2(session);
    AnswerOk(s, request, LineBuilder().Add("Events", filter.Text()).Text() + switched);
}

void ZarnService::DoSetFormat(SOCKET s, const Request& request) {
    Session& session = m_sessions[s];
    bool bJson = zarn::EqualsNoCase(request.value, "json");
    if (!bJson && !zarn::EqualsNoCase(request.value, "brace"))
        return AnswerError(s, request, "BadValue", "the format is json or brace", 0, "Value");
    std::string switched = SwitchToZarn2(session);
    session.bJson = bJson;
    AnswerOk(s, request, LineBuilder().Add("Format", bJson ? "json" : "brace").Text() + switched);
}

void ZarnService::DoResume(SOCKET s, const Request& request) {
    Session& session = m_sessions[s];
    if (!zarn::IsSessionId(request.session))
        return AnswerError(s, request, "BadValue", "a session is 16 hex digits, as SetProtocol gave it", 0, "Session");
    zarn::SessionEnd end;
    if (!m_endedSessions.Find(request.session, GetTickCount64(), end))
        return AnswerError(s, request, "UnknownSession", "no connection with this session ended lately", 0, "Session");
    // The connection's own session is told by SetProtocol: one line cannot name two.
    bool bSwitched = !SwitchToZarn2(session).empty();
    LineBuilder fields;
    fields.Add("Session", request.session)
        .Add("Reason", end.reason)
        .Add("LastDelivered", static_cast<long long>(end.lastDelivered));
    if (bSwitched) fields.Add("Protocol", "ZARN 2");
    AnswerOk(s, request, fields.Text());
}

void ZarnService::DoMonitorResume(SOCKET s, const Request& request) {
    Session& session = m_sessions[s];
    std::uint64_t since = 0;
    if (!ParseSeq(request.since, since))
        return AnswerError(s, request, "BadValue", "Since is the decimal Seq of an event", 0, "Since");
    std::uint64_t lastSeq = m_journal.LastSeq();
    if (since > lastSeq)
        return AnswerError(s, request, "BadValue", "Since is beyond the newest Seq, " + std::to_string(lastSeq), 0,
                           "Since");
    LineView line;
    if (!ResolveLine(s, request, line)) return;
    std::string switched = SwitchToZarn2(session);
    // Events after this one reach the client live; the replay ends here.
    std::uint64_t liveFrom = m_journal.LastSeq();
    MonitorAdded added = AddMonitor(s, request, line);
    if (added == MonitorAdded::Failed) return;
    if (added == MonitorAdded::Already)
        return AnswerOk(s, request, LineBuilder().Add("Ext", line.address).Add("Already", 1).Text() + switched);
    zarn::ResumePlan plan = m_journal.PlanResume(line.address, since, liveFrom);
    LineBuilder fields;
    fields.Add("Ext", line.address);
    if (plan.bReplay) {
        long long replayed = 0;
        for (const zarn::StampedEvent* pEvent : plan.events) {
            if (!session.filter.Passes(pEvent->name)) continue;
            Transmit(s, &session, pEvent->text + "{Replay:1}", pEvent->seq);
            ++replayed;
        }
        fields.Add("Replayed", replayed);
    } else {
        SendLineState(s, request.invokeId, line, added == MonitorAdded::Joined);
        fields.Add("Gap", std::to_string(plan.gapFrom) + "-" + std::to_string(plan.gapTo));
    }
    fields.Add("LastSeq", static_cast<long long>(m_journal.LastSeq()));
    AnswerOk(s, request, fields.Text() + switched);
}

void ZarnService::Transmit(SOCKET s, Session* pSession, const std::string& line, std::uint64_t seq) {
    if (pSession && pSession->bJson) {
        std::string json = zarn::BraceToJson(line);
        m_pLink->Send(s, json);
        pSession->delivery.Sent(zarn::WireLength(json), seq);
        return;
    }
    m_pLink->Send(s, line);
    if (pSession) pSession->delivery.Sent(zarn::WireLength(line), seq);
}

void ZarnService::TransmitEvent(SOCKET s, Session& session, const zarn::StampedEvent& event, std::string& json) {
    if (!session.filter.Passes(event.name)) return;
    if (!session.bJson) {
        m_pLink->Send(s, event.text);
        session.delivery.Sent(zarn::WireLength(event.text), event.seq);
        return;
    }
    if (json.empty()) json = zarn::BraceToJson(event.text);
    m_pLink->Send(s, json);
    session.delivery.Sent(zarn::WireLength(json), event.seq);
}

void ZarnService::OnClientOutputLost(SOCKET s, unsigned long dwBytes) {
    auto it = m_sessions.find(s);
    if (it == m_sessions.end()) return;
    it->second.bOverflowed = true;
    it->second.dwLostBytes = dwBytes;
    m_log.Write(1, "client %u: its output ran over, %lu bytes not sent", static_cast<unsigned>(s), dwBytes);
}

void ZarnService::RememberSessionEnd(const Session& session) {
    if (session.id.empty()) return;
    zarn::SessionEnd end;
    end.reason = session.bOverflowed ? "Overflow" : "Closed";
    end.lastDelivered = session.delivery.LastDelivered(session.bOverflowed ? session.dwLostBytes : kQueueBytesAtMost);
    m_endedSessions.Remember(session.id, end, GetTickCount64());
    m_log.Write(1, "session %s ended (%s), last delivered Seq %llu", session.id.c_str(), end.reason.c_str(),
                static_cast<unsigned long long>(end.lastDelivered));
}
