// A source that includes itself more than once must not multiply its reading
// without end: every include line doubles the work at each nesting level.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/compiler/declaration_sections.h"
#include "core/compiler/source_reader.h"
#include "core/database/game_database.h"

namespace {

// Compiles game.adv in a fresh folder with standard output sent to a file;
// returns the outcome and the number of findings printed.
int compileCountingFindings(const std::string &source, int *findings)
{
    char pattern[] = "/tmp/include_budget_XXXXXX";
    if (!mkdtemp(pattern))
        return 99;
    char previous[4096];
    if (!getcwd(previous, sizeof previous) || chdir(pattern) != 0)
        return 99;
    FILE *file = fopen("game.adv", "wb");
    fwrite(source.data(), 1, source.size(), file);
    fclose(file);

    fflush(stdout);
    int savedOutput = dup(fileno(stdout));
    FILE *capture = fopen("output.txt", "w+");
    dup2(fileno(capture), fileno(stdout));
    FILE *game = fopen("game.adv", "r");
    int outcome = readSourceFile(game, "game.adv");
    fclose(game);
    fflush(stdout);
    dup2(savedOutput, fileno(stdout));
    close(savedOutput);

    *findings = 0;
    rewind(capture);
    char line[1024];
    while (fgets(line, sizeof line, capture))
        if (strncmp(line, "Error ", 6) == 0 || strncmp(line, "Warning ", 8) == 0)
            (*findings)++;
    fclose(capture);
    if (chdir(previous) != 0)
        return 99;
    std::string command = std::string("rm -rf '") + pattern + "'";
    if (system(command.c_str()) != 0)
        return 99;
    return outcome;
}

TEST(SourceIncludeBudget, RepeatedSelfIncludesStayBounded)
{
    ASSERT_TRUE(allocateArena());
    struct Case {
        int includeLines;
    };
    // One include line nests to the depth limit; two or three would read the
    // file 2^15 or 3^15 times without a bound on the files read in all.
    for (Case c : {Case{1}, Case{2}, Case{3}}) {
        resetDatabase();
        resetDeclarationState();
        std::string source = "[Messages]\n#1,Hello.\n";
        for (int i = 0; i < c.includeLines; i++)
            source += "@game.adv\n";
        int findings = 0;
        EXPECT_EQ(compileCountingFindings(source, &findings), -1) << c.includeLines;
        // Each file read reports each of its include lines once.
        EXPECT_GT(findings, 0);
        EXPECT_LE(findings, c.includeLines * (MAX_INCLUDED_FILES + 1)) << c.includeLines;
        EXPECT_STREQ(textOf(messages[1]), "Hello.");
    }
    freeArena();
}

}  // namespace
