#include "core/strings.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include "tests/support/child_process.h"
#endif

#include <tuple>
#include <vector>

TEST(Growth, PowersOfTwoNeverBelowFour) {
    const int32_t rows[][2] = {{1, 4}, {3, 4}, {5, 8}, {9, 16}, {1000, 1024}, {1 << 30, 1 << 30}, {1 << 30 | 1, -1}};
    for (const auto& r : rows) EXPECT_EQ(r[1], GrowthCapacity(r[0])) << r[0];

    ByteArray a;
    a.Append("abcde", 5);
    EXPECT_EQ(a.data + 5, a.AppendSpace(0));  // room for nothing is no failure
    EXPECT_EQ(8, a.capacity);
    a.Empty();
    EXPECT_EQ(std::pair(0, 8), std::pair(a.length, a.capacity));  // emptied, the room stays
    EXPECT_FALSE(a.SetLength(-1));
#ifndef _WIN32
    EXPECT_EQ(-1, RunInChild([&] { return a.AppendSpace(-1) ? 0 : 1; }));  // stopped, not written before the start
#endif
    PointerArray none;  // no slots is no failure either
    EXPECT_TRUE(none.AppendSlots(0) == none.storage && none.count == 0);
}

TEST(Format, RetriesWithDoubledSizeUntilTheTextFits) {
    for (auto [length, size] : {std::pair{0, 2}, {2, 8}, {3, 8}, {5, 16}})
        EXPECT_EQ(size, FormatInitialSize(length)) << length;
    String s;
    for (auto [number, size] : {std::pair{123456789, 16}, {12345678, 8}})
        EXPECT_TRUE(FormatInto(s, "%d", number) == size && s.str() == std::to_string(number)) << number;

    EXPECT_EQ("ab-ff-z-0.5-%", Format("%s-%x-%c-%g-%%", "ab", 255, 'z', 0.5).str());
    EXPECT_EQ(5000, Format("%s", std::string(5000, 'q').c_str()).length);
#ifndef _WIN32
    s = "stale";  // a text the C locale cannot print leaves nothing, not what was there
    FormatInto(s, "%ls", L"\u00e9");
    EXPECT_EQ(0, s.length);
#endif
    const String* texts[8];  // eight in a row stay valid together
    for (int i = 0; i < 8; ++i) texts[i] = &Format("%d", i);
    EXPECT_EQ("0 7", texts[0]->str() + " " + texts[7]->str());
}

TEST(Compare, SignedBytesCaseFoldingAndLimit) {
    // Bytes above 127 are negative as signed 8-bit values; only A-Z fold: '[' (0x5B) and '{' (0x7B) stay different.
    const std::tuple<const char*, const char*, bool, int32_t, int32_t> rows[] = {  // a, b, case, limit, result
        {"abc", "ABD", false, -1, -1}, {"abc", "ABD", true, -1, 1}, {"abc", "abcd", false, -1, -1},
        {"abc", "abcd", false, 3, 0}, {"abc", "abd", false, 0, 0}, {"abc", "abc", true, 5, 0}, {"", "", true, -1, 0},
        {"\xC3", "a", true, -1, -1}, {"[", "{", false, -1, -1}, {"Zz", "zZ", false, -1, 0}};
    for (const auto& [a, b, caseSensitive, limit, result] : rows)
        EXPECT_EQ(result, String(a).Compare(String(b), caseSensitive, limit)) << a << " " << b;
    String s("longer text");  // assigning replaces the text, or empties it; a single letter is compared too
    EXPECT_TRUE((s = "new") == "new" && !(String("a") == "b") && (s = static_cast<const char*>(nullptr)).length == 0);
}

static std::vector<std::string> parts(const char* text, char separator) {
    PointerArray* split = String(text).Split(separator);
    std::vector<std::string> out;
    for (int32_t i = 0; i < split->count; ++i) out.push_back(split->At<String>(i)->str());
    DeleteStrings(split);
    return out;
}

TEST(Split, DropsEmptyRuns) {
    EXPECT_EQ((std::vector<std::string>{"a", "b"}), parts("/a//b/", '/'));
    EXPECT_TRUE(parts("", ',').empty());
    EXPECT_EQ(std::vector<std::string>{"one"}, parts("one", ','));
}

TEST(PointerArray, RemoveValueKeepsOrder) {
    int a, b, c;
    PointerArray p;
    for (int* value : {&a, &b, &a, &c, &a}) p.Append(value);
    p.RemoveValue(&a, 1, 4);
    EXPECT_EQ((std::vector<void*>{&a, &b, &c, &a}), std::vector<void*>(p.storage, p.storage + p.count));
    p.RemoveValue(&a);
    EXPECT_EQ((std::vector<void*>{&b, &c}), std::vector<void*>(p.storage, p.storage + p.count));
}
