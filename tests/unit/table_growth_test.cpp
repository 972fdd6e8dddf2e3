// The tables grow with room to spare while a source is read: rows survive
// every growth and the final fit, a table put in place from outside grows
// from the rows it holds, and the arena knows its last text after any append.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/database/game_database.h"

namespace {

struct TableGrowth : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(allocateArena());
        resetDatabase();
    }
    void TearDown() override
    {
        resetDatabase();
        freeArena();
    }
};

// Every table filled to its limit, the growths interleaved, then fitted:
// each row keeps what was written into it, and the rows added by a growth
// start empty.
TEST_F(TableGrowth, RowsSurviveEveryGrowthAndTheFit)
{
    for (int i = 0; i < MAX_ROWS; i++) {
        RuleRecord *rule = appendRule(i % 2 ? &events : &actions, i % 2 ? &eventCount : &actionCount);
        ASSERT_NE(rule, nullptr);
        ASSERT_EQ(rule->kind, 0);
        ASSERT_EQ(rule->secondOperands[RULE_SLOTS - 1], 0);
        rule->kind = 'o';
        rule->firstOperands[0] = static_cast<int16_t>(i);
        rule->secondOperands[RULE_SLOTS - 1] = static_cast<int16_t>(-i);
        WordRecord *word = appendWord(i % 3 ? &verbs : &nouns, i % 3 ? &verbCount : &nounCount);
        ASSERT_NE(word, nullptr);
        word->number = static_cast<int16_t>(i);
        if (i < MAX_ROWS - 1) {
            ASSERT_NE(appendVar(), nullptr);
        }
        if (i % 7 == 0) {       // last-index tables grow by steps of any size
            ASSERT_TRUE(growLocations(i / 2));
            locations[i / 2].flags = static_cast<int16_t>(i);
            ASSERT_EQ(locations[i / 2].currentExits[9], UNCHANGED);
            ASSERT_TRUE(growObjects(i / 2));
            objects[i / 2].noun = static_cast<int16_t>(i);
            ASSERT_EQ(objects[i / 2].currentLocation, UNCHANGED);
            ASSERT_TRUE(growMessages(i / 2));
            messages[i / 2] = static_cast<TextRef>(i);
            ASSERT_TRUE(growShows(i / 2 + 1));
            shows[i / 2 + 1].picture = static_cast<TextRef>(i);
        }
    }
    ASSERT_FALSE(databaseAllocationFailed());
    for (int pass = 0; pass < 2; pass++) {
        SCOPED_TRACE(pass == 0 ? "grown" : "fitted");
        EXPECT_EQ(eventCount + actionCount, MAX_ROWS);
        EXPECT_EQ(verbCount + nounCount, MAX_ROWS);
        EXPECT_EQ(varCount, MAX_ROWS);
        for (int i = 0; i < MAX_ROWS; i++) {
            const RuleRecord &rule = i % 2 ? events[i / 2] : actions[i / 2];
            ASSERT_EQ(rule.firstOperands[0], static_cast<int16_t>(i));
            ASSERT_EQ(rule.secondOperands[RULE_SLOTS - 1], static_cast<int16_t>(-i));
            const WordRecord &word = i % 3 ? verbs[i - i / 3 - 1] : nouns[i / 3];
            ASSERT_EQ(word.number, static_cast<int16_t>(i));
        }
        for (int i = 0; i < MAX_ROWS; i += 7) {
            ASSERT_EQ(locations[i / 2].flags, static_cast<int16_t>(i));
            ASSERT_EQ(objects[i / 2].noun, static_cast<int16_t>(i));
            ASSERT_EQ(messages[i / 2], static_cast<TextRef>(i));
            ASSERT_EQ(shows[i / 2 + 1].picture, static_cast<TextRef>(i));
        }
        EXPECT_EQ(std::string(vars[0].name, WORD_SIZE), "^foobar^");
        fitTables();
    }
    // A fitted table grows again.
    RuleRecord *more = appendRule(&events, &eventCount);
    ASSERT_NE(more, nullptr);
    EXPECT_EQ(more->firstOperands[0], 0);
    EXPECT_EQ(events[0].firstOperands[0], 1);
}

// A table installed from outside (as a loaded game is) holds exactly its
// rows: appending grows it from them, whatever capacity an earlier table
// at the same address had.
TEST_F(TableGrowth, TablePutInPlaceGrowsFromItsRows)
{
    for (int i = 0; i < 100; i++)
        appendRule(&actions, &actionCount);
    resetDatabase();
    actions = static_cast<RuleRecord *>(calloc(3, sizeof(RuleRecord)));
    ASSERT_NE(actions, nullptr);
    actionCount = 2;
    actions[0].kind = 'c';
    actions[1].kind = 'o';
    for (int i = 0; i < 40; i++) {
        RuleRecord *row = appendRule(&actions, &actionCount);
        ASSERT_NE(row, nullptr);
        row->kind = '}';
    }
    EXPECT_EQ(actionCount, 42);
    EXPECT_EQ(actions[0].kind, 'c');
    EXPECT_EQ(actions[1].kind, 'o');
    EXPECT_EQ(actions[41].kind, '}');
}

// Whether a text ends the arena, after every kind of append and after the
// arena's end was set from outside.
TEST_F(TableGrowth, LastTextAfterEveryAppend)
{
    EXPECT_FALSE(isLastText(0));
    TextRef first = appendText("first", false);
    EXPECT_TRUE(isLastText(first));
    TextRef second = appendText("second\\", false);
    EXPECT_FALSE(isLastText(first));
    EXPECT_TRUE(isLastText(second));
    appendText("joined", true);
    EXPECT_TRUE(isLastText(second));
    EXPECT_STREQ(textOf(second), "second\\joined");
    std::string tooBig(ARENA_SIZE, 'x');
    EXPECT_EQ(appendText(tooBig.c_str(), true), 0u);       // fails: nothing changes
    EXPECT_TRUE(isLastText(second));
    TextRef empty = appendText("", false);
    EXPECT_FALSE(isLastText(second));
    EXPECT_TRUE(isLastText(empty));

    // The arena's end set from outside, as installing a loaded game does.
    resetDatabase();
    memcpy(arenaBase + 1, "loaded\0last", 12);
    arenaNext = arenaBase + 13;
    EXPECT_FALSE(isLastText(1));
    EXPECT_TRUE(isLastText(8));
    appendText("more", true);
    EXPECT_TRUE(isLastText(8));
    EXPECT_STREQ(textOf(8), "last more");
}

}  // namespace
