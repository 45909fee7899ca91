// The lookup index of the line list. Each bucket holds its devices in list order (by the
// sequence number of their append), so its first entry is what a walk from the head finds.
#include "DeviceIndex.h"

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "ScopedLock.h"
#include "TapiApp.h"

namespace {

typedef unsigned long long Seq;
typedef std::map<Seq, CLineDevice*> Bucket;

struct Entry {
    Seq seq;
    DWORD hLine;
    DWORD dwDeviceID;
    std::vector<std::string> keys;
};

struct Index {
    Seq next = 0;
    Bucket all;
    std::unordered_map<CLineDevice*, Entry> entries;
    std::unordered_map<std::string, Bucket> byAddress;
    std::unordered_map<DWORD, Bucket> byLine;
    std::unordered_map<DWORD, Bucket> byID;
};

Index& TheIndex() {
    static Index index;
    return index;
}

// The arguments an address answers to: itself, and every tail that follows a "-" in it, so
// that "030-1234" answers to "1234" but "030-12345" does not.
std::vector<std::string> AddressKeys(const char* address) {
    std::vector<std::string> keys(1, address);
    for (const char* p = address; *p; ++p)
        if (*p == '-') keys.push_back(p + 1);
    return keys;
}

// An append lands at a bucket's end in constant time; a device whose handle changed may land
// anywhere in its new bucket.
template <class Key>
void Put(std::unordered_map<Key, Bucket>& map, const Key& key, Seq seq, CLineDevice* pDevice) {
    Bucket& bucket = map[key];
    bucket.emplace_hint(bucket.end(), seq, pDevice);
}

template <class Key>
void Take(std::unordered_map<Key, Bucket>& map, const Key& key, Seq seq) {
    auto it = map.find(key);
    if (it == map.end()) return;
    it->second.erase(seq);
    if (it->second.empty()) map.erase(it);
}

template <class Key>
CLineDevice* First(const std::unordered_map<Key, Bucket>& map, const Key& key) {
    auto it = map.find(key);
    return it == map.end() ? nullptr : it->second.begin()->second;
}

// The index exists only while the application object (and so m_CS) does.
bool Usable() { return CTapiApp::m_pThisTA != nullptr; }

}  // namespace

namespace linvoq {

void ListAppend(CLineDevice** ppFirst, CLineDevice* pDevice) {
    if (!pDevice) return;
    if (!Usable()) {
        if (*ppFirst)
            (*ppFirst)->AddObject(pDevice);
        else
            *ppFirst = pDevice;
        return;
    }
    ScopedLock guard(&CTapiApp::m_CS);
    Index& index = TheIndex();
    if (!*ppFirst)
        *ppFirst = pDevice;
    else
        (index.all.empty() ? *ppFirst : index.all.rbegin()->second)->AddObject(pDevice);
    Seq seq = index.next++;
    Entry entry{seq, pDevice->GetLine(), pDevice->GetDeviceID(), AddressKeys(pDevice->GetAddress())};
    index.all.emplace_hint(index.all.end(), seq, pDevice);
    for (const std::string& key : entry.keys) Put(index.byAddress, key, seq, pDevice);
    Put(index.byLine, entry.hLine, seq, pDevice);
    Put(index.byID, entry.dwDeviceID, seq, pDevice);
    index.entries.emplace(pDevice, std::move(entry));
}

void IndexForget(CLineDevice* pDevice) {
    if (!Usable()) return;
    ScopedLock guard(&CTapiApp::m_CS);
    Index& index = TheIndex();
    auto it = index.entries.find(pDevice);
    if (it == index.entries.end()) return;
    const Entry& entry = it->second;
    for (const std::string& key : entry.keys) Take(index.byAddress, key, entry.seq);
    Take(index.byLine, entry.hLine, entry.seq);
    Take(index.byID, entry.dwDeviceID, entry.seq);
    index.all.erase(entry.seq);
    index.entries.erase(it);
}

void IndexClear() {
    if (!Usable()) return;
    ScopedLock guard(&CTapiApp::m_CS);
    Index& index = TheIndex();
    index.all.clear();
    index.entries.clear();
    index.byAddress.clear();
    index.byLine.clear();
    index.byID.clear();
}

void IndexLineChanged(CLineDevice* pDevice) {
    if (!Usable()) return;
    ScopedLock guard(&CTapiApp::m_CS);
    Index& index = TheIndex();
    auto it = index.entries.find(pDevice);
    if (it == index.entries.end() || it->second.hLine == pDevice->GetLine()) return;
    Entry& entry = it->second;
    Take(index.byLine, entry.hLine, entry.seq);
    entry.hLine = pDevice->GetLine();
    Put(index.byLine, entry.hLine, entry.seq, pDevice);
}

CLineDevice* IndexFindAddress(const char* pszAddress) {
    if (!pszAddress || !Usable()) return nullptr;
    ScopedLock guard(&CTapiApp::m_CS);
    return First(TheIndex().byAddress, std::string(pszAddress));
}

CLineDevice* IndexFindLine(DWORD hLine) {
    if (!Usable()) return nullptr;
    ScopedLock guard(&CTapiApp::m_CS);
    return First(TheIndex().byLine, hLine);
}

CLineDevice* IndexFindDeviceID(DWORD dwDeviceID) {
    if (!Usable()) return nullptr;
    ScopedLock guard(&CTapiApp::m_CS);
    return First(TheIndex().byID, dwDeviceID);
}

}  // namespace linvoq
