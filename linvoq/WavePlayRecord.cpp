// Playing a PCM file into a call and recording a call into a PCM file, on the wave devices the
// provider associates with the call. Both block the calling thread until done.
#include <windows.h>
#include <mmsystem.h>
#include <tapi.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "LineDevice.h"
#include "WaveDevices.h"
#include "WaveFormat.h"

namespace {

const DWORD kPollMs = 250;
const DWORD kIdQuerySize = 92;
const DWORD kVarStringHeaderSize = 24;

// The wave device lineGetID names for the call and class ("wave/out" or "wave/in").
bool GetCallWaveDevice(DWORD hLine, DWORD hCall, const char* pszClass, UINT* puDeviceID) {
    alignas(VARSTRING) BYTE query[kIdQuerySize] = {};
    VARSTRING* pVar = reinterpret_cast<VARSTRING*>(query);
    pVar->dwTotalSize = kIdQuerySize;
    if (lineGetIDA(hLine, 0, hCall, LINECALLSELECT_CALL, pVar, pszClass) != 0) return false;
    DWORD dwDeviceID = 0;
    std::memcpy(&dwDeviceID, query + kVarStringHeaderSize, sizeof dwDeviceID);
    *puDeviceID = dwDeviceID;
    return true;
}

WAVEFORMATEX ToWaveFormat(const linvoq::PcmFormat& f) {
    WAVEFORMATEX wfx = {};
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = f.channels;
    wfx.nSamplesPerSec = f.samplesPerSec;
    wfx.nAvgBytesPerSec = f.avgBytesPerSec;
    wfx.nBlockAlign = f.blockAlign;
    wfx.wBitsPerSample = f.bitsPerSample;
    wfx.cbSize = 0;
    return wfx;
}

bool ReadExactly(HANDLE hFile, void* pBuffer, DWORD dwBytes) {
    DWORD dwRead = 0;
    return ReadFile(hFile, pBuffer, dwBytes, &dwRead, nullptr) && dwRead == dwBytes;
}

bool WriteExactly(HANDLE hFile, const void* pBuffer, DWORD dwBytes) {
    DWORD dwWritten = 0;
    return WriteFile(hFile, pBuffer, dwBytes, &dwWritten, nullptr) && dwWritten == dwBytes;
}

// The samples of a playable file, at most as many as the header names and the file holds.
std::unique_ptr<BYTE[]> ReadPlayableFile(const char* pszFile, linvoq::WaveHeader* pHeader, DWORD* pdwBytes) {
    if (GetFileAttributesA(pszFile) == INVALID_FILE_ATTRIBUTES) return nullptr;
    linvoq::FileHandle file(
        CreateFileA(pszFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) return nullptr;
    uint8_t raw[linvoq::WAVE_HEADER_SIZE];
    if (!ReadExactly(file.Get(), raw, sizeof raw)) return nullptr;
    *pHeader = linvoq::ReadWaveHeader(raw);
    if (!linvoq::IsPlayableWaveHeader(*pHeader)) return nullptr;
    // A header naming more data than the file holds would otherwise play uninitialised memory.
    LARGE_INTEGER fileSize = {};
    if (!GetFileSizeEx(file.Get(), &fileSize)) return nullptr;
    LONGLONG llAvailable = fileSize.QuadPart - static_cast<LONGLONG>(linvoq::WAVE_HEADER_SIZE);
    DWORD dwBytes = pHeader->dataSize;
    if (static_cast<LONGLONG>(dwBytes) > llAvailable) dwBytes = static_cast<DWORD>(llAvailable);
    if (dwBytes == 0) return nullptr;
    std::unique_ptr<BYTE[]> samples(new (std::nothrow) BYTE[dwBytes]);
    if (!samples || !ReadExactly(file.Get(), samples.get(), dwBytes)) return nullptr;
    *pdwBytes = dwBytes;
    return samples;
}

// Writes header and samples into a file that must not exist yet; a file left incomplete by a
// failed write is removed again.
bool WriteRecordingFile(const char* pszFile, const linvoq::PcmFormat& format, const BYTE* pSamples, DWORD dwBytes) {
    linvoq::FileHandle file(
        CreateFileA(pszFile, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) return false;
    uint8_t raw[linvoq::WAVE_HEADER_SIZE];
    linvoq::WriteWaveHeader(linvoq::RecordingHeader(format, dwBytes), raw);
    bool bWritten =
        WriteExactly(file.Get(), raw, sizeof raw) && (dwBytes == 0 || WriteExactly(file.Get(), pSamples, dwBytes));
    if (file.Close() && bWritten) return true;
    DeleteFileA(pszFile);
    return false;
}

}  // namespace

int CLineDevice::WavePlayFile(DWORD hCall, const char* pszFile) {
    UINT uDeviceID = 0;
    if (!pszFile || !GetCallWaveDevice(hLine, hCall, "wave/out", &uDeviceID)) return FALSE;
    linvoq::WaveHeader header;
    DWORD dwBytes = 0;
    std::unique_ptr<BYTE[]> samples = ReadPlayableFile(pszFile, &header, &dwBytes);
    if (!samples) return FALSE;

    linvoq::WaveOutDevice device;
    if (!device.Open(uDeviceID, ToWaveFormat(linvoq::FormatOfHeader(header)))) return FALSE;
    WAVEHDR waveHeader = {};
    waveHeader.lpData = reinterpret_cast<LPSTR>(samples.get());
    waveHeader.dwBufferLength = dwBytes;
    waveHeader.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    waveHeader.dwLoops = 1;
    if (!device.Prepare(&waveHeader) || !device.Write()) return FALSE;
    while (!(waveHeader.dwFlags & WHDR_DONE)) Sleep(kPollMs);
    return TRUE;
}

int CLineDevice::WaveRecordFile(DWORD hCall, const char* pszFile, DWORD dwBufferSize) {
    UINT uDeviceID = 0;
    if (!pszFile || !GetCallWaveDevice(hLine, hCall, "wave/in", &uDeviceID)) return FALSE;
    // An existing recording is never overwritten.
    if (GetFileAttributesA(pszFile) != INVALID_FILE_ATTRIBUTES) return FALSE;

    WAVEINCAPSA caps = {};
    waveInGetDevCapsA(uDeviceID, &caps, sizeof caps);
    linvoq::PcmFormat format = linvoq::ChooseRecordingFormat(caps.wChannels, caps.dwFormats);
    linvoq::WaveInDevice device;
    if (!device.Open(uDeviceID, ToWaveFormat(format))) return FALSE;
    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[dwBufferSize ? dwBufferSize : 1]);
    if (!buffer) return FALSE;
    std::memset(buffer.get(), 0, dwBufferSize);
    WAVEHDR waveHeader = {};
    waveHeader.lpData = reinterpret_cast<LPSTR>(buffer.get());
    waveHeader.dwBufferLength = dwBufferSize;
    waveHeader.dwLoops = 1;
    if (!device.PrepareAndAdd(&waveHeader) || !device.Start()) return FALSE;

    while (!(waveHeader.dwFlags & WHDR_DONE)) {
        Sleep(kPollMs);
        // The call has left the table: end early and keep what was recorded so far.
        if (!GetSumStatesFromCall(hCall)) {
            device.Reset();
            break;
        }
    }
    device.Close();
    DWORD dwRecorded = waveHeader.dwBytesRecorded;
    if (dwRecorded > dwBufferSize) dwRecorded = dwBufferSize;
    return WriteRecordingFile(pszFile, format, buffer.get(), dwRecorded) ? TRUE : FALSE;
}
