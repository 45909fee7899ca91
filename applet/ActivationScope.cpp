#include "ActivationScope.h"

namespace {
HANDLE s_hActCtx = INVALID_HANDLE_VALUE;
const WORD kManifestId = 2;
}  // namespace

void CreateModuleActivationContext(HINSTANCE hModule) {
    if (s_hActCtx != INVALID_HANDLE_VALUE) return;
    char szPath[MAX_PATH] = "";
    GetModuleFileNameA(hModule, szPath, MAX_PATH);
    ACTCTXA ctx = {};
    ctx.cbSize = sizeof ctx;
    ctx.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID | ACTCTX_FLAG_HMODULE_VALID;
    ctx.lpSource = szPath;
    ctx.lpResourceName = MAKEINTRESOURCEA(kManifestId);
    ctx.hModule = hModule;
    s_hActCtx = CreateActCtxA(&ctx);
}

void ReleaseModuleActivationContext() {
    if (s_hActCtx != INVALID_HANDLE_VALUE) ReleaseActCtx(s_hActCtx);
    s_hActCtx = INVALID_HANDLE_VALUE;
}

CActivationScope::CActivationScope() {
    if (s_hActCtx != INVALID_HANDLE_VALUE) m_bActive = ActivateActCtx(s_hActCtx, &m_ulCookie) != FALSE;
}

CActivationScope::~CActivationScope() {
    if (m_bActive) DeactivateActCtx(0, m_ulCookie);
}
