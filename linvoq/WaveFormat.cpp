#include "WaveFormat.h"

#include <cstring>

namespace linvoq {

namespace {

// Field readers and writers walking a fixed 44-byte buffer.
class HeaderReader {
public:
    explicit HeaderReader(const uint8_t* bytes) : m_p(bytes) {}
    void Id(char (&id)[4]) {
        std::memcpy(id, m_p, 4);
        m_p += 4;
    }
    uint16_t Word() {
        uint16_t v = static_cast<uint16_t>(m_p[0] | (m_p[1] << 8));
        m_p += 2;
        return v;
    }
    uint32_t Dword() {
        uint32_t v = static_cast<uint32_t>(m_p[0]) | (static_cast<uint32_t>(m_p[1]) << 8) |
                     (static_cast<uint32_t>(m_p[2]) << 16) | (static_cast<uint32_t>(m_p[3]) << 24);
        m_p += 4;
        return v;
    }

private:
    const uint8_t* m_p;
};

class HeaderWriter {
public:
    explicit HeaderWriter(uint8_t* bytes) : m_p(bytes) {}
    void Id(const char (&id)[4]) {
        std::memcpy(m_p, id, 4);
        m_p += 4;
    }
    void Word(uint16_t v) {
        m_p[0] = static_cast<uint8_t>(v);
        m_p[1] = static_cast<uint8_t>(v >> 8);
        m_p += 2;
    }
    void Dword(uint32_t v) {
        for (int i = 0; i < 4; ++i) m_p[i] = static_cast<uint8_t>(v >> (8 * i));
        m_p += 4;
    }

private:
    uint8_t* m_p;
};

bool IdIs(const char (&id)[4], const char* text) { return std::memcmp(id, text, 4) == 0; }

void SetId(char (&id)[4], const char* text) { std::memcpy(id, text, 4); }

const uint32_t kFormats11k = 0x0000F;
const uint32_t kFormats22k = 0x000F0;
const uint32_t kFormats44k = 0x00F00;
const uint32_t kFormats48k = 0x0F000;
const uint32_t kFormats96k = 0xF0000;
const uint32_t kFormats8Bit = 0x33333;

uint32_t LowestRate(uint32_t formats) {
    if (formats & kFormats11k) return 11025;
    if (formats & kFormats22k) return 22050;
    if (formats & kFormats44k) return 44100;
    if (formats & kFormats48k) return 48000;
    if (formats & kFormats96k) return 96000;
    return 8000;
}

}  // namespace

WaveHeader ReadWaveHeader(const uint8_t (&bytes)[WAVE_HEADER_SIZE]) {
    WaveHeader h;
    HeaderReader r(bytes);
    r.Id(h.chunkId);
    h.riffSize = r.Dword();
    r.Id(h.formType);
    r.Id(h.formatChunkId);
    h.formatChunkSize = r.Dword();
    h.formatTag = r.Word();
    h.channels = r.Word();
    h.samplesPerSec = r.Dword();
    h.avgBytesPerSec = r.Dword();
    h.blockAlign = r.Word();
    h.bitsPerSample = r.Word();
    r.Id(h.dataChunkId);
    h.dataSize = r.Dword();
    return h;
}

void WriteWaveHeader(const WaveHeader& h, uint8_t (&bytes)[WAVE_HEADER_SIZE]) {
    HeaderWriter w(bytes);
    w.Id(h.chunkId);
    w.Dword(h.riffSize);
    w.Id(h.formType);
    w.Id(h.formatChunkId);
    w.Dword(h.formatChunkSize);
    w.Word(h.formatTag);
    w.Word(h.channels);
    w.Dword(h.samplesPerSec);
    w.Dword(h.avgBytesPerSec);
    w.Word(h.blockAlign);
    w.Word(h.bitsPerSample);
    w.Id(h.dataChunkId);
    w.Dword(h.dataSize);
}

bool IsPlayableWaveHeader(const WaveHeader& h) {
    return IdIs(h.chunkId, "RIFF") && IdIs(h.formType, "WAVE") && h.formatTag == 1;
}

PcmFormat FormatOfHeader(const WaveHeader& h) {
    PcmFormat f;
    f.channels = h.channels;
    f.samplesPerSec = h.samplesPerSec;
    f.avgBytesPerSec = h.avgBytesPerSec;
    f.blockAlign = h.blockAlign;
    f.bitsPerSample = h.bitsPerSample;
    return f;
}

WaveHeader RecordingHeader(const PcmFormat& f, uint32_t dataSize) {
    WaveHeader h;
    SetId(h.chunkId, "RIFF");
    h.riffSize = 36 + dataSize;
    SetId(h.formType, "WAVE");
    SetId(h.formatChunkId, "fmt ");
    h.formatChunkSize = 16;
    h.formatTag = 1;
    h.channels = f.channels;
    h.samplesPerSec = f.samplesPerSec;
    h.avgBytesPerSec = f.avgBytesPerSec;
    h.blockAlign = f.blockAlign;
    h.bitsPerSample = f.bitsPerSample;
    SetId(h.dataChunkId, "data");
    h.dataSize = dataSize;
    return h;
}

PcmFormat ChooseRecordingFormat(uint16_t deviceChannels, uint32_t deviceFormats) {
    PcmFormat f;
    // A device with more than two channels records mono rather than some arbitrary pair.
    f.channels = deviceChannels > 2 ? 1 : deviceChannels;
    if (deviceFormats == 0) {
        f.samplesPerSec = 8000;
        f.bitsPerSample = 16;
    } else {
        f.samplesPerSec = LowestRate(deviceFormats);
        f.bitsPerSample = (deviceFormats & kFormats8Bit) ? 8 : 16;
    }
    f.avgBytesPerSec = f.channels * f.samplesPerSec * f.bitsPerSample / 8;
    f.blockAlign = static_cast<uint16_t>(f.channels * f.bitsPerSample / 8);
    return f;
}

}  // namespace linvoq
