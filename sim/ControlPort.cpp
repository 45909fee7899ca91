// The loopback control port: a person in a second terminal rings extensions and plays the far
// ends of calls (commands in ControlCommands.h). One thread of its own serves one connection at a
// time; answers are lines ending with CR LF.
#include <winsock2.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "CallModel.h"
#include "ControlCommands.h"
#include "ControlPort.h"
#include "SimText.h"

namespace tapisim {

namespace {

const DWORD kRingingOut = LINECALLSTATE_RINGBACK | LINECALLSTATE_PROCEEDING;
const DWORD kDialledOut = LINECALLSTATE_DIALING | kRingingOut;
const DWORD kTalking = 0x0000FFFF & ~(LINECALLSTATE_IDLE | LINECALLSTATE_DISCONNECTED);

SOCKET g_listener = INVALID_SOCKET;
WORD g_port = 0;

const char* StateName(DWORD state) {
    switch (state) {
    case LINECALLSTATE_IDLE:
        return "IDLE";
    case LINECALLSTATE_OFFERING:
        return "OFFERING";
    case LINECALLSTATE_ACCEPTED:
        return "ACCEPTED";
    case LINECALLSTATE_DIALTONE:
        return "DIALTONE";
    case LINECALLSTATE_DIALING:
        return "DIALING";
    case LINECALLSTATE_RINGBACK:
        return "RINGBACK";
    case LINECALLSTATE_BUSY:
        return "BUSY";
    case LINECALLSTATE_SPECIALINFO:
        return "SPECIALINFO";
    case LINECALLSTATE_CONNECTED:
        return "CONNECTED";
    case LINECALLSTATE_PROCEEDING:
        return "PROCEEDING";
    case LINECALLSTATE_ONHOLD:
        return "ONHOLD";
    case LINECALLSTATE_CONFERENCED:
        return "CONFERENCED";
    case LINECALLSTATE_ONHOLDPENDCONF:
        return "ONHOLDPENDCONF";
    case LINECALLSTATE_ONHOLDPENDTRANSFER:
        return "ONHOLDPENDTRANSFER";
    case LINECALLSTATE_DISCONNECTED:
        return "DISCONNECTED";
    default:
        return "UNKNOWN";
    }
}

// The newest call of a line in one of `states`; with `outgoing`, only calls the line made.
Call* NewestCall(Sim& sim, DWORD device, DWORD states, bool outgoing) {
    Call* newest = nullptr;
    for (auto& entry : sim.calls) {
        Call& call = entry.second;
        if (call.device != device || !(call.state & states)) continue;
        if (outgoing && !(call.origin & LINECALLORIGIN_OUTBOUND)) continue;
        newest = &call;
    }
    return newest;
}

std::string Handle(DWORD hCall) { return std::to_string(hCall); }

// The second terminal is usually a Linux one: answers are UTF-8.
std::string Utf8(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::vector<std::string> Lines(Sim& sim) {
    std::vector<std::string> out;
    for (std::size_t id = 0; id < sim.lines.size(); ++id) {
        const LineDevice& line = sim.lines[id];
        if (line.removed) continue;
        std::string text = "OK " + std::to_string(id) + " " + (line.address.empty() ? "-" : Utf8(line.address)) +
                           " \"" + Utf8(line.name) + "\"";
        int calls = 0;
        for (const auto& entry : sim.calls) {
            if (entry.second.device != id || entry.second.state == LINECALLSTATE_IDLE) continue;
            text += " " + Handle(entry.first) + ":" + StateName(entry.second.state);
            ++calls;
        }
        out.push_back(calls ? text : text + " idle");
    }
    if (out.empty()) out.push_back("OK no lines");
    return out;
}

// One far-end action on the newest fitting call of an extension.
std::string PlayFarEnd(Sim& sim, int device, const ControlCommand& command) {
    const char* what = command.verb == ControlCommand::kAnswer ? "ringing out"
                       : command.verb == ControlCommand::kBusy ? "being dialled or ringing out"
                                                               : "in progress";
    Call* call = command.verb == ControlCommand::kAnswer ? NewestCall(sim, device, kRingingOut, true)
                 : command.verb == ControlCommand::kBusy ? NewestCall(sim, device, kDialledOut, true)
                                                         : NewestCall(sim, device, kTalking, false);
    if (!call) return "ERR no call " + std::string(what) + " at " + command.extension;
    DWORD hCall = call->hCall;
    bool done = command.verb == ControlCommand::kAnswer ? FarEndAnswers(sim, *call)
                : command.verb == ControlCommand::kBusy ? FarEndBusy(sim, *call)
                                                        : FarEndHangsUp(sim, *call);
    if (!done) return "ERR call " + Handle(hCall) + " cannot do that now";
    const char* verb = command.verb == ControlCommand::kAnswer ? "answered"
                       : command.verb == ControlCommand::kBusy ? "busy"
                                                               : "hung up";
    return "OK " + std::string(verb) + " call " + Handle(hCall) + " at " + command.extension;
}

std::vector<std::string> Run(Sim& sim, const ControlCommand& command) {
    if (command.verb == ControlCommand::kHelp) return {ControlHelp()};
    if (command.verb == ControlCommand::kLines) return Lines(sim);
    int device = FindExtension(sim, WideFromAnsi(command.extension.c_str()));
    if (device < 0) return {"ERR unknown extension " + command.extension};
    if (command.verb != ControlCommand::kRing) return {PlayFarEnd(sim, device, command)};
    DWORD ringing = CallFrom(sim, WideFromAnsi(command.caller.c_str()), static_cast<DWORD>(device));
    if (!ringing) return {"ERR " + command.extension + " is busy or forwarded outside"};
    Call* call = sim.FindCall(ringing);
    return {"OK ringing " + Utf8(sim.lines[call->device].address) + " call " + Handle(ringing)};
}

std::vector<std::string> Answer(const std::string& line) {
    ControlCommand command;
    std::string error;
    if (!ParseControlLine(line, &command, &error)) return {error};
    Sim& sim = TheSim();
    std::lock_guard<std::recursive_mutex> guard(sim.lock);
    std::vector<std::string> answer = Run(sim, command);
    sim.DropGoneCalls();
    return answer;
}

bool SendAll(SOCKET s, const std::string& text) {
    for (std::size_t sent = 0; sent < text.size();) {
        int n = send(s, text.data() + sent, static_cast<int>(text.size() - sent), 0);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

// Reads lines (LF, CR or CR LF) until the peer closes; overlong lines are cut.
void Serve(SOCKET client) {
    const std::size_t kMaxLine = 256;
    std::string line;
    char buf[512];
    for (;;) {
        int n = recv(client, buf, sizeof buf, 0);
        if (n <= 0) return;
        for (int i = 0; i < n; ++i) {
            char c = buf[i];
            if (c != '\r' && c != '\n') {
                if (line.size() < kMaxLine) line += c;
                continue;
            }
            if (line.empty()) continue;
            std::string reply;
            for (const std::string& l : Answer(line)) reply += l + "\r\n";
            line.clear();
            if (!SendAll(client, reply)) return;
        }
    }
}

DWORD WINAPI ServeForever(LPVOID) {
    for (;;) {
        SOCKET client = accept(g_listener, nullptr, nullptr);
        if (client == INVALID_SOCKET) return 0;
        Serve(client);
        closesocket(client);
    }
}

}  // namespace

WORD StartControlPort(WORD port) {
    static std::mutex mutex;
    std::lock_guard<std::mutex> guard(mutex);
    if (g_port) return g_port;
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 0), &wsa) != 0) return 0;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    int length = sizeof address;
    if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(s, 4) != 0 || getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        OutputDebugStringA("tapisim: control port not opened\n");
        if (s != INVALID_SOCKET) closesocket(s);
        WSACleanup();
        return 0;
    }
    g_listener = s;
    HANDLE thread = CreateThread(nullptr, 0, ServeForever, nullptr, 0, nullptr);
    if (!thread) {
        closesocket(s);
        g_listener = INVALID_SOCKET;
        return 0;
    }
    CloseHandle(thread);
    g_port = ntohs(address.sin_port);
    return g_port;
}

void StartControlPortFromEnvironment() {
    char text[16] = {};
    DWORD n = GetEnvironmentVariableA("TVX_SIM_CONTROL_PORT", text, sizeof text);
    if (n == 0 || n >= sizeof text) return;
    char* end = nullptr;
    long port = std::strtol(text, &end, 10);
    if (*end || port <= 0 || port > 65535) {
        OutputDebugStringA("tapisim: TVX_SIM_CONTROL_PORT is no port number\n");
        return;
    }
    StartControlPort(static_cast<WORD>(port));
}

}  // namespace tapisim

SIMAPI WORD WINAPI simStartControlPort(WORD port) { return tapisim::StartControlPort(port); }
