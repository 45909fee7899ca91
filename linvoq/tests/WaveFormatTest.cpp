// The WAVE header of played and recorded files and the choice of the recording format.
#include <gtest/gtest.h>

#include <cstring>

#include "WaveFormat.h"

using namespace linvoq;

namespace {

// A PCM header of 11025 Hz, 8 bit, mono with 11025 data bytes, as the bytes stand in the file.
const uint8_t kMonoHeader[WAVE_HEADER_SIZE] = {
    'R',  'I',  'F',  'F',  0x35, 0x2B, 0x00, 0x00, 'W',  'A',  'V',  'E',  'f',  'm',  't',
    ' ',  0x10, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x11, 0x2B, 0x00, 0x00, 0x11, 0x2B,
    0x00, 0x00, 0x01, 0x00, 0x08, 0x00, 'd',  'a',  't',  'a',  0x11, 0x2B, 0x00, 0x00,
};

WaveHeader HeaderFrom(const uint8_t (&bytes)[WAVE_HEADER_SIZE]) { return ReadWaveHeader(bytes); }

// Rate and sample size of the standard format bits: four per rate class, 8 bit for the first two.
uint32_t RateOfBit(int bit) {
    static const uint32_t rates[] = {11025, 22050, 44100, 48000, 96000};
    return rates[bit / 4];
}
bool IsEightBitBit(int bit) { return bit % 4 < 2; }

}  // namespace

TEST(WaveHeaderBytes, RecordingHeaderIsWrittenFieldByFieldLittleEndian) {
    PcmFormat mono = ChooseRecordingFormat(1, 0x1);
    uint8_t bytes[WAVE_HEADER_SIZE];
    std::memset(bytes, 0xCC, sizeof bytes);
    WriteWaveHeader(RecordingHeader(mono, 11025), bytes);
    EXPECT_EQ(0, std::memcmp(kMonoHeader, bytes, sizeof bytes));
}

TEST(WaveHeaderBytes, ReadingGivesTheThirteenFields) {
    WaveHeader h = HeaderFrom(kMonoHeader);
    EXPECT_EQ(0, std::memcmp(h.chunkId, "RIFF", 4));
    EXPECT_EQ(11025u + 36, h.riffSize);
    EXPECT_EQ(0, std::memcmp(h.formType, "WAVE", 4));
    EXPECT_EQ(0, std::memcmp(h.formatChunkId, "fmt ", 4));
    EXPECT_EQ(16u, h.formatChunkSize);
    EXPECT_EQ(1, h.formatTag);
    EXPECT_EQ(1, h.channels);
    EXPECT_EQ(11025u, h.samplesPerSec);
    EXPECT_EQ(11025u, h.avgBytesPerSec);
    EXPECT_EQ(1, h.blockAlign);
    EXPECT_EQ(8, h.bitsPerSample);
    EXPECT_EQ(0, std::memcmp(h.dataChunkId, "data", 4));
    EXPECT_EQ(11025u, h.dataSize);

    uint8_t big[WAVE_HEADER_SIZE];
    std::memcpy(big, kMonoHeader, sizeof big);
    big[40] = 0x78, big[41] = 0x56, big[42] = 0x34, big[43] = 0x12;
    EXPECT_EQ(0x12345678u, HeaderFrom(big).dataSize);
    uint8_t roundTrip[WAVE_HEADER_SIZE];
    WriteWaveHeader(HeaderFrom(big), roundTrip);
    EXPECT_EQ(0, std::memcmp(big, roundTrip, sizeof big));
}

TEST(WaveHeaderBytes, OnlyRiffWaveAndPcmArePlayable) {
    EXPECT_TRUE(IsPlayableWaveHeader(HeaderFrom(kMonoHeader)));
    struct Change {
        int offset;
        uint8_t value;
        bool playable;
    } changes[] = {
        {0, 'X', false},  // "XIFF"
        {3, 'X', false},  // "RIFX" (big-endian files are not read)
        {8, 'w', false},  // "wAVE"
        {20, 3, false},   // format tag 3, floating point
        {21, 1, false},   // format tag 0x0101
        {12, 'F', true},  // the format chunk id is not checked
        {36, 'L', true},  // nor the data chunk id
        {16, 18, true},   // nor the format chunk size
    };
    for (const Change& c : changes) {
        uint8_t bytes[WAVE_HEADER_SIZE];
        std::memcpy(bytes, kMonoHeader, sizeof bytes);
        bytes[c.offset] = c.value;
        EXPECT_EQ(c.playable, IsPlayableWaveHeader(HeaderFrom(bytes))) << "offset " << c.offset;
    }
}

TEST(RecordingFormat, DeviceExamples) {
    struct Case {
        uint16_t channels;
        uint32_t formats;
        uint16_t wantChannels;
        uint32_t wantRate;
        uint16_t wantBits;
    } cases[] = {
        {1, 0x00001, 1, 11025, 8},                              // 11025 Hz 8-bit mono only
        {1, 0x00004, 1, 11025, 16},                             // 11025 Hz 16-bit mono only
        {2, 0xFFFFF, 2, 11025, 8},                              // everything, as Wine's device reports
        {4, 0x00800, 1, 44100, 16},                             // four channels record mono
        {3, 0x10000, 1, 96000, 8},  {2, 0x00000, 2, 8000, 16},  // no formats
        {1, 0x100000, 1, 8000, 16},                             // only bits outside the rate classes
        {0, 0x00001, 0, 11025, 8},  // caps that could not be read: zero channels, open fails
    };
    for (const Case& c : cases) {
        PcmFormat f = ChooseRecordingFormat(c.channels, c.formats);
        SCOPED_TRACE(testing::Message() << c.channels << " channels, formats 0x" << std::hex << c.formats);
        EXPECT_EQ(c.wantChannels, f.channels);
        EXPECT_EQ(c.wantRate, f.samplesPerSec);
        EXPECT_EQ(c.wantBits, f.bitsPerSample);
        EXPECT_EQ(c.wantChannels * c.wantRate * c.wantBits / 8, f.avgBytesPerSec);
        EXPECT_EQ(c.wantChannels * c.wantBits / 8, f.blockAlign);
    }
}

TEST(RecordingFormat, EveryFormatMaskTakesTheLowestRateAndEightBitsWhenOffered) {
    for (uint32_t mask = 1; mask <= 0xFFFFF; ++mask) {
        uint32_t lowest = 0;
        bool eightBit = false;
        for (int bit = 0; bit < 20; ++bit) {
            if (!(mask & (1u << bit))) continue;
            if (!lowest || RateOfBit(bit) < lowest) lowest = RateOfBit(bit);
            eightBit = eightBit || IsEightBitBit(bit);
        }
        PcmFormat f = ChooseRecordingFormat(2, mask);
        if (f.samplesPerSec != lowest || f.bitsPerSample != (eightBit ? 8 : 16)) {
            ADD_FAILURE() << "mask 0x" << std::hex << mask << ": " << std::dec << f.samplesPerSec << " Hz "
                          << f.bitsPerSample << " bit";
            return;
        }
    }
}
