#include "PbxSetup.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <utility>

#include "SimText.h"

namespace tapisim {

namespace {
const char kProvider[] = "Telvarix Simulated PBX";
const DWORD kProviderId = 0x0001;

LineConfig Extension(const char* name, const char* address, DWORD index) {
    LineConfig line = DefaultExtension();
    line.name = name;
    line.address = address;
    line.permanentLineId = (kProviderId << 16) | index;
    return line;
}
}  // namespace

LineConfig DefaultExtension() {
    LineConfig line;
    line.provider = kProvider;
    line.lineFeatures = LINEFEATURE_MAKECALL;
    line.addressFeatures = LINEADDRFEATURE_MAKECALL | LINEADDRFEATURE_FORWARD;
    line.callFeatures = LINECALLFEATURE_ANSWER | LINECALLFEATURE_DROP | LINECALLFEATURE_HOLD | LINECALLFEATURE_UNHOLD |
                        LINECALLFEATURE_SETUPTRANSFER | LINECALLFEATURE_COMPLETETRANSF | LINECALLFEATURE_SWAPHOLD |
                        LINECALLFEATURE_REDIRECT | LINECALLFEATURE_DIAL;
    line.callFeatures2 = LINECALLFEATURE2_TRANSFERNORM | LINECALLFEATURE2_TRANSFERCONF;
    line.maxActiveCalls = 1;
    line.maxConfCalls = 3;
    line.numAddresses = 1;
    return line;
}

PhoneConfig DefaultPhone() {
    PhoneConfig phone;
    phone.phoneFeatures = PHONEFEATURE_GETHOOKSWITCHHANDSET | PHONEFEATURE_GETDISPLAY | PHONEFEATURE_GETRING;
    return phone;
}

PbxConfig DefaultPbx() {
    PbxConfig pbx;
    pbx.lines.push_back(Extension("Office 201", "201", 1));
    pbx.lines.push_back(Extension("Office 202", "202", 2));
    LineConfig office203 = Extension("B\xC3\xBCro 203", "203", 3);  // UTF-8
    office203.unicode = true;
    pbx.lines.push_back(office203);
    // No address of its own: the library derives 205 from the name when asked to.
    LineConfig port = Extension("Port 7 ext 205", "", 4);
    port.addressFeatures = LINEADDRFEATURE_MAKECALL;
    pbx.lines.push_back(port);
    for (const char* name : {"Desk phone 201", "Desk phone 202"}) {
        PhoneConfig phone = DefaultPhone();
        phone.name = name;
        pbx.phones.push_back(phone);
    }
    return pbx;
}

namespace {

// A test's description (ANSI texts, int flags) and a PBX file's entry (UTF-8 texts) name their
// fields alike; the callers convert the texts.
template <class Source>
LineDevice LineFrom(const Source& source, std::wstring name, std::wstring address, std::wstring provider) {
    LineDevice line;
    line.name = std::move(name);
    line.address = std::move(address);
    line.provider = std::move(provider);
    line.permanentLineId = source.permanentLineId;
    line.lineFeatures = source.lineFeatures;
    line.addressFeatures = source.addressFeatures;
    line.callFeatures = source.callFeatures;
    line.callFeatures2 = source.callFeatures2;
    line.maxActiveCalls = source.maxActiveCalls;
    line.maxConfCalls = source.maxConfCalls;
    line.numAddresses = source.numAddresses ? source.numAddresses : 1;
    line.unicode = source.unicode != 0;
    line.apiHigh = source.apiVersionHigh;
    line.extVersion = source.extVersion;
    line.rejectExtVersion = source.rejectExtVersion != 0;
    return line;
}

template <class Source>
PhoneDevice PhoneFrom(const Source& source, std::wstring name) {
    PhoneDevice phone;
    phone.name = std::move(name);
    phone.phoneFeatures = source.phoneFeatures;
    phone.unicode = source.unicode != 0;
    phone.extVersion = source.extVersion;
    phone.rejectExtVersion = source.rejectExtVersion != 0;
    return phone;
}

}  // namespace

LineDevice LineFromDesc(const SimLineDesc& desc) {
    return LineFrom(desc, WideFromAnsi(desc.name), WideFromAnsi(desc.address), WideFromAnsi(desc.provider));
}

LineDevice LineFromConfig(const LineConfig& config) {
    return LineFrom(config, WideFromUtf8(config.name), WideFromUtf8(config.address), WideFromUtf8(config.provider));
}

PhoneDevice PhoneFromDesc(const SimPhoneDesc& desc) { return PhoneFrom(desc, WideFromAnsi(desc.name)); }

PhoneDevice PhoneFromConfig(const PhoneConfig& config) { return PhoneFrom(config, WideFromUtf8(config.name)); }

DWORD AddLine(Sim& sim, LineDevice line) {
    line.status.lineFeatures = line.lineFeatures;
    sim.lines.push_back(std::move(line));
    return static_cast<DWORD>(sim.lines.size() - 1);
}

DWORD AddPhone(Sim& sim, PhoneDevice phone) {
    sim.phones.push_back(std::move(phone));
    return static_cast<DWORD>(sim.phones.size() - 1);
}

void InstallPbx(Sim& sim, const PbxConfig& config) {
    sim.Reset();
    for (const LineConfig& line : config.lines) AddLine(sim, LineFromConfig(line));
    for (const PhoneConfig& phone : config.phones) AddPhone(sim, PhoneFromConfig(phone));
}

bool LoadPbxFile(Sim& sim, const char* path, std::string* error) {
    if (!path) {
        *error = "no file name";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = std::string("cannot open ") + path;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    PbxConfig config;
    if (!ParsePbxText(text.str(), DefaultExtension(), DefaultPhone(), &config, error)) return false;
    InstallPbx(sim, config);
    return true;
}

bool ConfigureAtLoad(Sim& sim) {
    const char* path = std::getenv("TVX_PBX");
    if (path && *path) {
        std::string error;
        if (LoadPbxFile(sim, path, &error)) return true;
        OutputDebugStringA(("tapisim: TVX_PBX not used, " + error + "\n").c_str());
    }
    InstallPbx(sim, DefaultPbx());
    return true;
}

}  // namespace tapisim
