// The loopback control port (TVX_SIM_CONTROL_PORT) and the demonstration call (TVX_SIM_DEMO).
#pragma once

#include "SimState.h"

namespace tapisim {

// Listens on 127.0.0.1:port (0: any free port) on a thread of its own; the port in use, 0 when
// it cannot listen. Once listening, later calls return the same port.
WORD StartControlPort(WORD port);
// Starts the control port when TVX_SIM_CONTROL_PORT names one.
void StartControlPortFromEnvironment();

// Called after every successful lineOpen: with TVX_SIM_DEMO=1, the first open of extension
// 201's line starts the demonstration call.
void NoteLineOpened(Sim& sim, DWORD device);

}  // namespace tapisim
