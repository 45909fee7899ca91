// Commands the program adds to the service, which need the telephony object itself: the
// library's reports and the sound files of calls.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <memory>
#include <string>

#include "MediaJobs.h"
#include "ZarnCommands.h"

class CTelvarixTapi;
class ZarnService;

// {Cmd:Diagnostics} (DiagnosticsCommands.cpp).
void RegisterDiagnosticsCommand(ZarnService& service, CTelvarixTapi& tapi);

// {Cmd:PlayFile} and {Cmd:RecordFile} (MediaCommands.cpp). Registers itself; outlives nothing
// it was given, so it goes before the service and the telephony object.
class MediaCommands {
public:
    MediaCommands(ZarnService& service, CTelvarixTapi& tapi, const std::string& mediaFolder);
    // Before the telephony object goes: waits for sounds still playing or recording. False when
    // some still run after dwMs (their line devices must then stay).
    bool FinishMediaJobs(DWORD dwMs);

private:
    MediaCommands(const MediaCommands&) = delete;
    MediaCommands& operator=(const MediaCommands&) = delete;
    void Run(SOCKET s, const zarn::Request& request);
    void OnDone(const MediaJobResult& result);

    ZarnService& m_service;
    CTelvarixTapi& m_tapi;
    std::string m_folder;
    std::unique_ptr<MediaJobs> m_pJobs;  // made on first use, on the service's thread
};
