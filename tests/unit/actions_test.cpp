// Action execution and the built-in verbs: every action, the target
// location, operands outside their tables, every built-in verb's success and
// failure, and carriedCount after each of them.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "core/database/game_database.h"
#include "core/database/rule_code.h"
#include "core/interpreter/actions.h"
#include "core/interpreter/listings.h"
#include "core/interpreter/rule_walker.h"
#include "core/interpreter/session.h"
#include "tests/support/recording_frontend.h"

namespace {

struct Slot {
    int opcode;
    int a = 0;
    int b = 0;
};

RuleRecord act(std::initializer_list<Slot> slots)
{
    RuleRecord record{};
    record.kind = KIND_ACTION;
    for (signed char &op : record.opcodes)
        op = KIND_UNUSED;
    int i = 0;
    for (const Slot &s : slots) {
        record.opcodes[i] = static_cast<signed char>(s.opcode);
        record.firstOperands[i] = static_cast<int16_t>(s.a);
        record.secondOperands[i] = static_cast<int16_t>(s.b);
        i++;
    }
    return record;
}

int heldObjects()
{
    int held = 0;
    for (int i = 1; i <= lastObject; i++)
        if (objectExists(i) && (objectLocation(i) == CARRIED || objectLocation(i) == WORN))
            held++;
    return held;
}

// Locations 1..9 (location 0 left unnamed, so showing a location lists
// nothing), objects 1..6, variables 1..2, messages and system messages whose
// texts are M<n> and S<n>, shows 1..2.
struct Actions : ::testing::Test {
    void SetUp() override
    {
        freeArena();    // some tests start over within the test
        ASSERT_TRUE(allocateArena());
        resetDatabase();
        resetRecording();
        growLocations(9);
        for (int i = 1; i <= 9; i++)
            locations[i].name = appendText(("room " + std::to_string(i)).c_str(), false);
        locations[1].exits[0] = 2;   // north to 2
        locations[2].exits[1] = 1;   // south to 1
        locations[3].exits[0] = 6;
        locations[4].exits[2] = 6;
        struct {
            int16_t location, flags, noun;
        } declared[] = {{0, 0, 0}, {1, 1, 11}, {CARRIED, 1, 12}, {WORN, 3, 13},
                        {4, 1, 14},  {1, 0, 15}, {CARRIED, 2, 16}};
        growObjects(6);
        for (int i = 1; i <= 6; i++) {
            objects[i].name = appendText(("thing " + std::to_string(i)).c_str(), false);
            objects[i].initialLocation = declared[i].location;
            objects[i].flags = declared[i].flags;
            objects[i].noun = declared[i].noun;
        }
        objects[1].description = appendText("A plain thing.", false);
        for (const char *name : {"score", "answer"})
            memcpy(appendVar()->name, name, strlen(name));
        growMessages(5);
        for (int i = 1; i <= 5; i++)
            messages[i] = appendText(("M" + std::to_string(i)).c_str(), false);
        for (int i = 1; i < SYSTEM_MESSAGE_COUNT; i++)
            systemMessages[i] = appendText(("S" + std::to_string(i)).c_str(), false);
        growShows(2);
        shows[1].text = appendText("Once upon a time.", false);
        shows[1].picture = appendText("intro.png", false);
        playerLocation = 1;
        carriedCount = 3;
        settings.MaxItems = 4;
    }
    void TearDown() override { freeArena(); }

    int run(std::initializer_list<Slot> slots)
    {
        int result = executeActions(act(slots));
        EXPECT_EQ(carriedCount, heldObjects()) << "after actions";
        return result;
    }
    int verb(int v, int n = 0)
    {
        int result = runBuiltinVerb(v, n);
        EXPECT_EQ(carriedCount, heldObjects()) << "after verb " << v << " " << n;
        return result;
    }
};

TEST_F(Actions, ObjectMovesKeepTheCarriedCount)
{
    struct Case {
        const char *name;
        std::initializer_list<Slot> slots;
        int object, location;       // one object's location afterwards
        int carried;
    } cases[] = {
        {"create at the player", {{ACT_CREATE, 4}}, 4, 1, 3},
        {"create a carried object", {{ACT_CREATE, 2}}, 2, 1, 2},
        {"destroy", {{ACT_DESTROY, 3}}, 3, 0, 2},
        {"get above MaxItems", {{ACT_GET, 1}, {ACT_GET, 4}}, 4, CARRIED, 5},
        {"wear a carried object", {{ACT_WEAR, 2}}, 2, WORN, 3},
        {"wear an object lying here", {{ACT_WEAR, 1}}, 1, WORN, 4},
        {"put", {{ACT_PUT, 2, 7}}, 2, 7, 2},
        {"put into the hands", {{ACT_PUT, 4, CARRIED}}, 4, CARRIED, 4},
        {"put to UNCHANGED reads as declared", {{ACT_PUT, 1, 5}, {ACT_PUT, 1, UNCHANGED}}, 1, 1, 3},
        {"moveall carried (not worn) to 9", {{ACT_MOVEALL, CARRIED, 9}}, 6, 9, 1},
        {"moveall from the player's location", {{ACT_MOVEALL, 0, CARRIED}}, 5, CARRIED, 5},
        {"swap carried with one in location 4", {{ACT_SWAP, 2, 4}}, 4, CARRIED, 3},
    };
    for (const Case &c : cases) {
        SetUp();
        run(c.slots);
        EXPECT_EQ(objectLocation(c.object), c.location) << c.name;
        EXPECT_EQ(carriedCount, c.carried) << c.name;
    }
    SetUp();
    run({{ACT_SWAP, 2, 4}});
    EXPECT_EQ(objectLocation(2), 4);
}

TEST_F(Actions, TargetLocation)
{
    run({{ACT_AT, 7}, {ACT_CREATE, 4}, {ACT_CREATE, 2}});
    EXPECT_EQ(objectLocation(4), 7);
    EXPECT_EQ(objectLocation(2), 1);

    run({{ACT_GO, 5}, {ACT_CREATE, 2}, {ACT_EXIT, 3, 8}});
    EXPECT_EQ(playerLocation, 5);
    EXPECT_EQ(objectLocation(2), 5);
    EXPECT_EQ(locationExit(5, 3), 8);
    EXPECT_EQ(recorded, "[location 5 0]\n");

    run({{ACT_AT, 3}, {ACT_EXIT, 1, 0}, {ACT_EXIT, 2, 4}});
    EXPECT_EQ(locationExit(3, 1), 0);
    EXPECT_EQ(locationExit(5, 2), 4);   // back at the player's location
}

TEST_F(Actions, ExitsAndLight)
{
    run({{ACT_SUBST, 6, 0}});
    EXPECT_EQ(locationExit(3, 1), 0);
    EXPECT_EQ(locationExit(4, 3), 0);
    run({{ACT_SUBST, 0, 6}});         // exits to the player's location 1
    EXPECT_EQ(locationExit(2, 2), 6);
    EXPECT_EQ(locationExit(1, 1), 2);

    run({{ACT_LIGHT, 0}});
    EXPECT_EQ(locations[1].currentLight, 0);
    run({{ACT_AT, 3}, {ACT_LIGHT, 0}});
    EXPECT_EQ(locations[3].currentLight, 0);
    run({{ACT_LIGHT, 3, 1}});
    EXPECT_EQ(locations[3].currentLight, 3);
    run({{ACT_LIGHT, 0, 1}});
    EXPECT_EQ(locations[0].currentLight, 0);
}

TEST_F(Actions, OutputAndQuestions)
{
    scriptedInput = {"", "3", "y"};
    run({{ACT_MESSAGE, 2}, {ACT_SYSMSG, 4}, {ACT_SHOW, 1}, {ACT_PAUSE, 500}, {ACT_CLS}, {ACT_REDESC},
         {ACT_MCHOICHE, 1, 3}, {ACT_BCHOICHE, 2}});
    EXPECT_EQ(recorded,
              "M2\nS4\nOnce upon a time.\n[picture intro.png]\n[wait 500]\n[cls]\n[location 1 1]\n"
              "[choice null 3]\n[yesno null]\n");
    EXPECT_EQ(vars[1].value, 3);
    EXPECT_EQ(vars[2].value, 1);
}

TEST_F(Actions, Variables)
{
    run({{ACT_SET, 1, 1}, {ACT_SET, 2, 9}, {ACT_SET, 2, 0}});
    EXPECT_EQ(vars[1].value, 1);
    EXPECT_EQ(vars[2].value, 0);
    run({{ACT_SET, 1, 32767}, {ACT_ADD, 1, 1}});
    EXPECT_EQ(vars[1].value, -32768);
    run({{ACT_SUB, 1, 1}, {ACT_SUB, 2, 5}});
    EXPECT_EQ(vars[1].value, 32767);
    EXPECT_EQ(vars[2].value, -5);
}

TEST_F(Actions, ResultsAndAllSlotsRun)
{
    EXPECT_EQ(run({{ACT_QUIT}, {ACT_MESSAGE, 3}}), RESULT_QUIT);
    EXPECT_EQ(recorded, "M3\n");
    EXPECT_EQ(run({{ACT_HALT}, {ACT_CONTINUE}}), RESULT_CONTINUE);
    EXPECT_EQ(run({{ACT_CONTINUE}, {ACT_HALT}}), RESULT_HALT);
    EXPECT_EQ(run({{ACT_BREAK}}), RESULT_BREAK);
    EXPECT_EQ(run({{ACT_MESSAGE, 1}}), RESULT_NORMAL);
    // A negated opcode and a condition letter do nothing.
    recorded.clear();
    EXPECT_EQ(run({{-ACT_MESSAGE, 1}, {COND_GT, 1}, {-ACT_QUIT}}), RESULT_NORMAL);
    EXPECT_EQ(recorded, "");
}

TEST_F(Actions, OperandsOutsideTheirTablesDoNothing)
{
    scriptedInput = {"2", "y"};
    run({{ACT_CREATE, 0},     {ACT_CREATE, 99},  {ACT_GET, -1},     {ACT_DESTROY, 7},
         {ACT_PUT, 32000, 1}, {ACT_SWAP, 2, 99}, {ACT_GO, 10},      {ACT_GO, -1},
         {ACT_AT, 99},        {ACT_EXIT, 1, 5},  {ACT_EXIT, 11, 5}, {ACT_EXIT, 0, 5},
         {ACT_LIGHT, 99, 1},  {ACT_MESSAGE, 6},  {ACT_SYSMSG, 32},  {ACT_SHOW, 3}});
    run({{ACT_SET, 3, 1}, {ACT_ADD, -1, 1}, {ACT_MCHOICHE, 9, 3}, {ACT_BCHOICHE, 300}, {ACT_AT, 12},
         {ACT_LIGHT, 0}});
    EXPECT_EQ(playerLocation, 1);
    EXPECT_EQ(objectLocation(2), CARRIED);
    EXPECT_EQ(carriedCount, 3);
    EXPECT_EQ(locationExit(1, 1), 2);
    EXPECT_EQ(recorded, "");
    EXPECT_EQ(scriptedInput.size(), 2u);    // no question was asked

    // After the player is put outside the table (a restored file may do
    // that), every action and verb still stays inside it.
    playerLocation = 200;
    run({{ACT_CREATE, 1}, {ACT_EXIT, 1, 3}, {ACT_LIGHT, 0}, {ACT_REDESC}, {ACT_SUBST, 0, 5}});
    EXPECT_EQ(objectLocation(1), 200);
    EXPECT_EQ(recorded, "");
    for (int v : {1, 11, 12, 13, 14, 15})
        verb(v, v >= 13 ? 11 : 0);
}

TEST_F(Actions, Movement)
{
    EXPECT_EQ(verb(1), 1);
    EXPECT_EQ(playerLocation, 2);
    EXPECT_EQ(recorded, "S10\n[location 2 0]\n");
    recorded.clear();
    EXPECT_EQ(verb(3), 1);
    EXPECT_EQ(playerLocation, 2);
    EXPECT_EQ(recorded, "S5\n");
    locations[2].currentExits[2] = 9;   // opened at run time
    recorded.clear();
    EXPECT_EQ(verb(3), 1);
    EXPECT_EQ(playerLocation, 9);
}

TEST_F(Actions, BuiltinVerbs)
{
    struct Case {
        const char *name;
        int verb, noun;
        int result;
        const char *output;
    } cases[] = {
        {"inventory", 11, 0, 1, nullptr},   // whatever the inventory listing writes
        {"look", 12, 0, 1, "[location 1 1]\n"},
        {"examine here", 13, 11, 1, "A plain thing.\n"},
        {"examine carried, no description", 13, 12, 1, "S7\n"},
        {"examine elsewhere", 13, 14, 1, "S2\n"},
        {"examine a noun no object has", 13, 40, 0, ""},
        {"take", 14, 11, 1, "S10\n"},
        {"take, not takeable", 14, 15, 1, "S3\n"},
        {"take, already carried", 14, 12, 1, "S2\n"},
        {"take, elsewhere", 14, 14, 1, "S2\n"},
        {"drop", 15, 12, 1, "S10\n"},
        {"drop worn puts it down", 15, 13, 1, "S10\n"},
        {"drop, not droppable", 15, 16, 1, "S3\n"},
        {"drop, not carried", 15, 11, 1, "S2\n"},
        {"wear", 16, 16, 1, "S10\n"},
        {"wear, not wearable", 16, 12, 1, "S3\n"},
        {"wear, already worn", 16, 13, 1, "S3\n"},
        {"wear, not carried", 16, 11, 1, "S3\n"},
        {"remove", 17, 13, 1, "S10\n"},
        {"remove, not worn", 17, 16, 1, "S3\n"},
        {"verb 18", 18, 0, 1, "S9\n"},
        {"look with a noun", 12, 11, 0, ""},
        {"move with a noun", 1, 11, 0, ""},
        {"examine without a noun", 13, 0, 0, ""},
        {"verb 19", 19, 0, 0, ""},
        {"verb 20", 20, 0, 0, ""},
        {"verb 24", 24, 0, 0, ""},
        {"inventory with a noun", 11, 11, 0, ""},
    };
    for (const Case &c : cases) {
        SetUp();
        std::string expected = c.output ? c.output : "";
        if (!c.output) {
            listInventory();
            expected = recorded;
            recorded.clear();
        }
        EXPECT_EQ(verb(c.verb, c.noun), c.result) << c.name;
        EXPECT_EQ(recorded, expected) << c.name;
    }

    SetUp();
    verb(15, 13);
    EXPECT_EQ(objectLocation(3), 1);
    EXPECT_EQ(carriedCount, 2);
    verb(16, 16);
    EXPECT_EQ(objectLocation(6), WORN);
    EXPECT_EQ(carriedCount, 2);         // a worn object still counts
    // A remove whose object lacks the wear flag: put one on by an action.
    run({{ACT_WEAR, 2}});
    recorded.clear();
    verb(17, 12);
    EXPECT_EQ(recorded, "S3\n");
    EXPECT_EQ(objectLocation(2), WORN);
}

TEST_F(Actions, TakeRespectsMaxItemsAndFindsTheObjectHere)
{
    settings.MaxItems = 3;
    EXPECT_EQ(verb(14, 11), 1);
    EXPECT_EQ(recorded, "S4\n");
    EXPECT_EQ(objectLocation(1), 1);

    // Two objects named alike, the lower-numbered elsewhere: the one where
    // the player is is taken.
    objects[4].initialLocation = 2;
    objects[5].noun = 14;
    objects[5].flags = 1;
    objects[5].initialLocation = 5;
    settings.MaxItems = 9;
    playerLocation = 5;
    recorded.clear();
    verb(14, 14);
    EXPECT_EQ(objectLocation(5), CARRIED);
    EXPECT_EQ(objectLocation(4), 2);
    playerLocation = 7;
    recorded.clear();
    verb(14, 14);
    EXPECT_EQ(recorded, "S2\n");
}

TEST_F(Actions, SaveRestoreAndQuitQuestions)
{
    struct Case {
        const char *name;
        int verb;
        std::initializer_list<const char *> answers;
        int result;
        const char *output;
    } cases[] = {
        {"save cancelled", 21, {""}, 2, "[choice S21 9]\n"},
        {"restore cancelled still redescribes", 22, {""}, 2, "[choice S22 9]\n[location 1 1]\n"},
        {"quit declined", 23, {"n"}, 2, "[yesno S24]\n"},
        {"quit without saving", 23, {"y", "n"}, -1, "[yesno S24]\n[yesno S25]\n"},
        {"quit with a save that is cancelled", 23, {"y", "y", ""}, -1,
         "[yesno S24]\n[yesno S25]\n[choice S21 9]\n"},
    };
    for (const Case &c : cases) {
        SetUp();
        for (const char *answer : c.answers)
            scriptedInput.push_back(answer);
        EXPECT_EQ(verb(c.verb), c.result) << c.name;
        EXPECT_EQ(recorded, c.output) << c.name;
        EXPECT_TRUE(scriptedInput.empty()) << c.name;
    }
    // Undefined questions are asked in the front end's own form.
    SetUp();
    systemMessages[24] = 0;
    scriptedInput = {"n"};
    EXPECT_FALSE(confirmQuit());
    EXPECT_EQ(recorded, "[yesno null]\n");
}

}  // namespace
