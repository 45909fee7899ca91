#include "DialableTapi.h"

#include <tapi.h>

#include <cstring>

#include "DialableNumber.h"
#include "LibraryState.h"
#include "TextRules.h"

namespace linvoq {

namespace {

struct TranslateContext {
    DWORD hLineApp, dwDeviceID, dwAPIVersion, dwCharSize;
};

// Fixed working storage: the builder allocates nothing.
char g_szDialable[DIALABLE_LEN];
DWORD g_TranslateOutput[256 / sizeof(DWORD)];

bool TranslateWithTapi(void* context, const char* canonical, std::uint32_t options, char* out, std::size_t outSize) {
    const TranslateContext* ctx = static_cast<const TranslateContext*>(context);
    std::memset(g_TranslateOutput, 0, sizeof g_TranslateOutput);
    LINETRANSLATEOUTPUT* output = reinterpret_cast<LINETRANSLATEOUTPUT*>(g_TranslateOutput);
    output->dwTotalSize = sizeof g_TranslateOutput;
    if (lineTranslateAddress(ctx->hLineApp, ctx->dwDeviceID, ctx->dwAPIVersion, canonical, 0, options, output) != 0)
        return false;
    DWORD offset = output->dwDialableStringOffset, size = output->dwDialableStringSize;
    if (offset == 0 || size == 0 || offset >= sizeof g_TranslateOutput) return false;
    if (size > sizeof g_TranslateOutput - offset) size = sizeof g_TranslateOutput - offset;
    const BYTE* text = reinterpret_cast<const BYTE*>(g_TranslateOutput) + offset;
    out[0] = '\0';
    if (ctx->dwCharSize == 1) {
        CopyText(out, outSize, reinterpret_cast<const char*>(text), size);
    } else {
        int chars = static_cast<int>(size / 2);
        const WCHAR* wide = reinterpret_cast<const WCHAR*>(text);
        int len = 0;
        while (len < chars && wide[len]) ++len;
        int written = WideCharToMultiByte(CP_ACP, 0, wide, len, out, static_cast<int>(outSize - 1), nullptr, nullptr);
        out[written > 0 ? written : 0] = '\0';
    }
    return true;
}

}  // namespace

char* CreateDialableNumber(DWORD hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwCharSize,
                           const char* pszDestination) {
    TranslateContext context = {hLineApp, dwDeviceID, dwAPIVersion, dwCharSize};
    return BuildDialableNumber(g_Dialing, pszDestination, TranslateWithTapi, &context, g_szDialable);
}

}  // namespace linvoq
