// API and extension version rules of the simulated providers.
#pragma once

#include <cstdint>

namespace tapisim {

constexpr uint32_t kTapiVersion = 0x00030001;       // highest version this TAPI knows
constexpr uint32_t kLowestApiVersion = 0x00010003;  // lowest version a provider accepts

enum class Negotiation { Ok, Incompatible, Unavailable };

// A provider's highest API version: its own (0 for the default), never above kTapiVersion.
uint32_t ProviderApiHigh(uint32_t declared);
// The highest version in [low, high] that the provider supports.
Negotiation NegotiateApi(uint32_t low, uint32_t high, uint32_t providerHigh, uint32_t* version);
// Whether a version passed to a device function is one the provider supports.
bool ApiSupported(uint32_t version, uint32_t providerHigh);
// The provider's extension version when it has one in [low, high]; Unavailable when it has none.
Negotiation NegotiateExt(uint32_t low, uint32_t high, uint32_t providerExt, uint32_t* version);
// Whether an extension version passed to a device function is accepted: 0 always, otherwise only
// the provider's own, and not at all by a provider that rejects extension versions.
bool ExtAccepted(uint32_t ext, uint32_t providerExt, bool rejectNonZero);

}  // namespace tapisim
