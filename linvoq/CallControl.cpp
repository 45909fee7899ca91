// Call-control commands. Not built yet: each refuses with LINEERR_OPERATIONUNAVAIL, so a host
// sees a clear failure instead of a request that never completes.
#include <tapi.h>

#include "TapiApp.h"

namespace {
int Unavailable(CTapiApp* app) {
    app->SetLastCTIError(LINEERR_OPERATIONUNAVAIL);
    return 0;
}
}  // namespace

int CTapiApp::DoMakeCall(char*, char*, int) { return Unavailable(this); }
int CTapiApp::DoConsultationCall(char*, char*) { return Unavailable(this); }
int CTapiApp::DoAnswer(char*) { return Unavailable(this); }
int CTapiApp::DoHangup(char*) { return Unavailable(this); }
int CTapiApp::DoHold(char*) { return Unavailable(this); }
int CTapiApp::DoUnhold(char*) { return Unavailable(this); }
int CTapiApp::DoAlternate(char*) { return Unavailable(this); }
int CTapiApp::DoTransfer(char*) { return Unavailable(this); }
int CTapiApp::DoConference(char*) { return Unavailable(this); }
int CTapiApp::DoRedirect(char*, char*, char*) { return Unavailable(this); }
int CTapiApp::DoPickup(char*, char*) { return Unavailable(this); }
int CTapiApp::DoForward(char*, char*) { return Unavailable(this); }
