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

// The location of object a, or 0 for no such object.
static int objectAt(int a)
{
    return a >= 1 && a <= lastObject ? objectLocation(a) : 0;
}

// r mod |b| < a for a fresh r; a zero b is never true.
static bool randomDraw(int a, int b)
{
    int r = drawRandom();
    if (b == 0)
        return false;
    return r % abs(b) < a;
}

// One used slot of a condition record, as the scans read it. Most
// conditions compare one number of the game's state (a variable, an
// object's location, the player's location, the scan's mode) with a
// constant or with the player's location: decoding gives those a compare
// form, worked out without a jump on the opcode (over thousands of rules of
// mixed kinds no branch predictor follows one). The others (verbs and
// nouns, which mark matches, random draws, darkness, moves, any noun, free
// room, what is carried or present) keep their operands and go through
// slotHolds.
struct DecodedSlot {
    signed char opcode;         // negative when negated
    uint8_t form;               // SLOT_GENERAL, or the bits of a compare form
    int16_t b;                  // general: the second operand; compare: the constant
    int32_t a;                  // general: the first operand; compare: the byte offset of the value read
};

// A compare form: which of less, equal and greater make the slot hold (a
// negation already folded in), where the value is read and what it is
// compared with.
constexpr uint8_t HOLDS_BELOW = 1;
constexpr uint8_t HOLDS_EQUAL = 2;
constexpr uint8_t HOLDS_ABOVE = 4;
constexpr int READS_SHIFT = 3;              // two bits: one of the READ_ values
constexpr uint8_t AGAINST_PLAYER = 32;      // compared with the player's location, else with b
constexpr uint8_t SLOT_GENERAL = 64;

// Where a compare form reads its value: in the variables, in the objects
// (their current location, or the declared one while that is UNCHANGED) or
// in the scan's state cells.
constexpr int READ_VARIABLE = 0;
constexpr int READ_OBJECT = 1;
constexpr int READ_STATE = 2;

constexpr int STATE_ZERO = 0;               // the location of an object that does not exist
constexpr int STATE_PLAYER = 1;
constexpr int STATE_MODE = 2;
constexpr int STATE_NOUN2 = 3;
constexpr int STATE_NOUN3 = 4;
constexpr int STATE_CELLS = 5;

struct ValueSource {
    const char *base;           // the field of row 0
    int fallback;               // bytes from the field to the one UNCHANGED defers to (0: itself)
};

constexpr int VARIABLE_STRIDE = sizeof(VarRecord);
constexpr int OBJECT_STRIDE = sizeof(ObjectRecord);
constexpr int STATE_STRIDE = sizeof(int16_t);

static int16_t stateCells[STATE_CELLS];
static ValueSource valueSources[3];

// The field at offset in row 0 of a table; the state cells for a table
// with no rows, which no compare form reads.
static const char *firstField(const void *rows, size_t offset)
{
    return rows ? static_cast<const char *>(rows) + offset : reinterpret_cast<const char *>(stateCells);
}

// Points the sources at the tables as they are now (the state cells are
// set for each record evaluated, by setStateCells).
static void readValueSources()
{
    valueSources[READ_VARIABLE] = {firstField(vars, offsetof(VarRecord, value)), 0};
    valueSources[READ_OBJECT] = {firstField(objects, offsetof(ObjectRecord, currentLocation)),
                                 static_cast<int>(offsetof(ObjectRecord, initialLocation)) -
                                     static_cast<int>(offsetof(ObjectRecord, currentLocation))};
    valueSources[READ_STATE] = {firstField(nullptr, 0), 0};
    stateCells[STATE_ZERO] = 0;
}

static void setStateCells(int mode, int noun2, int noun3)
{
    stateCells[STATE_PLAYER] = playerLocation;
    stateCells[STATE_MODE] = static_cast<int16_t>(mode);
    stateCells[STATE_NOUN2] = static_cast<int16_t>(noun2);
    stateCells[STATE_NOUN3] = static_cast<int16_t>(noun3);
}

static inline bool compareHolds(DecodedSlot slot)
{
    const ValueSource &source = valueSources[(slot.form >> READS_SHIFT) & 3];
    const char *field = source.base + slot.a;
    int16_t value, fallback;
    memcpy(&value, field, sizeof value);
    memcpy(&fallback, field + source.fallback, sizeof fallback);
    value = value == UNCHANGED ? fallback : value;
    int16_t other = slot.form & AGAINST_PLAYER ? playerLocation : slot.b;
    int order = (value > other) - (value < other) + 1;     // 0 less, 1 equal, 2 greater
    return (slot.form >> order) & 1;
}

// The compare form of a condition, or a general slot.
static DecodedSlot decodeSlot(signed char opcode, int16_t a, int16_t b)
{
    bool negated = opcode < 0;
    int plain = std::abs(int(opcode));
    int read = READ_STATE;
    int row = STATE_ZERO;
    int16_t other = 0;
    uint8_t holds = HOLDS_EQUAL;
    bool againstPlayer = false;
    bool object = a >= 1 && a <= lastObject;
    bool variable = a >= 0 && a < varCount;
    switch (plain) {
    case COND_BEGIN: row = STATE_MODE; other = MODE_BEGIN; break;
    case COND_CONTINUED: row = STATE_MODE; other = MODE_CONTINUED; break;
    case COND_NOUN2: row = STATE_NOUN2; other = a; break;
    case COND_NOUN3: row = STATE_NOUN3; other = a; break;
    case COND_AT: row = STATE_PLAYER; other = a; break;
    case COND_EXIST: holds = HOLDS_BELOW | HOLDS_ABOVE; break;
    case COND_ISIN: other = b; break;
    case COND_CARRIED: other = CARRIED; break;
    case COND_WORN: other = WORN; break;
    case COND_HERE: againstPlayer = true; break;
    case COND_EQ: holds = variable ? HOLDS_EQUAL : 0; other = b; break;
    case COND_GT: holds = variable ? HOLDS_ABOVE : 0; other = b; break;
    case COND_LT: holds = variable ? HOLDS_BELOW : 0; other = b; break;
    case COND_VERB: case COND_NOUN: case COND_ANYNOUN: case COND_MOVE: case COND_OWNED: case COND_PRESENT:
    case COND_DARK: case COND_FREE: case COND_RANDOM:
        return {opcode, SLOT_GENERAL, b, a};
    default: holds = HOLDS_BELOW | HOLDS_EQUAL | HOLDS_ABOVE; break;    // no condition: holds
    }
    switch (plain) {
    case COND_EXIST: case COND_ISIN: case COND_CARRIED: case COND_WORN: case COND_HERE:
        if (object) {
            read = READ_OBJECT;
            row = a;
        }
        break;
    case COND_EQ: case COND_GT: case COND_LT:
        if (variable) {
            read = READ_VARIABLE;
            row = a;
        }
        break;
    default:
        break;
    }
    if (negated)
        holds ^= HOLDS_BELOW | HOLDS_EQUAL | HOLDS_ABOVE;
    uint8_t form = static_cast<uint8_t>(holds | read << READS_SHIFT | (againstPlayer ? AGAINST_PLAYER : 0));
    int stride = read == READ_VARIABLE ? VARIABLE_STRIDE : read == READ_OBJECT ? OBJECT_STRIDE : STATE_STRIDE;
    return {opcode, form, other, row * stride};
}

// Whether the condition of one slot holds. A verb or noun slot whose number
// was typed marks the match, before any negation.
static bool slotHolds(DecodedSlot slot, int verb, int noun, int noun2, int noun3, int mode, bool &verbMatched,
                      bool &nounMatched)
{
    int opcode = slot.opcode;
    bool negated = opcode < 0;
    if (negated)
        opcode = -opcode;
    int a = slot.a;
    int b = slot.b;
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
    case COND_EXIST: truth = objectAt(a) != 0; break;
    case COND_ISIN: truth = objectAt(a) == b; break;
    case COND_CARRIED: truth = objectAt(a) == CARRIED; break;
    case COND_WORN: truth = objectAt(a) == WORN; break;
    case COND_OWNED: truth = objectAt(a) == CARRIED || objectAt(a) == WORN; break;
    case COND_HERE: truth = objectAt(a) == playerLocation; break;
    case COND_PRESENT: truth = objectAt(a) == playerLocation || objectAt(a) == CARRIED || objectAt(a) == WORN; break;
    case COND_DARK: truth = a == 0 && (darkAt(playerLocation) || darkAt(0)); break;
    case COND_EQ: truth = variableValue(a, &value) && value == b; break;
    case COND_GT: truth = variableValue(a, &value) && value > b; break;
    case COND_LT: truth = variableValue(a, &value) && value < b; break;
    case COND_FREE: truth = carriedCount < settings.MaxItems; break;
    case COND_RANDOM: truth = randomDraw(a, b); break;
    case COND_CONTINUED: truth = mode == MODE_CONTINUED; break;
    default: truth = true; break;    // no condition
    }
    return negated ? !truth : truth;
}

// What a scan needs of each record, worked out once per table (rules never
// change in play): its kind and its used slots, copied into a compact array
// so that a scan reads a few bytes a record rather than the whole record,
// and the units an action scan for another verb can pass over at once. A
// unit is an if or while record whose first slot tests a verb and no later
// slot a verb or a random draw, the and records after it that test no verb
// and draw nothing and the or records that test only the same verb, then
// the action record or the whole block after them: for any other verb the
// test fails without a draw or a mismatch, so the unit does nothing but
// leave the running value 1, the level's loop mark cleared (a while's mark
// is cleared as its loop ends at once) and, after a block's end,
// continuedMode off.
constexpr uint8_t LATER_VERB_OR_RANDOM = 1;     // a used slot after the first tests a verb or draws
constexpr uint8_t UNIT_START = 2;               // a unit starts here
constexpr uint8_t UNIT_HAS_BLOCK = 4;           // the unit starting here holds a block
constexpr uint8_t UNIT_TESTS_VERB = 8;          // its first test is the verb's, else the location's
constexpr uint8_t BODY_HAS_BLOCK = 16;          // the body after this test is a block
constexpr uint8_t QUICK_TEST = 32;              // an if or while with a body whose first slot tests
                                                // neither verb nor noun and no later slot tests a
                                                // verb or draws

// The body of an if or while record is the action record or the block its
// test guards, after the and records that draw nothing and test no verb:
// once the test has failed, they change nothing but the running value, the
// loop mark and continuedMode, so a failed test passes over them at once.
struct DecodedRecord {
    char kind;
    uint8_t slotCount;          // used slots: the work of the record
    uint8_t flags;
    uint16_t bodyEnd;           // an if or while record: the record after its body, less this one; 0 = none
    int32_t firstSlot;          // its used slots in the table's slot array
};

// Where the unit starting at a record ends, for the records that start one.
struct UnitFacts {
    int32_t unitEnd;            // the record after the unit starting here
    int32_t runEnd;             // the record after the run of units it starts
    int32_t run;                // the first unit of its run
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
    int lastObject, varCount;   // the rows the compare forms may read
    DecodedRecord *records;     // count entries; nullptr when none could be made
    DecodedSlot *slots;
    UnitFacts *units;           // count + 1 entries
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

// The kind and the used slots of one record, the slots into slots (room for
// RULE_SLOTS); no unit starts there.
static DecodedRecord decodeRecord(const RuleRecord &row, DecodedSlot *slots, int32_t firstSlot)
{
    DecodedRecord decoded = {row.kind, 0, 0, 0, firstSlot};
    bool later = false;
    for (int slot = 0; slot < RULE_SLOTS; slot++) {
        signed char opcode = row.opcodes[slot];
        if (opcode == KIND_UNUSED)
            continue;
        int plain = std::abs(int(opcode));
        later = later || (decoded.slotCount > 0 && (plain == COND_VERB || plain == COND_RANDOM));
        slots[decoded.slotCount++] = decodeSlot(opcode, row.firstOperands[slot], row.secondOperands[slot]);
    }
    if (later)
        decoded.flags |= LATER_VERB_OR_RANDOM;
    return decoded;
}

static void releaseDecoded(DecodedTable &table)
{
    free(table.records);
    free(table.slots);
    free(table.units);
    free(table.verbUnits);
    free(table.atUnits);
    table = {};
}

// Works the facts out; the match of each block start comes from a stack of
// the starts the walker counts (a start at level 15 is ignored, as is an
// end at level 0).
static void decodeTable(DecodedTable &table, const RuleRecord *rows, int count)
{
    if (table.records && table.rows == rows && table.count == count && table.generation == rulesGeneration &&
        table.lastObject == lastObject && table.varCount == varCount)
        return;
    releaseDecoded(table);
    size_t slotCount = 0;
    for (int i = 0; i < count; i++)
        for (int slot = 0; slot < RULE_SLOTS; slot++)
            slotCount += rows[i].opcodes[slot] != KIND_UNUSED;
    size_t rowsAndEnd = static_cast<size_t>(count) + 1;
    table.records = static_cast<DecodedRecord *>(malloc(rowsAndEnd * sizeof(DecodedRecord)));
    table.slots = static_cast<DecodedSlot *>(malloc((slotCount + 1) * sizeof(DecodedSlot)));
    table.units = static_cast<UnitFacts *>(malloc(rowsAndEnd * sizeof(UnitFacts)));
    int32_t *blockEnd = static_cast<int32_t *>(malloc(rowsAndEnd * sizeof(int32_t)));
    if (!table.records || !table.slots || !table.units || !blockEnd) {
        releaseDecoded(table);
        free(blockEnd);
        return;     // the walker decodes each record as it visits it
    }
    table.rows = rows;
    table.count = count;
    table.generation = rulesGeneration;
    table.lastObject = lastObject;
    table.varCount = varCount;
    DecodedRecord *records = table.records;
    UnitFacts *units = table.units;
    int open[LEVELS];
    int level = 0;
    int32_t nextSlot = 0;
    for (int i = 0; i < count; i++) {
        records[i] = decodeRecord(rows[i], table.slots + nextSlot, nextSlot);
        nextSlot += records[i].slotCount;
        blockEnd[i] = -1;
        units[i] = {-1, -1, -1, 0};
        if (isBlockStart(rows[i].kind) && level < LEVELS - 1)
            open[level++] = i;
        else if (rows[i].kind == KIND_END && level > 0)
            blockEnd[open[--level]] = i;
    }
    for (int i = 0; i < count; i++) {
        if (rows[i].kind != KIND_IF && rows[i].kind != KIND_WHILE)
            continue;
        int after = i + 1;
        while (after < count && rows[after].kind == KIND_AND && !testsVerbOrRandom(rows[after]))
            after++;
        int end = after < count && rows[after].kind == KIND_ACTION ? after + 1
                : after < count && isBlockStart(rows[after].kind) && blockEnd[after] >= 0 ? blockEnd[after] + 1
                : i;
        if (end - i > UINT16_MAX)
            continue;       // more rows than a table holds: visited record by record
        records[i].bodyEnd = static_cast<uint16_t>(end - i);
        if (end > after + 1)
            records[i].flags |= BODY_HAS_BLOCK;
        int first = std::abs(int(table.slots[records[i].firstSlot].opcode));
        if (end > i && records[i].slotCount > 0 && first != COND_VERB && first != COND_NOUN &&
            !(records[i].flags & LATER_VERB_OR_RANDOM))
            records[i].flags |= QUICK_TEST;
    }
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
            units[i].unitEnd = after + 1;
        } else if (after < count && isBlockStart(rows[after].kind) && blockEnd[after] >= 0) {
            units[i].unitEnd = blockEnd[after] + 1;
            records[i].flags |= UNIT_HAS_BLOCK;
        } else {
            continue;
        }
        records[i].flags |= UNIT_START | (opcode == COND_VERB ? UNIT_TESTS_VERB : 0);
    }
    size_t verbUnitCount = 0, atUnitCount = 0;
    for (int i = 0; i < count; i++)
        if (records[i].flags & UNIT_START)
            (records[i].flags & UNIT_TESTS_VERB ? verbUnitCount : atUnitCount)++;
    table.verbUnits = static_cast<UnitKey *>(malloc((verbUnitCount + 1) * sizeof(UnitKey)));
    table.atUnits = static_cast<UnitKey *>(malloc((atUnitCount + 1) * sizeof(UnitKey)));
    if (!table.verbUnits || !table.atUnits) {
        releaseDecoded(table);
        free(blockEnd);
        return;
    }
    // Runs: a unit that starts where the one before ended continues its run.
    for (int i = 0; i < count; i++) {
        if (units[i].unitEnd < 0)
            continue;
        if (units[i].run < 0)
            units[i].run = i;
        int end = units[i].unitEnd;
        if (end < count && units[end].unitEnd >= 0)
            units[end].run = units[i].run;
        const UnitKey key = {rows[i].firstOperands[0], units[i].run, i};
        if (records[i].flags & UNIT_TESTS_VERB)
            table.verbUnits[table.verbUnitCount++] = key;
        else
            table.atUnits[table.atUnitCount++] = key;
    }
    int32_t blockUnits = 0;
    units[count] = {-1, -1, -1, 0};
    for (int i = 0; i <= count; i++) {
        units[i].blockUnitsBefore = blockUnits;
        if (i < count && (records[i].flags & UNIT_HAS_BLOCK))
            blockUnits++;
    }
    for (int i = count - 1; i >= 0; i--) {
        int end = units[i].unitEnd;
        if (end >= 0)
            units[i].runEnd = end < count && units[end].unitEnd >= 0 ? units[end].runEnd : end;
    }
    std::sort(table.verbUnits, table.verbUnits + table.verbUnitCount, unitBefore);
    std::sort(table.atUnits, table.atUnits + table.atUnitCount, unitBefore);
    free(blockEnd);
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

// The used slots of a record from slot from (the ones before it held), in
// order; 1, 0 or -1 as evaluateConditions.
static int evaluateSlots(const DecodedRecord &record, const DecodedSlot *slots, int from, int verb, int noun,
                         int noun2, int noun3, int mode)
{
    bool verbMatched = false;
    bool nounMatched = false;
    int result = 1;
    setStateCells(mode, noun2, noun3);
    for (int k = from; k < record.slotCount; k++) {
        // Once a slot has failed only the verb and noun matches and the
        // random draws of the later slots still count, and only those of
        // them if a later slot tests the verb or draws.
        if (result == 0) {
            if (!verbMatched && !(record.flags & LATER_VERB_OR_RANDOM))
                return 0;
            int opcode = std::abs(int(slots[k].opcode));
            if (opcode != COND_VERB && opcode != COND_NOUN && opcode != COND_RANDOM)
                continue;
        }
        bool holds = slots[k].form & SLOT_GENERAL
                         ? slotHolds(slots[k], verb, noun, noun2, noun3, mode, verbMatched, nounMatched)
                         : compareHolds(slots[k]);
        if (!holds)
            result = 0;
    }
    if (result == 0 && verbMatched && nounMatched)
        return -1;
    return result;
}

int evaluateConditions(const RuleRecord &record, int verb, int noun, int noun2, int noun3, int mode)
{
    DecodedSlot slots[RULE_SLOTS];
    DecodedRecord decoded = decodeRecord(record, slots, 0);
    readValueSources();
    return evaluateSlots(decoded, slots, 0, verb, noun, noun2, noun3, mode);
}

// The state of one scan over a rule table.
struct Walk {
    const RuleRecord *table;
    int count;
    const DecodedTable *decoded;    // its facts, or nullptr records when none could be made
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

// The mode the conditions of a scan see.
static int scanMode(const Walk &w)
{
    return w.actionScan ? (w.continuedMode ? MODE_CONTINUED : MODE_TURN) : w.mode;
}

static void visitCondition(Walk &w, const DecodedRecord &record, const DecodedSlot *slots, int index)
{
    if (w.skip[w.level])
        return;
    w.work += record.slotCount;     // the slots that may be tested
    int r = evaluateSlots(record, slots, 0, w.verb, w.noun, w.noun2, w.noun3, scanMode(w));
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

static void visitAction(Walk &w, const DecodedRecord &record, int index)
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
    w.work += record.slotCount;
    int result = executeActions(w.table[index]);
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
static bool passOverUnits(Walk &w, const DecodedRecord &record, const DecodedSlot *slots, int index)
{
    if (!(record.flags & UNIT_START) || w.skip[w.level])
        return false;
    // A verb test keeps its operand in a; the compare form of a location
    // test holds the location in b.
    bool tested = record.flags & UNIT_TESTS_VERB ? slots[0].a == w.verb : slots[0].b == playerLocation;
    if (tested)
        return false;
    const DecodedTable &table = *w.decoded;
    const UnitFacts *units = table.units;
    int end = units[index].runEnd;
    // A run of more than this unit may hold one that does not fail.
    if (end != units[index].unitEnd) {
        int run = units[index].run;
        end = nextUnitFor(table.verbUnits, table.verbUnitCount, w.verb, run, index, end);
        end = nextUnitFor(table.atUnits, table.atUnitCount, playerLocation, run, index, end);
    }
    w.runningValue = 1;
    w.loopMark[w.level] = NO_MARK;
    if (w.actionScan && units[end].blockUnitsBefore > units[index].blockUnitsBefore)
        w.continuedMode = false;
    w.next = end;
    return true;
}

// After a failed if or while test, passes over its body, with the effects a
// visit of each of its records would have had.
static void passOverBody(Walk &w, const DecodedRecord &record, int index)
{
    w.runningValue = 1;
    w.loopMark[w.level] = NO_MARK;
    if (w.actionScan && (record.flags & BODY_HAS_BLOCK))
        w.continuedMode = false;
    w.next = index + record.bodyEnd;
}

// The first slot of a quick test: it marks no match.
static inline bool firstTestHolds(const Walk &w, DecodedSlot slot)
{
    if (!(slot.form & SLOT_GENERAL))
        return compareHolds(slot);
    if (std::abs(int(slot.opcode)) == COND_RANDOM) {   // the most common of the others
        bool drawn = randomDraw(slot.a, slot.b);
        return slot.opcode < 0 ? !drawn : drawn;
    }
    bool verbMatched = false, nounMatched = false;
    return slotHolds(slot, w.verb, w.noun, w.noun2, w.noun3, scanMode(w), verbMatched, nounMatched);
}

// A quick test whose first slot held: the rest of its slots (no verb and
// no draw among them) and the test's effects, as a visit has them.
static void finishQuickTest(Walk &w, const DecodedRecord &record, const DecodedSlot *slots, int index)
{
    w.work += record.slotCount;
    int r = evaluateSlots(record, slots, 1, w.verb, w.noun, w.noun2, w.noun3, scanMode(w));
    w.runningValue = r > 0 ? 1 : 0;
    w.loopMark[w.level] = record.kind == KIND_WHILE ? index : NO_MARK;
    w.next = index + 1;
    if (w.runningValue == 0)
        passOverBody(w, record, index);
}

// Most tests fail at their first slot: such a record and its body change
// only what passing over the body does, and so does each such test after
// it. Visits the quick test at index and those that follow it while they
// fail, counting their work as visits would.
static void visitQuickTests(Walk &w, int index)
{
    const DecodedRecord *records = w.decoded->records;
    const DecodedSlot *slots = w.decoded->slots;
    setStateCells(scanMode(w), w.noun2, w.noun3);
    const DecodedRecord *record = &records[index];
    long work = w.work;             // the visit of index already counted
    const long workLimit = scanWorkLimit - actionWork;     // no action runs here
    const int count = w.count;
    bool blockPassed = false;
    int next = index;
    bool held = false;
    for (;;) {
        if (firstTestHolds(w, slots[record->firstSlot])) {
            held = true;
            break;
        }
        work += record->slotCount;
        blockPassed = blockPassed || (record->flags & BODY_HAS_BLOCK);
        next += record->bodyEnd;
        if (next >= count)
            break;
        record = &records[next];
        if (!(record->flags & QUICK_TEST))
            break;
        if (work + 1 > workLimit)
            break;      // the walk's own count ends the scan there
        work++;
    }
    w.work = work;
    w.next = next;
    w.runningValue = 1;
    w.loopMark[w.level] = NO_MARK;
    if (w.actionScan && blockPassed)
        w.continuedMode = false;
    if (held)
        finishQuickTest(w, *record, slots + record->firstSlot, next);
}

static void walk(Walk &w)
{
    for (int &mark : w.loopMark)
        mark = NO_MARK;
    readValueSources();
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
        DecodedSlot ownSlots[RULE_SLOTS];
        DecodedRecord own;
        const DecodedRecord *record = &own;
        const DecodedSlot *slots = ownSlots;
        if (w.decoded->records) {
            record = &w.decoded->records[index];
            slots = w.decoded->slots + record->firstSlot;
        } else {
            own = decodeRecord(w.table[index], ownSlots, 0);
        }
        if ((record->flags & QUICK_TEST) && !w.skip[w.level]) {
            visitQuickTests(w, index);
            continue;
        }
        switch (record->kind) {
        case KIND_IF:
        case KIND_WHILE:
            if (passOverUnits(w, *record, slots, index) || w.skip[w.level])
                break;
            visitCondition(w, *record, slots, index);
            if (w.runningValue == 0 && record->bodyEnd > 0)
                passOverBody(w, *record, index);
            break;
        case KIND_OR:
        case KIND_AND:
            visitCondition(w, *record, slots, index);
            break;
        case KIND_BEGIN:
        case KIND_FBEGIN:
        case KIND_SBEGIN:
            visitBlockOpen(w, record->kind);
            break;
        case KIND_END:
            visitBlockEnd(w);
            break;
        case KIND_ACTION:
            visitAction(w, *record, index);
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
