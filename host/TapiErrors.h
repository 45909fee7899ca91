// Names of the TAPI error codes, for answers people can read.
#pragma once

namespace zarn {

// "LINEERR_INVALCALLSTATE" for 0x8000001C; "TAPI_ERROR_0x%08X" for a code without a name.
// The returned text is static or, for unnamed codes, valid until the next call.
const char* TapiErrorName(long lCode);

}  // namespace zarn
