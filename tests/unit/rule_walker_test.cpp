// The rule walker: every condition, the and/or chain, blocks, while loops,
// and how the event scan and the action scan end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <string>

#include "core/database/game_database.h"
#include "core/database/rule_code.h"
#include "core/driver/random_numbers.h"
#include "core/interpreter/rule_walker.h"
#include "core/interpreter/session.h"
#include "tests/support/recording_frontend.h"

namespace {

struct Slot {
    int opcode;     // negative = negated
    int a = 0;
    int b = 0;
};

RuleRecord makeRule(char kind, std::initializer_list<Slot> slots = {})
{
    RuleRecord record{};
    record.kind = kind;
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

void addTo(RuleRecord **table, int16_t *count, std::initializer_list<RuleRecord> records)
{
    for (const RuleRecord &r : records)
        *appendRule(table, count) = r;
}

// Shorthands for the records of a rule.
RuleRecord If(std::initializer_list<Slot> s) { return makeRule(KIND_IF, s); }
RuleRecord Or(std::initializer_list<Slot> s) { return makeRule(KIND_OR, s); }
RuleRecord And(std::initializer_list<Slot> s) { return makeRule(KIND_AND, s); }
RuleRecord While(std::initializer_list<Slot> s) { return makeRule(KIND_WHILE, s); }
RuleRecord Do(std::initializer_list<Slot> s) { return makeRule(KIND_ACTION, s); }
RuleRecord Begin() { return makeRule(KIND_BEGIN); }
RuleRecord FBegin() { return makeRule(KIND_FBEGIN); }
RuleRecord SBegin() { return makeRule(KIND_SBEGIN); }
RuleRecord End() { return makeRule(KIND_END); }
Slot Message(int n) { return {ACT_MESSAGE, n}; }
Slot Add(int var, int n) { return {ACT_ADD, var, n}; }

// A small world: locations 0..6 (6 declared dark), objects 1..4, variables
// 1..3, messages 1..20 whose texts are their numbers.
struct Walker : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(allocateArena());
        resetDatabase();
        resetRecording();
        growLocations(6);
        for (int i = 0; i <= 6; i++)
            locations[i].name = appendText(("room " + std::to_string(i)).c_str(), false);
        locations[1].exits[0] = 2;        // north from 1 to 2
        locations[6].flags = 1;
        growObjects(4);
        const int16_t where[] = {0, 1, CARRIED, WORN, 5};
        for (int i = 1; i <= 4; i++) {
            objects[i].name = appendText(("thing " + std::to_string(i)).c_str(), false);
            objects[i].initialLocation = where[i];
            objects[i].noun = static_cast<int16_t>(i);
        }
        for (const char *name : {"score", "count", "other"})
            memcpy(appendVar()->name, name, strlen(name));
        growMessages(20);
        for (int i = 1; i <= 20; i++)
            messages[i] = appendText(std::to_string(i).c_str(), false);
        playerLocation = 1;
        carriedCount = 2;
    }
    void TearDown() override { freeArena(); }

    void events_(std::initializer_list<RuleRecord> r) { addTo(&events, &eventCount, r); }
    void actions_(std::initializer_list<RuleRecord> r) { addTo(&actions, &actionCount, r); }
};

TEST_F(Walker, EventScanRunsEveryRuleButActionScanOnlyTheFirst)
{
    events_({If({{COND_AT, 1}}), Do({Message(1)}), If({{COND_AT, 1}}), Do({Message(2)})});
    actions_({If({{COND_AT, 1}}), Do({Message(1)}), If({{COND_AT, 1}}), Do({Message(2)})});
    EXPECT_EQ(runEvents(0), 1);
    EXPECT_EQ(recorded, "1\n2\n");
    recorded.clear();
    ActionScan scan = scanActions(14, 0, 0, 0);
    EXPECT_EQ(recorded, "1\n");
    EXPECT_FALSE(scan.open);
    EXPECT_TRUE(scan.acted);
}

TEST_F(Walker, ConditionsOnTablesWithNoRows)
{
    resetDatabase();    // no objects, no variables
    growMessages(2);
    messages[1] = appendText("1", false);
    messages[2] = appendText("2", false);
    events_({If({{COND_EQ, 1, 0}}), Do({Message(1)}), If({{-COND_CARRIED, 1}, {-COND_GT, 0, 5}}), Do({Message(2)})});
    EXPECT_EQ(runEvents(0), 1);
    EXPECT_EQ(recorded, "2\n");
}

TEST_F(Walker, ConditionsAndNegation)
{
    vars[1].value = 7;
    vars[2].value = -3;
    carriedCount = 2;
    settings.MaxItems = 3;
    struct Case {
        Slot slot;
        int verb, noun, noun2, noun3, mode;
        int expected;
    } cases[] = {
        {{COND_BEGIN}, 0, 0, 0, 0, 1, 1},
        {{COND_BEGIN}, 0, 0, 0, 0, 0, 0},
        {{COND_VERB, 14}, 14, 0, 0, 0, 0, 1},
        {{COND_VERB, 14}, 15, 0, 0, 0, 0, 0},
        {{COND_NOUN, 5}, 14, 5, 0, 0, 0, 1},
        {{-COND_NOUN, 5}, 14, 0, 0, 0, 0, 1},     // not noun 5 without a noun
        {{COND_NOUN2, 6}, 14, 5, 6, 0, 0, 1},
        {{COND_NOUN3, 7}, 14, 5, 6, 7, 0, 1},
        {{COND_NOUN3, 7}, 14, 5, 7, 0, 0, 0},
        {{COND_ANYNOUN, 6}, 14, 5, 6, 0, 0, 1},
        {{COND_ANYNOUN, 0}, 14, 5, 6, 0, 0, 1},   // an empty noun position
        {{COND_ANYNOUN, 0}, 14, 5, 6, 7, 0, 0},
        {{COND_MOVE, 0}, 3, 0, 0, 0, 0, 1},       // no exit east, still a move
        {{COND_MOVE, 1}, 1, 0, 0, 0, 0, 1},
        {{COND_MOVE, 1}, 3, 0, 0, 0, 0, 0},
        {{COND_MOVE, 2}, 3, 0, 0, 0, 0, 1},
        {{COND_MOVE, 2}, 1, 0, 0, 0, 0, 0},
        {{COND_MOVE, 3}, 1, 0, 0, 0, 0, 0},
        {{COND_MOVE, 0}, 11, 0, 0, 0, 0, 0},
        {{COND_AT, 1}, 0, 0, 0, 0, 0, 1},
        {{COND_AT, 2}, 0, 0, 0, 0, 0, 0},
        {{COND_EXIST, 1}, 0, 0, 0, 0, 0, 1},
        {{COND_EXIST, 99}, 0, 0, 0, 0, 0, 0},
        {{COND_ISIN, 4, 5}, 0, 0, 0, 0, 0, 1},
        {{COND_ISIN, 99, 0}, 0, 0, 0, 0, 0, 1},   // objects outside the table lie nowhere
        {{COND_CARRIED, 2}, 0, 0, 0, 0, 0, 1},
        {{COND_CARRIED, 3}, 0, 0, 0, 0, 0, 0},
        {{COND_WORN, 3}, 0, 0, 0, 0, 0, 1},
        {{COND_OWNED, 2}, 0, 0, 0, 0, 0, 1},
        {{COND_OWNED, 3}, 0, 0, 0, 0, 0, 1},
        {{COND_OWNED, 1}, 0, 0, 0, 0, 0, 0},
        {{COND_HERE, 1}, 0, 0, 0, 0, 0, 1},
        {{COND_HERE, 2}, 0, 0, 0, 0, 0, 0},
        {{COND_PRESENT, 1}, 0, 0, 0, 0, 0, 1},
        {{COND_PRESENT, 3}, 0, 0, 0, 0, 0, 1},
        {{COND_PRESENT, 4}, 0, 0, 0, 0, 0, 0},
        {{-COND_PRESENT, 4}, 0, 0, 0, 0, 0, 1},
        {{COND_DARK, 1}, 0, 0, 0, 0, 0, 0},       // a nonzero operand is never dark
        {{COND_EQ, 1, 7}, 0, 0, 0, 0, 0, 1},
        {{COND_EQ, 1, 8}, 0, 0, 0, 0, 0, 0},
        {{COND_GT, 1, 6}, 0, 0, 0, 0, 0, 1},
        {{COND_GT, 2, 0}, 0, 0, 0, 0, 0, 0},      // signed comparison
        {{COND_LT, 2, 0}, 0, 0, 0, 0, 0, 1},
        {{COND_EQ, 4, 0}, 0, 0, 0, 0, 0, 0},      // no variable 4
        {{COND_EQ, -1, 0}, 0, 0, 0, 0, 0, 0},
        {{-COND_EQ, 4, 0}, 0, 0, 0, 0, 0, 1},
        {{COND_FREE}, 0, 0, 0, 0, 0, 1},
        {{COND_RANDOM, 3, 3}, 0, 0, 0, 0, 0, 1},
        {{COND_RANDOM, 5, -3}, 0, 0, 0, 0, 0, 1},
        {{COND_RANDOM, 0, 3}, 0, 0, 0, 0, 0, 0},
        {{COND_RANDOM, 1, 0}, 0, 0, 0, 0, 0, 0},  // no second operand: never
        {{COND_CONTINUED}, 0, 0, 0, 0, 2, 1},
        {{COND_CONTINUED}, 0, 0, 0, 0, 0, 0},
        {{KIND_UNUSED}, 0, 0, 0, 0, 0, 1},        // unused slot
        {{'Z'}, 0, 0, 0, 0, 0, 1},                // no such condition
    };
    for (const Case &c : cases) {
        RuleRecord record = If({c.slot});
        EXPECT_EQ(evaluateConditions(record, c.verb, c.noun, c.noun2, c.noun3, c.mode), c.expected)
            << "opcode " << c.slot.opcode << " a " << c.slot.a << " b " << c.slot.b;
    }
    carriedCount = 3;
    EXPECT_EQ(evaluateConditions(If({{COND_FREE}}), 0, 0, 0, 0, 0), 0);
}

TEST_F(Walker, MoveReadsRunTimeExitsAndNothingOutsideTheTable)
{
    locations[1].currentExits[2] = 4;     // east opened at run time
    locations[1].currentExits[0] = 0;     // north closed
    EXPECT_EQ(evaluateConditions(If({{COND_MOVE, 1}}), 3, 0, 0, 0, 0), 1);
    EXPECT_EQ(evaluateConditions(If({{COND_MOVE, 2}}), 1, 0, 0, 0, 0), 1);
    playerLocation = 500;
    EXPECT_EQ(evaluateConditions(If({{COND_MOVE, 1}}), 1, 0, 0, 0, 0), 0);
    EXPECT_EQ(evaluateConditions(If({{COND_MOVE, 2}}), 1, 0, 0, 0, 0), 1);
    EXPECT_EQ(evaluateConditions(If({{COND_DARK, 0}}), 0, 0, 0, 0, 0), 0);
}

TEST_F(Walker, DarkAtThePlayersLocationOrInLocationZero)
{
    for (int i = 0; i <= 6; i++)
        locations[i].currentLight = UNCHANGED;
    RuleRecord dark = If({{COND_DARK, 0}});
    playerLocation = 6;                     // declared dark
    EXPECT_EQ(evaluateConditions(dark, 0, 0, 0, 0, 0), 1);
    objects[2].flags = OBJECT_LIGHT;        // a carried light source
    EXPECT_EQ(evaluateConditions(dark, 0, 0, 0, 0, 0), 0);
    objects[2].flags = 0;
    playerLocation = 1;
    EXPECT_EQ(evaluateConditions(dark, 0, 0, 0, 0, 0), 0);
    locations[0].flags = 1;                 // a dark location 0 darkens every test
    EXPECT_EQ(evaluateConditions(dark, 0, 0, 0, 0, 0), 1);
}

TEST_F(Walker, RandomIsTrueAboutAsOftenAsItsOdds)
{
    seedRandom(12345);
    RuleRecord record = If({{COND_RANDOM, 1, 2}});
    int hits = 0;
    for (int i = 0; i < 2000; i++)
        hits += evaluateConditions(record, 0, 0, 0, 0, 0);
    EXPECT_GT(hits, 850);
    EXPECT_LT(hits, 1150);
}

TEST_F(Walker, MismatchNeedsVerbAndNounOnTheSameRecord)
{
    // Verb 14, noun 5 typed; object 1 is not carried.
    EXPECT_EQ(evaluateConditions(If({{COND_VERB, 14}, {COND_NOUN, 5}, {COND_CARRIED, 1}}), 14, 5, 0, 0, 0),
              -1);
    EXPECT_EQ(evaluateConditions(If({{-COND_VERB, 14}, {COND_NOUN, 5}}), 14, 5, 0, 0, 0), -1);
    EXPECT_EQ(evaluateConditions(If({{COND_VERB, 14}, {COND_NOUN, 6}}), 14, 5, 0, 0, 0), 0);

    actions_({If({{COND_VERB, 14}, {COND_NOUN, 5}, {COND_CARRIED, 1}}), Do({Message(1)})});
    ActionScan scan = scanActions(14, 5, 0, 0);
    EXPECT_TRUE(scan.open);
    EXPECT_TRUE(scan.mismatch);
    EXPECT_FALSE(scan.acted);

    actionCount = 0;
    actions_({If({{COND_VERB, 14}}), And({{COND_NOUN, 5}, {COND_CARRIED, 1}}), Do({Message(1)})});
    scan = scanActions(14, 5, 0, 0);
    EXPECT_TRUE(scan.open);
    EXPECT_FALSE(scan.mismatch);
}

TEST_F(Walker, AndOrApplyInLineOrder)
{
    struct Case {
        bool p, q, r;
        bool runs;
    } cases[] = {
        {true, false, true, true}, {false, true, true, true}, {true, true, false, false},
        {false, false, true, false},
    };
    for (const Case &c : cases) {
        eventCount = 0;
        recorded.clear();
        auto test = [](bool t) { return Slot{COND_AT, t ? 1 : 2}; };
        // if P, or Q, and R = (P or Q) and R
        events_({If({test(c.p)}), Or({test(c.q)}), And({test(c.r)}), Do({Message(1)})});
        runEvents(0);
        EXPECT_EQ(recorded, c.runs ? "1\n" : "") << c.p << c.q << c.r;
    }
}

TEST_F(Walker, ActionLineAfterARuleRunsUnconditionally)
{
    events_({If({{COND_AT, 2}}), Do({Message(1)}), Do({Message(2)})});
    runEvents(0);
    EXPECT_EQ(recorded, "2\n");
}

// How each block form ends the action scan.
TEST_F(Walker, BlockFormsInTheActionScan)
{
    struct Case {
        const char *name;
        std::initializer_list<RuleRecord> rules;
        const char *output;
        bool open;
    };
    const Case cases[] = {
        {"begin runs every inner rule, then stops at its end",
         {If({{COND_AT, 1}}), Begin(), Do({Message(1)}), Do({Message(2)}), End(), Do({Message(3)})},
         "1\n2\n", false},
        {"begin where nothing acted goes on",
         {If({{COND_AT, 1}}), Begin(), If({{COND_AT, 2}}), Do({Message(1)}), End(), Do({Message(3)})},
         "3\n", false},
        {"a begin block not entered is passed over",
         {If({{COND_AT, 2}}), Begin(), Do({Message(1)}), End(), If({{COND_AT, 2}}), Do({Message(3)})},
         "", true},
        {"fbegin stops at its end even when nothing acted",
         {If({{COND_AT, 1}}), FBegin(), If({{COND_AT, 2}}), Do({Message(1)}), End(), Do({Message(3)})},
         "", false},
        {"sbegin stops at its first action line",
         {If({{COND_AT, 1}}), SBegin(), Do({Message(1)}), Do({Message(2)}), End(), Do({Message(3)})},
         "1\n", false},
        {"a nested block end does not stop the scan",
         {Begin(), Begin(), Do({Message(1)}), End(), Do({Message(2)}), End(), Do({Message(3)})},
         "1\n2\n", false},
        {"an action line directly inside sbegin, not in a block nested in it",
         {SBegin(), Begin(), Do({Message(1)}), End(), Do({Message(2)}), Do({Message(3)}), End()},
         "1\n2\n", false},
        {"an end at level 0 is ignored",
         {End(), If({{COND_AT, 2}}), Do({Message(1)}), End()},
         "", true},
    };
    for (const Case &c : cases) {
        actionCount = 0;
        recorded.clear();
        addTo(&actions, &actionCount, c.rules);
        ActionScan scan = scanActions(14, 0, 0, 0);
        EXPECT_EQ(recorded, c.output) << c.name;
        EXPECT_EQ(scan.open, c.open) << c.name;
    }
}

TEST_F(Walker, BlocksInTheEventScanNeverEndIt)
{
    events_({FBegin(), Do({Message(1)}), End(), SBegin(), Do({Message(2)}), Do({Message(3)}), End(),
             If({{COND_AT, 2}}), Begin(), Do({Message(4)}), End(), Do({Message(5)})});
    runEvents(0);
    EXPECT_EQ(recorded, "1\n2\n3\n5\n");
}

TEST_F(Walker, BlocksNestSixteenDeepAtMost)
{
    // Sixteen opens: the innermost is part of level 15, so its end closes
    // level 15 and the fifteenth end after it closes level 1, ending the scan.
    RuleRecord table[40];
    int n = 0;
    for (int i = 0; i < 16; i++)
        table[n++] = Begin();
    table[n++] = Do({Message(1)});
    table[n++] = End();
    table[n++] = Do({Message(2)});  // level 14
    for (int i = 0; i < 13; i++)
        table[n++] = End();
    table[n++] = Do({Message(3)});  // level 1
    table[n++] = End();
    table[n++] = Do({Message(4)});
    for (int i = 0; i < n; i++)
        *appendRule(&actions, &actionCount) = table[i];
    ActionScan scan = scanActions(14, 0, 0, 0);
    EXPECT_EQ(recorded, "1\n2\n3\n");
    EXPECT_FALSE(scan.open);
}

TEST_F(Walker, WhileRepeatsItsActionLineOrBlock)
{
    // while count < 5: add count 1 (and show it)
    for (bool block : {false, true}) {
        for (bool eventTable : {false, true}) {
            vars[2].value = 0;
            recorded.clear();
            RuleRecord **table = eventTable ? &events : &actions;
            int16_t *count = eventTable ? &eventCount : &actionCount;
            *count = 0;
            if (block)
                addTo(table, count, {While({{COND_LT, 2, 5}}), Begin(), Do({Add(2, 1)}), Do({Message(9)}),
                                     End(), If({{COND_AT, 1}}), Do({Message(1)})});
            else
                addTo(table, count, {While({{COND_LT, 2, 5}}), Do({Add(2, 1), Message(9)}),
                                     If({{COND_AT, 1}}), Do({Message(1)})});
            if (eventTable)
                runEvents(0);
            else
                scanActions(14, 0, 0, 0);
            EXPECT_EQ(vars[2].value, 5) << block << eventTable;
            EXPECT_EQ(recorded, "9\n9\n9\n9\n9\n1\n") << block << eventTable;
        }
    }
}

TEST_F(Walker, BreakEndsTheRepetition)
{
    // while score < 100 { add score 1; if score = 3 { break } }: stops at 3.
    for (bool eventTable : {false, true}) {
        vars[1].value = 0;
        recorded.clear();
        RuleRecord **table = eventTable ? &events : &actions;
        int16_t *count = eventTable ? &eventCount : &actionCount;
        *count = 0;
        addTo(table, count, {While({{COND_LT, 1, 100}}), Begin(), Do({Add(1, 1)}), If({{COND_EQ, 1, 3}}),
                             Do({{ACT_BREAK}}), Do({Message(7)}), End(), Do({Message(8)})});
        if (eventTable)
            runEvents(0);
        else
            scanActions(14, 0, 0, 0);
        EXPECT_EQ(vars[1].value, 3) << eventTable;
        EXPECT_EQ(recorded, "7\n7\n8\n") << eventTable;
    }
}

// A finished while loop leaves no mark behind: later action lines or blocks of
// its level run once and never send the walk back to it.
TEST_F(Walker, FinishedLoopDoesNotRepeatLaterLines)
{
    struct Case {
        const char *name;
        std::initializer_list<RuleRecord> rules;
        const char *output;
    };
    const Case cases[] = {
        {"bare action line after a finished while",
         {While({{COND_LT, 2, 2}}), Do({Add(2, 1)}), Do({Message(1)}), Do({Message(2)})}, "1\n2\n"},
        {"block without an if after a finished while",
         {While({{COND_LT, 2, 2}}), Do({Add(2, 1)}), Begin(), Do({Message(1)}), End(), Do({Message(2)})},
         "1\n2\n"},
        {"while that never held",
         {While({{COND_AT, 2}}), Do({Message(1)}), Do({Message(2)}), Begin(), Do({Message(3)}), End()},
         "2\n3\n"},
        {"action line after a loop left by break",
         {While({{COND_AT, 1}}), Begin(), Do({{ACT_BREAK}}), End(), Do({Message(1)}), Do({Message(2)})},
         "1\n2\n"},
        {"while inside a block does not reach into a later block",
         {Begin(), While({{COND_LT, 2, 2}}), Do({Add(2, 1)}), End(), Begin(), Do({Message(1)}), End()},
         "1\n"},
    };
    for (const Case &c : cases) {
        eventCount = 0;
        vars[2].value = 0;
        recorded.clear();
        addTo(&events, &eventCount, c.rules);
        runEvents(0);
        EXPECT_EQ(recorded, c.output) << c.name;
    }
}

TEST_F(Walker, TopLevelBreakEndsALoopInTheActionScan)
{
    // The break line does not stop the scan; the next line does, and must
    // not send the walk back into the loop.
    actions_({While({{COND_AT, 1}}), Do({{ACT_BREAK}, Message(1)}), Do({Message(2)}), Do({Message(3)})});
    ActionScan scan = scanActions(14, 0, 0, 0);
    EXPECT_EQ(recorded, "1\n2\n");
    EXPECT_FALSE(scan.open);
}

// A scan ends as if halted only when its work reaches the bound: an endless
// loop is cut, with the objects moveall looks at counted as work; a loop of
// a million rounds that ends by itself runs to its end.
TEST_F(Walker, OnlyEndlessLoopsAreCutOff)
{
    setScanWorkLimit(1000000);
    events_({While({{COND_AT, 1}}), Do({Add(1, 1)}), Do({Message(1)})});
    EXPECT_EQ(runEvents(0), 1);
    EXPECT_EQ(recorded, "");      // the scan was ended inside the loop
    actions_({While({{COND_AT, 1}}), Do({Add(1, 1)}), Do({Message(1)})});
    ActionScan scan = scanActions(14, 0, 0, 0);
    EXPECT_FALSE(scan.open);

    growObjects(200);
    for (int i = 5; i <= 200; i++)
        objects[i].name = appendText("more", false);
    eventCount = 0;
    vars[3].value = 0;
    events_({While({{COND_AT, 1}}), Begin(),
             Do({Add(3, 1), {ACT_MOVEALL, 1, 2}, {ACT_MOVEALL, 2, 1}, {ACT_MOVEALL, 1, 2}, {ACT_MOVEALL, 2, 1},
                 {ACT_MOVEALL, 1, 2}, {ACT_MOVEALL, 2, 1}, {ACT_MOVEALL, 1, 2}, {ACT_MOVEALL, 2, 1},
                 {ACT_MOVEALL, 1, 2}, {ACT_MOVEALL, 2, 1}, {ACT_MOVEALL, 1, 2}, {ACT_MOVEALL, 2, 1},
                 {ACT_MOVEALL, 1, 2}, {ACT_MOVEALL, 2, 1}, {ACT_MOVEALL, 1, 2}}),
             End()});
    runEvents(0);
    EXPECT_GT(vars[3].value, 100);
    EXPECT_LT(vars[3].value, 400);   // about 2,800 objects looked at a round

    setScanWorkLimit(0);
    eventCount = 0;
    recorded.clear();
    events_({Do({{ACT_SET, 1, 0}}), While({{COND_LT, 1, 1001}}), Begin(),
             Do({Add(1, 1), {ACT_SET, 2, 0}}), While({{COND_LT, 2, 1000}}), Do({Add(2, 1)}), End(),
             Do({Message(1)})});
    EXPECT_EQ(runEvents(0), 1);
    EXPECT_EQ(recorded, "1\n");
    EXPECT_EQ(vars[1].value, 1001);
    EXPECT_EQ(vars[2].value, 1000);
}

TEST_F(Walker, ContinueLetsTheScanGoOn)
{
    // verb 14 noun 5: message 9, continue; the next rule sees continued.
    actions_({If({{COND_VERB, 14}, {COND_NOUN, 5}}), Do({Message(9), {ACT_CONTINUE}}),
              If({{COND_CONTINUED}}), Do({Message(10), {ACT_CONTINUE}}), If({{COND_VERB, 99}}),
              Do({Message(11)})});
    ActionScan scan = scanActions(14, 5, 0, 0);
    EXPECT_EQ(recorded, "9\n10\n");
    EXPECT_TRUE(scan.open);
    EXPECT_TRUE(scan.acted);

    // A begin block that closes in continued mode does not stop the scan, and
    // its end turns continued mode off.
    actionCount = 0;
    recorded.clear();
    actions_({Begin(), Do({Message(1), {ACT_CONTINUE}}), End(), If({{COND_CONTINUED}}), Do({Message(2)}),
              Do({Message(3)})});
    scan = scanActions(14, 0, 0, 0);
    EXPECT_EQ(recorded, "1\n3\n");
    EXPECT_FALSE(scan.open);
}

TEST_F(Walker, HaltQuitAndBreak)
{
    struct Case {
        const char *name;
        std::initializer_list<RuleRecord> rules;
        const char *eventOutput;
        int eventResult;
        const char *actionOutput;
        bool actionOpen;
        int actionValue;
    };
    const Case cases[] = {
        {"halt", {Do({{ACT_HALT}, Message(1)}), Do({Message(2)})}, "1\n", 1, "1\n", false, 1},
        {"quit", {Do({{ACT_QUIT}, Message(1)}), Do({Message(2)})}, "1\n", -1, "1\n", false, -1},
        {"break at the top level", {Do({{ACT_BREAK}, Message(1)}), Do({Message(2)})}, "1\n2\n", 1, "1\n2\n",
         false, 1},
        {"break inside a block",
         {Begin(), Do({{ACT_BREAK}}), Do({Message(1)}), End(), Do({Message(2)})}, "2\n", 1, "2\n", false, 1},
        {"halt inside a loop", {While({{COND_AT, 1}}), Do({{ACT_HALT}}), Do({Message(1)})}, "", 1, "", false,
         1},
    };
    for (const Case &c : cases) {
        eventCount = actionCount = 0;
        addTo(&events, &eventCount, c.rules);
        addTo(&actions, &actionCount, c.rules);
        recorded.clear();
        EXPECT_EQ(runEvents(0), c.eventResult) << c.name;
        EXPECT_EQ(recorded, c.eventOutput) << c.name;
        recorded.clear();
        ActionScan scan = scanActions(14, 0, 0, 0);
        EXPECT_EQ(recorded, c.actionOutput) << c.name;
        EXPECT_EQ(scan.open, c.actionOpen) << c.name;
        EXPECT_EQ(scan.runningValue, c.actionValue) << c.name;
    }
}

TEST_F(Walker, BeginIsTrueOnlyInTheStartScan)
{
    events_({If({{COND_BEGIN}}), Do({Message(1)}), If({{COND_CONTINUED}}), Do({Message(2)})});
    runEvents(1);
    runEvents(0);
    runEvents(5);   // counts as the start scan
    EXPECT_EQ(recorded, "1\n1\n");
}

}  // namespace
