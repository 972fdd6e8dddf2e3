// The walker over the event and action tables: condition records, blocks,
// while loops, and how each scan ends.
#include "core/interpreter/rule_walker.h"

#include <cstdlib>

#include "core/interpreter/actions.h"
#include "core/interpreter/session.h"

// Condition opcodes, named after their source keywords.
constexpr int COND_BEGIN = 'b';
constexpr int COND_VERB = 'v';
constexpr int COND_NOUN = 'n';
constexpr int COND_NOUN2 = '2';
constexpr int COND_NOUN3 = '3';
constexpr int COND_ANYNOUN = 'y';
constexpr int COND_MOVE = 'm';
constexpr int COND_AT = 'a';
constexpr int COND_EXIST = 'e';
constexpr int COND_ISIN = 'i';
constexpr int COND_CARRIED = 'c';
constexpr int COND_WORN = 'w';
constexpr int COND_OWNED = 'o';
constexpr int COND_HERE = 'h';
constexpr int COND_PRESENT = 'p';
constexpr int COND_DARK = 'd';
constexpr int COND_EQ = '=';
constexpr int COND_GT = '>';
constexpr int COND_LT = '<';
constexpr int COND_FREE = 'f';
constexpr int COND_RANDOM = 'r';
constexpr int COND_CONTINUED = '+';

// Record kinds.
constexpr char KIND_IF = 'c';
constexpr char KIND_OR = '|';
constexpr char KIND_AND = '&';
constexpr char KIND_WHILE = 'w';
constexpr char KIND_ACTION = 'o';
constexpr char KIND_BEGIN = '{';
constexpr char KIND_FBEGIN = '/';
constexpr char KIND_SBEGIN = '+';
constexpr char KIND_END = '}';

constexpr int LEVELS = 16;          // block levels 0..15
constexpr int NO_MARK = -1;

// Mode values of evaluateConditions.
constexpr int MODE_TURN = 0;
constexpr int MODE_BEGIN = 1;
constexpr int MODE_CONTINUED = 2;

// A scan that jumps back this often is stuck in a loop whose condition never
// fails; it is ended as if halted rather than hanging the game.
constexpr long MAX_LOOP_JUMPS = 1000000;

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

// r mod |b| < a for a fresh r; a zero b is never true.
static bool randomDraw(int a, int b)
{
    int r = rand();
    if (b == 0)
        return false;
    return r % abs(b) < a;
}

int evaluateConditions(const RuleRecord &record, int verb, int noun, int noun2, int noun3, int mode)
{
    int result = 1;
    bool verbMatched = false;
    bool nounMatched = false;
    for (int slot = 0; slot < RULE_SLOTS; slot++) {
        int opcode = record.opcodes[slot];
        bool negated = opcode < 0;
        if (negated)
            opcode = -opcode;
        int a = record.firstOperands[slot];
        int b = record.secondOperands[slot];
        int objLoc = (a >= 1 && a <= lastObject) ? objectLocation(a) : 0;
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
        if (negated)
            truth = !truth;
        if (!truth)
            result = 0;
    }
    if (result == 0 && verbMatched && nounMatched)
        return -1;
    return result;
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
    long jumps = 0;
    int next = 0;               // index of the record visited next
};

// Makes the while record of the current level the next record; false when
// the level has no loop.
static bool jumpToLoop(Walk &w, int level)
{
    if (w.loopMark[level] < 0)
        return false;
    if (++w.jumps > MAX_LOOP_JUMPS) {
        w.open = false;
        return false;
    }
    w.next = w.loopMark[level];
    return true;
}

static void visitCondition(Walk &w, const RuleRecord &record, int index)
{
    if (w.skip[w.level])
        return;
    int mode = w.actionScan ? (w.continuedMode ? MODE_CONTINUED : MODE_TURN) : w.mode;
    int r = evaluateConditions(record, w.verb, w.noun, w.noun2, w.noun3, mode);
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
    while (w.open && w.next < w.count) {
        int index = w.next++;
        const RuleRecord &record = w.table[index];
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
