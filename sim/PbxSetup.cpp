#include "PbxSetup.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

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
    line.callFeatures = LINECALLFEATURE_ANSWER | LINECALLFEATURE_DROP | LINECALLFEATURE_HOLD |
                        LINECALLFEATURE_UNHOLD | LINECALLFEATURE_SETUPTRANSFER | LINECALLFEATURE_COMPLETETRANSF |
                        LINECALLFEATURE_SWAPHOLD | LINECALLFEATURE_REDIRECT | LINECALLFEATURE_DIAL;
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

LineDevice LineFromDesc(const SimLineDesc& desc) {
    LineDevice line;
    line.name = WideFromAnsi(desc.name);
    line.address = WideFromAnsi(desc.address);
    line.provider = WideFromAnsi(desc.provider);
    line.permanentLineId = desc.permanentLineId;
    line.lineFeatures = desc.lineFeatures;
    line.addressFeatures = desc.addressFeatures;
    line.callFeatures = desc.callFeatures;
    line.callFeatures2 = desc.callFeatures2;
    line.maxActiveCalls = desc.maxActiveCalls;
    line.maxConfCalls = desc.maxConfCalls;
    line.numAddresses = desc.numAddresses ? desc.numAddresses : 1;
    line.unicode = desc.unicode != 0;
    line.apiHigh = desc.apiVersionHigh;
    line.extVersion = desc.extVersion;
    line.rejectExtVersion = desc.rejectExtVersion != 0;
    return line;
}

LineDevice LineFromConfig(const LineConfig& config) {
    LineDevice line;
    line.name = WideFromUtf8(config.name);
    line.address = WideFromUtf8(config.address);
    line.provider = WideFromUtf8(config.provider);
    line.permanentLineId = config.permanentLineId;
    line.lineFeatures = config.lineFeatures;
    line.addressFeatures = config.addressFeatures;
    line.callFeatures = config.callFeatures;
    line.callFeatures2 = config.callFeatures2;
    line.maxActiveCalls = config.maxActiveCalls;
    line.maxConfCalls = config.maxConfCalls;
    line.numAddresses = config.numAddresses ? config.numAddresses : 1;
    line.unicode = config.unicode;
    line.apiHigh = config.apiVersionHigh;
    line.extVersion = config.extVersion;
    line.rejectExtVersion = config.rejectExtVersion;
    return line;
}

PhoneDevice PhoneFromDesc(const SimPhoneDesc& desc) {
    PhoneDevice phone;
    phone.name = WideFromAnsi(desc.name);
    phone.phoneFeatures = desc.phoneFeatures;
    phone.unicode = desc.unicode != 0;
    phone.extVersion = desc.extVersion;
    phone.rejectExtVersion = desc.rejectExtVersion != 0;
    return phone;
}

PhoneDevice PhoneFromConfig(const PhoneConfig& config) {
    PhoneDevice phone;
    phone.name = WideFromUtf8(config.name);
    phone.phoneFeatures = config.phoneFeatures;
    phone.unicode = config.unicode;
    phone.extVersion = config.extVersion;
    phone.rejectExtVersion = config.rejectExtVersion;
    return phone;
}

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
