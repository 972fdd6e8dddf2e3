// The rule compiler: classifies a rule line by its leading word and encodes
// its conditions or actions as opcode slots with two operands each.
#include "core/compiler/rule_compiler.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

#include "core/compiler/checker.h"
#include "core/compiler/source_reader.h"
#include "core/compiler/source_words.h"
#include "core/database/game_database.h"
#include "core/database/name_index.h"
#include "core/database/rule_code.h"
#include "core/database/text_compare.h"

// Lines that are a block record as a whole, in the order they are tried.
constexpr BlockWord BLOCK_WORDS[] = {
    {"{", KIND_BEGIN, true}, {"begin", KIND_BEGIN, false}, {"then {", KIND_BEGIN, true},
    {"then begin", KIND_BEGIN, false}, {"do {", KIND_BEGIN, true}, {"do begin", KIND_BEGIN, false},
    {"{/", KIND_FBEGIN, true}, {"fbegin", KIND_FBEGIN, false}, {"then {/", KIND_FBEGIN, true},
    {"then fbegin", KIND_FBEGIN, false}, {"do {/", KIND_FBEGIN, true}, {"do fbegin", KIND_FBEGIN, false},
    {"{+", KIND_SBEGIN, true}, {"sbegin", KIND_SBEGIN, false}, {"then {+", KIND_SBEGIN, true},
    {"then sbegin", KIND_SBEGIN, false}, {"do {+", KIND_SBEGIN, true}, {"do sbegin", KIND_SBEGIN, false},
    {"}", KIND_END, true}, {"end", KIND_END, false},
};
static_assert(std::size(BLOCK_WORDS) == BLOCK_WORD_COUNT);

// The length of the longest block word ("then fbegin").
static constexpr size_t longestBlockWord()
{
    size_t longest = 0;
    for (const BlockWord &block : BLOCK_WORDS)
        longest = std::max(longest, std::char_traits<char>::length(block.text));
    return longest;
}
constexpr size_t LONGEST_BLOCK_WORD = longestBlockWord();

// Leading words of condition and action lines, in the order they are tried;
// any other line is a bare list of actions.
constexpr LeadingWord LEADING_WORDS[] = {
    {"while ", KIND_WHILE}, {"if ", KIND_IF}, {"or ", KIND_OR}, {"and ", KIND_AND}, {"then ", KIND_ACTION},
    {"do ", KIND_ACTION},
};
static_assert(std::size(LEADING_WORDS) == LEADING_WORD_COUNT);

// The lengths of the leading words, their blank included, and the longest.
static constexpr std::array<size_t, LEADING_WORD_COUNT> leadingWordLengths()
{
    std::array<size_t, LEADING_WORD_COUNT> lengths = {};
    for (size_t i = 0; i < std::size(LEADING_WORDS); i++)
        lengths[i] = std::char_traits<char>::length(LEADING_WORDS[i].text);
    return lengths;
}
constexpr std::array<size_t, LEADING_WORD_COUNT> LEADING_WORD_LENGTHS = leadingWordLengths();
constexpr size_t LONGEST_LEADING_WORD = *std::max_element(LEADING_WORD_LENGTHS.begin(), LEADING_WORD_LENGTHS.end());

// Condition keywords in the order they are tried.
constexpr Keyword CONDITION_KEYWORDS[] = {
    {"begin", COND_BEGIN, 0, 0, OPERAND_NONE, OPERAND_NONE},
    {"verb", COND_VERB, 0, 1, OPERAND_VERB, OPERAND_NONE},
    {"noun", COND_NOUN, 0, 1, OPERAND_NOUN, OPERAND_NONE},
    {"noun2", COND_NOUN2, 0, 1, OPERAND_NOUN_OR_VARIABLE, OPERAND_NONE},
    {"noun3", COND_NOUN3, 0, 1, OPERAND_NOUN, OPERAND_NONE},
    {"anynoun", COND_ANYNOUN, 0, 1, OPERAND_NOUN, OPERAND_NONE},
    {"move", COND_MOVE, 0, 0, OPERAND_NUMBER, OPERAND_NONE},
    {"at", COND_AT, 0, 1, OPERAND_LOCATION, OPERAND_NONE},
    {"exist", COND_EXIST, 0, 1, OPERAND_OBJECT, OPERAND_NONE},
    {"isin", COND_ISIN, 0, 2, OPERAND_OBJECT, OPERAND_PLACE},
    {"carried", COND_CARRIED, 0, 1, OPERAND_OBJECT, OPERAND_NONE},
    {"worn", COND_WORN, 0, 1, OPERAND_OBJECT, OPERAND_NONE},
    {"owned", COND_OWNED, 0, 1, OPERAND_OBJECT, OPERAND_NONE},
    {"here", COND_HERE, 0, 1, OPERAND_OBJECT, OPERAND_NONE},
    {"present", COND_PRESENT, 0, 1, OPERAND_OBJECT, OPERAND_NONE},
    {"dark", COND_DARK, 0, 0, OPERAND_NUMBER, OPERAND_NONE},
    {"eq", COND_EQ, 0, 2, OPERAND_VARIABLE, OPERAND_NUMBER},
    {"gt", COND_GT, 0, 2, OPERAND_VARIABLE, OPERAND_NUMBER},
    {"lt", COND_LT, 0, 2, OPERAND_VARIABLE, OPERAND_NUMBER},
    {"free", COND_FREE, 0, 0, OPERAND_NONE, OPERAND_NONE},
    {"random", COND_RANDOM, 0, 2, OPERAND_NUMBER, OPERAND_NUMBER},
    {"continued", COND_CONTINUED, 0, 0, OPERAND_NUMBER, OPERAND_NONE},
};
static_assert(std::size(CONDITION_KEYWORDS) == CONDITION_KEYWORD_COUNT);

// Action keywords in the order they are tried. "set" defaults its value to 1;
// "reset" is a set to 0.
constexpr Keyword ACTION_KEYWORDS[] = {
    {"create", ACT_CREATE, 0, 1, OPERAND_OBJECT, OPERAND_NONE},
    {"destroy", ACT_DESTROY, 0, 1, OPERAND_OBJECT, OPERAND_NONE},
    {"get", ACT_GET, 0, 1, OPERAND_OBJECT, OPERAND_NONE},
    {"wear", ACT_WEAR, 0, 1, OPERAND_OBJECT, OPERAND_NONE},
    {"put", ACT_PUT, 0, 2, OPERAND_OBJECT, OPERAND_PLACE},
    {"moveall", ACT_MOVEALL, 0, 2, OPERAND_HERE_OR_LOCATION, OPERAND_PLACE},
    {"swap", ACT_SWAP, 0, 2, OPERAND_OBJECT, OPERAND_OBJECT},
    {"go", ACT_GO, 0, 1, OPERAND_LOCATION, OPERAND_NONE},
    {"at", ACT_AT, 0, 1, OPERAND_LOCATION, OPERAND_NONE},
    {"exit", ACT_EXIT, 0, 2, OPERAND_DIRECTION, OPERAND_LOCATION_OR_NONE},
    {"subst", ACT_SUBST, 0, 2, OPERAND_HERE_OR_LOCATION, OPERAND_LOCATION_OR_NONE},
    {"light", ACT_LIGHT, 0, 1, OPERAND_NUMBER, OPERAND_NUMBER},
    {"message", ACT_MESSAGE, 0, 1, OPERAND_MESSAGE, OPERAND_NONE},
    {"sysmsg", ACT_SYSMSG, 0, 1, OPERAND_SYSTEM_MESSAGE, OPERAND_NONE},
    {"show", ACT_SHOW, 0, 1, OPERAND_SHOW, OPERAND_NONE},
    {"pause", ACT_PAUSE, 0, 0, OPERAND_NUMBER, OPERAND_NONE},
    {"quit", ACT_QUIT, 0, 0, OPERAND_NONE, OPERAND_NONE},
    {"set", ACT_SET, 1, 1, OPERAND_VARIABLE, OPERAND_NUMBER},
    {"reset", ACT_SET, 0, 1, OPERAND_VARIABLE, OPERAND_NONE},
    {"add", ACT_ADD, 0, 2, OPERAND_VARIABLE, OPERAND_NUMBER},
    {"sub", ACT_SUB, 0, 2, OPERAND_VARIABLE, OPERAND_NUMBER},
    {"mchoiche", ACT_MCHOICHE, 0, 2, OPERAND_VARIABLE, OPERAND_NUMBER},
    {"bchoiche", ACT_BCHOICHE, 0, 1, OPERAND_VARIABLE, OPERAND_NONE},
    {"redesc", ACT_REDESC, 0, 0, OPERAND_NONE, OPERAND_NONE},
    {"cls", ACT_CLS, 0, 0, OPERAND_NONE, OPERAND_NONE},
    {"halt", ACT_HALT, 0, 0, OPERAND_NONE, OPERAND_NONE},
    {"continue", ACT_CONTINUE, 0, 0, OPERAND_NONE, OPERAND_NONE},
    {"break", ACT_BREAK, 0, 0, OPERAND_NONE, OPERAND_NONE},
};
static_assert(std::size(ACTION_KEYWORDS) == ACTION_KEYWORD_COUNT);

// No two keywords of a table share an opcode, but "set" and "reset".
template <size_t N>
static constexpr bool opcodesDistinct(const Keyword (&table)[N])
{
    for (size_t i = 0; i < N; i++)
        for (size_t j = i + 1; j < N; j++)
            if (table[i].opcode == table[j].opcode && table[i].opcode != ACT_SET)
                return false;
    return true;
}
static_assert(opcodesDistinct(CONDITION_KEYWORDS) && opcodesDistinct(ACTION_KEYWORDS));

// The lone variable name of a condition: greater than 0.
static constexpr Keyword LONE_VARIABLE = {"", COND_GT, 0, 0, OPERAND_VARIABLE, OPERAND_NONE};

static bool isBlank(char c) { return c == ' ' || c == '\t'; }

static bool isConditionKind(char kind) { return kind != KIND_ACTION; }


// The keyword a word in small letters is (the keywords are written so),
// nullptr when it is none.
static const Keyword *findKeyword(const char *folded, bool conditions)
{
    const Keyword *table = conditions ? CONDITION_KEYWORDS : ACTION_KEYWORDS;
    size_t count = conditions ? std::size(CONDITION_KEYWORDS) : std::size(ACTION_KEYWORDS);
    for (size_t i = 0; i < count; i++)
        if (table[i].word[0] == folded[0] && strcmp(folded, table[i].word) == 0)
            return &table[i];
    return nullptr;
}

// A word of at most LINE_BUFFER_SIZE - 1 characters in small letters.
static void foldWord(char (&folded)[LINE_BUFFER_SIZE], const char *word)
{
    size_t i = 0;
    for (; i < LINE_BUFFER_SIZE - 1 && word[i]; i++)
        folded[i] = asciiLower(word[i]);
    folded[i] = '\0';
}

// ---------------------------------------------------------------------------
// What the checker keeps while rules are compiled: the place of every record,
// and the words to look at again once the whole source is read.

struct RulePlaces {
    SourcePlace *places;
    int capacity;
};
static RulePlaces eventPlaces = {}, actionPlaces = {};

static void keepRecordPlace(RuleTable table, int index)
{
    RulePlaces &kept = table == EVENT_TABLE ? eventPlaces : actionPlaces;
    if (index >= kept.capacity) {
        int capacity = kept.capacity ? kept.capacity * 2 : 256;
        while (capacity <= index)
            capacity *= 2;
        SourcePlace *grown = static_cast<SourcePlace *>(realloc(kept.places, capacity * sizeof(SourcePlace)));
        if (!grown)
            return;
        memset(grown + kept.capacity, 0, (capacity - kept.capacity) * sizeof(SourcePlace));
        kept.places = grown;
        kept.capacity = capacity;
    }
    kept.places[index] = currentPlace();
}

static SourcePlace recordPlace(RuleTable table, int index)
{
    const RulePlaces &kept = table == EVENT_TABLE ? eventPlaces : actionPlaces;
    return index < kept.capacity ? kept.places[index] : SourcePlace{0, -1, 0};
}

// A word the rule compiler could not use, looked at again at the end: it may
// name a word or variable declared only after the rule.
struct LaterWord {
    SourcePlace place;
    char word[WORD_SIZE * 4 + 1];
    OperandKind expected;       // what the keyword before it takes, or OPERAND_NONE
    const char *keyword;        // that keyword, or nullptr
    bool conditions;
};
static LaterWord *laterWords = nullptr;
static int laterWordCount = 0, laterWordCapacity = 0;

static void keepLaterWord(const char *word, OperandKind expected, const char *keyword, bool conditions)
{
    if (laterWordCount == laterWordCapacity) {
        int capacity = laterWordCapacity ? laterWordCapacity * 2 : 64;
        LaterWord *grown = static_cast<LaterWord *>(realloc(laterWords, capacity * sizeof(LaterWord)));
        if (!grown)
            return;
        laterWords = grown;
        laterWordCapacity = capacity;
    }
    LaterWord &later = laterWords[laterWordCount++];
    later.place = currentPlace();
    snprintf(later.word, sizeof later.word, "%.*s", static_cast<int>(sizeof later.word - 1), word);
    later.expected = expected;
    later.keyword = keyword;
    later.conditions = conditions;
}

static RuleRecord *newRecord(RuleTable table, char kind)
{
    RuleRecord **rows = table == EVENT_TABLE ? &events : &actions;
    int16_t *count = table == EVENT_TABLE ? &eventCount : &actionCount;
    if (*count >= MAX_ROWS)
        return nullptr;
    RuleRecord *record = appendRule(rows, count);
    if (!record)
        return nullptr;
    record->kind = kind;
    memset(record->opcodes, KIND_UNUSED, sizeof record->opcodes);
    if (checkMode)
        keepRecordPlace(table, *count - 1);
    return record;
}

// Whether a keyword's first operand may name a variable.
static bool takesVariable(char opcode, bool conditions)
{
    if (conditions)
        return opcode == COND_EQ || opcode == COND_GT || opcode == COND_LT || opcode == COND_CONTINUED ||
               opcode == COND_NOUN2;
    return opcode == ACT_SET || opcode == ACT_ADD || opcode == ACT_SUB || opcode == ACT_MCHOICHE ||
           opcode == ACT_BCHOICHE;
}

// The operand that an operand word gives, 0 when it gives none. position is
// 1 or 2, state the letter of the keyword the word follows.
static int operandValue(const char *word, int position, char state, bool conditions)
{
    int value = readNumber(word);
    if (value == 0 && position == 1 && takesVariable(state, conditions))
        value = findVariable(word);
    if (value == 0 && position == 1 && conditions && state == COND_VERB)
        value = findVerb(word);
    if (value == 0 && position == 1 && conditions &&
        (state == COND_NOUN || state == COND_NOUN2 || state == COND_NOUN3 || state == COND_ANYNOUN))
        value = findNoun(word);
    return value;
}

// A word that reads as a number: an optional sign, then a digit.
static bool isNumberWord(const char *word)
{
    if (*word == '+' || *word == '-')
        word++;
    return *word >= '0' && *word <= '9';
}

static const char *operandName(OperandKind kind)
{
    switch (kind) {
    case OPERAND_OBJECT: return "an object number";
    case OPERAND_LOCATION: return "a location number";
    case OPERAND_PLACE: return "a location number (0 nowhere, -1 carried, -2 worn)";
    case OPERAND_HERE_OR_LOCATION: return "a location number (0 here)";
    case OPERAND_LOCATION_OR_NONE: return "a location number (0 none)";
    case OPERAND_MESSAGE: return "a message number";
    case OPERAND_SYSTEM_MESSAGE: return "a system message number";
    case OPERAND_SHOW: return "a show number";
    case OPERAND_VERB: return "a verb";
    case OPERAND_NOUN:
    case OPERAND_NOUN_OR_VARIABLE: return "a noun";
    case OPERAND_VARIABLE: return "a variable";
    case OPERAND_DIRECTION: return "a direction number (1 to 10)";
    default: return "a number";
    }
}

// The checker's view of one line being compiled.
struct LineCheck {
    const Keyword *keyword;     // of the slot being filled, nullptr before the first
    int operandWords;           // operand words given to it
    bool reported;              // a finding was made about its operands
    bool dropRest;              // the rest of the line is lost (after 'then' on a condition line)
    bool full;                  // the 17th keyword was reported
    bool afterUnknown;          // an unknown word came since the keyword: its numbers go with it
    bool firstWord;             // the word being looked at is the line's first
};

// A keyword ends (the next one starts or the line ends): it should have had
// its operands.
static void endKeyword(LineCheck &line)
{
    if (line.keyword && !line.reported && line.operandWords < line.keyword->needed && line.keyword->word[0]) {
        if (line.keyword->needed == 2 && line.operandWords == 1)
            addLineFinding(SEVERITY_ERROR, "'%s' needs a second operand, %s", line.keyword->word,
                           operandName(line.keyword->second));
        else if (line.keyword->needed == 2)
            addLineFinding(SEVERITY_ERROR, "'%s' needs two operands, %s and %s", line.keyword->word,
                           operandName(line.keyword->first), operandName(line.keyword->second));
        else
            addLineFinding(SEVERITY_ERROR, "'%s' needs %s", line.keyword->word, operandName(line.keyword->first));
    }
    line.keyword = nullptr;
}

// A word the compiler took as an operand: one the keyword never reads is
// worth a finding.
static void checkOperandWord(LineCheck &line, const char *word, int position)
{
    const Keyword *keyword = line.keyword;
    OperandKind kind = position == 1 ? keyword->first : keyword->second;
    if (kind != OPERAND_NONE || !keyword->word[0]) {
        line.operandWords++;
        return;
    }
    addLineFinding(SEVERITY_ERROR, "'%s' is not used: '%s' takes %s", word, keyword->word,
                   keyword->first == OPERAND_NONE ? "no operand" : "one operand");
    line.reported = true;
}

// A word the compiler drops: says why, now or once the source is read.
static void checkDroppedWord(LineCheck &line, const char *word, int wordsSinceKeyword, bool conditions)
{
    if (line.dropRest || line.full)
        return;
    const Keyword *keyword = line.keyword;
    bool operandPlace = keyword && wordsSinceKeyword <= 2 && keyword->word[0];
    OperandKind expected = !operandPlace ? OPERAND_NONE : wordsSinceKeyword == 1 ? keyword->first : keyword->second;
    if (isNumberWord(word)) {
        if (operandPlace && expected != OPERAND_NONE && !line.afterUnknown) {
            line.operandWords++;
            return;
        }
        if (line.afterUnknown)
            return;     // the operand of a misspelt keyword: one finding is enough
        if (keyword && keyword->word[0])
            addLineFinding(SEVERITY_ERROR, "the number %s is dropped: '%s' takes %s", word, keyword->word,
                           keyword->needed == 0 ? "no operand" : keyword->needed == 1 ? "one operand" : "two operands");
        else
            addLineFinding(SEVERITY_ERROR, "the number %s is dropped: it follows no keyword", word);
        return;
    }
    if (equalsIgnoreCase(word, "then") || equalsIgnoreCase(word, "do")) {
        addLineFinding(SEVERITY_ERROR, conditions ? "'%s' on a condition line: the actions after it are dropped; "
                                                    "write them on a line of their own after this one"
                                                  : "'%s' in the middle of a line is dropped: it only starts a line",
                       word);
        line.dropRest = conditions;
        return;
    }
    for (const char *leading : {"if", "or", "and", "while"})
        if (equalsIgnoreCase(word, leading) && line.firstWord) {
            addLineFinding(SEVERITY_ERROR, "'%s' with nothing after it: the line tests nothing", word);
            return;
        } else if (equalsIgnoreCase(word, leading)) {
            addLineFinding(SEVERITY_ERROR, "'%s' in the middle of a line is dropped: it only starts a line of its own",
                           word);
            return;
        }
    char folded[LINE_BUFFER_SIZE];
    foldWord(folded, word);
    if (const Keyword *other = findKeyword(folded, !conditions)) {
        if (conditions)
            addLineFinding(SEVERITY_ERROR, "'%s' is an action: a condition line holds only conditions, so it is "
                           "dropped; write it on a 'then' line", other->word);
        else
            addLineFinding(SEVERITY_ERROR, "'%s' is a condition: an action line holds only actions, so it is "
                           "dropped; write it on an 'if' line", other->word);
        line.afterUnknown = true;   // its operands are dropped with it
        return;
    }
    if (operandPlace && expected != OPERAND_NONE && expected != OPERAND_VERB && expected != OPERAND_NOUN &&
        expected != OPERAND_NOUN_OR_VARIABLE && expected != OPERAND_VARIABLE) {
        addLineFinding(SEVERITY_ERROR, "'%s' takes %s, not a word: '%s' is dropped", keyword->word,
                       operandName(expected), word);
        line.reported = true;
        return;
    }
    // Unknown now: a word or variable declared later, or a misspelling.
    keepLaterWord(word, operandPlace && wordsSinceKeyword == 1 ? expected : OPERAND_NONE,
                  operandPlace ? keyword->word : nullptr, conditions);
    if (operandPlace && wordsSinceKeyword == 1)
        line.reported = true;
    else
        line.afterUnknown = true;
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
    char folded[LINE_BUFFER_SIZE];      // the word in small letters, for the keywords
    LineCheck check = {};
    int wordsOnLine = 0;        // words other than "not" so far

    // One pass over the text: each word is copied and folded as it is read.
    const char *cursor = text;
    while (*cursor) {
        if (*cursor == ' ') {
            cursor++;
            continue;
        }
        size_t kept = 0;
        for (; *cursor && *cursor != ' '; cursor++)
            if (kept < sizeof word - 1) {
                word[kept] = *cursor;
                folded[kept] = asciiLower(*cursor);
                kept++;
            }
        word[kept] = folded[kept] = '\0';

        if (kept == 3 && memcmp(folded, "not", 3) == 0) {
            sign = -1;
            continue;
        }
        wordsSinceKeyword++;
        check.firstWord = wordsOnLine++ == 0;
        int value = 0;
        if (keywordSlot >= 0 && wordsSinceKeyword <= 2) {
            value = operandValue(word, wordsSinceKeyword, state, conditions);
            int16_t *operand = wordsSinceKeyword == 1 ? &record->firstOperands[keywordSlot]
                                                      : &record->secondOperands[keywordSlot];
            if (value != 0)
                *operand = static_cast<int16_t>(value);
            else if (state == ACT_SET && wordsSinceKeyword == 2 && word[0] == '0')
                *operand = 0;
            if (checkMode && value != 0 && check.keyword)
                checkOperandWord(check, word, wordsSinceKeyword);
        }
        if (value == 0) {
            if (const Keyword *keyword = findKeyword(folded, conditions)) {
                if (checkMode && !check.dropRest) {
                    endKeyword(check);
                    if (slotsUsed >= RULE_SLOTS && !check.full) {
                        addLineFinding(SEVERITY_ERROR, "more than 16 %s on one line: '%s' and all after it are "
                                       "dropped", conditions ? "conditions" : "actions", keyword->word);
                        check.full = true;
                    } else if (sign < 0 && !conditions) {
                        addLineFinding(SEVERITY_WARNING, "'not' before the action '%s' makes it do nothing",
                                       keyword->word);
                    }
                    check = {slotsUsed < RULE_SLOTS ? keyword : nullptr, 0, false, false, check.full, false, false};
                }
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
                if (checkMode) {
                    endKeyword(check);
                    check = {&LONE_VARIABLE, 0, false, check.dropRest, check.full, false, false};
                }
                keywordSlot = slotsUsed++;
                record->opcodes[keywordSlot] = static_cast<signed char>(COND_GT * sign);
                record->firstOperands[keywordSlot] = static_cast<int16_t>(variable);
                record->secondOperands[keywordSlot] = 0;
                state = COND_GT;
                wordsSinceKeyword = 2;
            } else if (checkMode) {
                checkDroppedWord(check, word, wordsSinceKeyword, conditions);
            }
        }
        sign = 1;
    }
    if (checkMode && !check.dropRest)
        endKeyword(check);
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

    // The start of the line in small letters, once: the block words and
    // the leading words are written so. A block line is the whole line, so
    // only lines as short as the longest block word need comparing.
    constexpr size_t FOLDED_START = std::max(LONGEST_BLOCK_WORD, LONGEST_LEADING_WORD);
    char folded[FOLDED_START + 1];
    size_t foldedLength = 0;
    for (; foldedLength < FOLDED_START && text[foldedLength]; foldedLength++)
        folded[foldedLength] = asciiLower(text[foldedLength]);
    folded[foldedLength] = '\0';
    if (static_cast<size_t>(end - text) <= LONGEST_BLOCK_WORD)
        for (const BlockWord &block : BLOCK_WORDS)
            if (strcmp(block.exact ? text : folded, block.text) == 0)
                return newRecord(table, block.kind) || databaseAllocationFailed() ? 0 : -1;

    char kind = KIND_ACTION;
    for (size_t i = 0; i < std::size(LEADING_WORDS); i++)
        if (folded[0] == LEADING_WORDS[i].text[0] &&
            strncmp(folded, LEADING_WORDS[i].text, LEADING_WORD_LENGTHS[i]) == 0) {
            kind = LEADING_WORDS[i].kind;
            text += LEADING_WORD_LENGTHS[i];
            break;
        }

    const char *first = text;
    while (*first == ' ')
        first++;
    if (*first == '\0')
        return 2;
    RuleRecord *record = newRecord(table, kind);
    if (!record)
        return databaseAllocationFailed() ? 0 : -1;     // no memory: the driver reports it
    compileWords(record, text);
    return 0;
}

// ---------------------------------------------------------------------------
// Checks of the whole rule tables

// The keyword of a used slot, by its opcode (negation aside); nullptr when
// no keyword has it.
static const Keyword *keywordOf(int opcode, bool conditions)
{
    opcode = opcode < 0 ? -opcode : opcode;
    if (opcode == COND_GT && !conditions)
        return &LONE_VARIABLE;
    const Keyword *table = conditions ? CONDITION_KEYWORDS : ACTION_KEYWORDS;
    size_t count = conditions ? std::size(CONDITION_KEYWORDS) : std::size(ACTION_KEYWORDS);
    for (size_t i = 0; i < count; i++)
        if (table[i].opcode == opcode)
            return &table[i];
    return nullptr;
}

static bool locationDeclared(int location)
{
    return location >= 0 && location <= lastLocation && locations[location].name != 0;
}

static bool wordNumberDeclared(const WordRecord *words, int count, int number)
{
    for (int i = 0; i < count; i++)
        if (words[i].number == number)
            return true;
    return false;
}

// Whether an operand value names something the game declares; what to call
// it when not.
static bool operandDeclared(OperandKind kind, int value, const char **what)
{
    switch (kind) {
    case OPERAND_OBJECT:
        *what = "object";
        return value >= 1 && value <= lastObject && objects[value].name;
    case OPERAND_LOCATION:
        *what = "location";
        return locationDeclared(value);
    case OPERAND_PLACE:
        *what = "location";
        return value == 0 || value == CARRIED || value == WORN || locationDeclared(value);
    case OPERAND_HERE_OR_LOCATION:
    case OPERAND_LOCATION_OR_NONE:
        *what = "location";
        return value == 0 || locationDeclared(value);
    case OPERAND_MESSAGE:
        *what = "message";
        return value >= 1 && value <= lastMessage && messages[value];
    case OPERAND_SYSTEM_MESSAGE:
        *what = "system message";
        return value >= 1 && value < SYSTEM_MESSAGE_COUNT && systemMessages[value];
    case OPERAND_SHOW:
        *what = "show";
        return value >= 1 && value <= lastShow && (shows[value].text || shows[value].picture);
    case OPERAND_VERB:
        *what = "verb";
        return value == 0 || wordNumberDeclared(verbs, verbCount, value);
    case OPERAND_NOUN:
        *what = "noun";
        return value == 0 || wordNumberDeclared(nouns, nounCount, value);
    case OPERAND_VARIABLE:
        *what = "variable";
        return value == 0 || (value >= 1 && value < varCount);
    case OPERAND_DIRECTION:
        *what = "direction";
        return value >= 1 && value <= DIRECTION_COUNT;
    default:
        return true;
    }
}

// Operands of one record that name nothing the game declares. An operand of
// 0 was not given (the compiler reported what it dropped) unless 0 means
// something for that keyword.
static void checkOperands(const RuleRecord &record, SourcePlace place)
{
    bool conditions = isConditionKind(record.kind);
    for (int slot = 0; slot < RULE_SLOTS; slot++) {
        if (record.opcodes[slot] == KIND_UNUSED)
            continue;
        const Keyword *keyword = keywordOf(record.opcodes[slot], conditions);
        if (!keyword)
            continue;
        const OperandKind kinds[2] = {keyword->first, keyword->second};
        const int16_t values[2] = {record.firstOperands[slot], record.secondOperands[slot]};
        for (int i = 0; i < 2; i++) {
            const char *what = "";
            if (values[i] == 0 && kinds[i] != OPERAND_LOCATION && kinds[i] != OPERAND_DIRECTION)
                continue;
            if (values[i] == 0 && keyword->needed <= i)
                continue;
            if (kinds[i] == OPERAND_DIRECTION && !operandDeclared(kinds[i], values[i], &what)) {
                addFinding(place, SEVERITY_ERROR, "'%s %d': there is no direction %d (they are 1 to 10)",
                           keyword->word, values[i], values[i]);
            } else if (!operandDeclared(kinds[i], values[i], &what)) {
                bool systemMessage = kinds[i] == OPERAND_SYSTEM_MESSAGE && values[i] >= 1 && values[i] < SYSTEM_MESSAGE_COUNT;
                addFinding(place, systemMessage ? SEVERITY_WARNING : SEVERITY_ERROR,
                           "'%s %d': %s %d is not declared%s", keyword->word[0] ? keyword->word : "gt", values[i],
                           what, values[i], systemMessage ? " in [Sysmsg], so it shows nothing" : "");
            }
        }
    }
}

// Blocks of one table: every start has its end, no end is left over, no
// nesting passes the walker's 16 levels; a while has something to repeat.
static void checkBlocks(const RuleRecord *table, int count, RuleTable which)
{
    constexpr int LEVELS = 16;
    SourcePlace open[LEVELS];
    int depth = 0, overflow = 0;
    for (int i = 0; i < count; i++) {
        char kind = table[i].kind;
        SourcePlace place = recordPlace(which, i);
        if (kind == KIND_BEGIN || kind == KIND_FBEGIN || kind == KIND_SBEGIN) {
            if (depth >= LEVELS - 1) {
                if (overflow++ == 0)
                    addFinding(place, SEVERITY_WARNING, "blocks nested deeper than 15 levels: this block's lines "
                               "belong to level 15 and its end closes the block around it");
            } else {
                open[depth++] = place;
            }
        } else if (kind == KIND_END) {
            if (overflow > 0)
                overflow--;
            else if (depth > 0)
                depth--;
            else
                addFinding(place, SEVERITY_ERROR, "'end' without a block to end");
        } else if (kind == KIND_WHILE) {
            int next = i + 1;
            while (next < count && (table[next].kind == KIND_OR || table[next].kind == KIND_AND))
                next++;
            char after = next < count ? table[next].kind : 0;
            if (after != KIND_ACTION && after != KIND_BEGIN && after != KIND_FBEGIN && after != KIND_SBEGIN)
                addFinding(place, SEVERITY_WARNING, "'while' has nothing to repeat: the next line is neither an "
                           "action line nor a block");
        }
    }
    while (depth > 0)
        addFinding(open[--depth], SEVERITY_ERROR, "this block has no 'end': it runs to the end of the %s",
                   which == EVENT_TABLE ? "[Events]" : "[Actions]");
}

// The number of letters to change, add or drop to turn a into b, case
// aside; limit when it is limit or more.
static int editDistance(const char *a, const char *b, int limit)
{
    constexpr int LONGEST = 16;
    int la = static_cast<int>(strlen(a)), lb = static_cast<int>(strlen(b));
    if (la > LONGEST || lb > LONGEST || std::abs(la - lb) >= limit)
        return limit;
    int row[LONGEST + 1];
    for (int j = 0; j <= lb; j++)
        row[j] = j;
    for (int i = 1; i <= la; i++) {
        int diagonal = row[0];
        row[0] = i;
        int rowBest = i;
        for (int j = 1; j <= lb; j++) {
            int above = row[j];
            int distance = diagonal + (asciiLower(a[i - 1]) != asciiLower(b[j - 1]));
            if (above + 1 < distance)
                distance = above + 1;
            if (row[j - 1] + 1 < distance)
                distance = row[j - 1] + 1;
            row[j] = distance;
            diagonal = above;
            if (distance < rowBest)
                rowBest = distance;
        }
        if (rowBest >= limit)
            return limit;           // no later row can come back under the limit
    }
    return row[lb] < limit ? row[lb] : limit;
}

// The letters a to z a word holds, case aside, as bits.
static uint32_t letterSet(const char *word)
{
    uint32_t letters = 0;
    for (const char *c = word; *c; c++) {
        char lower = asciiLower(*c);
        if (lower >= 'a' && lower <= 'z')
            letters |= 1u << (lower - 'a');
    }
    return letters;
}

// The words the compiler could not use, now that every word is declared.
static void checkLaterWords()
{
    // Each word is looked up in three tables: through the index, as while
    // the source was read.
    bool wasIndexing = nameIndexing();
    setNameIndexing(true);
    for (int i = 0; i < laterWordCount; i++) {
        const LaterWord &later = laterWords[i];
        const char *word = later.word;
        bool verb = findVerb(word) != 0, noun = findNoun(word) != 0, variable = findVariable(word) > 0;
        if (later.expected == OPERAND_VERB || later.expected == OPERAND_NOUN ||
            later.expected == OPERAND_NOUN_OR_VARIABLE || later.expected == OPERAND_VARIABLE) {
            const char *kind = later.expected == OPERAND_VERB ? "verb" : later.expected == OPERAND_VARIABLE ? "variable"
                                                                                                             : "noun";
            bool declared = later.expected == OPERAND_VERB ? verb
                          : later.expected == OPERAND_VARIABLE ? variable
                          : noun || (later.expected == OPERAND_NOUN_OR_VARIABLE && variable);
            if (declared)
                addFinding(later.place, SEVERITY_ERROR, "the %s '%s' is declared only after this line: declare "
                           "words and variables before the rules that name them", kind, word);
            else
                addFinding(later.place, SEVERITY_ERROR, "'%s %s': the %s '%s' is not declared, so '%s' is "
                           "left without it", later.keyword, word, kind, word, later.keyword);
            continue;
        }
        if (variable) {
            addFinding(later.place, SEVERITY_ERROR, "the variable '%s' is declared only after this line: declare "
                       "variables before the rules that name them", word);
            continue;
        }
        // The nearest keyword of the line's kind, for a misspelling.
        const Keyword *table = later.conditions ? CONDITION_KEYWORDS : ACTION_KEYWORDS;
        size_t count = later.conditions ? std::size(CONDITION_KEYWORDS) : std::size(ACTION_KEYWORDS);
        const char *nearest = nullptr;
        int best = 3;
        uint32_t letters = letterSet(word);
        static uint32_t conditionLetters[std::size(CONDITION_KEYWORDS)], actionLetters[std::size(ACTION_KEYWORDS)];
        uint32_t *keywordLetters = later.conditions ? conditionLetters : actionLetters;
        if (!keywordLetters[0])
            for (size_t k = 0; k < count; k++)
                keywordLetters[k] = letterSet(table[k].word);
        for (size_t k = 0; k < count; k++) {
            // A change adds or removes at most two letters of the set: a
            // keyword with many letters the word lacks (or the other way)
            // is too far without working the distance out.
            int apart = std::popcount(letters ^ keywordLetters[k]);
            if ((apart + 1) / 2 >= best)
                continue;
            int distance = editDistance(word, table[k].word, best);
            if (distance < best) {
                best = distance;
                nearest = table[k].word;
            }
        }
        if (nearest)
            addFinding(later.place, SEVERITY_ERROR, "unknown word '%s' is dropped: did you mean '%s'?", word, nearest);
        else
            addFinding(later.place, SEVERITY_ERROR, "unknown word '%s' is dropped: it is no %s keyword, verb, noun, "
                       "variable or number", word, later.conditions ? "condition" : "action");
    }
    setNameIndexing(wasIndexing);
    free(laterWords);
    laterWords = nullptr;
    laterWordCount = laterWordCapacity = 0;
}

void checkRuleTables()
{
    checkLaterWords();
    for (int i = 0; i < eventCount; i++)
        checkOperands(events[i], recordPlace(EVENT_TABLE, i));
    for (int i = 0; i < actionCount; i++)
        checkOperands(actions[i], recordPlace(ACTION_TABLE, i));
    checkBlocks(events, eventCount, EVENT_TABLE);
    checkBlocks(actions, actionCount, ACTION_TABLE);
}

static void markUses(const RuleRecord *table, int count, RuleUses &uses)
{
    for (int i = 0; i < count; i++) {
        const RuleRecord &record = table[i];
        bool conditions = isConditionKind(record.kind);
        for (int slot = 0; slot < RULE_SLOTS; slot++) {
            const Keyword *keyword =
                record.opcodes[slot] == KIND_UNUSED ? nullptr : keywordOf(record.opcodes[slot], conditions);
            if (!keyword)
                continue;
            const OperandKind kinds[2] = {keyword->first, keyword->second};
            const int16_t values[2] = {record.firstOperands[slot], record.secondOperands[slot]};
            for (int k = 0; k < 2; k++) {
                int value = values[k];
                if (value < 0)
                    continue;
                if (kinds[k] == OPERAND_OBJECT && value <= lastObject)
                    uses.objects[value] = true;
                else if (kinds[k] == OPERAND_MESSAGE && value <= lastMessage)
                    uses.messages[value] = true;
                else if (kinds[k] == OPERAND_SHOW && value <= lastShow)
                    uses.shows[value] = true;
            }
            // Where rules take the player, or open a way to.
            char opcode = keyword->opcode;
            if (!conditions && opcode == ACT_GO && values[0] >= 0 && values[0] <= lastLocation)
                uses.destinations[values[0]] = true;
            if (!conditions && (opcode == ACT_EXIT || opcode == ACT_SUBST) && values[1] > 0 &&
                values[1] <= lastLocation)
                uses.destinations[values[1]] = true;
        }
    }
}

RuleUses collectRuleUses()
{
    // Every number up to the last declared of its kind (0 when none is).
    size_t objectsEnd = static_cast<size_t>(std::max<int>(lastObject, 0)) + 1;
    size_t messagesEnd = objectsEnd + static_cast<size_t>(std::max<int>(lastMessage, 0)) + 1;
    size_t showsEnd = messagesEnd + static_cast<size_t>(std::max<int>(lastShow, 0)) + 1;
    size_t locationsEnd = showsEnd + static_cast<size_t>(std::max<int>(lastLocation, 0)) + 1;
    RuleUses uses = {};
    bool *all = static_cast<bool *>(calloc(locationsEnd, sizeof(bool)));
    if (!all)
        return uses;
    uses = {all, all + objectsEnd, all + messagesEnd, all + showsEnd};
    markUses(events, eventCount, uses);
    markUses(actions, actionCount, uses);
    return uses;
}

void freeRuleUses(RuleUses *uses)
{
    free(uses->objects);        // the one block holding all four
    *uses = {};
}
