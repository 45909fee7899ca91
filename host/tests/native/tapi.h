// Native build: the call states the service's logic looks at.
#pragma once

#define LINECALLSTATE_IDLE 0x00000001
#define LINECALLSTATE_OFFERING 0x00000002
#define LINECALLSTATE_CONNECTED 0x00000100
#define LINECALLSTATE_DISCONNECTED 0x00004000
