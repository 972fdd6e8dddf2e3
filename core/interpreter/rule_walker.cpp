// The walker over the event and action tables: condition records, blocks,
// while loops, and how each scan ends.
#include "core/interpreter/rule_walker.h"

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

// Bit k set when slot k holds an opcode, that is, is not the blank of an
// unused slot. The 16 opcode bytes are tested eight at a time.
static unsigned usedSlots(const RuleRecord &record)
{
    constexpr uint64_t BLANKS = 0x2020202020202020ull;
    constexpr uint64_t LOW7 = 0x7f7f7f7f7f7f7f7full;
    unsigned used = 0;
    for (int half = 0; half < 2; half++) {
        uint64_t bytes;
        memcpy(&bytes, record.opcodes + 8 * half, sizeof bytes);
        uint64_t x = bytes ^ BLANKS;                        // 0 in each unused byte
        uint64_t high = (((x & LOW7) + LOW7) | x) & ~LOW7;  // top bit of each used byte
        used |= unsigned(((high >> 7) * 0x0102040810204080ull) >> 56) << (8 * half);
    }
    return used;
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

// Whether a slot after the first holds a verb or a random condition, negated
// or not: once the first slot has failed, only those still count (a verb
// match, with a noun match, gives -1; a random condition draws a number).
// 'r' and 'v' differ only in bit 2, and so do their negations: with bit 2
// cleared, two comparisons of all 16 opcodes at once find them.
[[gnu::always_inline]] static inline bool laterVerbOrRandom(const RuleRecord &record)
{
    typedef uint8_t Opcodes __attribute__((vector_size(RULE_SLOTS)));
    Opcodes opcodes;
    memcpy(&opcodes, record.opcodes, sizeof opcodes);
    opcodes &= 0xfb;
    Opcodes found = (opcodes == uint8_t(COND_RANDOM & 0xfb)) | (opcodes == uint8_t(-COND_RANDOM & 0xfb));
    uint64_t halves[2];
    memcpy(halves, &found, sizeof halves);
    return ((halves[0] >> 8) | halves[1]) != 0;     // slot 0 left out
}

// Every slot of a record, in order; 1, 0 or -1 as evaluateConditions.
[[gnu::noinline]] static int evaluateSlots(const RuleRecord &record, int verb, int noun, int noun2,
                                           int noun3, int mode)
{
    bool verbMatched = false;
    bool nounMatched = false;
    // The first slot settles most records: when it fails, the rest matters
    // only if a later slot can still match the verb or draws a random number.
    int result = slotHolds(record, 0, verb, noun, noun2, noun3, mode, verbMatched, nounMatched) ? 1 : 0;
    if (result == 0 && !verbMatched && !laterVerbOrRandom(record))
        return 0;
    // Unused slots are always true: only the used ones are looked at.
    for (unsigned used = usedSlots(record) & ~1u; used != 0; used &= used - 1) {
        int slot = std::countr_zero(used);
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

// Most action rules start by testing a verb, and many events the player's
// location; when that first test fails and no later slot can still count,
// the record fails without further work. Kept inline in the walker, which
// evaluates every condition record it visits.
[[gnu::always_inline]] static inline bool failsAtFirstSlot(const RuleRecord &record, int verb)
{
    int first = record.opcodes[0];
    int a = record.firstOperands[0];
    return ((first == COND_VERB && a != verb) || (first == COND_AT && a != playerLocation)) &&
           !laterVerbOrRandom(record);
}

[[gnu::always_inline]] static inline int evaluateRecord(const RuleRecord &record, int verb, int noun,
                                                        int noun2, int noun3, int mode)
{
    if (failsAtFirstSlot(record, verb))
        return 0;
    return evaluateSlots(record, verb, noun, noun2, noun3, mode);
}

int evaluateConditions(const RuleRecord &record, int verb, int noun, int noun2, int noun3, int mode)
{
    return evaluateRecord(record, verb, noun, noun2, noun3, mode);
}

// The state of one scan over a rule table.
struct Walk {
    const RuleRecord *table;
    int count;
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

static void visitCondition(Walk &w, const RuleRecord &record, int index)
{
    if (w.skip[w.level])
        return;
    int mode = w.actionScan ? (w.continuedMode ? MODE_CONTINUED : MODE_TURN) : w.mode;
    w.work += std::popcount(usedSlots(record));     // the slots that may be tested
    int r = evaluateRecord(record, w.verb, w.noun, w.noun2, w.noun3, mode);
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

static void visitAction(Walk &w, const RuleRecord &record)
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
    w.work += std::popcount(usedSlots(record));
    int result = executeActions(record);
    if (w.actionScan)
        handleActionResult(w, result);
    else
        handleEventResult(w, result);
    if (w.runningValue != -1)
        w.runningValue = 1;
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
        // The bulk of a scan: an if line whose first test fails (0, no
        // mismatch) and the action line after it, passed over; together
        // they leave the level's loop mark cleared and the running value 1.
        if (record.kind == KIND_IF && !w.skip[w.level] && failsAtFirstSlot(record, w.verb)) {
            w.loopMark[w.level] = NO_MARK;
            if (w.next < w.count && w.table[w.next].kind == KIND_ACTION) {
                w.next++;
                w.work++;
                w.runningValue = 1;
            } else {
                w.runningValue = 0;
            }
            continue;
        }
        // Action lines make up half of most tables: told apart first.
        if (record.kind == KIND_ACTION) {
            visitAction(w, record);
            continue;
        }
        switch (record.kind) {
        case KIND_IF:
        case KIND_OR:
        case KIND_AND:
        case KIND_WHILE:
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
            visitAction(w, record);
            break;
        default:
            break;  // a kind no line produces: passed over
        }
    }
}

int runEvents(int mode)
{
    Walk w{};
    w.table = events;
    w.count = eventCount;
    w.actionScan = false;
    w.mode = mode >= MODE_BEGIN ? MODE_BEGIN : MODE_TURN;
    walk(w);
    return w.runningValue == -1 ? -1 : w.runningValue;
}

ActionScan scanActions(int verb, int noun, int noun2, int noun3)
{
    Walk w{};
    w.table = actions;
    w.count = actionCount;
    w.actionScan = true;
    w.verb = verb;
    w.noun = noun;
    w.noun2 = noun2;
    w.noun3 = noun3;
    w.mode = MODE_TURN;
    walk(w);
    return ActionScan{w.open, w.runningValue, w.acted, w.mismatch};
}
