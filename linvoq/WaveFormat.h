// The 44-byte RIFF/WAVE PCM header of played and recorded files, and the recording format
// chosen from an input device's capabilities. No Windows call: tested natively too.
#pragma once

#include <cstddef>
#include <cstdint>

namespace linvoq {

enum : std::size_t { WAVE_HEADER_SIZE = 44 };

// The header as thirteen fields in file order; nothing else of a file is read or written.
struct WaveHeader {
    char chunkId[4];           // "RIFF"
    uint32_t riffSize;         // 36 + data size
    char formType[4];          // "WAVE"
    char formatChunkId[4];     // "fmt "
    uint32_t formatChunkSize;  // 16
    uint16_t formatTag;        // 1 for PCM
    uint16_t channels;
    uint32_t samplesPerSec;
    uint32_t avgBytesPerSec;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
    char dataChunkId[4];  // "data"
    uint32_t dataSize;
};

struct PcmFormat {
    uint16_t channels;
    uint32_t samplesPerSec;
    uint32_t avgBytesPerSec;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
};

// Little-endian, field by field, independent of the host's byte order and padding.
WaveHeader ReadWaveHeader(const uint8_t (&bytes)[WAVE_HEADER_SIZE]);
void WriteWaveHeader(const WaveHeader& header, uint8_t (&bytes)[WAVE_HEADER_SIZE]);

// Playable: "RIFF", "WAVE" and format tag 1. The other chunk ids are not checked.
bool IsPlayableWaveHeader(const WaveHeader& header);
PcmFormat FormatOfHeader(const WaveHeader& header);
// The header of a recording of dataSize bytes in the given format.
WaveHeader RecordingHeader(const PcmFormat& format, uint32_t dataSize);

// From waveInGetDevCaps' wChannels and dwFormats: channels as reported (1 above two), the lowest
// rate class offered (8000 Hz 16 bit when nothing is offered), 8 bits when any 8-bit format is.
PcmFormat ChooseRecordingFormat(uint16_t deviceChannels, uint32_t deviceFormats);

}  // namespace linvoq
