// Conversion of profile (INI) value texts to integers. Pure text logic.
#pragma once

namespace toolfunc_detail {

// Decimal conversion as the C runtime does it: leading blanks, an optional sign, then digits;
// no digits (an empty text included) give 0. Values beyond the int range saturate.
int IniTextToInt(const char* text);

}  // namespace toolfunc_detail
