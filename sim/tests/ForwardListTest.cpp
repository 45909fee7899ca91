// Forwarding lists as lineForward receives them: what is accepted and what the journal shows.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ForwardList.h"

using namespace tapisim;

namespace {

// A list with one entry in the layout the library builds: the destination text at offset 32.
std::vector<unsigned char> List(uint32_t count, uint32_t mode, const std::string& dest, uint32_t destSize,
                                uint32_t total = 0) {
    std::vector<unsigned char> list(96, 0);
    uint32_t words[8] = {total ? total : 32 + destSize, count, mode, 0, 0, 0, destSize, 32};
    std::memcpy(list.data(), words, sizeof words);
    std::memcpy(list.data() + 32, dest.data(), dest.size());
    return list;
}

const uint32_t k30 = 0x00030000, k31 = 0x00030001;

// The same entry in the 3.1 layout: the text after the 32-byte entry, at offset 40.
std::vector<unsigned char> List31(uint32_t count, const std::string& dest, uint32_t destSize, uint32_t total = 0) {
    std::vector<unsigned char> list(96, 0);
    uint32_t words[10] = {total ? total : 40 + destSize, count, 1, 0, 0, 0, destSize, 40, 1, 1};
    std::memcpy(list.data(), words, sizeof words);
    std::memcpy(list.data() + 40, dest.data(), dest.size());
    return list;
}

void Set(std::vector<unsigned char>& list, uint32_t offset, uint32_t value) {
    std::memcpy(list.data() + offset, &value, sizeof value);
}

}  // namespace

TEST(ForwardList, JournalShowsTheFirstEntryAsItStands) {
    EXPECT_EQ(ForwardListJournal(List(1, 1, "0301234", 8).data(), false), "list=40/1/0x00000001/8/32/\"0301234\"");
    EXPECT_EQ(ForwardListJournal(List(0, 1, "", 1).data(), false), "list=33/0/0x00000001/1/32/\"\"");
    // A size larger than the text: the text ends at its terminator.
    EXPECT_EQ(ForwardListJournal(List(1, 1, std::string(30, '7'), 41).data(), false),
              "list=73/1/0x00000001/41/32/\"" + std::string(30, '7') + "\"");
    EXPECT_EQ(ForwardListJournal(nullptr, false), "list=null");
    EXPECT_EQ(ForwardListJournal(List(0, 1, "", 0, 8).data(), false), "list=8/0");
    EXPECT_EQ(ForwardListJournal(List(0, 1, "", 0, 4).data(), false), "list=4");
    // A destination that lies outside the list is not read.
    std::vector<unsigned char> outside = List(1, 1, "0301234", 8);
    Set(outside, 28, 200);
    EXPECT_EQ(ForwardListJournal(outside.data(), false), "list=40/1/0x00000001/8/200/\"\"");
}

TEST(ForwardList, ReadingChecksSizesModesAndTextBounds) {
    std::vector<ForwardEntry> entries;
    ASSERT_EQ(ReadForwardList(List(1, 1, "0301234", 8).data(), false, k30, &entries), ForwardListCheck::kOk);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].mode, 1u);
    EXPECT_EQ(entries[0].dest, "0301234");
    EXPECT_EQ(entries[0].caller, "");
    ASSERT_EQ(ReadForwardList(List(0, 1, "", 1).data(), false, k30, &entries), ForwardListCheck::kOk);
    EXPECT_TRUE(entries.empty());

    EXPECT_EQ(ReadForwardList(List(0, 1, "", 0, 7).data(), false, k30, &entries), ForwardListCheck::kTooSmall);
    EXPECT_EQ(ReadForwardList(List(2, 1, "0301234", 8).data(), false, k30, &entries), ForwardListCheck::kBadEntry);
    EXPECT_EQ(ReadForwardList(List(1, 3, "0301234", 8).data(), false, k30, &entries), ForwardListCheck::kBadEntry);
    EXPECT_EQ(ReadForwardList(List(1, 0, "0301234", 8).data(), false, k30, &entries), ForwardListCheck::kBadEntry);
    EXPECT_EQ(ReadForwardList(List(1, 1, "0301234", 9).data(), false, k30, &entries), ForwardListCheck::kOk);
    std::vector<unsigned char> past = List(1, 1, "0301234", 8);
    Set(past, 24, 9);  // one byte beyond dwTotalSize
    EXPECT_EQ(ReadForwardList(past.data(), false, k30, &entries), ForwardListCheck::kBadEntry);
    std::vector<unsigned char> huge = List(1, 1, "0301234", 8);
    Set(huge, 28, 0xFFFFFFF0);  // offset + size would wrap
    EXPECT_EQ(ReadForwardList(huge.data(), false, k30, &entries), ForwardListCheck::kBadEntry);
}

TEST(ForwardList, WideTextsAreUtf16Units) {
    std::string wide(
        "2\0"
        "0\0"
        "3\0"
        "\xE9\0"
        "\0\0",
        10);
    std::vector<ForwardEntry> entries;
    ASSERT_EQ(ReadForwardList(List(1, 1, wide, 10).data(), true, k30, &entries), ForwardListCheck::kOk);
    EXPECT_EQ(entries[0].dest, std::string("2\0"
                                           "0\0"
                                           "3\0"
                                           "\xE9\0",
                                           8));
    EXPECT_EQ(ForwardListJournal(List(1, 1, wide, 10).data(), true), "list=42/1/0x00000001/10/32/\"203?\"");
}

TEST(ForwardList, VersionDecidesTheEntryLayoutAndTheSmallestList) {
    std::vector<ForwardEntry> entries;
    ASSERT_EQ(ReadForwardList(List31(1, "0301234", 8).data(), false, k31, &entries), ForwardListCheck::kOk);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].dest, "0301234");
    ASSERT_EQ(ReadForwardList(List31(0, "", 1).data(), false, k31, &entries), ForwardListCheck::kOk);
    EXPECT_TRUE(entries.empty());
    // The short layout given to a 3.1 line: the text lies over the entry's address types.
    EXPECT_EQ(ReadForwardList(List(1, 1, "0301234", 8).data(), false, k31, &entries), ForwardListCheck::kBadEntry);
    // Smaller than LINEFORWARDLIST of the version, even with no entry.
    EXPECT_EQ(ReadForwardList(List(0, 1, "", 1).data(), false, k31, &entries), ForwardListCheck::kTooSmall);
    EXPECT_EQ(ReadForwardList(List(0, 1, "", 0, 31).data(), false, k30, &entries), ForwardListCheck::kTooSmall);
    EXPECT_EQ(ReadForwardList(List31(0, "", 0, 39).data(), false, k31, &entries), ForwardListCheck::kTooSmall);
    // Two 3.1 entries need 72 bytes before any text.
    EXPECT_EQ(ReadForwardList(List31(2, "0301234", 8).data(), false, k31, &entries), ForwardListCheck::kBadEntry);
}
