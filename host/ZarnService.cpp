// Construction, answers, completions and the lines that go to every client.
#include "ZarnService.h"

#include <cstdlib>
#include <cstring>
#include <random>

#include "EventLines.h"
#include "TapiErrors.h"

using zarn::LineBuilder;
using zarn::Request;

namespace {

// Session ids only tell which connection a client had; they should still not be guessable.
std::uint64_t SessionSeed() {
    std::random_device device;
    std::uint64_t seed = (static_cast<std::uint64_t>(device()) << 32) ^ device();
    return seed ^ GetTickCount64();
}

}  // namespace

ZarnService::ZarnService(const HostSettings& settings, ProtocolLog& log)
    : m_settings(settings), m_log(log), m_throttle(settings.loginLockout),
      m_filter(settings.filterInbound, settings.filterOutbound), m_journal(settings.eventRing),
      m_sessionIds(SessionSeed()) {
    std::string bad;
    if (!m_allowed.Parse(settings.allowedClients, &bad))
        m_log.Write(1, "AllowedClients: entry \"%s\" is not an address and is ignored", bad.c_str());
    // Nothing beyond this machine until an administrator sets a password or names the clients.
    if (settings.allowedClients.empty() && settings.password.empty()) {
        m_allowed.Parse("127.0.0.0/8");
        m_log.Write(1, "no Password and no AllowedClients: only clients on this machine are served");
    }
    if (!settings.listenAddress.empty()) ParseIPv4(settings.listenAddress, m_dwListenAddress);
    RegisterBuiltInCommands();
    RegisterStreamCommands();
}

void ZarnService::Attach(TelephonyLink* pTelephony, ClientLink* pLink) {
    m_pTelephony = pTelephony;
    m_pLink = pLink;
}

void ZarnService::RegisterCommand(zarn::CommandKind kind, CommandHandler handler) {
    m_handlers[kind] = std::move(handler);
}

// ---- Answers --------------------------------------------------------------------------

void ZarnService::Answer(SOCKET s, const std::string& line) {
    m_log.Write(2, "-> %u %s", static_cast<unsigned>(s), line.c_str());
    auto it = m_sessions.find(s);
    Transmit(s, it == m_sessions.end() ? nullptr : &it->second, line);
}

void ZarnService::AnswerOk(SOCKET s, const Request& request, const std::string& extraFields) {
    Answer(s, zarn::AnswerStart("Ok", request).Text() + extraFields);
}

void ZarnService::AnswerError(SOCKET s, const Request& request, const std::string& code, const std::string& text,
                              long lTapiError, const std::string& field) {
    LineBuilder line = zarn::AnswerStart("Error", request);
    line.Add("Error", code);
    if (!field.empty()) line.Add("Field", field);
    if (lTapiError != 0) line.Add("TapiError", zarn::TapiErrorName(lTapiError));
    line.Add("Text", text);
    Answer(s, line.Text());
}

void ZarnService::PublishToAll(const std::string& line) {
    m_log.Write(2, "-> all %s", line.c_str());
    for (auto& entry : m_sessions) {
        if (entry.second.bLoggedIn) Transmit(entry.first, &entry.second, line);
    }
}

void ZarnService::OnKeepAlive() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    PublishToAll(LineBuilder()
                     .Add("Event", "KeepAlive")
                     .Add("Time", zarn::FormatClock({t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond}))
                     .Text());
}

void ZarnService::AnnounceShutdown() { PublishToAll(LineBuilder().Add("Event", "Shutdown").Text()); }

// ---- Completions ----------------------------------------------------------------------

void ZarnService::OnCompletion(const char* pszExt, const char* pszCmd, const char* pszOrgCmdId, int bSuccess,
                               const char* pszResult) {
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
    std::string ext;
    for (const LineView& line : m_pTelephony->Lines()) {
        if (line.deviceId == refusal.dwDeviceID) ext = line.address;
    }
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
