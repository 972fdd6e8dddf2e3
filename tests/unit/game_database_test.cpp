// The game database: reset state, table growth, the arena's continuation
// rules and the word and variable look-ups.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/database/game_database.h"

namespace {

struct Database : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(allocateArena());
        resetDatabase();
    }
    void TearDown() override { freeArena(); }
};

TEST_F(Database, ResetGivesEmptyTablesAndDefaults)
{
    EXPECT_EQ(lastLocation, -1);
    EXPECT_EQ(lastShow, -1);
    EXPECT_EQ(lastMessage, -1);
    EXPECT_EQ(lastObject, -1);
    EXPECT_EQ(verbCount + nounCount + eventCount + actionCount + varCount, 0);
    EXPECT_EQ(arenaUsed(), 1u);
    EXPECT_EQ(settings.StartLocation, 1);
    EXPECT_EQ(settings.MaxItems, 5);
    EXPECT_EQ(settings.ShowExits, 1);
    EXPECT_EQ(settings.FgColor, 15);
    EXPECT_EQ(settings.BgColor, 0);
    EXPECT_STREQ(settings.Prompt, ">");
    EXPECT_EQ(settings.YesLetter, 'y');
    EXPECT_EQ(settings.NoLetter, 'n');
    EXPECT_EQ(settings.Title[0], '\0');
}

TEST_F(Database, GrowthCreatesEmptyRows)
{
    growLocations(5);
    EXPECT_EQ(lastLocation, 5);
    for (int i = 0; i <= 4; i++) {
        EXPECT_EQ(locations[i].name, 0u);
        for (int d = 0; d < DIRECTION_COUNT; d++) {
            EXPECT_EQ(locations[i].exits[d], 0);
            EXPECT_EQ(locations[i].currentExits[d], UNCHANGED);
        }
        EXPECT_EQ(locations[i].currentLight, 1);
    }
    growObjects(3);
    EXPECT_EQ(lastObject, 3);
    for (int i = 0; i <= 2; i++) {
        EXPECT_EQ(objects[i].name, 0u);
        EXPECT_EQ(objects[i].currentLocation, UNCHANGED);
    }
    growLocations(2);  // never shrinks
    EXPECT_EQ(lastLocation, 5);
}

TEST_F(Database, ContinuationRules)
{
    struct Case {
        const char *first, *second, *joined;
    } cases[] = {
        {"plain", "text", "plain text"},
        {"line\\", "next", "line\\next"},
        {"split\xFF", "rest", "splitrest"},
    };
    for (const Case &c : cases) {
        resetDatabase();
        TextRef first = appendText(c.first, false);
        ASSERT_NE(first, 0u);
        EXPECT_NE(appendText(c.second, true), 0u);
        EXPECT_STREQ(textOf(first), c.joined);
        EXPECT_EQ(arenaUsed(), 1 + strlen(c.joined) + 1) << c.joined;
    }
    // A continuation with nothing stored yet is a new text.
    resetDatabase();
    TextRef lone = appendText("alone", true);
    EXPECT_EQ(lone, 1u);
    EXPECT_STREQ(textOf(lone), "alone");
}

TEST_F(Database, ArenaLimit)
{
    std::string big(ARENA_SIZE - 2, 'x');   // NUL lands on the last byte
    EXPECT_EQ(appendText(big.c_str(), false), 1u);
    EXPECT_EQ(arenaUsed(), static_cast<uint32_t>(ARENA_SIZE));
    EXPECT_EQ(appendText("", false), 0u);

    resetDatabase();
    std::string tooBig(ARENA_SIZE - 1, 'x');     // NUL would fall past the block
    EXPECT_EQ(appendText(tooBig.c_str(), false), 0u);
    EXPECT_EQ(arenaUsed(), 1u);

    // A continuation that does not fit leaves the earlier text terminated.
    resetDatabase();
    TextRef first = appendText("first", false);
    std::string rest(ARENA_SIZE, 'y');
    EXPECT_EQ(appendText(rest.c_str(), true), 0u);
    EXPECT_STREQ(textOf(first), "first");
    EXPECT_EQ(arenaUsed(), 7u);
}

TEST_F(Database, WordAndVariableLookups)
{
    for (const char *w : {"take", "get", "examinat"}) {
        WordRecord *row = appendWord(&verbs, &verbCount);
        copyWord(row->word, w);
        row->number = static_cast<int16_t>(verbCount == 3 ? 13 : 14);
    }
    EXPECT_EQ(verbCount, 3);
    EXPECT_EQ(findVerb("TAKE"), 14);
    EXPECT_EQ(findVerb("get"), 14);
    EXPECT_EQ(findVerb("examinations"), 13);
    EXPECT_EQ(findVerb("examina"), 0);
    EXPECT_EQ(findVerb("tak"), 0);
    EXPECT_EQ(findVerb("takes"), 0);

    VarRecord *score = appendVar();
    copyWord(score->name, "score");
    EXPECT_EQ(varCount, 2);
    EXPECT_EQ(std::string(vars[0].name, WORD_SIZE), "^foobar^");
    EXPECT_EQ(findVariable("Score"), 1);
    EXPECT_EQ(findVariable("moves"), 0);
}

TEST_F(Database, RunTimeReadersStayInsideTables)
{
    growObjects(2);
    objects[1].initialLocation = 4;
    objects[2].initialLocation = 3;
    objects[2].currentLocation = CARRIED;
    EXPECT_EQ(objectLocation(1), 4);
    EXPECT_EQ(objectLocation(2), CARRIED);
    EXPECT_EQ(objectLocation(3), 0);
    EXPECT_EQ(objectLocation(-5), 0);
    growLocations(1);
    locations[1].exits[2] = 7;
    EXPECT_EQ(locationExit(1, 3), 7);
    locations[1].currentExits[2] = 0;
    EXPECT_EQ(locationExit(1, 3), 0);
    EXPECT_EQ(locationExit(1, 11), 0);
    EXPECT_EQ(locationExit(9, 1), 0);
}

}  // namespace
