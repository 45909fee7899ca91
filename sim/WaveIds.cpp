#include "WaveIds.h"

#include "tapisim.h"

namespace tapisim {

LONG WaveDeviceOfLine(const LineDevice& line, const char* deviceClass, DWORD* waveDevice) {
    DWORD id;
    if (lstrcmpiA(deviceClass, "wave/in") == 0)
        id = line.waveIn;
    else if (lstrcmpiA(deviceClass, "wave/out") == 0)
        id = line.waveOut;
    else
        return LINEERR_INVALDEVICECLASS;
    if (id == SIM_NO_WAVE_DEVICE) return LINEERR_NODEVICE;
    *waveDevice = id;
    return 0;
}

}  // namespace tapisim

SIMAPI void WINAPI simSetWaveDevices(DWORD deviceId, DWORD waveIn, DWORD waveOut) {
    tapisim::Sim& sim = tapisim::TheSim();
    std::lock_guard<std::recursive_mutex> guard(sim.lock);
    tapisim::LineDevice* line = sim.FindLine(deviceId);
    if (!line) return;
    line->waveIn = waveIn;
    line->waveOut = waveOut;
}
