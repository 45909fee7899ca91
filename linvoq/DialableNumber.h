// Turning a destination as a client writes it into the digits a line dials.
#pragma once

#include <cstddef>
#include <cstdint>

#include "DialingContext.h"

namespace linvoq {

enum { DIALABLE_LEN = 32 };  // result buffer: 31 characters and the terminator
const std::uint32_t TRANSLATE_FORCELD = 8;

// Asks the telephony system to translate a canonical number ("+CC REST"); fills `out` with the
// dialable string and returns true, or returns false when there is nothing to use.
typedef bool (*TranslateFn)(void* context, const char* canonical, std::uint32_t options, char* out,
                            std::size_t outSize);

// Number of digits of the country code at the start of `digits` (the text after "+").
int CountryCodeLength(const char* digits);

// Builds the dialable form of `destination` into result (DIALABLE_LEN bytes) from the dialling
// context; `translate` handles international numbers.
char* BuildDialableNumber(const DialingContext& ctx, const char* destination, TranslateFn translate, void* context,
                          char* result);

// The international prefix learnt from the dialable form of a foreign test number.
void DeriveInternationalPrefix(DialingContext& ctx, const char* dialableTestNumber);
// The foreign test number for the context's country.
const char* InternationalTestNumber(const DialingContext& ctx);

}  // namespace linvoq
