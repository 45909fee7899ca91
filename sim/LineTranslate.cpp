// lineTranslateAddress: canonical numbers dialled from the current location of the Wine registry.
#include <windows.h>
#include <tapi.h>

#include <string>

#include "CurrentLocation.h"
#include "EntryPoint.h"
#include "SimText.h"
#include "TranslateRules.h"
#include "VarLayout.h"

#undef lineTranslateAddress

namespace tapisim {

namespace {

void FillOutput(const Translation& t, DWORD currentCountry, bool unicode, LPLINETRANSLATEOUTPUT out) {
    LINETRANSLATEOUTPUT fixed = {};
    VarLayout layout(sizeof fixed);
    layout.Add(fixed.dwDialableStringSize, fixed.dwDialableStringOffset,
               TextPart(WideFromAnsi(t.dialable.c_str()), unicode));
    layout.Add(fixed.dwDisplayableStringSize, fixed.dwDisplayableStringOffset,
               TextPart(WideFromAnsi(t.displayable.c_str()), unicode));
    fixed.dwCurrentCountry = currentCountry;
    fixed.dwDestCountry = t.destCountry;
    fixed.dwTranslateResults = t.results;
    layout.Write(out, &fixed, sizeof fixed);
}

LONG Translate(HLINEAPP hLineApp, DWORD device, DWORD api, const char* canonical, DWORD card, DWORD options,
               LPLINETRANSLATEOUTPUT output, bool wide) {
    JournalLine line("lineTranslateAddress");
    line.Dec(hLineApp).Dec(device).Hex(api).Text(canonical).Dec(card).Hex(options).Size(output);
    return RunLocked(line, [&](Sim& sim) -> LONG {
        if (!sim.FindApp(hLineApp, false)) return LINEERR_INVALAPPHANDLE;
        LineDevice* lineDevice = nullptr;
        LONG r = sim.LookupLine(device, &lineDevice);
        if (r) return r;
        if (!canonical || !output) return LINEERR_INVALPOINTER;
        if (output->dwTotalSize < sizeof(LINETRANSLATEOUTPUT)) return LINEERR_STRUCTURETOOSMALL;
        DialLocation location;
        if (!ReadCurrentLocation(&location)) return LINEERR_INIFILECORRUPT;
        Translation t;
        if (!TranslateCanonical(location, canonical, (options & LINETRANSLATEOPTION_FORCELD) != 0, &t))
            return LINEERR_INVALADDRESS;
        FillOutput(t, location.country, wide || lineDevice->unicode, output);
        return 0;
    });
}

}  // namespace

}  // namespace tapisim

extern "C" {

LONG WINAPI lineTranslateAddressA(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, LPCSTR lpszAddressIn,
                                  DWORD dwCard, DWORD dwTranslateOptions, LPLINETRANSLATEOUTPUT lpTranslateOutput) {
    return tapisim::Translate(hLineApp, dwDeviceID, dwAPIVersion, lpszAddressIn, dwCard, dwTranslateOptions,
                              lpTranslateOutput, false);
}

LONG WINAPI lineTranslateAddress(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, LPCSTR lpszAddressIn,
                                 DWORD dwCard, DWORD dwTranslateOptions, LPLINETRANSLATEOUTPUT lpTranslateOutput) {
    return tapisim::Translate(hLineApp, dwDeviceID, dwAPIVersion, lpszAddressIn, dwCard, dwTranslateOptions,
                              lpTranslateOutput, false);
}

LONG WINAPI lineTranslateAddressW(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, LPCWSTR lpszAddressIn,
                                  DWORD dwCard, DWORD dwTranslateOptions, LPLINETRANSLATEOUTPUT lpTranslateOutput) {
    std::string canonical = lpszAddressIn ? tapisim::AnsiFromWide(lpszAddressIn) : std::string();
    return tapisim::Translate(hLineApp, dwDeviceID, dwAPIVersion, lpszAddressIn ? canonical.c_str() : nullptr, dwCard,
                              dwTranslateOptions, lpTranslateOutput, true);
}

}  // extern "C"
