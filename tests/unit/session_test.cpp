// The session core: the start of a game, one turn after parsing, the
// darkness rule, the carried count and the command history ring.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>

#include "core/database/game_database.h"
#include "core/database/rule_code.h"
#include "core/interpreter/session.h"
#include "tests/support/recording_frontend.h"

namespace {

void defineLocation(int number, const char *name, int flags = 0)
{
    growLocations(number);
    locations[number].name = appendText(name, false);
    locations[number].flags = static_cast<int16_t>(flags);
}

void defineObject(int number, const char *name, int where, int flags = 0)
{
    growObjects(number);
    objects[number].name = appendText(name, false);
    objects[number].initialLocation = static_cast<int16_t>(where);
    objects[number].flags = static_cast<int16_t>(flags);
}

struct Slot {
    char opcode;
    int first, second;
};

// Appends a rule record of the given kind with its slots to a rule table.
void addRule(RuleRecord **table, int16_t *count, char kind, std::initializer_list<Slot> slots)
{
    RuleRecord *row = appendRule(table, count);
    row->kind = kind;
    memset(row->opcodes, KIND_UNUSED, sizeof row->opcodes);
    int k = 0;
    for (const Slot &slot : slots) {
        row->opcodes[k] = static_cast<signed char>(slot.opcode);
        row->firstOperands[k] = static_cast<int16_t>(slot.first);
        row->secondOperands[k] = static_cast<int16_t>(slot.second);
        k++;
    }
}

void defineMessage(int number, const char *text)
{
    growMessages(number);
    messages[number] = appendText(text, false);
}

struct Session : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(allocateArena());
        resetDatabase();
        resetRecording();
        systemMessages[1] = appendText("What?", false);
        systemMessages[8] = appendText("You can't do that yet.", false);
        systemMessages[23] = appendText("Restore a game?", false);
        for (int i = 0; i <= 3; i++)
            defineLocation(i, ("Room " + std::to_string(i)).c_str());
    }
    void TearDown() override { freeArena(); }
};

TEST_F(Session, StartGameResetsEveryRunTimeField)
{
    settings.StartLocation = 2;
    settings.MaxItems = 1;
    defineObject(1, "lamp", CARRIED);
    defineObject(2, "cloak", WORN);
    defineObject(3, "stone", 3);
    growObjects(5);                       // rows 4 and 5 stay without a name
    objects[4].initialLocation = CARRIED; // never counted: it has no name
    objects[4].currentLocation = 2;
    objects[1].currentLocation = 0;
    objects[3].currentLocation = CARRIED;
    VarRecord *score = appendVar();
    strcpy(score->name, "score");
    score->value = 9;
    vars[0].value = 4;
    locations[3].currentExits[4] = 1;
    locations[3].currentLight = 0;
    locations[0].currentLight = 1;
    playerLocation = 3;
    carriedCount = 0;
    scriptedInput = {"n"};

    startGame();

    EXPECT_EQ(playerLocation, 2);
    EXPECT_EQ(carriedCount, 2);           // above MaxItems all the same
    EXPECT_EQ(objects[1].currentLocation, CARRIED);
    EXPECT_EQ(objects[2].currentLocation, WORN);
    EXPECT_EQ(objects[3].currentLocation, 3);
    EXPECT_EQ(objects[0].currentLocation, UNCHANGED);
    EXPECT_EQ(objects[4].currentLocation, UNCHANGED);
    EXPECT_EQ(objects[5].currentLocation, UNCHANGED);
    EXPECT_EQ(vars[0].value, 0);
    EXPECT_EQ(vars[1].value, 0);
    for (int l = 0; l <= lastLocation; l++) {
        EXPECT_EQ(locations[l].currentLight, UNCHANGED) << l;
        for (int16_t exit : locations[l].currentExits)
            EXPECT_EQ(exit, UNCHANGED) << l;
    }
    EXPECT_EQ(recorded, "[yesno Restore a game?]\n");
}

TEST_F(Session, RestoreQuestionUsesTheFrontEndsOwnFormWhenUndefined)
{
    systemMessages[23] = 0;
    startGame();
    EXPECT_EQ(recorded, "[yesno null]\n");
}

TEST_F(Session, StartGameRunsTheBeginEventsBeforeTheRestoreQuestion)
{
    defineMessage(1, "Once upon a time.");
    defineMessage(2, "A turn passes.");
    addRule(&events, &eventCount, KIND_IF, {{COND_BEGIN, 0, 0}});
    addRule(&events, &eventCount, KIND_ACTION, {{ACT_MESSAGE, 1, 0}, {ACT_QUIT, 0, 0}});
    addRule(&events, &eventCount, KIND_IF, {{-COND_BEGIN, 0, 0}});
    addRule(&events, &eventCount, KIND_ACTION, {{ACT_MESSAGE, 2, 0}});
    systemMessages[22] = appendText("Which position?", false);
    scriptedInput = {"y", "0"};       // restore, then cancel the position
    startGame();
    EXPECT_EQ(recorded, "Once upon a time.\n[yesno Restore a game?]\n[choice Which position? 9]\n");
}

TEST_F(Session, TurnResultsAndTheFallbackMessages)
{
    settings.StartLocation = 1;
    defineObject(1, "lamp", 1, OBJECT_TAKEABLE);
    objects[1].noun = 5;
    defineMessage(1, "Handled.");
    defineMessage(9, "Noted.");
    systemMessages[10] = appendText("Taken.", false);
    // verb 40 noun 6: matched verb and noun, failed on carried.
    addRule(&actions, &actionCount, KIND_IF, {{COND_VERB, 40, 0}, {COND_NOUN, 6, 0}, {COND_CARRIED, 1, 0}});
    addRule(&actions, &actionCount, KIND_ACTION, {{ACT_MESSAGE, 1, 0}});
    // verb 41: verb on one line, noun and carried on the next.
    addRule(&actions, &actionCount, KIND_IF, {{COND_VERB, 41, 0}});
    addRule(&actions, &actionCount, KIND_AND, {{COND_NOUN, 6, 0}, {COND_CARRIED, 1, 0}});
    addRule(&actions, &actionCount, KIND_ACTION, {{ACT_MESSAGE, 1, 0}});
    // take lamp: a note, then the scan goes on to the built-in take.
    addRule(&actions, &actionCount, KIND_IF, {{COND_VERB, 14, 0}, {COND_NOUN, 5, 0}});
    addRule(&actions, &actionCount, KIND_ACTION, {{ACT_MESSAGE, 9, 0}, {ACT_CONTINUE, 0, 0}});
    // verb 42 is handled; 43 acts and goes on; 44 quits.
    addRule(&actions, &actionCount, KIND_IF, {{COND_VERB, 42, 0}});
    addRule(&actions, &actionCount, KIND_ACTION, {{ACT_MESSAGE, 1, 0}});
    addRule(&actions, &actionCount, KIND_IF, {{COND_VERB, 43, 0}});
    addRule(&actions, &actionCount, KIND_ACTION, {{ACT_CONTINUE, 0, 0}});
    addRule(&actions, &actionCount, KIND_IF, {{COND_VERB, 44, 0}});
    addRule(&actions, &actionCount, KIND_ACTION, {{ACT_QUIT, 0, 0}});
    scriptedInput = {"n"};
    startGame();

    struct Case {
        int verb, noun, result;
        const char *output;
    } cases[] = {
        {40, 6, 0, "You can't do that yet.\n"},
        {41, 6, 0, "What?\n"},
        {14, 5, 1, "Noted.\nTaken.\n"},
        {42, 0, 0, "Handled.\n"},
        {43, 0, 0, ""},                  // actions ran: no fallback message
        {44, 0, GAME_OVER, ""},
        {99, 0, 0, "What?\n"},             // no rule and no built-in case
        {0, 0, 0, "What?\n"},
    };
    for (const Case &c : cases) {
        resetRecording();
        EXPECT_EQ(runTurn(c.verb, c.noun, 0, 0), c.result) << c.verb;
        EXPECT_EQ(recorded, c.output) << c.verb;
    }
    EXPECT_EQ(objects[1].currentLocation, CARRIED);
    EXPECT_EQ(carriedCount, 1);
}

TEST_F(Session, Darkness)
{
    defineLocation(4, "Vault", 1);        // declared dark
    defineObject(1, "torch", 9, OBJECT_LIGHT);
    defineObject(2, "stone", 4);
    struct Case {
        int location;
        int light;                        // currentLight
        int torch;                        // where the torch is
        bool dark;
    } cases[] = {
        {4, UNCHANGED, 9, true},
        {4, UNCHANGED, 4, false},
        {4, UNCHANGED, CARRIED, false},
        {4, UNCHANGED, WORN, false},
        {4, 1, 9, false},                 // lit at run time
        {4, 7, 9, false},
        {1, UNCHANGED, 9, false},         // not declared dark
        {1, 0, 9, true},                  // darkened at run time
        {1, 0, 1, false},
        {1, 0, CARRIED, false},
        {40, UNCHANGED, 9, false},        // outside the table
    };
    for (const Case &c : cases) {
        if (locationExists(c.location))
            locations[c.location].currentLight = static_cast<int16_t>(c.light);
        objects[1].currentLocation = static_cast<int16_t>(c.torch);
        EXPECT_EQ(isDark(c.location), c.dark)
            << "location " << c.location << " light " << c.light << " torch " << c.torch;
    }
    // A torch given no light flag lights nothing.
    objects[1].flags = 0;
    objects[1].currentLocation = CARRIED;
    locations[4].currentLight = UNCHANGED;
    EXPECT_TRUE(isDark(4));
}

TEST_F(Session, RecountCarriedCountsCarriedAndWornNamedObjects)
{
    defineObject(1, "lamp", CARRIED);
    defineObject(2, "cloak", 1);
    defineObject(4, "hat", 2);
    objects[2].currentLocation = WORN;
    objects[4].currentLocation = CARRIED;
    objects[1].currentLocation = UNCHANGED;
    objects[3].initialLocation = CARRIED;  // a row without a name
    carriedCount = 17;
    recountCarried();
    EXPECT_EQ(carriedCount, 3);
}

struct History : ::testing::Test {
    void SetUp() override { resetHistory(); }
    std::string previous()
    {
        char buffer[COMMAND_LIMIT + 1];
        int length = historyPrevious(buffer);
        EXPECT_EQ(length, static_cast<int>(strlen(buffer)));
        return buffer;
    }
    std::string next()
    {
        char buffer[COMMAND_LIMIT + 1];
        int length = historyNext(buffer);
        EXPECT_EQ(length, static_cast<int>(strlen(buffer)));
        return buffer;
    }
};

TEST_F(History, BrowsesBackToTheOldestAndForwardToAnEmptyLine)
{
    EXPECT_EQ(previous(), "");
    EXPECT_EQ(next(), "");
    for (const char *line : {"north", "south", "east"})
        historyAdd(line);
    for (const char *expected : {"east", "south", "north", "north"})
        EXPECT_EQ(previous(), expected);
    for (const char *expected : {"south", "east", "", ""})
        EXPECT_EQ(next(), expected);
    historyAdd("");                       // empty lines are stored too
    EXPECT_EQ(previous(), "");
    EXPECT_EQ(previous(), "east");
}

TEST_F(History, KeepsFifteenEarlierLines)
{
    for (int i = 1; i <= 16; i++)
        historyAdd(("line " + std::to_string(i)).c_str());
    for (int i = 16; i >= 2; i--)
        EXPECT_EQ(previous(), "line " + std::to_string(i));
    EXPECT_EQ(previous(), "line 2");      // line 1 is no longer reachable
    for (int i = 3; i <= 16; i++)
        EXPECT_EQ(next(), "line " + std::to_string(i));
    EXPECT_EQ(next(), "");

    // Forty more lines: the ring goes round and still offers the last 15.
    for (int i = 17; i <= 56; i++)
        historyAdd(("line " + std::to_string(i)).c_str());
    for (int i = 56; i >= 42; i--)
        EXPECT_EQ(previous(), "line " + std::to_string(i));
    EXPECT_EQ(previous(), "line 42");
}

TEST_F(History, StoresAtMost127CharactersAndResets)
{
    std::string longLine(200, 'x');
    historyAdd(longLine.c_str());
    EXPECT_EQ(previous(), std::string(COMMAND_LIMIT, 'x'));
    resetHistory();
    EXPECT_EQ(previous(), "");
    EXPECT_EQ(next(), "");
}

}  // namespace
