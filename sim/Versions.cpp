#include "Versions.h"

namespace tapisim {

uint32_t ProviderApiHigh(uint32_t declared) {
    if (declared == 0 || declared > kTapiVersion) return kTapiVersion;
    return declared;
}

Negotiation NegotiateApi(uint32_t low, uint32_t high, uint32_t providerHigh, uint32_t* version) {
    uint32_t best = high < providerHigh ? high : providerHigh;
    if (low > high || best < low || best < kLowestApiVersion) return Negotiation::Incompatible;
    *version = best;
    return Negotiation::Ok;
}

bool ApiSupported(uint32_t version, uint32_t providerHigh) {
    return version >= kLowestApiVersion && version <= providerHigh;
}

Negotiation NegotiateExt(uint32_t low, uint32_t high, uint32_t providerExt, uint32_t* version) {
    *version = 0;
    if (providerExt == 0) return Negotiation::Unavailable;
    if (providerExt < low || providerExt > high) return Negotiation::Incompatible;
    *version = providerExt;
    return Negotiation::Ok;
}

bool ExtAccepted(uint32_t ext, uint32_t providerExt, bool rejectNonZero) {
    if (ext == 0) return true;
    return !rejectNonZero && ext == providerExt;
}

}  // namespace tapisim
