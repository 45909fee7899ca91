#include "WaveDevices.h"

namespace linvoq {

bool FileHandle::Close() {
    if (!IsOpen()) return true;
    BOOL bClosed = CloseHandle(m_h);
    m_h = INVALID_HANDLE_VALUE;
    return bClosed != FALSE;
}

WaveOutDevice::~WaveOutDevice() {
    if (!m_h) return;
    if (m_pPrepared) {
        // A header still playing cannot be unprepared: stop it first.
        if (!(m_pPrepared->dwFlags & WHDR_DONE)) waveOutReset(m_h);
        waveOutUnprepareHeader(m_h, m_pPrepared, sizeof(WAVEHDR));
    }
    waveOutClose(m_h);
}

bool WaveOutDevice::Open(UINT uDeviceID, const WAVEFORMATEX& format) {
    WAVEFORMATEX wfx = format;
    if (waveOutOpen(&m_h, uDeviceID, &wfx, 0, 0, CALLBACK_NULL) == MMSYSERR_NOERROR) return true;
    m_h = nullptr;
    return false;
}

bool WaveOutDevice::Prepare(WAVEHDR* pHeader) {
    if (waveOutPrepareHeader(m_h, pHeader, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) return false;
    m_pPrepared = pHeader;
    return true;
}

bool WaveOutDevice::Write() { return waveOutWrite(m_h, m_pPrepared, sizeof(WAVEHDR)) == MMSYSERR_NOERROR; }

bool WaveInDevice::Open(UINT uDeviceID, const WAVEFORMATEX& format) {
    WAVEFORMATEX wfx = format;
    if (waveInOpen(&m_h, uDeviceID, &wfx, 0, 0, CALLBACK_NULL) == MMSYSERR_NOERROR) return true;
    m_h = nullptr;
    return false;
}

bool WaveInDevice::PrepareAndAdd(WAVEHDR* pHeader) {
    if (waveInPrepareHeader(m_h, pHeader, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) return false;
    m_pPrepared = pHeader;
    return waveInAddBuffer(m_h, pHeader, sizeof(WAVEHDR)) == MMSYSERR_NOERROR;
}

bool WaveInDevice::Start() { return waveInStart(m_h) == MMSYSERR_NOERROR; }

void WaveInDevice::Reset() {
    if (m_h) waveInReset(m_h);
}

void WaveInDevice::Close() {
    if (!m_h) return;
    if (m_pPrepared) {
        if (!(m_pPrepared->dwFlags & WHDR_DONE)) waveInReset(m_h);
        waveInUnprepareHeader(m_h, m_pPrepared, sizeof(WAVEHDR));
        m_pPrepared = nullptr;
    }
    waveInClose(m_h);
    m_h = nullptr;
}

}  // namespace linvoq
