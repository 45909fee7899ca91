// A LINEFORWARDLIST as an application hands it to lineForward: validation, its entries and its
// journal text. Entries are read in the 24-byte layout that every API version shares (mode,
// caller address size and offset, destination country, destination size and offset); offsets
// count from the start of the list. Standard C++ only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tapisim {

struct ForwardEntry {
    uint32_t mode = 0;
    std::string caller;  // the text's bytes up to its terminator (UTF-16 units when wide)
    std::string dest;
    uint32_t destCountryCode = 0;
};

enum class ForwardListCheck { kOk, kTooSmall, kBadEntry };

// Reads the list `list` (dwTotalSize bytes are taken as readable). Texts stop at their
// terminator, at their size or at the end of the list, whichever comes first.
ForwardListCheck ReadForwardList(const unsigned char* list, bool wide, std::vector<ForwardEntry>* entries);

// list=<dwTotalSize>/<dwNumEntries>/<mode 0x%08X>/<dest size>/<dest offset>/"<dest>" of the
// first entry, whose fields are printed as they stand even with dwNumEntries 0; list=null for
// none; only the header fields that the list is large enough to hold.
std::string ForwardListJournal(const unsigned char* list, bool wide);

}  // namespace tapisim
