// Helpers shared by every test that drives the simulated PBX: line descriptions, the
// simulator's journal and a message pump.
#pragma once

#include <windows.h>
#include <tapi.h>

#include <functional>
#include <string>
#include <vector>

#include "tapisim.h"

namespace simtest {

// A make-call capable line with an address, as the default PBX has them.
SimLineDesc Extension(const char* name, const char* address, const char* provider = "Test PBX",
                      DWORD callFeatures = LINECALLFEATURE_ANSWER | LINECALLFEATURE_DROP);

// Dispatches this thread's messages for `ms` milliseconds, or until `done` holds.
void Pump(DWORD ms, const std::function<bool()>& done = nullptr);

// The simulator's journal, every line whole.
std::vector<std::string> Journal();
// Journal lines that start with `prefix` (for example "lineOpen(").
std::vector<std::string> JournalLines(const std::string& prefix);

}  // namespace simtest
