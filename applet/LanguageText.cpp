#include "LanguageText.h"

#include "AppletState.h"

namespace {
char s_szText[2048];
}

const char* LoadLanguageString(UINT uId) {
    s_szText[0] = '\0';
    LoadStringA(g_hLanguage, uId, s_szText, sizeof s_szText - 1);
    return s_szText;
}
