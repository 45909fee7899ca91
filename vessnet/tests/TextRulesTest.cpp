// The pure text rules: line gathering, token lists, outgoing line ends, port text.
#include "LineGatherer.h"
#include "OutputQueue.h"
#include "PortText.h"
#include "SendText.h"
#include "TokenList.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstring>
#include <string>
#include <vector>

using namespace vessnet;

namespace {

// A connection's line state fed byte by byte, collecting what would be dispatched.
struct Gatherer {
    char line[kLineSize] = {};
    std::uint32_t length = 0;
    LineSkip skip;
    std::vector<std::string> lines;
    std::vector<std::uint32_t> dropped;  // lengths of the over-long lines, one per line end

    void Feed(const std::string& bytes) {
        for (char c : bytes) {
            Gathered g = GatherByte(line, length, skip, c);
            if (g == Gathered::Complete) {
                lines.emplace_back(line);
                ClearLine(line, length);
            } else if (g == Gathered::Dropped) {
                dropped.push_back(skip.bytes);
            }
        }
    }
    bool LineIsAllZero() const {
        for (char c : line)
            if (c != 0) return false;
        return true;
    }
};

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(static_cast<char>(v));
    return s;
}

}  // namespace

TEST(VnLineGathering, EveryByteValueIsEitherALineEndOrStored) {
    for (int v = 0; v < 256; ++v) {
        char line[kLineSize] = {};
        std::uint32_t length = 0;
        LineSkip skip;
        char c = static_cast<char>(v);
        Gathered g = GatherByte(line, length, skip, c);
        if (v == 0 || v == 10 || v == 13) {
            EXPECT_EQ(Gathered::Ignored, g) << v;
            EXPECT_EQ(0u, length) << v;
        } else {
            EXPECT_EQ(Gathered::Stored, g) << v;
            ASSERT_EQ(1u, length) << v;
            EXPECT_EQ(c, line[0]) << v;
        }
        // After text, the same byte completes the line exactly when it is a line end.
        char text[kLineSize] = {'a'};
        std::uint32_t textLength = 1;
        Gathered after = GatherByte(text, textLength, skip, c);
        if (v == 0 || v == 10 || v == 13) {
            EXPECT_EQ(Gathered::Complete, after) << v;
            EXPECT_STREQ("a", text) << v;
        } else {
            EXPECT_EQ(Gathered::Stored, after) << v;
            EXPECT_EQ(2u, textLength) << v;
        }
    }
}

TEST(VnLineGathering, EachLineEndAndEveryMixDispatchesOnce) {
    const std::vector<std::string> endings = {Bytes({'\r', '\n'}), Bytes({'\n', '\r'}), Bytes({0}),
                                              Bytes({'\r'}),       Bytes({'\n'}),       Bytes({'\r', 0, '\n', '\r'})};
    for (const std::string& end : endings) {
        Gatherer g;
        g.Feed("12" + end);
        ASSERT_EQ(1u, g.lines.size());
        EXPECT_EQ("12", g.lines[0]);
        EXPECT_EQ(0u, g.length);
        EXPECT_TRUE(g.LineIsAllZero());
    }
}

TEST(VnLineGathering, LineEndsAloneDispatchNothing) {
    Gatherer g;
    g.Feed(Bytes({'\r', '\n', '\r', '\n', 0, 0, '\n'}));
    EXPECT_TRUE(g.lines.empty());
}

TEST(VnLineGathering, PiecesAreJoinedAndLinesKeepTheirOrder) {
    Gatherer g;
    g.Feed("MAKE");
    EXPECT_TRUE(g.lines.empty());
    g.Feed("CALL 1\r");
    g.Feed("\nA\nB\r\n");
    EXPECT_EQ((std::vector<std::string>{"MAKECALL 1", "A", "B"}), g.lines);
}

TEST(VnLineGathering, LongestLineIs2047Characters) {
    Gatherer g;
    std::string text(2047, 'a');
    text[0] = 'x';
    text[2046] = 'z';
    g.Feed(text + "\r");
    ASSERT_EQ(1u, g.lines.size());
    EXPECT_EQ(text, g.lines[0]);
    EXPECT_TRUE(g.dropped.empty());
}

TEST(VnLineGathering, OverLongLineIsDroppedWholeUpToItsLineEnd) {
    Gatherer g;
    g.Feed(std::string(2048, 'a'));
    EXPECT_EQ(0u, g.length);
    EXPECT_TRUE(g.LineIsAllZero());
    EXPECT_TRUE(g.dropped.empty());  // reported at its line end, once
    g.Feed("b\n");
    EXPECT_TRUE(g.lines.empty());
    EXPECT_EQ(std::vector<std::uint32_t>{2049}, g.dropped);
    g.Feed("\r\nnext\r\n");  // the rest of the line end, then a line of its own
    EXPECT_EQ((std::vector<std::string>{"next"}), g.lines);
    EXPECT_EQ(1u, g.dropped.size());

    // A tail that looks like a command is never executed.
    Gatherer h;
    h.Feed(std::string(2048, 'A') + "{Cmd:Login}{InvokeId:smuggled}\r\n{Cmd:Help}\n");
    EXPECT_EQ((std::vector<std::string>{"{Cmd:Help}"}), h.lines);
    EXPECT_EQ(std::vector<std::uint32_t>{2048 + 30}, h.dropped);

    // Each line end of a run of over-long lines reports one line.
    Gatherer r;
    r.Feed(std::string(3000, 'x') + "\n" + std::string(2048, 'y') + std::string(1, '\0') + std::string(2047, 'z') +
           "\r");
    EXPECT_EQ((std::vector<std::uint32_t>{3000, 2048}), r.dropped);
    ASSERT_EQ(1u, r.lines.size());
    EXPECT_EQ(std::string(2047, 'z'), r.lines[0]);

    Gatherer m;  // a megabyte without a line end never dispatches, never overruns, spoils nothing after it
    m.Feed(std::string(1 << 20, 'd') + "\r\nok\r\n");
    EXPECT_EQ(std::vector<std::uint32_t>{1u << 20}, m.dropped);
    EXPECT_EQ((std::vector<std::string>{"ok"}), m.lines);
}

TEST(VnLineGathering, CorruptLengthNeverWritesPastTheLine) {
    char guard_before[8] = {};
    char line[kLineSize] = {};
    char guard_after[8] = {};
    std::uint32_t length = 5000;
    LineSkip skip;
    EXPECT_EQ(Gathered::Skipped, GatherByte(line, length, skip, 'x'));
    EXPECT_EQ(0u, length);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(0, guard_before[i]);
        EXPECT_EQ(0, guard_after[i]);
    }
}

namespace {

std::string Entry(const char* token) {
    char e[kTokenEntrySize];
    MakeTokenEntry(e, token);
    return e;
}

struct List {
    char text[kTokenListSize] = {};
    void Add(const char* t) { TokenListAdd(text, Entry(t).c_str()); }
    void Set(const char* t) { TokenListSet(text, Entry(t).c_str()); }
    void Remove(const char* t) { TokenListRemove(text, Entry(t).c_str()); }
    bool Matches(const char* t) const { return TokenListMatches(text, Entry(t).c_str()); }
    std::string First() const {
        char f[kFirstTokenSize];
        TokenListFirst(f, text);
        return f;
    }
};

}  // namespace

TEST(VnTokenList, EntriesAreCutTo30Characters) {
    EXPECT_EQ("12|", Entry("12"));
    EXPECT_EQ(std::string(29, 'a') + "|", Entry(std::string(29, 'a').c_str()));
    EXPECT_EQ(std::string(30, 'b'), Entry(std::string(30, 'b').c_str()));
    EXPECT_EQ(std::string(30, 'c'), Entry(std::string(35, 'c').c_str()));
}

TEST(VnTokenList, AddSetRemoveAndFirst) {
    List l;
    l.Add("12");
    l.Add("13");
    EXPECT_STREQ("12|13|", l.text);
    l.Add("12");
    EXPECT_STREQ("12|13|", l.text);
    EXPECT_EQ("12", l.First());
    l.Remove("12");
    EXPECT_STREQ("13|", l.text);
    l.Add("12");
    l.Set("14");
    EXPECT_STREQ("14|", l.text);
}

TEST(VnTokenList, RemoveTakesOnlyTheFirstOccurrenceAndMovesTheRestUp) {
    List l;
    std::strcpy(l.text, "a|b|c|b|");
    l.Remove("b");
    EXPECT_STREQ("a|c|b|", l.text);
    l.Remove("zz");
    EXPECT_STREQ("a|c|b|", l.text);
    l.Remove("b");
    l.Remove("a");
    l.Remove("c");
    EXPECT_STREQ("", l.text);
}

TEST(VnTokenList, MatchingIsPlainSubstringAndCaseSensitive) {
    List l;
    l.Add("112");
    EXPECT_TRUE(l.Matches("12"));
    l.Add("12");
    EXPECT_STREQ("112|", l.text);
    EXPECT_FALSE(l.Matches("11"));  // "11|" does not occur in "112|"
    List m;
    m.Add("Abc");
    EXPECT_FALSE(m.Matches("abc"));
    EXPECT_TRUE(m.Matches("bc"));
}

TEST(VnTokenList, ListIsCutAt126Characters) {
    List l;
    for (int i = 0; i < 40; ++i) l.Add(std::to_string(1000 + i).c_str());  // 5 characters each
    EXPECT_EQ(126u, std::strlen(l.text));
    EXPECT_EQ('\0', l.text[126]);
    EXPECT_EQ(0, std::strncmp(l.text, "1000|1001|", 10));
    EXPECT_EQ(std::string("1024|1"), std::string(l.text + 120));  // 1025| is cut to its first character
    l.Add("x");                                                   // a full list takes nothing more
    EXPECT_EQ(126u, std::strlen(l.text));
}

TEST(VnTokenList, FirstTokenCases) {
    List empty;
    EXPECT_EQ("", empty.First());

    List cut;  // no bar at all: the whole text
    cut.Add(std::string(35, 'q').c_str());
    EXPECT_EQ(std::string(30, 'q'), cut.First());

    List sixtyTwo;  // a first token of 62 characters still reads
    std::string t62(62, 'r');
    std::strcpy(sixtyTwo.text, (t62 + "|s|").c_str());
    EXPECT_EQ(t62, sixtyTwo.First());

    List tooLong;
    std::strcpy(tooLong.text, (std::string(63, 'r') + "|s|").c_str());
    EXPECT_EQ("", tooLong.First());
}

namespace {

std::string Format(const char* format, ...) {
    char buffer[kSendBufferSize];
    std::memset(buffer, 'X', sizeof buffer);
    va_list args;
    va_start(args, format);
    std::size_t n = FormatSendText(buffer, format, args);
    va_end(args);
    EXPECT_EQ(n, std::strlen(buffer));
    for (std::size_t i = n; i < kSendBufferSize; ++i) EXPECT_EQ('\0', buffer[i]) << "buffer not zeroed at " << i;
    return std::string(buffer, n);
}

}  // namespace

TEST(VnSendText, FormatsAndEndsWithCrLf) {
    EXPECT_EQ("5\r\n", Format("%d", 5));
    EXPECT_EQ("\r\n", Format("%s", ""));
    EXPECT_EQ("EVT ab 7\r\n", Format("EVT %s %u", "ab", 7u));
}

TEST(VnSendText, LineEndCutOffsAtTheLimit) {
    EXPECT_EQ(std::string(2044, 'a') + "\r\n", Format("%s", std::string(2044, 'a').c_str()));
    EXPECT_EQ(std::string(2045, 'b') + "\r", Format("%s", std::string(2045, 'b').c_str()));
    EXPECT_EQ(std::string(2046, 'c'), Format("%s", std::string(2046, 'c').c_str()));
    EXPECT_EQ(std::string(2047, 'd'), Format("%s", std::string(2047, 'd').c_str()));
    EXPECT_EQ(std::string(2047, 'e'), Format("%s", std::string(5000, 'e').c_str()));
}

TEST(VnPortText, LeadingDigitsCutTo16Bits) {
    EXPECT_EQ(4711, ParsePortText("4711"));
    EXPECT_EQ(80, ParsePortText("80abc"));
    EXPECT_EQ(0, ParsePortText("abc"));
    EXPECT_EQ(0, ParsePortText(" 80"));
    EXPECT_EQ(0, ParsePortText("-1"));
    EXPECT_EQ(65535, ParsePortText("65535"));
    EXPECT_EQ(0, ParsePortText("65536"));
    EXPECT_EQ(70000 - 65536, ParsePortText("70000"));
    EXPECT_EQ(static_cast<std::uint16_t>(12345678901234ull % 65536), ParsePortText("12345678901234"));
}

namespace {

// Everything the queue holds, oldest first, taken out piece by piece as a socket would.
std::string Drain(OutputQueue& q, std::size_t most) {
    std::string out;
    while (!q.Empty()) {
        std::size_t n = 0;
        const char* p = q.Front(n);
        EXPECT_GT(n, 0u);
        std::size_t take = n < most ? n : most;
        out.append(p, take);
        q.Pop(take);
    }
    return out;
}

}  // namespace

TEST(VnOutputQueue, LinesComeOutWholeAndInOrderAcrossTheWrap) {
    static OutputQueue q;  // 64 KiB: not on the stack
    q.Clear();
    const std::size_t cap = OutputQueue::kCapacity;
    std::string expected;
    std::string got;
    // Lines of awkward lengths pushed and drained in odd pieces, many times round the ring.
    for (int round = 0; round < 40; ++round) {
        for (int i = 0; i < 37; ++i) {
            std::string line = std::to_string(round) + ":" +
                               std::string(static_cast<std::size_t>(97 * i + round) % 2047, 'a' + i % 26) + "\r\n";
            if (!q.Push(line.data(), line.size())) break;
            expected += line;
        }
        got += Drain(q, 1 + static_cast<std::size_t>(round) * 613 % 4093);
    }
    EXPECT_EQ(expected.size(), got.size());
    EXPECT_TRUE(expected == got);
    EXPECT_GT(expected.size(), 10 * cap);
}

TEST(VnOutputQueue, ALineThatDoesNotFitIsRefusedWhole) {
    static OutputQueue q;
    q.Clear();
    const std::size_t cap = OutputQueue::kCapacity;
    std::string big(cap - 10, 'x');
    ASSERT_TRUE(q.Push(big.data(), big.size()));
    EXPECT_EQ(10u, q.Room());
    EXPECT_FALSE(q.Push("0123456789A", 11));
    EXPECT_EQ(cap - 10, q.Size());  // nothing of the refused line went in
    EXPECT_TRUE(q.Push("0123456789", 10));
    EXPECT_EQ(0u, q.Room());
    EXPECT_FALSE(q.Push("z", 1));
    q.Pop(5);  // room at the front now: the next line wraps
    EXPECT_TRUE(q.Push("wrap!", 5));
    std::string all = Drain(q, cap);
    EXPECT_EQ(big.substr(5) + "0123456789wrap!", all);
    q.Pop(100);  // more than it holds: harmless
    EXPECT_TRUE(q.Empty());
}
