// {Cmd:PlayFile} and {Cmd:RecordFile}: a sound file of the media folder played into, or a new
// one recorded from, the connected call of a monitored line, on a worker thread.
#include <tapi.h>

#include <string>

#include "MediaJobs.h"
#include "MediaNames.h"
#include "TelvarixTapi.h"
#include "ZarnService.h"

using zarn::LineBuilder;
using zarn::Request;

namespace {

// The call the sound goes to or comes from: the line's connected call.
DWORD ConnectedCall(CLineDevice* pDevice) {
    for (DWORD pos = 0; pos < pDevice->GetCallCount(); ++pos)
        if (pDevice->Calls[pos].dwState == LINECALLSTATE_CONNECTED) return pDevice->Calls[pos].hCall;
    return 0;
}

}  // namespace

void ZarnService::DoMediaCommand(SOCKET s, const Request& request) {
    bool bRecord = request.info->kind == zarn::CommandKind::RecordFile;
    if (m_settings.mediaFolder.empty())
        return AnswerError(s, request, "MediaDisabled", "the service has no MediaFolder for sound files");
    if (request.file.empty()) return AnswerError(s, request, "MissingField", "name the file in {File:...}", 0, "File");
    if (!zarn::IsSafeMediaName(request.file))
        return AnswerError(s, request, "BadValue",
                           "File is a plain name of the media folder ending in .wav: letters, digits, _ - .", 0,
                           "File");
    std::uint32_t bytes = 0;
    if (bRecord) {
        if (request.bytes.empty())
            return AnswerError(s, request, "MissingField", "RecordFile needs {Bytes:...}", 0, "Bytes");
        if (!zarn::ParseRecordBytes(request.bytes, &bytes))
            return AnswerError(s, request, "BadValue", "Bytes is a number from 1 to 16777216", 0, "Bytes");
    }
    std::string address;
    CLineDevice* pDevice = ResolveLine(s, request, address);
    if (!pDevice) return;
    if (!m_monitors.IsMonitoring(s, address))
        return AnswerError(s, request, "NotMonitored", "send {Cmd:MonitorStart}{Ext:" + address + "} first");
    if (!pDevice->GetLine()) return AnswerError(s, request, "LineNotOpen", "the line is not open");
    DWORD hCall = ConnectedCall(pDevice);
    if (!hCall) return AnswerError(s, request, "NoSuitableCall", "the line has no connected call");

    if (!m_pMedia) m_pMedia.reset(new MediaJobs([this](const MediaJobResult& r) { OnMediaDone(r); }));
    if (m_pMedia->IsLineBusy(address))
        return AnswerError(s, request, "Busy", "a sound is already playing or recording on " + address);
    std::string path = zarn::MediaPath(m_settings.mediaFolder, request.file);
    if (!bRecord && GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return AnswerError(s, request, "NoSuchFile", "the media folder has no file " + request.file, 0, "File");
    if (bRecord && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return AnswerError(s, request, "FileExists", "a recording is never overwritten: " + request.file, 0, "File");

    MediaJob job{bRecord ? MediaJob::Record : MediaJob::Play, s, request.invokeId, address, request.file, path,
                 pDevice, hCall, bytes};
    if (!m_pMedia->Start(job)) return AnswerError(s, request, "NotReady", "no worker could be started");
    m_log.Write(1, "client %u %s %s %s: accepted", static_cast<unsigned>(s), request.info->name, address.c_str(),
                request.file.c_str());
    LineBuilder line;
    line.Add("Response", "Accepted").Add("Cmd", request.info->name);
    if (!request.invokeId.empty()) line.Add("InvokeId", request.invokeId);
    Answer(s, line.Add("Ext", address).Add("File", request.file).Text());
}

void ZarnService::OnMediaDone(const MediaJobResult& result) {
    const MediaJob& job = result.job;
    const char* pszCmd = job.kind == MediaJob::Record ? "RecordFile" : "PlayFile";
    m_log.Write(1, "%s %s on %s: %s", pszCmd, job.fileName.c_str(), job.ext.c_str(),
                result.bSuccess ? "done" : "failed");
    if (!m_sessions.count(job.client)) return;
    LineBuilder line;
    line.Add("Response", "Done").Add("Cmd", pszCmd);
    if (!job.invokeId.empty()) line.Add("InvokeId", job.invokeId);
    line.Add("Ext", job.ext).Add("File", job.fileName).Add("Success", result.bSuccess ? 1 : 0);
    if (job.kind == MediaJob::Record && result.bSuccess) line.Add("Bytes", static_cast<long long>(result.recordedBytes));
    Answer(job.client, line.Text());
}

bool ZarnService::FinishMediaJobs(DWORD dwMs) { return !m_pMedia || m_pMedia->WaitForAll(dwMs); }
