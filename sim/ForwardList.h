// A LINEFORWARDLIST as an application hands it to lineForward: validation, its entries and its
// journal text. Entries are laid out by the line's negotiated API version, as TAPI does: 24 bytes
// before 3.1 (mode, caller address size and offset, destination country, destination size and
// offset), 32 bytes from 3.1 on (then the caller and destination address types); offsets count
// from the start of the list. Standard C++ only.
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

uint32_t ForwardEntrySize(uint32_t apiVersion);

// Reads the list `list` (dwTotalSize bytes are taken as readable) in the layout of apiVersion.
// A list smaller than LINEFORWARDLIST of that version is too small; a text that lies outside the
// list or over the entries is a bad entry. Texts stop at their terminator, at their size or at
// the end of the list, whichever comes first.
ForwardListCheck ReadForwardList(const unsigned char* list, bool wide, uint32_t apiVersion,
                                 std::vector<ForwardEntry>* entries);

// list=<dwTotalSize>/<dwNumEntries>/<mode 0x%08X>/<dest size>/<dest offset>/"<dest>" of the
// first entry, whose fields are printed as they stand even with dwNumEntries 0; list=null for
// none; only the header fields that the list is large enough to hold.
std::string ForwardListJournal(const unsigned char* list, bool wide);

}  // namespace tapisim
