// Client sessions: admission, login, timeouts and the reading of command lines.
#include "ZarnService.h"

#include "EventLines.h"

using zarn::LineBuilder;
using zarn::Request;

namespace {

std::string PeerText(std::uint32_t dwAddress) {
    return std::to_string(dwAddress >> 24) + "." + std::to_string((dwAddress >> 16) & 0xFF) + "." +
           std::to_string((dwAddress >> 8) & 0xFF) + "." + std::to_string(dwAddress & 0xFF);
}

std::string Trimmed(const std::string& text) {
    std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

void ZarnService::OnClientConnected(SOCKET s, std::uint32_t dwPeerAddress, std::uint32_t dwLocalAddress) {
    std::string peer = PeerText(dwPeerAddress);
    if (!AdmitClient(s, dwPeerAddress, dwLocalAddress, peer)) return;
    Session& session = m_sessions[s];
    session = Session();
    session.dwConnectTick = GetTickCount();
    session.dwLastInputTick = session.dwConnectTick;
    session.dwPeer = dwPeerAddress;
    session.peer = peer;
    session.bLoggedIn = m_settings.password.empty();
    m_log.Write(1, "client %u connected from %s", static_cast<unsigned>(s), peer.c_str());
    Answer(s, LineBuilder()
                  .Add("Event", "Welcome")
                  .Add("Service", "Telvarix")
                  .Add("Protocol", "ZARN 1")
                  .Add("Offers", "ZARN 2")
                  .Add("Login", session.bLoggedIn ? "NotNeeded" : "Required")
                  .Add("Hint", "send help for the commands")
                  .Text());
}

bool ZarnService::AdmitClient(SOCKET s, std::uint32_t dwPeer, std::uint32_t dwLocal, const std::string& peer) {
    if (m_dwListenAddress && dwLocal != m_dwListenAddress) {
        m_log.Write(1, "client %s refused: it did not come in on the listen address", peer.c_str());
        Refuse(s, "AddressNotAllowed");
        return false;
    }
    if (!m_allowed.Allows(dwPeer)) {
        m_log.Write(1, "client %s refused: address not allowed", peer.c_str());
        Refuse(s, "AddressNotAllowed");
        return false;
    }
    if (ConnectionsFrom(dwPeer) >= m_settings.maxClientsPerAddress) {
        m_log.Write(1, "client %s refused: it already has %u connections", peer.c_str(),
                    m_settings.maxClientsPerAddress);
        Refuse(s, "TooManyConnections");
        return false;
    }
    return true;
}

void ZarnService::Refuse(SOCKET s, const char* pszError) {
    Answer(s, LineBuilder().Add("Event", "Refused").Add("Error", pszError).Text());
    m_pLink->Close(s);
}

std::size_t ZarnService::ConnectionsFrom(std::uint32_t dwPeer) const {
    std::size_t count = 0;
    for (const auto& entry : m_sessions) count += entry.second.dwPeer == dwPeer ? 1 : 0;
    return count;
}

void ZarnService::OnClientDisconnected(SOCKET s) {
    if (!m_sessions.count(s)) return;
    DropSession(s);
    m_log.Write(1, "client %u disconnected", static_cast<unsigned>(s));
}

void ZarnService::DropSession(SOCKET s) {
    auto it = m_sessions.find(s);
    if (it != m_sessions.end()) RememberSessionEnd(it->second);
    m_sessions.erase(s);
    CloseMonitorsOf(s);
    m_pending.DropClient(s);
    for (const auto& handler : m_clientGone) handler(s);
}

void ZarnService::CloseLate(SOCKET s, const char* pszEvent, const char* pszWhy) {
    m_log.Write(1, "client %u closed: %s", static_cast<unsigned>(s), pszWhy);
    Answer(s, LineBuilder().Add("Event", pszEvent).Text());
    m_pLink->Close(s);
    DropSession(s);
}

void ZarnService::OnSecondTick() {
    DWORD dwNow = GetTickCount();
    std::vector<SOCKET> late, idle;
    for (const auto& entry : m_sessions) {
        const Session& session = entry.second;
        if (!session.bLoggedIn && dwNow - session.dwConnectTick >= m_settings.loginTimeout * 1000u)
            late.push_back(entry.first);
        else if (m_settings.idleTimeout && m_monitors.ExtensionsOf(entry.first).empty() &&
                 dwNow - session.dwLastInputTick >= m_settings.idleTimeout * 1000u)
            idle.push_back(entry.first);
    }
    for (SOCKET s : late) CloseLate(s, "LoginTimeout", "no login in time");
    for (SOCKET s : idle) CloseLate(s, "IdleTimeout", "idle and monitoring nothing");
}

// ---- Input ----------------------------------------------------------------------------

void ZarnService::OnClientLine(SOCKET s, const char* pszLine) {
    auto it = m_sessions.find(s);
    if (it == m_sessions.end()) return;
    it->second.dwLastInputTick = GetTickCount();
    std::string text(pszLine);
    if (m_log.Wants(2)) m_log.Write(2, "<- %u %s", static_cast<unsigned>(s), zarn::HidePasswords(text).c_str());
    // People typing at a terminal get the command list without knowing the syntax.
    std::string bare = Trimmed(text);
    if (zarn::EqualsNoCase(bare, "help") || bare == "?") {
        Request help;
        help.info = zarn::FindCommand("Help");
        DoHelp(s, help);
        return;
    }
    zarn::FieldList fields;
    std::string problemKey;
    zarn::ParseError parseError = zarn::ParseLine(zarn::TypedLine(text), fields, &problemKey);
    if (parseError == zarn::ParseError::Empty) return;
    if (parseError != zarn::ParseError::None) {
        AnswerError(s, Request(), zarn::ParseErrorName(parseError),
                    "a command line is {Cmd:Name}{Field:Value}...; type help for the list", 0, problemKey);
        return;
    }
    Request request;
    zarn::RequestError requestError;
    if (!zarn::BuildRequest(fields, request, requestError)) {
        AnswerError(s, request, requestError.code, requestError.text, 0, requestError.field);
        return;
    }
    if (!it->second.bLoggedIn && !request.info->withoutLogin)
        return AnswerError(s, request, "NotLoggedIn", "log in first: {Cmd:Login}{Password:...}");
    Execute(s, request);
}

void ZarnService::OnClientLineDropped(SOCKET s, int nLength) {
    auto it = m_sessions.find(s);
    if (it == m_sessions.end()) return;
    it->second.dwLastInputTick = GetTickCount();
    m_log.Write(2, "<- %u (a line of %d characters, dropped unread)", static_cast<unsigned>(s), nLength);
    // Like every line that cannot be read, before or after the login: an error and nothing else.
    AnswerError(s, Request(), "LineTooLong", zarn::LineTooLongText(nLength));
}

void ZarnService::DoLogin(SOCKET s, const Request& request) {
    Session& session = m_sessions[s];
    if (m_settings.password.empty()) {
        session.bLoggedIn = true;
        return AnswerOk(s, request);
    }
    std::uint64_t now = GetTickCount64();
    if (std::uint32_t wait = m_throttle.WaitSeconds(session.dwPeer, now)) {
        m_log.Write(2, "client %u: login refused unchecked, %s must wait %u s", static_cast<unsigned>(s),
                    session.peer.c_str(), wait);
        return AnswerError(s, request, "LoginLocked",
                           "too many wrong passwords from this address; try again in " + std::to_string(wait) + " s");
    }
    if (!ConstantTimeEquals(request.password, m_settings.password)) {
        LoginThrottle::Outcome outcome = m_throttle.Failed(session.dwPeer, now);
        unsigned failures = m_throttle.Failures(session.dwPeer);
        m_log.Write(1, "client %u from %s: wrong password (%u in a row)", static_cast<unsigned>(s),
                    session.peer.c_str(), failures);
        if (outcome == LoginThrottle::Outcome::LockedOut)
            m_log.Write(1, "address %s locked out for %u s after %u wrong passwords", session.peer.c_str(),
                        m_throttle.LockoutSeconds(), failures);
        return AnswerError(s, request, "BadPassword", "the password is wrong");
    }
    m_throttle.Succeeded(session.dwPeer);
    session.bLoggedIn = true;
    m_log.Write(1, "client %u logged in", static_cast<unsigned>(s));
    AnswerOk(s, request);
}
