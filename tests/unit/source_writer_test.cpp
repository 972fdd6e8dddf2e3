// The source writer: texts whose line breaks, blanks and lengths the reader
// must join back exactly, and the notes on what no source can produce.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/compiler/declaration_sections.h"
#include "core/compiler/source_reader.h"
#include "core/compiler/source_writer.h"
#include "core/database/game_database.h"
#include "core/database/rule_code.h"

namespace {

// Reads a source held in memory into a fresh database; the reader's outcome.
int readSource(const std::string &source)
{
    resetDatabase();
    resetDeclarationState();
    FILE *file = fmemopen(const_cast<char *>(source.data()), source.size(), "r");
    EXPECT_NE(file, nullptr);
    int outcome = readSourceFile(file, "game.adv");
    fclose(file);
    return outcome;
}

// The recovered source of the database and the number of notes in it.
std::string recovered(int *notes)
{
    char *text = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&text, &size);
    *notes = writeRecoveredSource(out);
    fclose(out);
    std::string source(text, size);
    free(text);
    return source;
}

std::vector<std::string> linesOf(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

const char BASE_GAME[] =
    "[Verbs]\n#14,take\n#30,push\n[Nouns]\n#7,lamp\n[Vars]\nscore\n"
    "[Locations]\n#1,Hall,hall.png,0,2\nA hall.\n#2,Yard,,1\n"
    "[Objects]\n#1,a lamp,1,5,lamp\nA lamp.\n"
    "[Messages]\n#1,Hello.\n#2,Bye.\n"
    "[Actions]\nif verb take noun lamp\nthen message 1 add score 1\nif verb push\nbegin\n  message 2\nend\n";

struct SourceWriter : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(allocateArena()); }
    void TearDown() override { freeArena(); }
};

// Texts that need the reader's every joining rule: each must come back with
// the same arena image, so at the same offsets and with the same bytes.
TEST_F(SourceWriter, TextsComeBackByteForByte)
{
    const std::string longWord(700, 'x');
    std::string manyWords;
    for (int i = 0; i < 150; i++)
        manyWords += "word" + std::to_string(i) + " ";
    manyWords += "end";
    const std::vector<std::string> texts = {
        "two  blanks between",
        "a blank at the end ",
        "a line\\and the next\\\\after an empty one",
        "\\at the start and \\\\",
        "a backslash\\ then a blank",
        "no line may start with #1 or [Sysmsg] or @file",
        "  two blanks before",
        longWord,
        "short " + longWord + " short",
        manyWords,
        "%score% in a text, and 100% done",
    };
    std::string source = "[Messages]\n";
    std::string rooms = "[Locations]\n";
    for (size_t i = 0; i < texts.size(); i++) {
        // Written as one physical line: the reader cuts lines over 510
        // characters and joins the pieces without a blank.
        source += "#" + std::to_string(i + 1) + "," + texts[i] + "\n";
        if (texts[i][0] != '#')
            rooms += "#" + std::to_string(i + 1) + ",Room,,0\n" + texts[i] + "\n";
    }
    // Texts no entry names any more: message 1 defined again, and the first
    // line of a description continued after its section was left (the
    // continuation goes onto a copy).
    rooms += "#50,Room,,0\nfirst line\n[Messages]\n#99,x\n#1,replaced\n[Locations]\nsecond line\n";
    ASSERT_EQ(readSource(source + rooms), 0);
    const std::string arena(arenaBase, arenaUsed());
    std::vector<TextRef> refs(messages, messages + lastMessage + 1);
    std::vector<TextRef> descriptions;
    for (int n = 0; n <= lastLocation; n++)
        descriptions.push_back(locations[n].description);

    int notes = -1;
    const std::string written = recovered(&notes);
    EXPECT_EQ(notes, 0) << written;
    ASSERT_EQ(readSource(written), 0) << written;
    EXPECT_EQ(std::string(arenaBase, arenaUsed()), arena) << written;
    EXPECT_EQ(std::vector<TextRef>(messages, messages + lastMessage + 1), refs);
    ASSERT_EQ(lastLocation + 1, static_cast<int>(descriptions.size()));
    for (int n = 0; n <= lastLocation; n++)
        EXPECT_EQ(locations[n].description, descriptions[n]) << n;
    // Texts are broken at blanks; a word longer than a line stays whole.
    for (const std::string &line : linesOf(written))
        if (line.find(longWord) == std::string::npos) {
            EXPECT_LE(line.size(), 100u) << line;
        }
}

// Rules come back as the same records, names where the game declares them.
TEST_F(SourceWriter, RulesUseNamesAndCompileBack)
{
    ASSERT_EQ(readSource(BASE_GAME), 0);
    std::vector<RuleRecord> before(actions, actions + actionCount);
    int notes = -1;
    const std::string written = recovered(&notes);
    EXPECT_EQ(notes, 0) << written;
    EXPECT_NE(written.find("if verb take noun lamp\nthen message 1 add score 1\nif verb push\nbegin\n  message 2\nend"),
              std::string::npos)
        << written;
    ASSERT_EQ(readSource(written), 0);
    ASSERT_EQ(actionCount, static_cast<int>(before.size()));
    for (int i = 0; i < actionCount; i++)
        EXPECT_EQ(memcmp(&actions[i], &before[i], sizeof(RuleRecord)), 0) << i;
}

// What no source can produce is written as the closest source, with a note
// on the line that stands for it.
TEST_F(SourceWriter, NotesTheClosestSource)
{
    struct Case {
        const char *what;
        void (*damage)();
        const char *line;   // the start of the line that carries the note
    };
    const Case cases[] = {
        {"start location 0", [] { settings.StartLocation = 0; }, "StartLocation=1"},
        {"ShowExits 7", [] { settings.ShowExits = 7; }, "ShowExits=1"},
        {"a colour of 20", [] { settings.FgColor = 20; }, "FgColor=15"},
        {"a prompt with '|'", [] { strcpy(settings.Prompt, "a|b"); }, "Prompt=a b"},
        {"a message with a line end", [] { arenaBase[messages[2]] = '\n'; }, "#2, ye."},
        {"a verb number 0", [] { verbs[1].number = 0; }, "|#0,push"},
        {"an unknown opcode", [] { actions[1].opcodes[1] = '!'; }, "then message 1"},
        {"an unknown record kind", [] { actions[0].kind = 'x'; }, "if verb take"},
        {"operands in an unused slot", [] { actions[5].firstOperands[3] = 9; }, "end"},
        {"an object moved at run time", [] { objects[1].currentLocation = 2; }, "#1,a lamp,1,5"},
        {"a location lit at run time", [] { locations[2].currentLight = 0; }, "#2,Yard,,1"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(readSource(BASE_GAME), 0);
        c.damage();
        int notes = 0;
        const std::string written = recovered(&notes);
        EXPECT_EQ(notes, 1) << written;
        bool found = false;
        for (const std::string &line : linesOf(written))
            if (line.rfind(c.line, 0) == 0 && line.find("| closest source: ") != std::string::npos)
                found = true;
        EXPECT_TRUE(found) << written;
        // The closest source is still a source that compiles.
        EXPECT_EQ(readSource(written), 0) << written;
    }
}

}  // namespace
