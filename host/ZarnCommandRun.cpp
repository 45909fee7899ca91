// The built-in commands: help, devices, monitors and call control.
#include "ZarnService.h"

#include "EventLines.h"
#include "TapiErrors.h"

using zarn::CommandKind;
using zarn::LineBuilder;
using zarn::Request;

namespace {

bool ToTelephonyCommand(CommandKind kind, TelephonyCommand& command) {
    static const std::pair<CommandKind, TelephonyCommand> kMap[] = {
        {CommandKind::MakeCall, TelephonyCommand::MakeCall},
        {CommandKind::ConsultationCall, TelephonyCommand::ConsultationCall},
        {CommandKind::AnswerCall, TelephonyCommand::AnswerCall},
        {CommandKind::ClearConnection, TelephonyCommand::ClearConnection},
        {CommandKind::HoldCall, TelephonyCommand::HoldCall},
        {CommandKind::RetrieveCall, TelephonyCommand::RetrieveCall},
        {CommandKind::AlternateCall, TelephonyCommand::AlternateCall},
        {CommandKind::TransferCall, TelephonyCommand::TransferCall},
        {CommandKind::ConferenceCall, TelephonyCommand::ConferenceCall},
        {CommandKind::DeflectCall, TelephonyCommand::DeflectCall},
        {CommandKind::PickupCall, TelephonyCommand::PickupCall},
        {CommandKind::SetForwarding, TelephonyCommand::SetForwarding},
    };
    for (const auto& entry : kMap) {
        if (entry.first == kind) {
            command = entry.second;
            return true;
        }
    }
    return false;
}

}  // namespace

void ZarnService::RegisterBuiltInCommands() {
    using namespace std::placeholders;
    RegisterCommand(CommandKind::Login, std::bind(&ZarnService::DoLogin, this, _1, _2));
    RegisterCommand(CommandKind::Help, std::bind(&ZarnService::DoHelp, this, _1, _2));
    RegisterCommand(CommandKind::Ping, std::bind(&ZarnService::DoPing, this, _1, _2));
    RegisterCommand(CommandKind::Quit, std::bind(&ZarnService::DoQuit, this, _1, _2));
    RegisterCommand(CommandKind::GetDevices, std::bind(&ZarnService::DoGetDevices, this, _1, _2));
    RegisterCommand(CommandKind::MonitorStart, std::bind(&ZarnService::DoMonitorStart, this, _1, _2));
    RegisterCommand(CommandKind::MonitorStop, std::bind(&ZarnService::DoMonitorStop, this, _1, _2));
    for (const zarn::CommandInfo& info : zarn::CommandTable()) {
        TelephonyCommand command;
        if (ToTelephonyCommand(info.kind, command))
            RegisterCommand(info.kind, std::bind(&ZarnService::DoCallControl, this, _1, _2));
    }
}

void ZarnService::Execute(SOCKET s, const Request& request) {
    auto it = m_handlers.find(request.info->kind);
    if (it == m_handlers.end())
        return AnswerError(s, request, "UnknownCommand",
                           "this service does not carry out " + std::string(request.info->name));
    it->second(s, request);
}

void ZarnService::DoHelp(SOCKET s, const Request& request) {
    for (const zarn::CommandInfo& info : zarn::CommandTable()) {
        LineBuilder line;
        line.Add("Help", info.name).Add("Fields", zarn::HelpFields(info)).Add("Text", info.summary);
        if (*info.example) line.Add("Example", info.example);
        if (!request.invokeId.empty()) line.Add("InvokeId", request.invokeId);
        Answer(s, line.Text());
    }
    AnswerOk(s, request);
}

void ZarnService::DoPing(SOCKET s, const Request& request) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    AnswerOk(s, request,
             LineBuilder()
                 .Add("Time", zarn::FormatClock({t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond}))
                 .Text());
}

void ZarnService::DoQuit(SOCKET s, const Request& request) {
    AnswerOk(s, request);
    m_pLink->Close(s);
    OnClientDisconnected(s);
}

void ZarnService::DoGetDevices(SOCKET s, const Request& request) {
    int count = 0;
    for (const LineView& line : m_pTelephony->Lines()) {
        LineBuilder device;
        device.Add("Data", "Device");
        if (!request.invokeId.empty()) device.Add("InvokeId", request.invokeId);
        device.Add("Ext", line.address)
            .Add("DeviceId", line.deviceId)
            .Add("Name", line.name)
            .Add("Open", line.open ? 1 : 0)
            .Add("Monitored", m_monitors.IsMonitoring(s, line.address) ? 1 : 0)
            .Add("Monitors", static_cast<long long>(m_monitors.ClientCount(line.address)));
        zarn::AddPhoneFlags(device, line.phoneFlags);
        device.Add("CallCount", static_cast<long long>(line.calls.size())).Add("Calls", zarn::CallList(line.calls));
        Answer(s, device.Text());
        for (const CallView& call : line.calls) {
            if (m_filter.IsHidden(line.deviceId, call.hCall)) continue;  // its numbers are not shown
            LineBuilder data;
            data.Add("Data", "Call");
            if (!request.invokeId.empty()) data.Add("InvokeId", request.invokeId);
            Answer(s, data.Text() + zarn::CallFields(line, call));
        }
        ++count;
    }
    AnswerOk(s, request, LineBuilder().Add("Count", count).Text());
}

bool ZarnService::ResolveLine(SOCKET s, const Request& request, LineView& line) {
    if (!m_pTelephony->FindLine(request.ext, line)) {
        AnswerError(s, request, "UnknownExtension", "no line has the extension " + request.ext);
        return false;
    }
    if (!zarn::IsUsableAddress(line.address)) {
        AnswerError(s, request, "BadValue", "the line's address cannot be monitored", 0, "Ext");
        return false;
    }
    return true;
}

void ZarnService::DoMonitorStart(SOCKET s, const Request& request) {
    if (request.hasSince) return DoMonitorResume(s, request);
    LineView line;
    if (!ResolveLine(s, request, line)) return;
    switch (AddMonitor(s, request, line)) {
    case MonitorAdded::Failed:
        return;
    case MonitorAdded::Already:
        return AnswerOk(s, request, LineBuilder().Add("Ext", line.address).Add("Already", 1).Text());
    case MonitorAdded::Opened:
        SendLineState(s, request.invokeId, line, false);
        break;
    case MonitorAdded::Joined:
        SendLineState(s, request.invokeId, line, true);
        break;
    }
    AnswerOk(s, request, LineBuilder().Add("Ext", line.address).Text());
}

void ZarnService::DoMonitorStop(SOCKET s, const Request& request) {
    LineView line;
    if (!ResolveLine(s, request, line)) return;
    MonitorRegistry::RemoveResult removed = m_monitors.Remove(s, line.address);
    if (removed == MonitorRegistry::RemoveResult::NotMonitored)
        return AnswerError(s, request, "NotMonitored", "this connection does not monitor " + line.address);
    if (removed == MonitorRegistry::RemoveResult::RemovedLast) ReleaseLine(line.address);
    AnswerOk(s, request, LineBuilder().Add("Ext", line.address).Text());
}

void ZarnService::DoCallControl(SOCKET s, const Request& request) {
    LineView line;
    if (!ResolveLine(s, request, line)) return;
    const std::string& address = line.address;
    if (!m_monitors.IsMonitoring(s, address))
        return AnswerError(s, request, "NotMonitored", "send {Cmd:MonitorStart}{Ext:" + address + "} first");
    if (!line.open) return AnswerError(s, request, "LineNotOpen", "the line is not open");
    zarn::RequestError callError;
    if (!zarn::CheckNamedCall(request, address, line.calls, callError))
        return AnswerError(s, request, callError.code, callError.text, 0, callError.field);
    // Picking up one's own ringing call would send it round to the same line, and the caller
    // would be lost on the way; the person means to answer it.
    LineView target;
    if (request.info->kind == CommandKind::PickupCall && m_pTelephony->FindLine(request.dest, target) &&
        target.address == address)
        return AnswerError(s, request, "BadValue", "the call rings at this line itself: answer it with AnswerCall", 0,
                           "Dest");
    TelephonyCommand command = TelephonyCommand::MakeCall;
    ToTelephonyCommand(request.info->kind, command);
    CommandArgs args;
    args.address = address;
    args.dest = request.dest;
    args.callData = request.callData;
    args.offHook = request.offHook;
    args.hCall = request.call;
    args.orgCmdId = m_pending.Add({s, request.invokeId, request.info->name, address});
    long lResult = 0;
    bool bOk = m_pTelephony->Run(command, args, lResult);
    m_log.Write(1, "client %u %s %s %s call %lu: %s (%ld)", static_cast<unsigned>(s), request.info->name,
                address.c_str(), request.dest.c_str(), static_cast<unsigned long>(request.call),
                bOk ? "accepted" : "refused", lResult);
    if (!bOk) {
        m_pending.Remove(args.orgCmdId);
        // The named call changed between the check above and the library's own.
        if (request.call && static_cast<std::uint32_t>(lResult) == 0x80000018u)
            return AnswerError(s, request, "NoSuchCall", "the line " + address + " no longer has that call", 0, "Call");
        if (request.call && static_cast<std::uint32_t>(lResult) == 0x8000001Cu)
            return AnswerError(s, request, "NoSuitableCall",
                               "the call is not in a state " + std::string(request.info->name) + " works on", 0,
                               "Call");
        zarn::CommandFailure failure = zarn::ClassifyCommandError(request.info->name, lResult);
        return AnswerError(s, request, failure.code, failure.text, failure.bNameTapiError ? lResult : 0);
    }
    Answer(s, zarn::AnswerStart("Accepted", request).Add("Ext", address).Add("RequestId", lResult).Text());
}
