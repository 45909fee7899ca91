// {Cmd:PlayFile} and {Cmd:RecordFile}: a sound file of the media folder played into, or a new
// one recorded from, the connected call of a monitored line, on a worker thread.
#include <tapi.h>

#include <string>
#include <vector>

#include "HostCommands.h"
#include "MediaNames.h"
#include "TelvarixTapi.h"
#include "ZarnService.h"

using zarn::LineBuilder;
using zarn::Request;

namespace {

// The call the sound goes to or comes from when the client names none: the line's connected call.
DWORD ConnectedCall(const LineView& line) {
    for (const CallView& call : line.calls)
        if (call.state == LINECALLSTATE_CONNECTED) return call.hCall;
    return 0;
}

}  // namespace

MediaCommands::MediaCommands(ZarnService& service, CTelvarixTapi& tapi, const std::string& mediaFolder)
    : m_service(service), m_tapi(tapi), m_folder(mediaFolder) {
    auto run = [this](SOCKET s, const Request& request) { Run(s, request); };
    service.RegisterCommand(zarn::CommandKind::PlayFile, run);
    service.RegisterCommand(zarn::CommandKind::RecordFile, run);
    // The socket may soon belong to someone else: a gone client's sound ends without an answer.
    service.OnClientGone([this](SOCKET s) {
        if (m_pJobs) m_pJobs->DropClient(s);
    });
}

void MediaCommands::Run(SOCKET s, const Request& request) {
    ZarnService& service = m_service;
    bool bRecord = request.info->kind == zarn::CommandKind::RecordFile;
    if (m_folder.empty())
        return service.AnswerError(s, request, "MediaDisabled", "the service has no MediaFolder for sound files");
    if (request.file.empty())
        return service.AnswerError(s, request, "MissingField", "name the file in {File:...}", 0, "File");
    if (!zarn::IsSafeMediaName(request.file))
        return service.AnswerError(s, request, "BadValue",
                                   "File is a plain name of the media folder ending in .wav: letters, digits, _ - .", 0,
                                   "File");
    std::uint32_t bytes = 0;
    if (bRecord) {
        if (request.bytes.empty())
            return service.AnswerError(s, request, "MissingField", "RecordFile needs {Bytes:...}", 0, "Bytes");
        if (!zarn::ParseRecordBytes(request.bytes, &bytes))
            return service.AnswerError(s, request, "BadValue", "Bytes is a number from 1 to 16777216", 0, "Bytes");
    }
    LineView line;
    if (!service.ResolveLine(s, request, line)) return;
    const std::string& address = line.address;
    if (!service.IsMonitoring(s, address))
        return service.AnswerError(s, request, "NotMonitored", "send {Cmd:MonitorStart}{Ext:" + address + "} first");
    if (!line.open) return service.AnswerError(s, request, "LineNotOpen", "the line is not open");
    zarn::RequestError callError;
    if (!zarn::CheckNamedCall(request, address, line.calls, callError))
        return service.AnswerError(s, request, callError.code, callError.text, 0, callError.field);
    DWORD hCall = request.call ? request.call : ConnectedCall(line);
    if (!hCall) return service.AnswerError(s, request, "NoSuitableCall", "the line has no connected call");
    std::vector<char> writable(address.begin(), address.end());
    writable.push_back('\0');
    CLineDevice* pDevice = m_tapi.GetDeviceObjectFromAddress(writable.data());
    if (!pDevice)
        return service.AnswerError(s, request, "UnknownExtension", "no line has the extension " + request.ext);

    if (!m_pJobs) m_pJobs.reset(new MediaJobs([this](const MediaJobResult& r) { OnDone(r); }));
    if (m_pJobs->IsLineBusy(address))
        return service.AnswerError(s, request, "Busy", "a sound is already playing or recording on " + address);
    std::string path = zarn::MediaPath(m_folder, request.file);
    if (!bRecord && GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return service.AnswerError(s, request, "NoSuchFile", "the media folder has no file " + request.file, 0, "File");
    if (bRecord && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return service.AnswerError(s, request, "FileExists", "a recording is never overwritten: " + request.file, 0,
                                   "File");

    MediaJob job{bRecord ? MediaJob::Record : MediaJob::Play,
                 s,
                 request.invokeId,
                 address,
                 request.file,
                 path,
                 pDevice,
                 hCall,
                 bytes};
    if (!m_pJobs->Start(job)) return service.AnswerError(s, request, "NotReady", "no worker could be started");
    service.Log().Write(1, "client %u %s %s %s: accepted", static_cast<unsigned>(s), request.info->name,
                        address.c_str(), request.file.c_str());
    LineBuilder answer;
    answer.Add("Response", "Accepted").Add("Cmd", request.info->name);
    if (!request.invokeId.empty()) answer.Add("InvokeId", request.invokeId);
    service.Answer(s, answer.Add("Ext", address).Add("File", request.file).Text());
}

void MediaCommands::OnDone(const MediaJobResult& result) {
    const MediaJob& job = result.job;
    const char* pszCmd = job.kind == MediaJob::Record ? "RecordFile" : "PlayFile";
    m_service.Log().Write(1, "%s %s on %s: %s", pszCmd, job.fileName.c_str(), job.ext.c_str(),
                          result.bSuccess ? "done" : "failed");
    if (!m_service.HasSession(job.client)) return;
    LineBuilder line;
    line.Add("Response", "Done").Add("Cmd", pszCmd);
    if (!job.invokeId.empty()) line.Add("InvokeId", job.invokeId);
    line.Add("Ext", job.ext).Add("File", job.fileName).Add("Success", result.bSuccess ? 1 : 0);
    if (job.kind == MediaJob::Record && result.bSuccess)
        line.Add("Bytes", static_cast<long long>(result.recordedBytes));
    m_service.Answer(job.client, line.Text());
}

bool MediaCommands::FinishMediaJobs(DWORD dwMs) { return !m_pJobs || m_pJobs->WaitForAll(dwMs); }
