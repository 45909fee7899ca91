// Description of the simulated PBX's devices, and the parser of PBX description files.
// Standard C++ only; texts are UTF-8 here.
//
// A PBX description file has one device per text line, a record kind followed by key=value
// fields; values with blanks are written in double quotes; numbers in decimal or 0x hex;
// blank lines and lines starting with # are ignored:
//     line name="Office 201" address=201 lineFeatures=0x8
//     line name="Büro 203" address=203 unicode=1
//     phone name="Desk phone 201" phoneFeatures=0x5
// The keys are the field names of SimLineDesc and SimPhoneDesc in tapisim.h; fields left out
// keep the values of the default extension.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tapisim {

struct LineConfig {
    std::string name;
    std::string address;
    std::string provider;
    uint32_t permanentLineId = 0;
    uint32_t lineFeatures = 0;
    uint32_t addressFeatures = 0;
    uint32_t callFeatures = 0;
    uint32_t callFeatures2 = 0;
    uint32_t maxActiveCalls = 0;
    uint32_t maxConfCalls = 0;
    uint32_t numAddresses = 0;
    bool unicode = false;
    uint32_t apiVersionHigh = 0;
    uint32_t extVersion = 0;
    bool rejectExtVersion = false;
};

struct PhoneConfig {
    std::string name;
    uint32_t phoneFeatures = 0;
    bool unicode = false;
    uint32_t extVersion = 0;
    bool rejectExtVersion = false;
};

struct PbxConfig {
    std::vector<LineConfig> lines;
    std::vector<PhoneConfig> phones;
};

// Parses a PBX description. On failure returns false with "line N: reason" in *error.
bool ParsePbxText(const std::string& text, const LineConfig& lineDefaults, const PhoneConfig& phoneDefaults,
                  PbxConfig* out, std::string* error);

}  // namespace tapisim
