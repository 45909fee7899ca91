// TELVARIX.INI values as the settings page reads and writes them. Pure text logic.
#pragma once

const unsigned kFirstFreePortCandidate = 25001;  // searched when the file holds no port
const unsigned kLastFreePortCandidate = 25010;
const unsigned kReplacementPort = 25001;  // saved instead of a port out of range

// Decimal as the C runtime reads it: leading blanks, an optional sign, digits; no digits give
// 0; values beyond the int range saturate.
int ConvertDecimal(const char* pszText);

// "Port" as the page shows it: the low 16 bits of the number (0 starts the free-port search).
unsigned PortFromSettingsText(const char* pszText);
// "UseProtocol" as an index into the protocol list: the low two bits.
int ProtocolFromSettingsText(const char* pszText);
// A typed port that may be saved: 1025 to 65535, the number taken as unsigned.
bool IsSavablePort(int nValue);
