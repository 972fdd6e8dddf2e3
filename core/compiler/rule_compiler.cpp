// The rule compiler: classifies a rule line by its leading word and encodes
// its conditions or actions as opcode slots with two operands each.
#include "core/compiler/rule_compiler.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

#include "core/compiler/source_reader.h"
#include "core/database/game_database.h"
#include "core/database/text_compare.h"

struct BlockWord {
    const char *text;
    char kind;
    bool exact;             // brace forms: exact spelling, case included
};

// Lines that are a block record as a whole, in the order they are tried.
static constexpr BlockWord BLOCK_WORDS[] = {
    {"{", '{', true}, {"begin", '{', false}, {"then {", '{', true},
    {"then begin", '{', false}, {"do {", '{', true}, {"do begin", '{', false},
    {"{/", '/', true}, {"fbegin", '/', false}, {"then {/", '/', true},
    {"then fbegin", '/', false}, {"do {/", '/', true}, {"do fbegin", '/', false},
    {"{+", '+', true}, {"sbegin", '+', false}, {"then {+", '+', true},
    {"then sbegin", '+', false}, {"do {+", '+', true}, {"do sbegin", '+', false},
    {"}", '}', true}, {"end", '}', false},
};
static_assert(std::size(BLOCK_WORDS) == 20);

// The length of the longest block word ("then fbegin").
static constexpr long longestBlockWord()
{
    long longest = 0;
    for (const BlockWord &block : BLOCK_WORDS)
        longest = std::max(longest, static_cast<long>(std::char_traits<char>::length(block.text)));
    return longest;
}

struct LeadingWord {
    const char *text;       // compared case aside, its blank included
    char kind;
};

// Leading words of condition and action lines, in the order they are tried;
// any other line is a bare list of actions.
static const LeadingWord LEADING_WORDS[] = {
    {"while ", 'w'}, {"if ", 'c'}, {"or ", '|'}, {"and ", '&'}, {"then ", 'o'}, {"do ", 'o'},
};
static_assert(std::size(LEADING_WORDS) == 6);

struct Keyword {
    const char *word;
    char opcode;
    int16_t secondOperand;  // stored when the keyword is read
};

// Condition keywords in the order they are tried.
static const Keyword CONDITION_KEYWORDS[] = {
    {"begin", 'b', 0}, {"verb", 'v', 0}, {"noun", 'n', 0}, {"noun2", '2', 0},
    {"noun3", '3', 0}, {"anynoun", 'y', 0}, {"move", 'm', 0}, {"at", 'a', 0},
    {"exist", 'e', 0}, {"isin", 'i', 0}, {"carried", 'c', 0}, {"worn", 'w', 0},
    {"owned", 'o', 0}, {"here", 'h', 0}, {"present", 'p', 0}, {"dark", 'd', 0},
    {"eq", '=', 0}, {"gt", '>', 0}, {"lt", '<', 0}, {"free", 'f', 0},
    {"random", 'r', 0}, {"continued", '+', 0},
};
static_assert(std::size(CONDITION_KEYWORDS) == 22);

// Action keywords in the order they are tried. "set" defaults its value to 1;
// "reset" is a set to 0.
static const Keyword ACTION_KEYWORDS[] = {
    {"create", 'c', 0}, {"destroy", 'd', 0}, {"get", 'g', 0}, {"wear", 'w', 0},
    {"put", 'p', 0}, {"moveall", 'v', 0}, {"swap", 's', 0}, {"go", 'l', 0},
    {"at", 'a', 0}, {"exit", 'e', 0}, {"subst", 't', 0}, {"light", 'i', 0},
    {"message", 'm', 0}, {"sysmsg", 'y', 0}, {"show", 'b', 0}, {"pause", 'u', 0},
    {"quit", 'q', 0}, {"set", '=', 1}, {"reset", '=', 0}, {"add", '+', 0},
    {"sub", '-', 0}, {"mchoiche", '9', 0}, {"bchoiche", '2', 0}, {"redesc", 'r', 0},
    {"cls", '_', 0}, {"halt", 'h', 0}, {"continue", 'o', 0}, {"break", '}', 0},
};
static_assert(std::size(ACTION_KEYWORDS) == 28);

static bool isBlank(char c) { return c == ' ' || c == '\t'; }

static bool isConditionKind(char kind) { return kind != 'o'; }

static bool isOneOf(char c, const char *set) { return c != '\0' && strchr(set, c) != nullptr; }

static const Keyword *findKeyword(const char *word, bool conditions)
{
    const Keyword *table = conditions ? CONDITION_KEYWORDS : ACTION_KEYWORDS;
    size_t count = conditions ? std::size(CONDITION_KEYWORDS) : std::size(ACTION_KEYWORDS);
    char first = asciiLower(word[0]);
    for (size_t i = 0; i < count; i++)
        if (table[i].word[0] == first && equalsIgnoreCase(word, table[i].word))
            return &table[i];
    return nullptr;
}

static RuleRecord *newRecord(RuleTable table, char kind)
{
    RuleRecord **rows = table == EVENT_TABLE ? &events : &actions;
    int16_t *count = table == EVENT_TABLE ? &eventCount : &actionCount;
    if (*count >= MAX_ROWS)
        return nullptr;
    RuleRecord *record = appendRule(rows, count);
    record->kind = kind;
    memset(record->opcodes, ' ', sizeof record->opcodes);
    return record;
}

// The operand that an operand word gives, 0 when it gives none. position is
// 1 or 2, state the letter of the keyword the word follows.
static int operandValue(const char *word, int position, char state, bool conditions)
{
    int value = readNumber(word);
    if (value == 0 && position == 1 && isOneOf(state, "=<>+-92"))
        value = findVariable(word);
    if (value == 0 && position == 1 && conditions && state == 'v')
        value = findVerb(word);
    if (value == 0 && position == 1 && conditions && isOneOf(state, "n23y"))
        value = findNoun(word);
    return value;
}

// Splits text into words at blanks and fills the record's slots.
static void compileWords(RuleRecord *record, const char *text)
{
    const bool conditions = isConditionKind(record->kind);
    int slotsUsed = 0;
    int keywordSlot = -1;       // slot of the last keyword; -1 none or dropped
    char state = 0;             // opcode letter of the last keyword
    int wordsSinceKeyword = 0;
    int sign = 1;
    char word[LINE_BUFFER_SIZE];

    const char *cursor = text;
    while (*cursor) {
        if (*cursor == ' ') {
            cursor++;
            continue;
        }
        size_t length = strcspn(cursor, " ");
        size_t kept = length < sizeof word - 1 ? length : sizeof word - 1;
        memcpy(word, cursor, kept);
        word[kept] = '\0';
        cursor += length;

        if (equalsIgnoreCase(word, "not")) {
            sign = -1;
            continue;
        }
        wordsSinceKeyword++;
        int value = 0;
        if (keywordSlot >= 0 && wordsSinceKeyword <= 2) {
            value = operandValue(word, wordsSinceKeyword, state, conditions);
            int16_t *operand = wordsSinceKeyword == 1 ? &record->firstOperands[keywordSlot]
                                                      : &record->secondOperands[keywordSlot];
            if (value != 0)
                *operand = static_cast<int16_t>(value);
            else if (state == '=' && wordsSinceKeyword == 2 && word[0] == '0')
                *operand = 0;
        }
        if (value == 0) {
            if (const Keyword *keyword = findKeyword(word, conditions)) {
                keywordSlot = slotsUsed < RULE_SLOTS ? slotsUsed++ : -1;
                if (keywordSlot >= 0) {
                    record->opcodes[keywordSlot] = static_cast<signed char>(keyword->opcode * sign);
                    record->firstOperands[keywordSlot] = 0;
                    record->secondOperands[keywordSlot] = keyword->secondOperand;
                }
                state = keyword->opcode;
                wordsSinceKeyword = 0;
            } else if (int variable = findVariable(word); variable > 0 && slotsUsed < RULE_SLOTS) {
                // A lone variable name tests that the variable is above 0.
                keywordSlot = slotsUsed++;
                record->opcodes[keywordSlot] = static_cast<signed char>('>' * sign);
                record->firstOperands[keywordSlot] = static_cast<int16_t>(variable);
                record->secondOperands[keywordSlot] = 0;
                state = '>';
                wordsSinceKeyword = 2;
            }
        }
        sign = 1;
    }
}

int compileRuleLine(char *line, RuleTable table)
{
    char *text = line;
    while (isBlank(*text))
        text++;
    char *end = text + strlen(text);
    while (end > text && isBlank(end[-1]))
        end--;
    *end = '\0';

    // A block line is the whole line: only lines as short as the longest
    // block word ("then fbegin") need comparing.
    if (end - text <= longestBlockWord())
        for (const BlockWord &block : BLOCK_WORDS)
            if (block.exact ? strcmp(text, block.text) == 0 : equalsIgnoreCase(text, block.text))
                return newRecord(table, block.kind) ? 0 : -1;

    char kind = 'o';
    for (const LeadingWord &leading : LEADING_WORDS)
        if (startsWithIgnoreCase(text, leading.text)) {
            kind = leading.kind;
            text += strlen(leading.text);
            break;
        }

    const char *first = text;
    while (*first == ' ')
        first++;
    if (*first == '\0')
        return 2;
    RuleRecord *record = newRecord(table, kind);
    if (!record)
        return -1;
    compileWords(record, text);
    return 0;
}
