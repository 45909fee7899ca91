// The simulator's standard C++ parts: journal lines, failures, request ids, structure layout and
// PBX description files. (Version rules are exercised through the DLL.)
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Faults.h"
#include "Journal.h"
#include "PbxConfig.h"
#include "RequestIds.h"
#include "VarLayout.h"

using namespace tapisim;

TEST(JournalLine, OverlongLinesAreCutNotOverrun) {
    std::string text(600, 'x');
    JournalLine line("f");
    line.Text(text.c_str()).Dec(7).Result(0);
    EXPECT_EQ(line.Length(), kJournalLineSize - 1);
    EXPECT_EQ(std::strlen(line.Str()), kJournalLineSize - 1);
}

TEST(Journal, GetCutsToTheBufferAndReportsTheFullLength) {
    Journal journal;
    journal.Add(JournalLine("lineClose").Dec(65537).Result(0));
    journal.Add(JournalLine("lineShutdown").Dec(65536).Result(0));
    ASSERT_EQ(journal.Count(), 2);
    char buf[64];
    EXPECT_EQ(journal.Get(1, buf, sizeof buf), 23);
    EXPECT_STREQ(buf, "lineShutdown(65536) = 0");
    char small[5];
    EXPECT_EQ(journal.Get(0, small, sizeof small), 20);
    EXPECT_STREQ(small, "line");
    EXPECT_EQ(journal.Get(0, nullptr, 0), 20);
    EXPECT_EQ(journal.Get(2, buf, sizeof buf), -1);
    EXPECT_EQ(journal.Get(-1, buf, sizeof buf), -1);
    journal.Clear();
    EXPECT_EQ(journal.Count(), 0);
}

namespace {
std::string Line(const Journal& journal, int index) {
    char buf[kJournalLineSize];
    return journal.Get(index, buf, sizeof buf) < 0 ? std::string("<none>") : std::string(buf);
}
void AddNumbered(Journal& journal, uint32_t from, uint32_t to) {
    for (uint32_t i = from; i < to; ++i) journal.Add(JournalLine("f").Dec(i).Result(0));
}
}  // namespace

TEST(Journal, IsARingThatKeepsTheNewestLinesInOrder) {
    Journal journal(3);
    EXPECT_EQ(journal.Capacity(), 3u);
    AddNumbered(journal, 0, 2);
    ASSERT_EQ(journal.Count(), 2);
    EXPECT_EQ(Line(journal, 0), "f(0) = 0");
    AddNumbered(journal, 2, 8);  // wraps twice
    ASSERT_EQ(journal.Count(), 3);
    EXPECT_EQ(journal.Added(), 8u);
    EXPECT_EQ(Line(journal, 0), "f(5) = 0");
    EXPECT_EQ(Line(journal, 1), "f(6) = 0");
    EXPECT_EQ(Line(journal, 2), "f(7) = 0");
    EXPECT_EQ(Line(journal, 3), "<none>");
    // After a clear the ring starts over from its first line, whatever slot it had reached.
    journal.Clear();
    EXPECT_EQ(journal.Count(), 0);
    EXPECT_EQ(journal.Added(), 0u);
    AddNumbered(journal, 10, 14);
    ASSERT_EQ(journal.Count(), 3);
    EXPECT_EQ(Line(journal, 0), "f(11) = 0");
    EXPECT_EQ(Line(journal, 2), "f(13) = 0");
}

TEST(Journal, ResizingKeepsTheNewestLinesThatFit) {
    Journal journal(4);
    AddNumbered(journal, 0, 6);  // holds 2..5, oldest not in slot 0
    journal.SetCapacity(2);
    ASSERT_EQ(journal.Count(), 2);
    EXPECT_EQ(Line(journal, 0), "f(4) = 0");
    EXPECT_EQ(Line(journal, 1), "f(5) = 0");
    journal.SetCapacity(5);
    EXPECT_EQ(journal.Count(), 2);
    AddNumbered(journal, 6, 10);
    ASSERT_EQ(journal.Count(), 5);
    EXPECT_EQ(Line(journal, 0), "f(5) = 0");
    EXPECT_EQ(Line(journal, 4), "f(9) = 0");
    journal.SetCapacity(0);  // a ring of no lines would lose every line: one is the least
    EXPECT_EQ(journal.Capacity(), 1u);
    ASSERT_EQ(journal.Count(), 1);
    EXPECT_EQ(Line(journal, 0), "f(9) = 0");
}

TEST(Journal, TheDefaultBoundHoldsAfterFarMoreLinesThanItKeeps) {
    Journal journal;
    ASSERT_EQ(journal.Capacity(), kJournalDefaultLines);
    const uint32_t total = static_cast<uint32_t>(kJournalDefaultLines) * 3 + 17;
    AddNumbered(journal, 0, total);
    ASSERT_EQ(journal.Count(), static_cast<int>(kJournalDefaultLines));
    EXPECT_EQ(journal.Added(), total);
    EXPECT_EQ(Line(journal, 0), "f(" + std::to_string(total - kJournalDefaultLines) + ") = 0");
    EXPECT_EQ(Line(journal, journal.Count() - 1), "f(" + std::to_string(total - 1) + ") = 0");
}

TEST(FaultTable, FailuresQueueUpPerFunction) {
    FaultTable faults;
    int32_t error = 0;
    EXPECT_FALSE(faults.Take("lineOpen", &error));
    faults.Add("lineOpen", 2, -1);
    faults.Add("lineOpen", 1, -2);
    faults.Add("lineClose", 1, -3);
    faults.Add("lineClose", 0, -4);  // nothing
    faults.Add(nullptr, 1, -5);
    EXPECT_FALSE(faults.Take("lineOpenA", &error));  // names match exactly
    int32_t seen[3];
    for (int32_t& e : seen) ASSERT_TRUE(faults.Take("lineOpen", &e));
    EXPECT_EQ(seen[0], -1);
    EXPECT_EQ(seen[1], -1);
    EXPECT_EQ(seen[2], -2);
    EXPECT_FALSE(faults.Take("lineOpen", &error));
    ASSERT_TRUE(faults.Take("lineClose", &error));
    EXPECT_EQ(error, -3);
    EXPECT_FALSE(faults.Take("lineClose", &error));
    faults.Add("lineOpen", 3, -1);
    faults.Clear();
    EXPECT_FALSE(faults.Take("lineOpen", &error));
}

TEST(RequestIds, CountUpWrapAndSkipPendingIds) {
    RequestIds ids;
    EXPECT_EQ(ids.Begin(10), 1u);
    EXPECT_EQ(ids.Begin(10), 2u);
    ids.SetNext(RequestIds::kLast);
    EXPECT_EQ(ids.Begin(11), RequestIds::kLast);
    EXPECT_EQ(ids.Begin(11), 3u);  // 1 and 2 still pending
    uint32_t owner = 0;
    ASSERT_TRUE(ids.OwnerOf(RequestIds::kLast, &owner));
    EXPECT_EQ(owner, 11u);
    EXPECT_TRUE(ids.End(1));
    EXPECT_FALSE(ids.End(1));
    ids.SetNext(1);
    EXPECT_EQ(ids.Begin(10), 1u);  // free again
    ids.SetNext(0);
    EXPECT_EQ(ids.Begin(10), 4u);  // out of range restarts at 1, skipping 1 to 3
}

TEST(RequestIds, DroppingAnOwnerEndsOnlyItsIds) {
    RequestIds ids;
    uint32_t a = ids.Begin(1), b = ids.Begin(2), c = ids.Begin(1);
    ids.DropOwner(1);
    EXPECT_FALSE(ids.IsPending(a));
    EXPECT_TRUE(ids.IsPending(b));
    EXPECT_FALSE(ids.IsPending(c));
    ids.Clear();
    EXPECT_FALSE(ids.IsPending(b));
    EXPECT_EQ(ids.Begin(1), 1u);
}

namespace {
// A small structure of the TAPI kind: three header words, two located parts.
struct Demo {
    uint32_t total, needed, used;
    uint32_t nameSize, nameOffset;
    uint32_t listSize, listOffset;
    uint32_t value;
};
}  // namespace

TEST(VarLayout, WholeStructureWhenItFits) {
    Demo fixed = {};
    fixed.value = 42;
    VarLayout layout(sizeof fixed);
    layout.Add(fixed.nameSize, fixed.nameOffset, std::string("abc", 4));
    layout.Add(fixed.listSize, fixed.listOffset, std::string("\x01\x02\x03\x04", 4));
    EXPECT_EQ(fixed.nameOffset, sizeof(Demo));
    EXPECT_EQ(fixed.listOffset, sizeof(Demo) + 4);  // 4 bytes of name, already aligned
    ASSERT_EQ(layout.NeededSize(), sizeof(Demo) + 8);

    unsigned char out[64];
    std::memset(out, 0xEE, sizeof out);
    uint32_t total = sizeof out;
    std::memcpy(out, &total, 4);
    layout.Write(out, &fixed, sizeof fixed);
    Demo head;
    std::memcpy(&head, out, sizeof head);
    EXPECT_EQ(head.total, 64u);
    EXPECT_EQ(head.needed, sizeof(Demo) + 8);
    EXPECT_EQ(head.used, sizeof(Demo) + 8);
    EXPECT_EQ(head.value, 42u);
    EXPECT_EQ(std::memcmp(out + head.nameOffset, "abc", 4), 0);
    EXPECT_EQ(out[head.listOffset + 3], 4);
    EXPECT_EQ(out[head.used], 0xEE);  // nothing beyond the used size
}

TEST(VarLayout, OnlyTheFixedPartWhenTheWholeDoesNotFit) {
    Demo fixed = {};
    fixed.value = 7;
    VarLayout layout(sizeof fixed);
    layout.Add(fixed.nameSize, fixed.nameOffset, std::string("abcdef", 7));
    unsigned char out[sizeof(Demo) + 4];
    std::memset(out, 0xEE, sizeof out);
    uint32_t total = sizeof out;
    std::memcpy(out, &total, 4);
    layout.Write(out, &fixed, sizeof fixed);
    Demo head;
    std::memcpy(&head, out, sizeof head);
    EXPECT_EQ(head.needed, sizeof(Demo) + 7);
    EXPECT_EQ(head.used, sizeof(Demo));
    EXPECT_EQ(head.nameSize, 0u);
    EXPECT_EQ(head.nameOffset, 0u);
    EXPECT_EQ(head.value, 7u);
    EXPECT_EQ(out[sizeof(Demo)], 0xEE);  // no partial text
}

TEST(VarLayout, PartsStartOnFourByteBoundariesAndEmptyPartsTakeNoRoom) {
    Demo fixed = {};
    VarLayout layout(sizeof fixed);
    layout.Add(fixed.nameSize, fixed.nameOffset, std::string("ab", 3));
    uint32_t emptySize = 9, emptyOffset = 9;
    layout.Add(emptySize, emptyOffset, std::string());
    layout.Add(fixed.listSize, fixed.listOffset, std::string("xyzw", 4));
    EXPECT_EQ(emptySize, 0u);
    EXPECT_EQ(emptyOffset, 0u);
    EXPECT_EQ(fixed.listOffset, sizeof(Demo) + 4);
    EXPECT_EQ(layout.NeededSize(), sizeof(Demo) + 8);

    unsigned char out[64];
    uint32_t total = sizeof out;
    std::memcpy(out, &total, 4);
    layout.Write(out, &fixed, sizeof fixed);
    EXPECT_EQ(out[sizeof(Demo) + 3], 0);  // padding is zeroed
}

TEST(VarLayout, ArrayThatDoesNotFitLeavesItsRecordsAlone) {
    Demo fixed = {};
    VarLayout layout(sizeof fixed);
    unsigned char out[sizeof(Demo)];
    uint32_t total = sizeof out;
    std::memcpy(out, &total, 4);
    uint32_t record[2] = {0, 0};
    {
        std::size_t array = layout.Add(fixed.listSize, fixed.listOffset, std::string(sizeof record, '\0'));
        layout.Add(record[0], record[1], std::string("one", 4));
        layout.SetBytes(array, record, sizeof record);
    }
    uint32_t before[2] = {record[0], record[1]};
    layout.Write(out, &fixed, sizeof fixed);
    EXPECT_EQ(record[0], before[0]);  // not a field of the fixed part: untouched
    EXPECT_EQ(record[1], before[1]);
    Demo head;
    std::memcpy(&head, out, sizeof head);
    EXPECT_EQ(head.listSize, 0u);
    EXPECT_EQ(head.listOffset, 0u);
    EXPECT_EQ(head.used, sizeof(Demo));
}

namespace {
LineConfig LineDefaults() {
    LineConfig line;
    line.provider = "Default provider";
    line.lineFeatures = 8;
    line.numAddresses = 1;
    return line;
}
}  // namespace

TEST(PbxText, RecordsWithQuotedAndNumericFields) {
    PbxConfig pbx;
    std::string error;
    ASSERT_TRUE(
        ParsePbxText("\xEF\xBB\xBF# header\n"
                     "line name=\"Office 201\" address=201 callFeatures=0x84 unicode=1\r\n"
                     "   \n"
                     "  # indented comment\n"
                     "phone name=\"Desk\" phoneFeatures=5 rejectExtVersion=1\n"
                     "line\tname=Bare\taddress=\"\"",
                     LineDefaults(), PhoneConfig(), &pbx, &error))
        << error;
    ASSERT_EQ(pbx.lines.size(), 2u);
    EXPECT_EQ(pbx.lines[0].name, "Office 201");
    EXPECT_EQ(pbx.lines[0].address, "201");
    EXPECT_EQ(pbx.lines[0].callFeatures, 0x84u);
    EXPECT_TRUE(pbx.lines[0].unicode);
    EXPECT_EQ(pbx.lines[0].provider, "Default provider");  // left out: the default's
    EXPECT_EQ(pbx.lines[0].lineFeatures, 8u);
    EXPECT_EQ(pbx.lines[1].name, "Bare");
    EXPECT_EQ(pbx.lines[1].address, "");
    ASSERT_EQ(pbx.phones.size(), 1u);
    EXPECT_EQ(pbx.phones[0].name, "Desk");
    EXPECT_EQ(pbx.phones[0].phoneFeatures, 5u);
    EXPECT_TRUE(pbx.phones[0].rejectExtVersion);
}

TEST(PbxText, ErrorsNameTheLineAndLeaveTheResultAlone) {
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"line name=a\nline colour=blue", "line 2: unknown line key colour"},
        {"trunk name=x", "line 1: unknown record \"trunk\" (line or phone)"},
        {"line name=\"open", "line 1: unterminated quote in name"},
        {"line lineFeatures=12x", "line 1: bad number for lineFeatures: \"12x\""},
        {"line lineFeatures=-1", "line 1: bad number for lineFeatures: \"-1\""},
        {"line maxActiveCalls=0x100000000", "line 1: bad number for maxActiveCalls: \"0x100000000\""},
        {"line name", "line 1: expected key=value at \"name\""},
        {"phone address=1", "line 1: unknown phone key address"},
    };
    for (const Case& c : cases) {
        PbxConfig pbx;
        pbx.lines.resize(3);
        std::string error;
        EXPECT_FALSE(ParsePbxText(c.text, LineDefaults(), PhoneConfig(), &pbx, &error)) << c.text;
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(pbx.lines.size(), 3u) << c.text;
    }
}
