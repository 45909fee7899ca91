// Building the PBX: the default one, one from a description file, devices from sim* descriptions.
#pragma once

#include <string>

#include "PbxConfig.h"
#include "SimState.h"

namespace tapisim {

LineConfig DefaultExtension();  // what a described line has unless it says otherwise
PhoneConfig DefaultPhone();
PbxConfig DefaultPbx();  // the built-in PBX (see README.md)

LineDevice LineFromDesc(const SimLineDesc& desc);     // texts in the ANSI code page
LineDevice LineFromConfig(const LineConfig& config);  // texts in UTF-8
PhoneDevice PhoneFromDesc(const SimPhoneDesc& desc);
PhoneDevice PhoneFromConfig(const PhoneConfig& config);

DWORD AddLine(Sim& sim, LineDevice line);  // returns the device id
DWORD AddPhone(Sim& sim, PhoneDevice phone);

// Reset, then the devices of `config`.
void InstallPbx(Sim& sim, const PbxConfig& config);
// Installs the PBX described in a file; false (and nothing changed) when it cannot be read.
bool LoadPbxFile(Sim& sim, const char* path, std::string* error);
// What the simulator starts with: the file named by TVX_PBX, else the default PBX.
bool ConfigureAtLoad(Sim& sim);

}  // namespace tapisim
