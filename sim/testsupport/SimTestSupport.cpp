#include "SimTestSupport.h"

#include <cstring>

namespace simtest {

SimLineDesc Extension(const char* name, const char* address, const char* provider, DWORD callFeatures) {
    SimLineDesc d = {};
    d.name = name;
    d.address = address;
    d.provider = provider;
    d.lineFeatures = LINEFEATURE_MAKECALL;
    d.addressFeatures = LINEADDRFEATURE_MAKECALL | LINEADDRFEATURE_FORWARD;
    d.callFeatures = callFeatures;
    d.numAddresses = 1;
    return d;
}

void Pump(DWORD ms, const std::function<bool()>& done) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done && done()) return;
        if (GetTickCount() - start >= ms) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

std::vector<std::string> Journal() {
    std::vector<std::string> lines;
    std::string line;
    for (int i = 0, n = simJournalCount(); i < n; ++i) {
        // Sized to the line, so that no request is ever cut short.
        int length = simJournalGet(i, nullptr, 0);
        if (length < 0) break;  // cleared meanwhile
        line.assign(static_cast<std::size_t>(length) + 1, '\0');
        simJournalGet(i, &line[0], length + 1);
        line.resize(std::strlen(line.c_str()));
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> JournalLines(const std::string& prefix) {
    std::vector<std::string> out;
    for (const std::string& line : Journal())
        if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line);
    return out;
}

}  // namespace simtest
