// Playing into and recording from a call through Wine's winmm over the test prefix's ALSA
// device (scripts/wine-run.sh): what is played lands in $TVX_WAVE_PLAYED, what is recorded
// comes from $TVX_WAVE_SOURCE (not compared: the plugin does not deliver it reliably).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>
#include <mmsystem.h>

#include "TestSupport.h"
#include "WaveFormat.h"

using namespace tvxtest;

namespace {

typedef std::vector<uint8_t> Bytes;

// A Linux path of the environment as Wine's Z: drive shows it.
std::string WinePathOf(const char* variable) {
    const char* path = std::getenv(variable);
    if (!path || !*path) return std::string();
    std::string out = std::string("Z:") + path;
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

bool Contains(const Bytes& haystack, const uint8_t* needle, size_t size) {
    return std::search(haystack.begin(), haystack.end(), needle, needle + size) != haystack.end();
}

// A PCM file of the given format and samples, header written by the library's own writer.
Bytes WaveFile(uint16_t channels, uint32_t rate, uint16_t bits, const Bytes& samples, uint16_t formatTag = 1) {
    linvoq::PcmFormat f = {channels, rate, rate * channels * bits / 8u, static_cast<uint16_t>(channels * bits / 8),
                           bits};
    linvoq::WaveHeader h = linvoq::RecordingHeader(f, static_cast<uint32_t>(samples.size()));
    h.formatTag = formatTag;
    uint8_t raw[linvoq::WAVE_HEADER_SIZE];
    linvoq::WriteWaveHeader(h, raw);
    Bytes file(sizeof raw + samples.size());
    std::copy(raw, raw + sizeof raw, file.begin());
    std::copy(samples.begin(), samples.end(), file.begin() + sizeof raw);
    return file;
}

Bytes Pattern(size_t size) {
    Bytes b(size);
    for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>((i * 7) % 251);
    return b;
}

class WaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        played = WinePathOf("TVX_WAVE_PLAYED");
        ASSERT_FALSE(played.empty()) << "run through scripts/wine-run.sh";
        ASSERT_GT(waveOutGetNumDevs(), 0u) << "no wave device in the test prefix";
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        folder = std::string(temp) + "tvx-wave-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder.c_str(), nullptr);

        simReset();
        SimLineDesc d = Line("Office 201", "201");
        simAddLine(&d);
        app = new RecordingApp(1);
        ASSERT_EQ(1, app->DoMonitorStart(const_cast<char*>("201")));
        device = app->GetDeviceObjectFromAddress(const_cast<char*>("201"));
        ASSERT_NE(nullptr, device);
        ASSERT_NE(0u, simInboundCall("0301234", 0));
        Pump(3000, [&] { return device->GetCallCount() > 0; });
        ASSERT_EQ(1u, device->GetCallCount());
        hCall = device->GetCall(0);
        // A marker the device overwrites whenever it is opened.
        WriteAll(played, Bytes{'u', 'n', 't', 'o', 'u', 'c', 'h', 'e', 'd'});
        simJournalClear();
    }
    void TearDown() override {
        delete app;
        app = nullptr;
        simReset();
        for (const char* name : {"\\in.wav", "\\out.wav", "\\bad.wav", "\\keep.wav", "\\rec.wav", "\\full.wav"})
            DeleteFileA((folder + name).c_str());
        RemoveDirectoryA(folder.c_str());
    }
    bool DeviceUntouched() { return ReadAll(played) == Bytes{'u', 'n', 't', 'o', 'u', 'c', 'h', 'e', 'd'}; }
    std::string Path(const char* name) { return folder + "\\" + name; }

    // Records on a thread of its own while this thread pumps TAPI's messages, as a host must.
    int RecordWhile(const std::string& file, DWORD bytes, const std::function<void()>& during) {
        std::atomic<int> result(-1);
        std::thread recorder([&] { result = device->WaveRecordFile(hCall, file.c_str(), bytes); });
        during();
        while (result < 0) Pump(50);
        recorder.join();
        return result;
    }

    std::string played, folder;
    RecordingApp* app = nullptr;
    CLineDevice* device = nullptr;
    DWORD hCall = 0;
};

}  // namespace

TEST_F(WaveTest, PlayedSamplesArriveAtTheCallsDeviceByteForByte) {
    Bytes samples = Pattern(8000);
    WriteAll(Path("out.wav"), WaveFile(1, 8000, 8, samples));
    EXPECT_EQ(TRUE, device->WavePlayFile(hCall, Path("out.wav").c_str()));
    Bytes arrived = ReadAll(played);
    EXPECT_GE(arrived.size(), samples.size());
    EXPECT_TRUE(Contains(arrived, samples.data(), samples.size()));
    std::vector<std::string> waveIds;
    for (const std::string& line : JournalLines("lineGetID("))
        if (line.find("\"wave/out\"") != std::string::npos) waveIds.push_back(line);
    ASSERT_EQ(1u, waveIds.size());
    EXPECT_NE(std::string::npos,
              waveIds[0].find(", 0, " + std::to_string(hCall) + ", 0x00000004, \"wave/out\", size=92) = 0"))
        << waveIds[0];
    // The file was closed again: it can be removed.
    EXPECT_TRUE(DeleteFileA(Path("out.wav").c_str()));
}

TEST_F(WaveTest, FilesThatAreNotPlainPcmAreRefusedBeforeTheDeviceOpens) {
    Bytes samples = Pattern(800);
    WriteAll(Path("bad.wav"), WaveFile(1, 8000, 32, samples, 3));  // floating point
    EXPECT_EQ(FALSE, device->WavePlayFile(hCall, Path("bad.wav").c_str()));
    Bytes notRiff = WaveFile(1, 8000, 8, samples);
    notRiff[3] = 'X';  // "RIFX"
    WriteAll(Path("in.wav"), notRiff);
    EXPECT_EQ(FALSE, device->WavePlayFile(hCall, Path("in.wav").c_str()));
    EXPECT_EQ(FALSE, device->WavePlayFile(hCall, Path("missing.wav").c_str()));
    EXPECT_TRUE(DeviceUntouched());
    EXPECT_TRUE(DeleteFileA(Path("bad.wav").c_str()));
    EXPECT_TRUE(DeleteFileA(Path("in.wav").c_str()));
}

TEST_F(WaveTest, AHeaderPromisingMoreThanTheFileHoldsPlaysOnlyTheFilesSamples) {
    Bytes samples = Pattern(4000);
    Bytes file = WaveFile(1, 8000, 8, samples);
    file[40] = 0x00, file[41] = 0x00, file[42] = 0x10, file[43] = 0x00;  // 1 MiB promised
    WriteAll(Path("out.wav"), file);
    EXPECT_EQ(TRUE, device->WavePlayFile(hCall, Path("out.wav").c_str()));
    Bytes arrived = ReadAll(played);
    EXPECT_TRUE(Contains(arrived, samples.data(), samples.size()));
    EXPECT_LT(arrived.size(), 100000u);
}

TEST_F(WaveTest, ACallWithoutWaveDevicesNeitherPlaysNorRecords) {
    simSetWaveDevices(0, SIM_NO_WAVE_DEVICE, SIM_NO_WAVE_DEVICE);
    WriteAll(Path("out.wav"), WaveFile(1, 8000, 8, Pattern(800)));
    EXPECT_EQ(FALSE, device->WavePlayFile(hCall, Path("out.wav").c_str()));
    EXPECT_EQ(FALSE, device->WaveRecordFile(hCall, Path("rec.wav").c_str(), 8000));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(Path("rec.wav").c_str()));
    EXPECT_TRUE(DeviceUntouched());
}

TEST_F(WaveTest, AnExistingRecordingIsNeverOverwritten) {
    WriteAll(Path("keep.wav"), Bytes{'k', 'e', 'e', 'p'});
    EXPECT_EQ(FALSE, device->WaveRecordFile(hCall, Path("keep.wav").c_str(), 8000));
    EXPECT_EQ((Bytes{'k', 'e', 'e', 'p'}), ReadAll(Path("keep.wav")));
}

TEST_F(WaveTest, RecordingEndsWhenTheCallLeavesAndKeepsWhatWasRecorded) {
    WAVEINCAPSA caps = {};
    waveInGetDevCapsA(0, &caps, sizeof caps);
    linvoq::PcmFormat want = linvoq::ChooseRecordingFormat(caps.wChannels, caps.dwFormats);
    ASSERT_EQ(1, app->DoAnswer(const_cast<char*>("201")));
    Pump(2000, [&] { return device->Calls[0].dwState == LINECALLSTATE_CONNECTED; });

    // The test device (ALSA's file plugin over "null") delivers faster than real time: a buffer
    // far larger than a second's worth shows the early end.
    const DWORD kBuffer = 4000000;
    std::string file = Path("rec.wav");
    int result = RecordWhile(file, kBuffer, [&] {
        Pump(1000);
        ASSERT_EQ(1, app->DoHangup(const_cast<char*>("201")));
    });
    EXPECT_EQ(TRUE, result);
    Bytes written = ReadAll(file);
    ASSERT_GE(written.size(), linvoq::WAVE_HEADER_SIZE);
    uint8_t raw[linvoq::WAVE_HEADER_SIZE];
    std::copy(written.begin(), written.begin() + sizeof raw, raw);
    linvoq::WaveHeader h = linvoq::ReadWaveHeader(raw);
    EXPECT_TRUE(linvoq::IsPlayableWaveHeader(h));
    EXPECT_EQ(want.samplesPerSec, h.samplesPerSec);
    EXPECT_EQ(want.bitsPerSample, h.bitsPerSample);
    EXPECT_EQ(want.channels, h.channels);
    EXPECT_EQ(want.avgBytesPerSec, h.avgBytesPerSec);
    EXPECT_EQ(written.size() - linvoq::WAVE_HEADER_SIZE, h.dataSize);
    EXPECT_EQ(36 + h.dataSize, h.riffSize);
    // Ended by the hang-up, not by a full buffer, with what was recorded until then.
    EXPECT_GT(h.dataSize, 0u);
    EXPECT_LT(h.dataSize, kBuffer);
    EXPECT_EQ(0u, h.dataSize % want.blockAlign);
    EXPECT_EQ(0u, device->GetCallCount());
}

TEST_F(WaveTest, RecordingEndsWhenTheBufferIsFull) {
    WAVEINCAPSA caps = {};
    waveInGetDevCapsA(0, &caps, sizeof caps);
    linvoq::PcmFormat want = linvoq::ChooseRecordingFormat(caps.wChannels, caps.dwFormats);
    // The device fills whole frames only: an odd buffer of a stereo device keeps one byte free.
    const DWORD kBuffer = 11025;
    const DWORD kFilled = kBuffer - kBuffer % want.blockAlign;
    std::string file = Path("full.wav");
    int result = RecordWhile(file, kBuffer, [] {});
    EXPECT_EQ(TRUE, result);
    Bytes written = ReadAll(file);
    ASSERT_EQ(linvoq::WAVE_HEADER_SIZE + kFilled, written.size());
    uint8_t raw[linvoq::WAVE_HEADER_SIZE];
    std::copy(written.begin(), written.begin() + sizeof raw, raw);
    EXPECT_EQ(kFilled, linvoq::ReadWaveHeader(raw).dataSize);
    EXPECT_EQ(36 + kFilled, linvoq::ReadWaveHeader(raw).riffSize);
    EXPECT_EQ(1u, device->GetCallCount());  // the call stays
}
