// The source reader: field splitting and numbers, the message format, line
// pieces, scrambling, comments, CharSet, headers, includes and outcomes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/compiler/declaration_sections.h"
#include "core/compiler/source_reader.h"
#include "core/database/game_database.h"

namespace {

std::string rot13(std::string text)
{
    for (char &c : text) {
        if ((c >= 'a' && c <= 'z'))
            c = static_cast<char>('a' + (c - 'a' + 13) % 26);
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>('A' + (c - 'A' + 13) % 26);
    }
    return text;
}

// Each test runs in a fresh temporary folder, as include names are relative
// to the current directory.
struct SourceReader : ::testing::Test {
    std::string folder;
    char previous[4096];

    void SetUp() override
    {
        ASSERT_TRUE(allocateArena());
        resetDatabase();
        resetDeclarationState();
        ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
        char pattern[] = "/tmp/source_reader_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        ASSERT_EQ(chdir(folder.c_str()), 0);
    }
    void TearDown() override
    {
        ASSERT_EQ(chdir(previous), 0);
        std::string command = "rm -rf '" + folder + "'";
        ASSERT_EQ(system(command.c_str()), 0);
        freeArena();
    }

    static void writeFile(const char *name, const std::string &bytes)
    {
        FILE *file = fopen(name, "wb");
        ASSERT_NE(file, nullptr);
        fwrite(bytes.data(), 1, bytes.size(), file);
        fclose(file);
    }

    // Writes and reads a source; returns its outcome and the printed messages.
    static int read(const char *name, const std::string &bytes, std::string *output)
    {
        writeFile(name, bytes);
        FILE *file = fopen(name, "r");
        EXPECT_NE(file, nullptr);
        if (!file)
            return 99;
        testing::internal::CaptureStdout();
        int outcome = readSourceFile(file, name);
        *output = testing::internal::GetCapturedStdout();
        fclose(file);
        return outcome;
    }
};

std::vector<std::string> fields(const char *text)
{
    char buffer[64];
    snprintf(buffer, sizeof buffer, "%s", text);
    std::vector<std::string> result;
    char *cursor = buffer;
    while (const char *field = nextField(&cursor))
        result.push_back(field);
    EXPECT_EQ(nextField(&cursor), nullptr);
    return result;
}

TEST(NextField, SplitsAtCommasWithoutTrimming)
{
    using Fields = std::vector<std::string>;
    EXPECT_EQ(fields("a,,b"), (Fields{"a", "", "b"}));
    EXPECT_EQ(fields("a,"), (Fields{"a", ""}));
    EXPECT_EQ(fields("a"), (Fields{"a"}));
    EXPECT_EQ(fields(""), (Fields{""}));
    EXPECT_EQ(fields(" a , b "), (Fields{" a ", " b "}));
    EXPECT_EQ(nextField(nullptr), nullptr);
}

TEST(ReadNumber, ReadsSignedDecimalsUpToTheFirstOtherCharacter)
{
    struct Case { const char *text; int value; };
    const Case cases[] = {
        {"12", 12}, {"  -7x", -7}, {"+3", 3}, {"\t5", 5}, {"abc", 0}, {"", 0},
        {"- 5", 0}, {"3,4", 3}, {"99999999999999999999", INT_MAX},
        {"-99999999999999999999", INT_MIN},
    };
    for (const Case &c : cases)
        EXPECT_EQ(readNumber(c.text), c.value) << c.text;
}

TEST(ErrorReport, PrintsTwoLinesForNonZeroCodes)
{
    testing::internal::CaptureStdout();
    EXPECT_EQ(error("@rooms.adv", -3, 12, "castle.adv"), 0);
    error("#2", 2, 7, "a.adv");
    error("silent", 0, 1, "a.adv");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error 3 at line 12 in file castle.adv:\n@rooms.adv\n"
              "Warning 2 at line 7 in file a.adv:\n#2\n");
}

TEST_F(SourceReader, LongLinesAreReadInPiecesOf510)
{
    std::string output;
    const std::string long600(600, 'x');
    // Before any header every content line draws Warning 1, which shows the
    // pieces and their numbers.
    EXPECT_EQ(read("game.adv", long600 + "\n" + std::string(509, 'y') + "\nz\n", &output), 1);
    std::string expected = "Warning 1 at line 1 in file game.adv:\n" + std::string(510, 'x') + "\xFF\n"
                           "Warning 1 at line 2 in file game.adv:\n" + std::string(90, 'x') + "\n"
                           "Warning 1 at line 3 in file game.adv:\n" + std::string(509, 'y') + "\n"
                           "Warning 1 at line 4 in file game.adv:\nz\n";
    EXPECT_EQ(output, expected);

    // Exactly 510 characters: the line end is left over and read as an
    // empty (counted) line.
    EXPECT_EQ(read("game.adv", std::string(510, 'w') + "\nz\n", &output), 1);
    EXPECT_EQ(output, "Warning 1 at line 1 in file game.adv:\n" + std::string(510, 'w') + "\xFF\n"
                      "Warning 1 at line 3 in file game.adv:\nz\n");
}

TEST_F(SourceReader, SplitTextLineJoinsWithoutMarkerOrBlank)
{
    std::string output;
    EXPECT_EQ(read("game.adv", "[Locations]\n#1,Hall,,0\n" + std::string(600, 'd') + "\n", &output), 0);
    EXPECT_EQ(output, "");
    EXPECT_EQ(std::string(textOf(locations[1].description)), std::string(600, 'd'));
}

TEST_F(SourceReader, ScrambledSourceIsReadAfterRot13)
{
    std::string output;
    std::string body = "[Verbs]\n#1,north\n| comment\nbad line|cut off\n";
    EXPECT_EQ(read("game.adv", "\x15" "CrYpT" "\x15" " rest is ignored\n" + rot13(body) + "\x15" "crypt" "\x15" "\n",
                   &output), 1);
    // The marker line is not counted; a marker on a later line is an ordinary
    // (descrambled) line.
    EXPECT_EQ(output, "Warning 1 at line 4 in file game.adv:\nbad line\n"
                      "Warning 1 at line 5 in file game.adv:\n" "\xA7" "pelcg" "\xA7" "\n");
    ASSERT_EQ(verbCount, 1);
    EXPECT_EQ(std::string(verbs[0].word, 5), "north");
}

TEST_F(SourceReader, MarkerAfterTheFirstCountedLineIsOrdinary)
{
    std::string output;
    EXPECT_EQ(read("game.adv", "\n\x15" "crypt" "\x15" "\n[Verbs]\n#1,abc\n", &output), 1);
    EXPECT_EQ(output, "Warning 1 at line 2 in file game.adv:\n" "\xA7" "crypt" "\xA7" "\n");
    EXPECT_EQ(std::string(verbs[0].word, 3), "abc");
}

TEST_F(SourceReader, CommentsAndCutCharacters)
{
    std::string output;
    EXPECT_EQ(read("game.adv", "| [Sytem] in a comment\n[Messages]\n#1,one|two\n#2,a\rb\n  |only blanks before\n",
                   &output), 0);
    EXPECT_EQ(output, "");
    EXPECT_STREQ(textOf(messages[1]), "one");
    EXPECT_STREQ(textOf(messages[2]), "a");
}

TEST_F(SourceReader, CharSetConvertsFromTheNextLineInThisFileOnly)
{
    writeFile("other.adv", "[Messages]\n#2,\xE0\n[System]\nCharSet=w\n[Messages]\n#3,\xE0\n");
    std::string output;
    const std::string source = "[Messages]\n#1,\xE0\xE8\xEC\xF2\xF9\xE9\xE7\xB0\xA7\xA3!\n"
                               "[System]\nCharSet=w\n[Messages]\n#4,\xE0\xE8\xEC\xF2\xF9\xE9\xE7\xB0\xA7\xA3!\n"
                               "@other.adv\n#5,\xE0\n[System]\nCharSet=x\n[Messages]\n#6,\xE0\n";
    EXPECT_EQ(read("game.adv", source, &output), 0);
    EXPECT_EQ(output, "");
    EXPECT_STREQ(textOf(messages[1]), "\xE0\xE8\xEC\xF2\xF9\xE9\xE7\xB0\xA7\xA3!");
    EXPECT_STREQ(textOf(messages[4]), "\x85\x8A\x8D\x95\x97\x82\x87\xF8\x15\x9C!");
    EXPECT_STREQ(textOf(messages[2]), "\xE0");      // the included file starts unconverted
    EXPECT_STREQ(textOf(messages[3]), "\x85");
    EXPECT_STREQ(textOf(messages[5]), "\x85");      // the including file's letter is kept
    EXPECT_STREQ(textOf(messages[6]), "\xE0");
}

TEST_F(SourceReader, HeadersAtColumnOneInAnyCase)
{
    std::string output;
    const std::string source =
        "StartLocation=4\n"             // line 1: before any header
        "[system]\nStartLocation=2\n"
        "[SYSTEM] settings\nMaxItems=3\n"
        " [System]\n"                   // line 6: a content line of [System]
        "[Sytem]\n"                     // line 7: unknown header
        "ShowExits=0\n"                 // still [System]
        "[Verbs] and more\n#1,go\n";
    EXPECT_EQ(read("game.adv", source, &output), -1);
    EXPECT_EQ(output, "Warning 1 at line 1 in file game.adv:\nStartLocation=4\n"
                      "Warning 1 at line 6 in file game.adv:\n [System]\n"
                      "Error 1 at line 7 in file game.adv:\n[Sytem]\n");
    EXPECT_EQ(settings.StartLocation, 2);
    EXPECT_EQ(settings.MaxItems, 3);
    EXPECT_EQ(settings.ShowExits, 0);
    EXPECT_EQ(verbCount, 1);
}

TEST_F(SourceReader, EveryHeaderOpensItsSection)
{
    std::string output;
    const std::string source =
        "[Sysmsg]\n#1,s\n[Directions]\n#1,north\n[Intro]\n#1,p\n[Shows]\n#2,q\n"
        "[Locations]\n#1,Hall,,0\n[Objects]\n#1,lamp,1,0\n[Messages]\n#1,m\n"
        "[Verbs]\n#20,take\n[Nouns]\n#7,lamp\n[Vars]\nscore\n"
        "[Events]\nif begin\n[Actions]\nif verb take\nthen get 1\n";
    EXPECT_EQ(read("game.adv", source, &output), 0);
    EXPECT_EQ(output, "");
    EXPECT_STREQ(textOf(systemMessages[1]), "s");
    EXPECT_STREQ(textOf(directions[0]), "north");
    EXPECT_EQ(lastShow, 2);
    EXPECT_STREQ(textOf(locations[1].name), "Hall");
    EXPECT_STREQ(textOf(objects[1].name), "lamp");
    EXPECT_STREQ(textOf(messages[1]), "m");
    EXPECT_EQ(verbCount, 1);
    EXPECT_EQ(nounCount, 1);
    EXPECT_EQ(varCount, 2);
    EXPECT_EQ(eventCount, 1);
    ASSERT_EQ(actionCount, 2);
    EXPECT_EQ(actions[0].firstOperands[0], 20);
}

TEST_F(SourceReader, IncludeReportsAfterTheIncludedFilesMessages)
{
    writeFile("warns.adv", "stray line\n[Verbs]\n#1,go\n");
    writeFile("errs.adv", "[Nouns]\n\n[Bogus]\n#3,box\n");
    writeFile("clean.adv", "[Nouns]\n#4,key\n");
    std::string output;
    const std::string source = "[Verbs]\n@warns.adv\n@errs.adv\n@clean.adv\n@missing.adv\n@clean.adv \n"
                               "#2,run\n";
    EXPECT_EQ(read("game.adv", source, &output), -1);
    EXPECT_EQ(output, "Warning 1 at line 1 in file warns.adv:\nstray line\n"
                      "Warning 1 at line 2 in file game.adv:\n@warns.adv\n"
                      "Error 1 at line 3 in file errs.adv:\n[Bogus]\n"
                      "Error 1 at line 3 in file game.adv:\n@errs.adv\n"
                      "Error 3 at line 5 in file game.adv:\n@missing.adv\n"
                      "Error 3 at line 6 in file game.adv:\n@clean.adv \n");
    // The including file's section survives the include; the included files
    // fill the same tables.
    ASSERT_EQ(verbCount, 2);
    EXPECT_EQ(verbs[1].number, 2);
    EXPECT_EQ(nounCount, 2);
}

TEST_F(SourceReader, IncludeWithOnlyWarningsGivesWarningOutcome)
{
    writeFile("warns.adv", "stray line\n");
    std::string output;
    EXPECT_EQ(read("game.adv", "@warns.adv\n", &output), 1);
    EXPECT_EQ(read("game.adv", "[Sytem]\n@warns.adv\n", &output), -1);
}

TEST_F(SourceReader, NestingStopsAtSixteenFiles)
{
    std::string output;
    EXPECT_EQ(read("game.adv", "@game.adv\n", &output), -1);
    std::string expected = "Error 3 at line 1 in file game.adv:\n@game.adv\n";
    for (int i = 0; i < MAX_SOURCE_FILES - 1; i++)
        expected += "Error 1 at line 1 in file game.adv:\n@game.adv\n";
    EXPECT_EQ(output, expected);

    // A cycle through two files stops the same way.
    writeFile("b.adv", "@a.adv\n");
    EXPECT_EQ(read("a.adv", "@b.adv\n", &output), -1);
    EXPECT_EQ(output.rfind("Error 3 ", 0), 0u);
    EXPECT_NE(output.find("Error 3 at line 1 in file "), std::string::npos);
}

TEST_F(SourceReader, DirectoryOrEmptyNameCannotBeIncluded)
{
    ASSERT_EQ(mkdir("rooms", 0755), 0);
    std::string output;
    EXPECT_EQ(read("game.adv", "@rooms\n@\n", &output), -1);
    EXPECT_EQ(output, "Error 3 at line 1 in file game.adv:\n@rooms\nError 3 at line 2 in file game.adv:\n@\n");
}

TEST_F(SourceReader, OutcomeKeepsTheWorstResult)
{
    struct Case { const char *source; int outcome; };
    const Case cases[] = {
        {"", 0},
        {"\n\t \n| comment\n", 0},
        {"stray\n", 1},
        {"stray\n[Sytem]\n", -1},
        {"[Sytem]\nstray\n", -1},
    };
    for (const Case &c : cases) {
        std::string output;
        EXPECT_EQ(read("game.adv", c.source, &output), c.outcome) << c.source;
    }
}

TEST_F(SourceReader, NulByteEndsTheLineItStandsIn)
{
    std::string output;
    const char source[] = "[Verbs]\n#1,no\0rth,go\n#2,up\n";
    EXPECT_EQ(read("game.adv", std::string(source, sizeof source - 1), &output), 0);
    ASSERT_EQ(verbCount, 2);
    EXPECT_EQ(std::string(verbs[0].word), "no");
    EXPECT_EQ(std::string(verbs[1].word), "up");
}

TEST_F(SourceReader, RuleLineIsReportedWithoutTrailingBlanks)
{
    std::string output;
    // A full action table makes every further rule line an error.
    actionCount = MAX_ROWS;
    EXPECT_EQ(read("game.adv", "[Actions]\n  then quit  \t \n", &output), -1);
    actionCount = 0;
    EXPECT_EQ(output, "Error 1 at line 2 in file game.adv:\n  then quit\n");
}

// Random sources built from the pieces that steer the reader and parsers:
// every one must read to its end without a fault (run under the sanitizers).
TEST_F(SourceReader, RandomSourcesReadSafely)
{
    const std::vector<std::string> pieces = {
        "[System]", "[Sysmsg]", "[Directions]", "[Intro]", "[Shows]", "[Locations]", "[Objects]",
        "[Messages]", "[Verbs]", "[Nouns]", "[Vars]", "[Events]", "[Actions]", "[", "#", ",", ",,",
        "0", "1", "-1", "31", "32766", "32767", "99999", "-32768", " ", "\t", "\n", "\r\n", "|",
        "\\", "@nothere", std::string(1, '\0'), "\xFF", "\x15" "crypt" "\x15", "CharSet=w", "\xE0",
        "Title=", "Boolean=", "ShowExits=", "BgColor=", "StartLocation=", "if ", "then ", "do ",
        "not ", "verb ", "set ", "reset ", "score", "lamp", "begin", "{", "}", "{/", "end",
        std::string(300, 'a'), std::string(520, 'b'),
    };
    std::mt19937 random(12345);
    for (int round = 0; round < 200; round++) {
        std::string source;
        int count = static_cast<int>(random() % 200);
        for (int i = 0; i < count; i++)
            source += pieces[random() % pieces.size()];
        if (round % 4 == 0 && !source.empty())
            for (int i = 0; i < 64; i++)
                source[random() % source.size()] = static_cast<char>(random());
        resetDatabase();
        resetDeclarationState();
        std::string output;
        int outcome = read("game.adv", source, &output);
        EXPECT_TRUE(outcome == -1 || outcome == 0 || outcome == 1);
    }
}

}  // namespace
