// The rule compiler: the record kinds, block words, keywords, operands and
// names that rule lines compile to, and the limits of a line and a table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/compiler/declaration_sections.h"
#include "core/compiler/rule_compiler.h"
#include "core/database/game_database.h"

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
    for (; k < RULE_SLOTS && record.opcodes[k] != ' '; k++)
        slots.push_back({record.opcodes[k], record.firstOperands[k], record.secondOperands[k]});
    for (; k < RULE_SLOTS; k++) {
        EXPECT_EQ(record.opcodes[k], ' ') << k;
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
constexpr int neg(char c) { return NOT * c; }

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
        {"if verb take noun lamp", 'c', {{'v', 14, 0}, {'n', 7, 0}}},
        {"If Verb TAKE", 'c', {{'v', 14, 0}}},
        {"if not carried 3", 'c', {{neg('c'), 3, 0}}},
        {"and score", '&', {{'>', 4, 0}}},
        {"and not score", '&', {{neg('>'), 4, 0}}},
        {"or eq 4 -1", '|', {{'=', 4, -1}}},
        {"WHILE gt score 10", 'w', {{'>', 4, 10}}},
        {"while free", 'w', {{'f', 0, 0}}},
        {"if begin", 'c', {{'b', 0, 0}}},
        {"if verb 5 then message 3", 'c', {{'v', 5, 0}}},
        {"if isin lamp 3", 'c', {{'i', 0, 3}}},
        {"if noun2 lamp", 'c', {{'2', 7, 0}}},
        {"if verb lamp", 'c', {{'v', 0, 0}}},
        {"if eq score 3 4", 'c', {{'=', 4, 3}}},
        {"if eq at 3", 'c', {{'=', 6, 3}}},     // a variable named like a keyword
        {"if verb foo 5", 'c', {{'v', 0, 5}}},  // the unknown word still counts
        {"if at 3 not", 'c', {{'a', 3, 0}}},
        {"if not not dark 1", 'c', {{neg('d'), 1, 0}}},
        {"if not 5 here 2", 'c', {{'h', 2, 0}}},
        {"if set quit", 'c', {}},
        {"if   verb\ttake  noun  lamp", 'c', {{'n', 7, 0}}},
        {"if move 1 dark 1 exist 2 worn 3 owned 4 here 5 present 6 random 50 100 continued score "
         "lt score 3 noun3 lamp anynoun lamp",
         'c',
         {{'m', 1, 0}, {'d', 1, 0}, {'e', 2, 0}, {'w', 3, 0}, {'o', 4, 0}, {'h', 5, 0},
          {'p', 6, 0}, {'r', 50, 100}, {'+', 4, 0}, {'<', 4, 3}, {'3', 7, 0}, {'y', 7, 0}}},
    }, EVENT_TABLE);
}

TEST_F(RuleCompiler, ActionLines)
{
    expectCases({
        {"do set score", 'o', {{'=', 4, 1}}},
        {"do set score 0", 'o', {{'=', 4, 0}}},
        {"do set score -0", 'o', {{'=', 4, 1}}},
        {"do set score 7", 'o', {{'=', 4, 7}}},
        {"reset score", 'o', {{'=', 4, 0}}},
        {"add score 5", 'o', {{'+', 4, 5}}},
        {"then sub count 2 mchoiche score 3 bchoiche score", 'o',
         {{'-', 5, 2}, {'9', 4, 3}, {'2', 4, 0}}},
        {"then bchoiche lamp", 'o', {{'2', 0, 0}}},    // no noun names in actions
        {"then put 3 12", 'o', {{'p', 3, 12}}},
        {"then at 5 create 3", 'o', {{'a', 5, 0}, {'c', 3, 0}}},
        {"THEN destroy 1 get 2 wear 3 swap 1 2 moveall 1 2 go 3", 'o',
         {{'d', 1, 0}, {'g', 2, 0}, {'w', 3, 0}, {'s', 1, 2}, {'v', 1, 2}, {'l', 3, 0}}},
        {"exit 1 5 subst 1 2 light 1 0 message 70000 sysmsg 4 show 2 pause 10", 'o',
         {{'e', 1, 5}, {'t', 1, 2}, {'i', 1, 0}, {'m', 4464, 0}, {'y', 4, 0}, {'b', 2, 0},
          {'u', 10, 0}}},
        {"do quit redesc cls halt continue break", 'o',
         {{'q', 0, 0}, {'r', 0, 0}, {'_', 0, 0}, {'h', 0, 0}, {'o', 0, 0}, {'}', 0, 0}}},
        {"then score", 'o', {{'>', 4, 0}}},
        {"then not quit", 'o', {{neg('q'), 0, 0}}},
        {"then verb take", 'o', {}},
        {"if", 'o', {}},
        {"THEN {", 'o', {}},
        {"then  {", 'o', {}},
        {"Do {/", 'o', {}},
        {"end quit", 'o', {{'q', 0, 0}}},
    }, ACTION_TABLE);
}

TEST_F(RuleCompiler, AVariableWordAddsAGreaterThanSlotAndTakesNoOperands)
{
    parseVarsLine("x,y,lamp");     // variable 9; the noun lamp is 7
    expectCases({
        {"if isin lamp 3", 'c', {{'i', 0, 0}, {'>', 9, 0}}},
        {"if noun2 lamp", 'c', {{'2', 9, 0}}},
        {"if noun lamp", 'c', {{'n', 7, 0}}},
        {"if score 5 carried 2", 'c', {{'>', 4, 0}, {'c', 2, 0}}},
    }, EVENT_TABLE);
}

TEST_F(RuleCompiler, BlockWords)
{
    const struct { const char *line; char kind; } cases[] = {
        {"{", '{'}, {"begin", '{'}, {"BEGIN", '{'}, {"then {", '{'}, {"Then Begin", '{'},
        {"do {", '{'}, {"do begin", '{'}, {"{/", '/'}, {"FBegin", '/'}, {"then {/", '/'},
        {"then fbegin", '/'}, {"do {/", '/'}, {"DO FBEGIN", '/'}, {"{+", '+'}, {"sbegin", '+'},
        {"then {+", '+'}, {"then sbegin", '+'}, {"do {+", '+'}, {"do Sbegin", '+'}, {"}", '}'},
        {"End", '}'}, {"  \tend \t ", '}'},
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
        EXPECT_EQ(slots[k], (Slot{'m', k + 1, 0})) << k;
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
    EXPECT_EQ(events[MAX_ROWS - 1].kind, 'c');
    std::string line = "then quit";
    EXPECT_EQ(compileRuleLine(line.data(), ACTION_TABLE), 0);
}

}  // namespace
