// The wave devices the PBX associates with a line's calls.
#pragma once

#include "SimState.h"

namespace tapisim {

// The wave device for "wave/in" or "wave/out" (any case); LINEERR_INVALDEVICECLASS for another
// class, LINEERR_NODEVICE when the line has no such device.
LONG WaveDeviceOfLine(const LineDevice& line, const char* deviceClass, DWORD* waveDevice);

}  // namespace tapisim
