// The terminal writer: no byte of a text may reach the terminal as a control,
// in UTF-8 or raw, and the printable bytes keep their characters.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/driver/terminal_text.h"

namespace {

std::string written(const std::string &bytes, bool utf8)
{
    char *buffer = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&buffer, &size);
    writeTerminalBytes(out, bytes.data(), bytes.size(), utf8);
    fclose(out);
    std::string result(buffer, size);
    free(buffer);
    return result;
}

// The code points of a UTF-8 text of one- to three-byte sequences; -1 ends
// the list at a malformed sequence.
std::vector<long> codePoints(const std::string &text)
{
    std::vector<long> points;
    for (size_t i = 0; i < text.size();) {
        unsigned char lead = static_cast<unsigned char>(text[i]);
        size_t extra = lead < 0x80 ? 0 : (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : 3;
        long point = extra == 0 ? lead : lead & (0x3F >> extra);
        bool whole = extra < 3 && i + extra < text.size();
        for (size_t k = 1; whole && k <= extra; k++) {
            unsigned char next = static_cast<unsigned char>(text[i + k]);
            whole = (next & 0xC0) == 0x80;
            point = point << 6 | (next & 0x3F);
        }
        if (!whole) {
            points.push_back(-1);
            break;
        }
        points.push_back(point);
        i += extra + 1;
    }
    return points;
}

bool isControl(long point)
{
    return (point < 0x20 && point != '\n') || (point >= 0x7F && point < 0xA0);
}

TEST(TerminalText, NoByteBecomesAControl)
{
    for (int byte = 0; byte < 256; byte++) {
        std::string one(1, static_cast<char>(byte));
        std::string utf8 = written(one, true);
        std::vector<long> points = codePoints(utf8);
        ASSERT_EQ(points.size(), 1u) << byte;
        EXPECT_FALSE(points[0] < 0 || isControl(points[0])) << byte;

        std::string raw = written(one, false);
        ASSERT_EQ(raw.size(), 1u) << byte;
        unsigned char out = static_cast<unsigned char>(raw[0]);
        EXPECT_FALSE(isControl(out)) << byte;
    }
}

TEST(TerminalText, BytesAndTheirStandIns)
{
    struct Case {
        unsigned char byte;
        const char *utf8;
        const char *raw;
    };
    const Case cases[] = {
        {'\n', "\n", "\n"},
        {'A', "A", "A"},
        {'~', "~", "~"},
        {0x00, "?", "?"},
        {0x01, "\u263A", "?"},
        {0x07, "\u2022", "?"},
        {0x09, "\u25CB", "?"},
        {0x0D, "\u266A", "?"},
        {0x15, "\u00A7", "\xA7"},
        {0x1B, "\u2190", "?"},
        {0x7F, "\u2302", "?"},
        {0x80, "\u00C7", "?"},
        {0x85, "\u00E0", "\xE0"},
        {0x9B, "\u00A2", "?"},
        {0x9C, "\u00A3", "\xA3"},
        {0x9F, "\u0192", "?"},
        {0xA0, "\u00E1", "\xA0"},
        {0xC9, "\u2554", "\xC9"},
        {0xE0, "\u03B1", "\xE0"},
        {0xE8, "\u03A6", "\xE8"},
        {0xF8, "\u00B0", "\xB0"},
        {0xFF, "\u00A0", "\xFF"},
    };
    for (const Case &c : cases) {
        std::string one(1, static_cast<char>(c.byte));
        EXPECT_EQ(written(one, true), c.utf8) << int(c.byte);
        EXPECT_EQ(written(one, false), c.raw) << int(c.byte);
    }
}

TEST(TerminalText, SequencesAreBrokenAtTheirIntroducer)
{
    const std::string text = "a\x1b[2J\x1b]0;x\x07\n\x9b" "6n";
    EXPECT_EQ(written(text, true), "a\u2190[2J\u2190]0;x\u2022\n\u00A2" "6n");
    EXPECT_EQ(written(text, false), "a?[2J?]0;x?\n?6n");
}

// The only test that asks the locale: the answer is kept for the process.
TEST(TerminalText, UsesTheEnvironmentsLocaleAndLeavesTheProgramsAlone)
{
    setenv("LC_ALL", "C.UTF-8", 1);
    std::string before = setlocale(LC_CTYPE, nullptr);
    EXPECT_TRUE(terminalIsUtf8());
    EXPECT_EQ(setlocale(LC_CTYPE, nullptr), before);

    char *buffer = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&buffer, &size);
    writeTerminalText(out, nullptr);
    writeTerminalText(out, "\x1b" "c");
    fclose(out);
    EXPECT_EQ(std::string(buffer, size), "\u2190" "c");
    free(buffer);
}

}  // namespace
