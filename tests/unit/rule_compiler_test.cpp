// The rule compiler: the record kinds, block words, keywords, operands and
// names that rule lines compile to, and the limits of a line and a table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/compiler/declaration_sections.h"
#include "core/compiler/rule_compiler.h"
#include "core/database/game_database.h"
#include "core/database/rule_code.h"

namespace {

struct Slot {
    int opcode;
    int first;
    int second;
    bool operator==(const Slot &other) const = default;
};

std::ostream &operator<<(std::ostream &out, const Slot &slot)
{
    if (slot.opcode < 0)
        out << "-";
    return out << "'" << static_cast<char>(slot.opcode < 0 ? -slot.opcode : slot.opcode) << "'("
               << slot.first << "," << slot.second << ")";
}

// The used slots of a record; every slot after them must be unused.
std::vector<Slot> slotsOf(const RuleRecord &record)
{
    std::vector<Slot> slots;
    int k = 0;
    for (; k < RULE_SLOTS && record.opcodes[k] != KIND_UNUSED; k++)
        slots.push_back({record.opcodes[k], record.firstOperands[k], record.secondOperands[k]});
    for (; k < RULE_SLOTS; k++) {
        EXPECT_EQ(record.opcodes[k], KIND_UNUSED) << k;
        EXPECT_EQ(record.firstOperands[k], 0) << k;
        EXPECT_EQ(record.secondOperands[k], 0) << k;
    }
    return slots;
}

struct RuleCompiler : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(allocateArena());
        resetDatabase();
        resetDeclarationState();
        parseWordLine("#14,take,get", VERB_TABLE);
        parseWordLine("#7,lamp", NOUN_TABLE);
        parseVarsLine("a,b,c,score,count,at");    // score = 4, count = 5, at = 6
    }
    void TearDown() override { freeArena(); }

    // Compiles a line into the table and returns the appended record.
    static RuleRecord compile(const char *text, RuleTable table = ACTION_TABLE)
    {
        std::string line = text;
        int16_t &count = table == EVENT_TABLE ? eventCount : actionCount;
        int before = count;
        EXPECT_EQ(compileRuleLine(line.data(), table), 0) << text;
        EXPECT_EQ(count, before + 1) << text;
        if (count != before + 1)
            return RuleRecord{};
        return (table == EVENT_TABLE ? events : actions)[count - 1];
    }
};

constexpr int NOT = -1;
constexpr int neg(int c) { return NOT * c; }

struct Case {
    const char *line;
    char kind;
    std::vector<Slot> slots;
};

void expectCases(const std::vector<Case> &cases, RuleTable table)
{
    for (const Case &c : cases) {
        RuleRecord record = RuleCompiler::compile(c.line, table);
        EXPECT_EQ(record.kind, c.kind) << c.line;
        EXPECT_EQ(slotsOf(record), c.slots) << c.line;
    }
}

TEST_F(RuleCompiler, ConditionLines)
{
    expectCases({
        {"if verb take noun lamp", KIND_IF, {{COND_VERB, 14, 0}, {COND_NOUN, 7, 0}}},
        {"If Verb TAKE", KIND_IF, {{COND_VERB, 14, 0}}},
        {"if not carried 3", KIND_IF, {{neg(COND_CARRIED), 3, 0}}},
        {"and score", KIND_AND, {{COND_GT, 4, 0}}},
        {"and not score", KIND_AND, {{neg(COND_GT), 4, 0}}},
        {"or eq 4 -1", KIND_OR, {{COND_EQ, 4, -1}}},
        {"WHILE gt score 10", KIND_WHILE, {{COND_GT, 4, 10}}},
        {"while free", KIND_WHILE, {{COND_FREE, 0, 0}}},
        {"if begin", KIND_IF, {{COND_BEGIN, 0, 0}}},
        {"if verb 5 then message 3", KIND_IF, {{COND_VERB, 5, 0}}},
        {"if isin lamp 3", KIND_IF, {{COND_ISIN, 0, 3}}},
        {"if noun2 lamp", KIND_IF, {{COND_NOUN2, 7, 0}}},
        {"if verb lamp", KIND_IF, {{COND_VERB, 0, 0}}},
        {"if eq score 3 4", KIND_IF, {{COND_EQ, 4, 3}}},
        {"if eq at 3", KIND_IF, {{COND_EQ, 6, 3}}},    // a variable named like a keyword
        {"if verb foo 5", KIND_IF, {{COND_VERB, 0, 5}}},  // the unknown word still counts
        {"if at 3 not", KIND_IF, {{COND_AT, 3, 0}}},
        {"if not not dark 1", KIND_IF, {{neg(COND_DARK), 1, 0}}},
        {"if not 5 here 2", KIND_IF, {{COND_HERE, 2, 0}}},
        {"if set quit", KIND_IF, {}},
        {"if   verb\ttake  noun  lamp", KIND_IF, {{COND_NOUN, 7, 0}}},
        {"if move 1 dark 1 exist 2 worn 3 owned 4 here 5 present 6 random 50 100 continued score "
         "lt score 3 noun3 lamp anynoun lamp",
         KIND_IF,
         {{COND_MOVE, 1, 0}, {COND_DARK, 1, 0}, {COND_EXIST, 2, 0}, {COND_WORN, 3, 0},
          {COND_OWNED, 4, 0}, {COND_HERE, 5, 0}, {COND_PRESENT, 6, 0}, {COND_RANDOM, 50, 100},
          {COND_CONTINUED, 4, 0}, {COND_LT, 4, 3}, {COND_NOUN3, 7, 0}, {COND_ANYNOUN, 7, 0}}},
    }, EVENT_TABLE);
}

TEST_F(RuleCompiler, ActionLines)
{
    expectCases({
        {"do set score", KIND_ACTION, {{ACT_SET, 4, 1}}},
        {"do set score 0", KIND_ACTION, {{ACT_SET, 4, 0}}},
        {"do set score -0", KIND_ACTION, {{ACT_SET, 4, 1}}},
        {"do set score 7", KIND_ACTION, {{ACT_SET, 4, 7}}},
        {"reset score", KIND_ACTION, {{ACT_SET, 4, 0}}},
        {"add score 5", KIND_ACTION, {{ACT_ADD, 4, 5}}},
        {"then sub count 2 mchoiche score 3 bchoiche score", KIND_ACTION,
         {{ACT_SUB, 5, 2}, {ACT_MCHOICHE, 4, 3}, {ACT_BCHOICHE, 4, 0}}},
        {"then bchoiche lamp", KIND_ACTION, {{ACT_BCHOICHE, 0, 0}}},  // no noun names in actions
        {"then put 3 12", KIND_ACTION, {{ACT_PUT, 3, 12}}},
        {"then at 5 create 3", KIND_ACTION, {{ACT_AT, 5, 0}, {ACT_CREATE, 3, 0}}},
        {"THEN destroy 1 get 2 wear 3 swap 1 2 moveall 1 2 go 3", KIND_ACTION,
         {{ACT_DESTROY, 1, 0}, {ACT_GET, 2, 0}, {ACT_WEAR, 3, 0}, {ACT_SWAP, 1, 2},
          {ACT_MOVEALL, 1, 2}, {ACT_GO, 3, 0}}},
        {"exit 1 5 subst 1 2 light 1 0 message 70000 sysmsg 4 show 2 pause 10", KIND_ACTION,
         {{ACT_EXIT, 1, 5}, {ACT_SUBST, 1, 2}, {ACT_LIGHT, 1, 0}, {ACT_MESSAGE, 4464, 0},
          {ACT_SYSMSG, 4, 0}, {ACT_SHOW, 2, 0}, {ACT_PAUSE, 10, 0}}},
        {"do quit redesc cls halt continue break", KIND_ACTION,
         {{ACT_QUIT, 0, 0}, {ACT_REDESC, 0, 0}, {ACT_CLS, 0, 0}, {ACT_HALT, 0, 0},
          {ACT_CONTINUE, 0, 0}, {ACT_BREAK, 0, 0}}},
        // A lone variable name is a greater-than test even on an action line.
        {"then score", KIND_ACTION, {{COND_GT, 4, 0}}},
        {"then not quit", KIND_ACTION, {{neg(ACT_QUIT), 0, 0}}},
        {"then verb take", KIND_ACTION, {}},
        {"if", KIND_ACTION, {}},
        {"THEN {", KIND_ACTION, {}},
        {"then  {", KIND_ACTION, {}},
        {"Do {/", KIND_ACTION, {}},
        {"end quit", KIND_ACTION, {{ACT_QUIT, 0, 0}}},
    }, ACTION_TABLE);
}

TEST_F(RuleCompiler, AVariableWordAddsAGreaterThanSlotAndTakesNoOperands)
{
    parseVarsLine("x,y,lamp");     // variable 9; the noun lamp is 7
    expectCases({
        {"if isin lamp 3", KIND_IF, {{COND_ISIN, 0, 0}, {COND_GT, 9, 0}}},
        {"if noun2 lamp", KIND_IF, {{COND_NOUN2, 9, 0}}},
        {"if noun lamp", KIND_IF, {{COND_NOUN, 7, 0}}},
        {"if score 5 carried 2", KIND_IF, {{COND_GT, 4, 0}, {COND_CARRIED, 2, 0}}},
    }, EVENT_TABLE);
}

TEST_F(RuleCompiler, BlockWords)
{
    const struct { const char *line; char kind; } cases[] = {
        {"{", KIND_BEGIN}, {"begin", KIND_BEGIN}, {"BEGIN", KIND_BEGIN}, {"then {", KIND_BEGIN},
        {"Then Begin", KIND_BEGIN}, {"do {", KIND_BEGIN}, {"do begin", KIND_BEGIN},
        {"{/", KIND_FBEGIN}, {"FBegin", KIND_FBEGIN}, {"then {/", KIND_FBEGIN},
        {"then fbegin", KIND_FBEGIN}, {"do {/", KIND_FBEGIN}, {"DO FBEGIN", KIND_FBEGIN},
        {"{+", KIND_SBEGIN}, {"sbegin", KIND_SBEGIN}, {"then {+", KIND_SBEGIN},
        {"then sbegin", KIND_SBEGIN}, {"do {+", KIND_SBEGIN}, {"do Sbegin", KIND_SBEGIN},
        {"}", KIND_END}, {"End", KIND_END}, {"  \tend \t ", KIND_END},
    };
    for (const auto &c : cases) {
        RuleRecord record = compile(c.line, EVENT_TABLE);
        EXPECT_EQ(record.kind, c.kind) << c.line;
        EXPECT_TRUE(slotsOf(record).empty()) << c.line;
    }
    EXPECT_EQ(actionCount, 0);
}

TEST_F(RuleCompiler, SixteenSlotsAtMost)
{
    RuleRecord record = compile("then message 1 message 2 message 3 message 4 message 5 message 6 "
                                "message 7 message 8 message 9 message 10 message 11 message 12 "
                                "message 13 message 14 message 15 message 16 message 17 score set count 3");
    std::vector<Slot> slots = slotsOf(record);
    ASSERT_EQ(slots.size(), 16u);
    for (int k = 0; k < 16; k++)
        EXPECT_EQ(slots[k], (Slot{ACT_MESSAGE, k + 1, 0})) << k;
}

TEST_F(RuleCompiler, TrailingBlanksAreRemovedFromTheLineItself)
{
    char line[] = "  then quit \t ";
    EXPECT_EQ(compileRuleLine(line, ACTION_TABLE), 0);
    EXPECT_STREQ(line, "  then quit");
}

TEST_F(RuleCompiler, LineWithNoWordsDrawsWarningTwo)
{
    for (const char *text : {"", "   ", " \t "}) {
        std::string line = text;
        EXPECT_EQ(compileRuleLine(line.data(), EVENT_TABLE), 2) << '"' << text << '"';
    }
    EXPECT_EQ(eventCount, 0);
}

TEST_F(RuleCompiler, FullTableRefusesEveryLine)
{
    // Growing row by row to the limit takes long under the sanitizers; the
    // rows below the last are never read, so the count is set just short of it.
    compile("{", EVENT_TABLE);
    eventCount = MAX_ROWS - 1;
    compile("if verb take", EVENT_TABLE);
    for (const char *text : {"if verb take", "}", "then quit"}) {
        std::string line = text;
        EXPECT_EQ(compileRuleLine(line.data(), EVENT_TABLE), -1) << text;
    }
    EXPECT_EQ(eventCount, MAX_ROWS);
    EXPECT_EQ(events[MAX_ROWS - 1].kind, KIND_IF);
    std::string line = "then quit";
    EXPECT_EQ(compileRuleLine(line.data(), ACTION_TABLE), 0);
}

}  // namespace
