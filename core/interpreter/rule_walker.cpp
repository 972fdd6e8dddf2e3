// The walker over the event and action tables: condition records, blocks,
// while loops, and how each scan ends.
#include "core/interpreter/rule_walker.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/driver/random_numbers.h"
#include "core/database/rule_code.h"
#include "core/interpreter/actions.h"
#include "core/interpreter/session.h"

constexpr int LEVELS = 16;          // block levels 0..15
constexpr int NO_MARK = -1;

// Mode values of evaluateConditions.
constexpr int MODE_TURN = 0;
constexpr int MODE_BEGIN = 1;
constexpr int MODE_CONTINUED = 2;

static long scanWorkLimit = SCAN_WORK_LIMIT;

void setScanWorkLimit(long limit)
{
    scanWorkLimit = limit > 0 ? limit : SCAN_WORK_LIMIT;
}

static bool darkAt(int location)
{
    return locationExists(location) && isDark(location);
}

static bool variableValue(int variable, int16_t *value)
{
    if (variable < 0 || variable >= varCount)
        return false;
    *value = vars[variable].value;
    return true;
}

// Bit k set when slot k holds an opcode, that is, is not an unused slot.
static unsigned usedSlots(const RuleRecord &record)
{
    unsigned used = 0;
    for (int slot = 0; slot < RULE_SLOTS; slot++)
        if (record.opcodes[slot] != KIND_UNUSED)
            used |= 1u << slot;
    return used;
}

// Whether a slot after the first tests a verb or draws a random number,
// negated or not: once the first slot has failed, only those still count (a
// verb match, with a noun match, gives -1; a random condition draws).
static bool laterVerbOrRandom(const RuleRecord &record)
{
    for (int slot = 1; slot < RULE_SLOTS; slot++) {
        int opcode = std::abs(int(record.opcodes[slot]));
        if (opcode == COND_VERB || opcode == COND_RANDOM)
            return true;
    }
    return false;
}

// The conditions that read the location of the object their first operand names.
static bool isObjectCondition(int opcode)
{
    switch (opcode) {
    case COND_EXIST: case COND_ISIN: case COND_CARRIED: case COND_WORN:
    case COND_OWNED: case COND_HERE: case COND_PRESENT:
        return true;
    default:
        return false;
    }
}

// r mod |b| < a for a fresh r; a zero b is never true.
static bool randomDraw(int a, int b)
{
    int r = drawRandom();
    if (b == 0)
        return false;
    return r % abs(b) < a;
}

// Whether the condition of one slot holds. A verb or noun slot whose number
// was typed marks the match, before any negation.
static bool slotHolds(const RuleRecord &record, int slot, int verb, int noun, int noun2, int noun3,
                      int mode, bool &verbMatched, bool &nounMatched)
{
    int opcode = record.opcodes[slot];
    bool negated = opcode < 0;
    if (negated)
        opcode = -opcode;
    int a = record.firstOperands[slot];
    int b = record.secondOperands[slot];
    int objLoc = 0;
    if (isObjectCondition(opcode) && a >= 1 && a <= lastObject)
        objLoc = objectLocation(a);
    int16_t value = 0;
    bool truth;
    switch (opcode) {
    case COND_BEGIN: truth = mode == MODE_BEGIN; break;
    case COND_VERB:
        truth = verb == a;
        verbMatched = verbMatched || truth;
        break;
    case COND_NOUN:
        truth = noun == a;
        nounMatched = nounMatched || truth;
        break;
    case COND_NOUN2: truth = noun2 == a; break;
    case COND_NOUN3: truth = noun3 == a; break;
    case COND_ANYNOUN: truth = a == noun || a == noun2 || a == noun3; break;
    case COND_MOVE:
        if (verb < 1 || verb > DIRECTION_COUNT)
            truth = false;
        else if (a == 0)
            truth = true;
        else if (a == 1)
            truth = locationExit(playerLocation, verb) != 0;
        else if (a == 2)
            truth = locationExit(playerLocation, verb) == 0;
        else
            truth = false;
        break;
    case COND_AT: truth = playerLocation == a; break;
    case COND_EXIST: truth = objLoc != 0; break;
    case COND_ISIN: truth = objLoc == b; break;
    case COND_CARRIED: truth = objLoc == CARRIED; break;
    case COND_WORN: truth = objLoc == WORN; break;
    case COND_OWNED: truth = objLoc == CARRIED || objLoc == WORN; break;
    case COND_HERE: truth = objLoc == playerLocation; break;
    case COND_PRESENT: truth = objLoc == playerLocation || objLoc == CARRIED || objLoc == WORN; break;
    case COND_DARK: truth = a == 0 && (darkAt(playerLocation) || darkAt(0)); break;
    case COND_EQ: truth = variableValue(a, &value) && value == b; break;
    case COND_GT: truth = variableValue(a, &value) && value > b; break;
    case COND_LT: truth = variableValue(a, &value) && value < b; break;
    case COND_FREE: truth = carriedCount < settings.MaxItems; break;
    case COND_RANDOM: truth = randomDraw(a, b); break;
    case COND_CONTINUED: truth = mode == MODE_CONTINUED; break;
    default: truth = true; break;    // unused slot or no condition
    }
    return negated ? !truth : truth;
}

// What a scan needs of each record, worked out once per table (rules never
// change in play): the used slots, and the units an action scan for another
// verb can pass over at once. A unit is an if or while record whose first
// slot tests a verb and no later slot a verb or a random draw, the and
// records after it that test no verb and draw nothing and the or records
// that test only the same verb, then the action record or the whole block
// after them: for any other verb the test fails without a draw or a
// mismatch, so the unit does nothing but leave the running value 1, the
// level's loop mark cleared (a while's mark is cleared as its loop ends at
// once) and, after a block's end, continuedMode off.
struct RecordFacts {
    uint16_t used;              // bit k: slot k holds an opcode
    uint8_t slotCount;          // how many: the work of the record
    bool laterVerbOrRandom;
    bool unitHasBlock;          // the unit starting here holds a block
    bool unitTestsVerb;         // its first test is the verb's, else the location's
    int32_t unitEnd;            // the record after the unit starting here, or -1
    int32_t runEnd;             // for a unit: the record after the run of units it starts
    int32_t run;                // for a unit: the first unit of its run
    int32_t blockUnitsBefore;   // units holding a block that start before this record
};

// What a unit's first test compares and where the unit starts, sorted by
// the first key, then the start. A unit tests the command's verb or the
// player's location first.
struct UnitKey {
    int16_t value;              // the verb or the location tested
    int32_t run;                // the first unit of its run: a unit inside another's block is not of its run
    int32_t start;
};

struct DecodedTable {
    const RuleRecord *rows;
    int count;
    uint32_t generation;        // rulesGeneration when decoded
    RecordFacts *facts;         // count + 1 entries; nullptr when none could be made
    UnitKey *verbUnits;         // units testing a verb first
    int verbUnitCount;
    UnitKey *atUnits;           // units testing the player's location first
    int atUnitCount;
};

static DecodedTable decodedEvents = {}, decodedActions = {};

// Whether any slot tests a verb or draws a random number, negated or not.
static bool testsVerbOrRandom(const RuleRecord &record)
{
    int first = std::abs(int(record.opcodes[0]));
    return first == COND_VERB || first == COND_RANDOM || laterVerbOrRandom(record);
}

// Whether the first slot is the test opcode of value (not negated) and no
// later slot tests a verb or draws a random number.
static bool onlyTestFirst(const RuleRecord &record, int opcode, int value)
{
    return record.opcodes[0] == opcode && record.firstOperands[0] == value && !laterVerbOrRandom(record);
}

static bool isBlockStart(char kind)
{
    return kind == KIND_BEGIN || kind == KIND_FBEGIN || kind == KIND_SBEGIN;
}

static bool unitBefore(const UnitKey &a, const UnitKey &b)
{
    if (a.value != b.value)
        return a.value < b.value;
    return a.run != b.run ? a.run < b.run : a.start < b.start;
}

// Works the facts out; the match of each block start comes from a stack of
// the starts the walker counts (a start at level 15 is ignored, as is an
// end at level 0).
static void decodeTable(DecodedTable &table, const RuleRecord *rows, int count)
{
    if (table.facts && table.rows == rows && table.count == count && table.generation == rulesGeneration)
        return;
    free(table.facts);
    free(table.verbUnits);
    free(table.atUnits);
    table = {rows, count, rulesGeneration, nullptr, nullptr, 0, nullptr, 0};
    size_t rowsAndEnd = static_cast<size_t>(count) + 1;
    RecordFacts *facts = static_cast<RecordFacts *>(calloc(rowsAndEnd, sizeof(RecordFacts)));
    int32_t *blockEnd = static_cast<int32_t *>(malloc(rowsAndEnd * sizeof(int32_t)));
    UnitKey *verbUnits = static_cast<UnitKey *>(malloc(rowsAndEnd * sizeof(UnitKey)));
    UnitKey *atUnits = static_cast<UnitKey *>(malloc(rowsAndEnd * sizeof(UnitKey)));
    if (!facts || !blockEnd || !verbUnits || !atUnits) {
        free(facts);
        free(blockEnd);
        free(verbUnits);
        free(atUnits);
        return;     // the walker works out what it needs record by record
    }
    int open[LEVELS];
    int level = 0;
    for (int i = 0; i < count; i++) {
        blockEnd[i] = -1;
        facts[i].used = static_cast<uint16_t>(usedSlots(rows[i]));
        facts[i].slotCount = static_cast<uint8_t>(std::popcount(facts[i].used));
        facts[i].laterVerbOrRandom = laterVerbOrRandom(rows[i]);
        facts[i].unitEnd = -1;
        if (isBlockStart(rows[i].kind) && level < LEVELS - 1)
            open[level++] = i;
        else if (rows[i].kind == KIND_END && level > 0)
            blockEnd[open[--level]] = i;
    }
    int verbUnitCount = 0, atUnitCount = 0;
    for (int i = 0; i < count; i++) {
        const RuleRecord &row = rows[i];
        int opcode = row.opcodes[0], value = row.firstOperands[0];
        if ((row.kind != KIND_IF && row.kind != KIND_WHILE) || (opcode != COND_VERB && opcode != COND_AT) ||
            !onlyTestFirst(row, opcode, value))
            continue;
        // and records that test no verb and draw nothing, and or records
        // that make the same first test and test no other verb, leave the
        // failed test failed, without a mismatch: they belong to the unit.
        int after = i + 1;
        while (after < count && ((rows[after].kind == KIND_AND && !testsVerbOrRandom(rows[after])) ||
                                 (rows[after].kind == KIND_OR && onlyTestFirst(rows[after], opcode, value))))
            after++;
        if (after < count && rows[after].kind == KIND_ACTION) {
            facts[i].unitEnd = after + 1;
        } else if (after < count && isBlockStart(rows[after].kind) && blockEnd[after] >= 0) {
            facts[i].unitEnd = blockEnd[after] + 1;
            facts[i].unitHasBlock = true;
        } else {
            continue;
        }
        facts[i].unitTestsVerb = opcode == COND_VERB;
    }
    // Runs: a unit that starts where the one before ended continues its run.
    for (int i = 0; i < count; i++)
        facts[i].run = -1;
    for (int i = 0; i < count; i++) {
        if (facts[i].unitEnd < 0)
            continue;
        if (facts[i].run < 0)
            facts[i].run = i;
        int end = facts[i].unitEnd;
        if (end < count && facts[end].unitEnd >= 0)
            facts[end].run = facts[i].run;
        const UnitKey key = {rows[i].firstOperands[0], facts[i].run, i};
        if (facts[i].unitTestsVerb)
            verbUnits[verbUnitCount++] = key;
        else
            atUnits[atUnitCount++] = key;
    }
    int32_t blockUnits = 0;
    for (int i = 0; i <= count; i++) {
        facts[i].blockUnitsBefore = blockUnits;
        if (i < count && facts[i].unitHasBlock)
            blockUnits++;
    }
    for (int i = count - 1; i >= 0; i--) {
        int end = facts[i].unitEnd;
        if (end >= 0)
            facts[i].runEnd = end < count && facts[end].unitEnd >= 0 ? facts[end].runEnd : end;
    }
    std::sort(verbUnits, verbUnits + verbUnitCount, unitBefore);
    std::sort(atUnits, atUnits + atUnitCount, unitBefore);
    free(blockEnd);
    table.facts = facts;
    table.verbUnits = verbUnits;
    table.verbUnitCount = verbUnitCount;
    table.atUnits = atUnits;
    table.atUnitCount = atUnitCount;
}

// The first of the sorted units for value in run that starts at from or
// later and before end, or end.
static int nextUnitFor(const UnitKey *units, int unitCount, int value, int run, int from, int end)
{
    const UnitKey key = {static_cast<int16_t>(value), run, from};
    const UnitKey *found = std::lower_bound(units, units + unitCount, key, unitBefore);
    bool inRun = found < units + unitCount && found->value == key.value && found->run == run;
    return inRun && found->start < end ? found->start : end;
}

// Every used slot of a record, in order; 1, 0 or -1 as evaluateConditions.
static int evaluateSlots(const RuleRecord &record, unsigned used, bool later, int verb, int noun, int noun2,
                         int noun3, int mode)
{
    bool verbMatched = false;
    bool nounMatched = false;
    // The first slot settles most records: when it fails, the rest matters
    // only if a later slot can still match the verb or draws a random number.
    int result = slotHolds(record, 0, verb, noun, noun2, noun3, mode, verbMatched, nounMatched) ? 1 : 0;
    if (result == 0 && !verbMatched && !later)
        return 0;
    // Unused slots are always true: only the used ones are looked at.
    for (int slot = 1; slot < RULE_SLOTS; slot++) {
        if (!(used >> slot & 1))
            continue;
        // Once a slot has failed only the verb and noun matches and the
        // random draws of the later slots still count.
        int opcode = std::abs(int(record.opcodes[slot]));
        if (result == 0 && opcode != COND_VERB && opcode != COND_NOUN && opcode != COND_RANDOM)
            continue;
        if (!slotHolds(record, slot, verb, noun, noun2, noun3, mode, verbMatched, nounMatched))
            result = 0;
    }
    if (result == 0 && verbMatched && nounMatched)
        return -1;
    return result;
}

int evaluateConditions(const RuleRecord &record, int verb, int noun, int noun2, int noun3, int mode)
{
    return evaluateSlots(record, usedSlots(record), laterVerbOrRandom(record), verb, noun, noun2, noun3, mode);
}

// The state of one scan over a rule table.
struct Walk {
    const RuleRecord *table;
    int count;
    const DecodedTable *decoded;    // its facts, or nullptr facts when none could be made
    bool actionScan;            // the action table (first rule that acts ends it)
    int verb, noun, noun2, noun3;
    int mode;                   // event scan: MODE_TURN or MODE_BEGIN
    int runningValue = 1;       // 1 true, 0 false, -1 after a quit
    int level = 0;
    bool skip[LEVELS] = {};
    int loopMark[LEVELS];       // index of the while record of the level, or NO_MARK
    char blockKind[LEVELS] = {};
    bool open = true;
    bool acted = false;
    bool mismatch = false;
    bool continuedMode = false;
    long work = 0;              // records visited and slots run
    int next = 0;               // index of the record visited next
};

// Makes the while record of the current level the next record; false when
// the level has no loop.
static bool jumpToLoop(Walk &w, int level)
{
    if (w.loopMark[level] < 0)
        return false;
    w.next = w.loopMark[level];
    return true;
}

// The used slots of a record, whether a later slot tests a verb or draws,
// and how many slots it uses.
static unsigned recordSlots(const Walk &w, const RuleRecord &record, int index, bool *later, int *slots)
{
    if (const RecordFacts *facts = w.decoded->facts) {
        *later = facts[index].laterVerbOrRandom;
        *slots = facts[index].slotCount;
        return facts[index].used;
    }
    *later = laterVerbOrRandom(record);
    unsigned used = usedSlots(record);
    *slots = std::popcount(used);
    return used;
}

static void visitCondition(Walk &w, const RuleRecord &record, int index)
{
    if (w.skip[w.level])
        return;
    int mode = w.actionScan ? (w.continuedMode ? MODE_CONTINUED : MODE_TURN) : w.mode;
    bool later = false;
    int slots = 0;
    unsigned used = recordSlots(w, record, index, &later, &slots);
    w.work += slots;        // the slots that may be tested
    int r = evaluateSlots(record, used, later, w.verb, w.noun, w.noun2, w.noun3, mode);
    switch (record.kind) {
    case KIND_IF:
        w.runningValue = r > 0 ? 1 : 0;
        w.loopMark[w.level] = NO_MARK;
        break;
    case KIND_WHILE:
        w.runningValue = r > 0 ? 1 : 0;
        w.loopMark[w.level] = index;
        break;
    case KIND_AND:
        if (r <= 0)
            w.runningValue = 0;
        break;
    default:    // KIND_OR
        if (r > 0)
            w.runningValue = 1;
        break;
    }
    if (w.actionScan && r < 0)
        w.mismatch = true;
}

static void visitBlockOpen(Walk &w, char kind)
{
    if (w.level >= LEVELS - 1)
        return;     // nested too deep: the block's records belong to level 15
    w.level++;
    w.blockKind[w.level] = kind;
    w.skip[w.level] = !(w.runningValue != 0 && !w.skip[w.level - 1]);
    w.loopMark[w.level] = NO_MARK;
}

static void visitBlockEnd(Walk &w)
{
    if (w.level == 0)
        return;
    int closed = w.level;
    if (w.actionScan) {
        if (closed == 1 && !w.continuedMode && !w.skip[1] && (w.blockKind[1] == KIND_FBEGIN || w.acted))
            w.open = false;
        w.continuedMode = false;
    }
    // A loop inside the block ends with it.
    w.loopMark[closed] = NO_MARK;
    w.level--;
    w.runningValue = 1;
    if (w.skip[closed]) {
        // The block after a while was passed over (its condition failed, or
        // a break left it): the loop is finished.
        w.loopMark[w.level] = NO_MARK;
    } else if (jumpToLoop(w, w.level)) {
        w.open = true;
    }
}

static void handleEventResult(Walk &w, int result)
{
    switch (result) {
    case RESULT_QUIT:
        w.runningValue = -1;
        w.open = false;
        return;
    case RESULT_HALT:
        w.open = false;
        return;
    case RESULT_BREAK:
        if (w.level > 0) {
            w.skip[w.level] = true;
            return;
        }
        break;
    default:
        break;
    }
    jumpToLoop(w, w.level);
}

static void handleActionResult(Walk &w, int result)
{
    w.acted = true;
    switch (result) {
    case RESULT_QUIT:
        w.runningValue = -1;
        w.open = false;
        return;
    case RESULT_HALT:
        w.open = false;
        return;
    case RESULT_CONTINUE:
        w.continuedMode = true;
        break;
    case RESULT_BREAK:
        if (w.level == 0) {
            // Nothing to leave at the top level; a loop here ends all the same.
            w.loopMark[0] = NO_MARK;
            return;
        }
        w.skip[w.level] = true;
        break;
    default:    // RESULT_NORMAL
        if (w.level == 0 || w.blockKind[w.level] == KIND_SBEGIN)
            w.open = false;
        break;
    }
    if (jumpToLoop(w, w.level))
        w.open = true;
}

static void visitAction(Walk &w, const RuleRecord &record, int index)
{
    if (w.skip[w.level]) {
        w.runningValue = 1;
        return;
    }
    if (w.runningValue == 0) {
        // The rule's test failed: a while loop of this level is finished, so
        // a later action line must not jump back to it.
        w.loopMark[w.level] = NO_MARK;
        w.runningValue = 1;
        return;
    }
    bool later = false;
    int slots = 0;
    recordSlots(w, record, index, &later, &slots);
    w.work += slots;
    int result = executeActions(record);
    if (w.actionScan)
        handleActionResult(w, result);
    else
        handleEventResult(w, result);
    if (w.runningValue != -1)
        w.runningValue = 1;
}

// Passes over the run of units from index whose first tests fail, up to
// the first unit for the command's verb or the player's location: their
// only effects are the running value 1, the level's loop mark cleared and,
// when a block ended among them, continuedMode off. False when index starts
// no unit whose test fails.
static bool passOverUnits(Walk &w, int index)
{
    const RecordFacts *facts = w.decoded->facts;
    if (!facts || facts[index].unitEnd < 0 || w.skip[w.level])
        return false;
    int tested = w.table[index].firstOperands[0];
    if (tested == (facts[index].unitTestsVerb ? w.verb : playerLocation))
        return false;
    const DecodedTable &table = *w.decoded;
    int end = facts[index].runEnd;
    // A run of more than this unit may hold one that does not fail.
    if (end != facts[index].unitEnd) {
        int run = facts[index].run;
        end = nextUnitFor(table.verbUnits, table.verbUnitCount, w.verb, run, index, end);
        end = nextUnitFor(table.atUnits, table.atUnitCount, playerLocation, run, index, end);
    }
    w.runningValue = 1;
    w.loopMark[w.level] = NO_MARK;
    if (w.actionScan && facts[end].blockUnitsBefore > facts[index].blockUnitsBefore)
        w.continuedMode = false;
    w.next = end;
    return true;
}

static void walk(Walk &w)
{
    for (int &mark : w.loopMark)
        mark = NO_MARK;
    w.next = 0;
    actionWork = 0;
    while (w.open && w.next < w.count) {
        // A scan that has done this much work is stuck in a loop that never
        // ends: it ends as if halted rather than hanging the game.
        if (++w.work + actionWork > scanWorkLimit) {
            w.open = false;
            break;
        }
        int index = w.next++;
        const RuleRecord &record = w.table[index];
        switch (record.kind) {
        case KIND_IF:
        case KIND_WHILE:
            if (passOverUnits(w, index))
                break;
            visitCondition(w, record, index);
            break;
        case KIND_OR:
        case KIND_AND:
            visitCondition(w, record, index);
            break;
        case KIND_BEGIN:
        case KIND_FBEGIN:
        case KIND_SBEGIN:
            visitBlockOpen(w, record.kind);
            break;
        case KIND_END:
            visitBlockEnd(w);
            break;
        case KIND_ACTION:
            visitAction(w, record, index);
            break;
        default:
            break;  // a kind no line produces: passed over
        }
    }
}

int runEvents(int mode)
{
    decodeTable(decodedEvents, events, eventCount);
    Walk w{};
    w.table = events;
    w.count = eventCount;
    w.decoded = &decodedEvents;
    w.actionScan = false;
    w.mode = mode >= MODE_BEGIN ? MODE_BEGIN : MODE_TURN;
    walk(w);
    return w.runningValue == -1 ? -1 : w.runningValue;
}

ActionScan scanActions(int verb, int noun, int noun2, int noun3)
{
    decodeTable(decodedActions, actions, actionCount);
    Walk w{};
    w.table = actions;
    w.count = actionCount;
    w.decoded = &decodedActions;
    w.actionScan = true;
    w.verb = verb;
    w.noun = noun;
    w.noun2 = noun2;
    w.noun3 = noun3;
    w.mode = MODE_TURN;
    walk(w);
    return ActionScan{w.open, w.runningValue, w.acted, w.mismatch};
}
