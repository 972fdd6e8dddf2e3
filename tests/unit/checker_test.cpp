// The checker: one small broken game per kind of finding, each with its exact
// findings (file, line, severity, the word named), a clean game with none,
// findings inside an included file, and the exit status.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/compiler/checker.h"
#include "core/compiler/declaration_sections.h"
#include "core/compiler/source_reader.h"
#include "core/database/game_database.h"

namespace {

// A clean game of 21 lines: what a case adds starts at line 22.
const std::string CLEAN = "[Sysmsg]\n#1,What?\n#8,Not now.\n"
                          "[Locations]\n#0,Darkness,,0\nDark.\n#1,Hall,,0\nA hall.\n"
                          "[Objects]\n#1,a lamp,1,1\n"
                          "[Verbs]\n#30,look\n[Nouns]\n#1,lamp\n[Vars]\nscore\n"
                          "[Messages]\n#1,Hello.\n"
                          "[Actions]\nif verb look\nthen message 1\n";

struct Checker : ::testing::Test {
    std::string folder;
    char previous[4096];

    void SetUp() override
    {
        ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
        char pattern[] = "/tmp/checker_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        ASSERT_EQ(chdir(folder.c_str()), 0);
    }
    void TearDown() override
    {
        ASSERT_EQ(chdir(previous), 0);
        ASSERT_EQ(system(("rm -rf '" + folder + "'").c_str()), 0);
    }

    static void writeFile(const char *name, const std::string &bytes)
    {
        FILE *file = fopen(name, "wb");
        ASSERT_NE(file, nullptr);
        fwrite(bytes.data(), 1, bytes.size(), file);
        fclose(file);
    }

    // Checks game.adv holding source; the findings printed, and the status.
    static std::string check(const std::string &source, int *status = nullptr)
    {
        writeFile("game.adv", source);
        EXPECT_TRUE(allocateArena());
        resetDatabase();
        resetDeclarationState();
        FILE *file = fopen("game.adv", "r");
        EXPECT_NE(file, nullptr);
        testing::internal::CaptureStdout();
        beginCheck("game.adv");
        readSourceFile(file, "game.adv");
        int result = finishCheck();
        std::string output = testing::internal::GetCapturedStdout();
        fclose(file);
        freeArena();
        if (status)
            *status = result;
        return output;
    }
};

TEST_F(Checker, CleanGameHasNoFinding)
{
    int status = -1;
    EXPECT_EQ(check(CLEAN, &status), "0 errors, 0 warnings\n");
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(checkMode);
}

TEST_F(Checker, EachMistakeGetsItsLine)
{
    const struct {
        const char *added;
        const char *findings;
    } cases[] = {
        // Rule words the compiler drops or leaves without effect.
        {"if verb look noun torch\nthen message 1\n",
         "game.adv:22: error: 'noun torch': the noun 'torch' is not declared, so 'noun' is left without it\n"},
        {"then mesage 1\n", "game.adv:22: error: unknown word 'mesage' is dropped: did you mean 'message'?\n"},
        {"if verb look then message 1\n",
         "game.adv:22: error: 'then' on a condition line: the actions after it are dropped; write them on a line of "
         "their own after this one\n"},
        {"if verb look\nthen message 1 carried 1\n",
         "game.adv:23: error: 'carried' is a condition: an action line holds only actions, so it is dropped; write "
         "it on an 'if' line\n"},
        {"if carried lamp\nthen message 1\n",
         "game.adv:22: error: 'carried' takes an object number, not a word: 'lamp' is dropped\n"},
        {"then not get 1\n", "game.adv:22: warning: 'not' before the action 'get' makes it do nothing\n"},
        {"then message\n", "game.adv:22: error: 'message' needs a message number\n"},
        {"then put 1\n",
         "game.adv:22: error: 'put' needs a second operand, a location number (0 nowhere, -1 carried, -2 worn)\n"},
        {"then message 1 2\nthen quit 3\n",
         "game.adv:22: error: '2' is not used: 'message' takes one operand\n"
         "game.adv:23: error: '3' is not used: 'quit' takes no operand\n"},
        {"|comment\nif\n", "game.adv:23: error: 'if' with nothing after it: the line tests nothing\n"},
        {"if verb jump\nthen message 1\n[Verbs]\n#31,jump\n",
         "game.adv:22: error: the verb 'jump' is declared only after this line: declare words and variables before "
         "the rules that name them\n"},
        {"then add score 1 add score 1 add score 1 add score 1 add score 1 add score 1 add score 1 add score 1 "
         "add score 1 add score 1 add score 1 add score 1 add score 1 add score 1 add score 1 add score 1 cls\n",
         "game.adv:22: error: more than 16 actions on one line: 'cls' and all after it are dropped\n"},
        // Operands naming what the game does not declare.
        {"then message 99\n", "game.adv:22: error: 'message 99': message 99 is not declared\n"},
        {"if carried 7\nthen put 1 9 exit 12 1\n",
         "game.adv:22: error: 'carried 7': object 7 is not declared\n"
         "game.adv:23: error: 'put 9': location 9 is not declared\n"
         "game.adv:23: error: 'exit 12': there is no direction 12 (they are 1 to 10)\n"},
        {"then sysmsg 20\n",
         "game.adv:22: warning: 'sysmsg 20': system message 20 is not declared in [Sysmsg], so it shows nothing\n"},
        // Blocks and loops.
        {"begin\nthen message 1\n", "game.adv:22: error: this block has no 'end': it runs to the end of the [Actions]\n"},
        {"end\n", "game.adv:22: error: 'end' without a block to end\n"},
        {"while gt score 0\nif verb look\nthen message 1\n",
         "game.adv:22: warning: 'while' has nothing to repeat: the next line is neither an action line nor a block\n"},
        {"begin\nbegin\nbegin\nbegin\nbegin\nbegin\nbegin\nbegin\nbegin\nbegin\nbegin\nbegin\nbegin\nbegin\nbegin\n"
         "begin\nend\nend\nend\nend\nend\nend\nend\nend\nend\nend\nend\nend\nend\nend\nend\nend\n",
         "game.adv:37: warning: blocks nested deeper than 15 levels: this block's lines belong to level 15 and its "
         "end closes the block around it\n"},
        // The world.
        {"[Locations]\n#2,Cellar,,0,7\n",
         "game.adv:23: error: exit north of location 2 leads to location 7, which is not declared\n"
         "game.adv:23: note: location 2 cannot be reached from the start: no exit or rule leads there\n"},
        {"[Objects]\n#2,a key,5,1\n", "game.adv:23: error: object 2 is placed at location 5, which is not declared\n"},
        {"[System]\nStartLocation=9\n", "game.adv:23: error: StartLocation 9 is not a declared location\n"},
        {"[Objects]\n#2,a key,0,1\n",
         "game.adv:23: note: object 2 is nowhere and no rule names it: the player never meets it\n"},
        // Texts and the source's bytes.
        {"[Vars]\nturns, moves\n",
         "game.adv:23: warning: the variable ' moves' has a blank in its name: no rule can name it; write the names "
         "without blanks around the commas\n"},
        {"[Messages]\n#2,Score %scor% and 50%\n",
         "game.adv:23: warning: message 2 names the variable 'scor', which is not declared in [Vars]\n"
         "game.adv:23: warning: message 2 has a '%' with no closing one: the rest of the text is not shown (write %% "
         "for a percent sign)\n"
         "game.adv:23: note: message 2 is never shown: no rule names it\n"},
        {"then message 2\n[Messages]\n#2,Caf\xC3\xA9\n",
         "game.adv:24: warning: the source looks like UTF-8 (a 2-byte sequence on this line): its accented letters "
         "will show as two or more wrong characters; save it as ISO 8859-1 with CharSet=w in [System], or in code "
         "page 437\n"},
        // The compiler's numbered messages, in words.
        {"[Sytem]\n", "game.adv:22: error: error 1: '[Sytem]' is no section header\n"},
        {"[Sysmsg]\n#40,Too far\n#5\n",
         "game.adv:23: warning: warning 1: system message number 40 is outside 1 to 31\n"
         "game.adv:24: warning: warning 2: a numbered line needs a comma after its number\n"},
        {"[Verbs]\n#3\nabc\n",
         "game.adv:23: warning: warning 2: a numbered line lists no word\n"
         "game.adv:24: warning: warning 1: a [Verbs] line must start with '#' and its number\n"},
        {"[System]\nColour=3\nShowExits=Y\n",
         "game.adv:23: warning: warning 1: unknown [System] key 'Colour'\n"
         "game.adv:24: warning: warning 1: ShowExits must start with 0, n, 1 or y (in small letters)\n"},
    };
    for (const auto &c : cases) {
        std::string expected = c.findings;
        int errors = 0, warnings = 0;
        for (size_t at = expected.find(": error: "); at != std::string::npos; at = expected.find(": error: ", at + 1))
            errors++;
        for (size_t at = expected.find(": warning: "); at != std::string::npos; at = expected.find(": warning: ", at + 1))
            warnings++;
        char summary[64];
        snprintf(summary, sizeof summary, "%d error%s, %d warning%s\n", errors, errors == 1 ? "" : "s", warnings,
                 warnings == 1 ? "" : "s");
        int status = -1;
        EXPECT_EQ(check(CLEAN + c.added, &status), expected + summary) << c.added;
        EXPECT_EQ(status, errors > 0 ? 1 : 0) << c.added;
    }
}

// Findings about the game as a whole come last and name the main source.
TEST_F(Checker, WholeGameFindingsComeLast)
{
    EXPECT_EQ(check("[Locations]\n#1,Hall,,0\n[Verbs]\n#1,north\n[Actions]\nthen mesage 1\n"),
              "game.adv:6: error: unknown word 'mesage' is dropped: did you mean 'message'?\n"
              "game.adv: error: no location 0: the game needs the darkness location, for example '#0,Darkness,,0' "
              "in [Locations], or it shows no location text at all\n"
              "game.adv: warning: system message 1 (a command that is not understood) is not defined in [Sysmsg]: "
              "the player sees nothing then\n"
              "game.adv: warning: system message 5 (a direction without an exit) is not defined in [Sysmsg]: the "
              "player sees nothing then\n"
              "2 errors, 2 warnings\n");
}

// A finding inside an included file names that file and its own line, in
// reading order; the include line itself is reported in the including file.
TEST_F(Checker, IncludedFilesNameThemselves)
{
    writeFile("rules.adv", "[Actions]\nthen mesage 1\n[Sytem]\n");
    EXPECT_EQ(check(CLEAN + "@rules.adv\n@missing.adv\nthen message 99\n"),
              "rules.adv:2: error: unknown word 'mesage' is dropped: did you mean 'message'?\n"
              "rules.adv:3: error: error 1: '[Sytem]' is no section header\n"
              "game.adv:22: error: error 1: the included file 'rules.adv' has errors\n"
              "game.adv:23: error: error 3: the included file 'missing.adv' cannot be opened (missing, not a "
              "regular file, or too many files open)\n"
              "game.adv:24: error: 'message 99': message 99 is not declared\n"
              "5 errors, 0 warnings\n");
}

}  // namespace
