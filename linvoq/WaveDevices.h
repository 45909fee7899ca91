// Scoped owners of what playing and recording obtain: a file handle, an open wave device with
// its one prepared header. Each releases on every path, in the order the device needs.
#pragma once

#include <windows.h>
#include <mmsystem.h>

namespace linvoq {

class FileHandle {
public:
    explicit FileHandle(HANDLE h) : m_h(h) {}
    ~FileHandle() { Close(); }
    bool IsOpen() const { return m_h != INVALID_HANDLE_VALUE && m_h != nullptr; }
    HANDLE Get() const { return m_h; }
    bool Close();  // false when closing failed (data may not have reached the disk)

private:
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE m_h;
};

// An output device opened without callback; the header, once prepared, is unprepared before
// the device closes.
class WaveOutDevice {
public:
    WaveOutDevice() : m_h(nullptr), m_pPrepared(nullptr) {}
    ~WaveOutDevice();
    bool Open(UINT uDeviceID, const WAVEFORMATEX& format);
    bool Prepare(WAVEHDR* pHeader);
    bool Write();

private:
    WaveOutDevice(const WaveOutDevice&) = delete;
    WaveOutDevice& operator=(const WaveOutDevice&) = delete;
    HWAVEOUT m_h;
    WAVEHDR* m_pPrepared;
};

// An input device opened without callback; a queued header is returned by a reset before it is
// unprepared and the device closed.
class WaveInDevice {
public:
    WaveInDevice() : m_h(nullptr), m_pPrepared(nullptr) {}
    ~WaveInDevice() { Close(); }
    bool Open(UINT uDeviceID, const WAVEFORMATEX& format);
    bool PrepareAndAdd(WAVEHDR* pHeader);
    bool Start();
    void Reset();  // stops recording; the header comes back with what was recorded
    void Close();

private:
    WaveInDevice(const WaveInDevice&) = delete;
    WaveInDevice& operator=(const WaveInDevice&) = delete;
    HWAVEIN m_h;
    WAVEHDR* m_pPrepared;
};

}  // namespace linvoq
