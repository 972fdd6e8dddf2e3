// The rule walker against a reference walk: random rule-heavy games are
// played through runEvents and scanActions and through a walk written plainly
// from the walking rules, and the two are compared after every scan.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "core/database/game_database.h"
#include "core/database/rule_code.h"
#include "core/driver/random_numbers.h"
#include "core/interpreter/actions.h"
#include "core/interpreter/rule_walker.h"
#include "core/interpreter/session.h"
#include "tests/support/recording_frontend.h"

namespace {

constexpr int LEVELS = 16;
constexpr int NO_MARK = -1;
constexpr int GAMES = 3000;
// The real walker's bound while the games are played; the reference checks
// that its walk stays well below it, so no compared scan was cut short.
constexpr long WORK_LIMIT = 20000000L;
// A reference walk visiting this many records is taken for an endless loop.
constexpr long VISIT_CAP = 500000L;

// ---------------------------------------------------------------------------
// The reference: condition records evaluated slot by slot, and one walk over
// a table with the walker's state kept in plain locals.

int referenceObjectLocation(int object)
{
    if (object < 1 || object > lastObject)
        return 0;
    const ObjectRecord &row = objects[object];
    return row.currentLocation == UNCHANGED ? row.initialLocation : row.currentLocation;
}

int referenceExit(int location, int direction)
{
    if (location < 0 || location > lastLocation)
        return 0;
    int16_t exit = locations[location].currentExits[direction - 1];
    return exit == UNCHANGED ? locations[location].exits[direction - 1] : exit;
}

int referenceEvaluate(const RuleRecord &record, int verb, int noun, int noun2, int noun3, int mode)
{
    int result = 1;
    bool verbMatched = false;
    bool nounMatched = false;
    for (int slot = 0; slot < RULE_SLOTS; slot++) {
        int opcode = record.opcodes[slot];
        bool negated = opcode < 0;
        int condition = negated ? -opcode : opcode;
        int a = record.firstOperands[slot];
        int b = record.secondOperands[slot];
        int objLoc = referenceObjectLocation(a);
        bool variable = a >= 0 && a < varCount;     // out of range: the comparison is false
        int value = variable ? vars[a].value : 0;
        bool truth;
        switch (condition) {
        case COND_BEGIN: truth = mode == 1; break;
        case COND_VERB:
            truth = verb == a;
            if (truth)
                verbMatched = true;
            break;
        case COND_NOUN:
            truth = noun == a;
            if (truth)
                nounMatched = true;
            break;
        case COND_NOUN2: truth = noun2 == a; break;
        case COND_NOUN3: truth = noun3 == a; break;
        case COND_ANYNOUN: truth = a == noun || a == noun2 || a == noun3; break;
        case COND_MOVE: {
            bool direction = verb >= 1 && verb <= DIRECTION_COUNT;
            int exit = direction ? referenceExit(playerLocation, verb) : 0;
            truth = direction && (a == 0 || (a == 1 && exit != 0) || (a == 2 && exit == 0));
            break;
        }
        case COND_AT: truth = playerLocation == a; break;
        case COND_EXIST: truth = objLoc != 0; break;
        case COND_ISIN: truth = objLoc == b; break;
        case COND_CARRIED: truth = objLoc == CARRIED; break;
        case COND_WORN: truth = objLoc == WORN; break;
        case COND_OWNED: truth = objLoc == CARRIED || objLoc == WORN; break;
        case COND_HERE: truth = objLoc == playerLocation; break;
        case COND_PRESENT: truth = objLoc == playerLocation || objLoc == CARRIED || objLoc == WORN; break;
        case COND_DARK: truth = a == 0 && (isDark(playerLocation) || isDark(0)); break;
        case COND_EQ: truth = variable && value == b; break;
        case COND_GT: truth = variable && value > b; break;
        case COND_LT: truth = variable && value < b; break;
        case COND_FREE: truth = carriedCount < settings.MaxItems; break;
        case COND_RANDOM: {
            int r = drawRandom();       // drawn even when b is 0, which is never true
            truth = b != 0 && r % std::abs(b) < a;
            break;
        }
        case COND_CONTINUED: truth = mode == 2; break;
        default: truth = true; break;
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

// An upper bound of the work the real walker counts for an executed action
// record: its slots and what moveall and subst look at.
long actionWorkBound(const RuleRecord &record)
{
    long work = 0;
    for (int slot = 0; slot < RULE_SLOTS; slot++) {
        if (record.opcodes[slot] == ACT_MOVEALL)
            work += lastObject + 1;
        else if (record.opcodes[slot] == ACT_SUBST)
            work += (lastLocation + 1L) * DIRECTION_COUNT;
    }
    return work;
}

struct ReferenceScan {
    bool open;
    int runningValue;
    bool acted;
    bool mismatch;
    long workBound;     // at least the work the real walker counts for the same walk
    bool endless;       // stopped at VISIT_CAP
};

ReferenceScan referenceWalk(const RuleRecord *table, int count, bool actionScan, int verb, int noun,
                            int noun2, int noun3, int eventMode)
{
    int running = 1;
    int level = 0;
    bool skip[LEVELS] = {};
    int mark[LEVELS];
    std::fill(mark, mark + LEVELS, NO_MARK);
    char blockKind[LEVELS] = {};
    bool open = true;
    bool acted = false;
    bool mismatch = false;
    bool continuedMode = false;
    long visits = 0;
    long work = 0;
    int index = 0;
    while (open && index < count) {
        if (++visits > VISIT_CAP)
            return {open, running, acted, mismatch, work, true};
        work += 1 + RULE_SLOTS;
        const RuleRecord &record = table[index];
        int next = index + 1;
        switch (record.kind) {
        case KIND_IF:
        case KIND_OR:
        case KIND_AND:
        case KIND_WHILE: {
            if (skip[level])
                break;
            int mode = actionScan ? (continuedMode ? 2 : 0) : eventMode;
            int r = referenceEvaluate(record, verb, noun, noun2, noun3, mode);
            if (record.kind == KIND_IF || record.kind == KIND_WHILE)
                running = r > 0 ? 1 : 0;
            else if (record.kind == KIND_AND && r <= 0)
                running = 0;
            else if (record.kind == KIND_OR && r > 0)
                running = 1;
            if (record.kind == KIND_WHILE)
                mark[level] = index;
            if (record.kind == KIND_IF)
                mark[level] = NO_MARK;
            if (actionScan && r < 0)
                mismatch = true;
            break;
        }
        case KIND_BEGIN:
        case KIND_FBEGIN:
        case KIND_SBEGIN:
            if (level < LEVELS - 1) {
                level++;
                blockKind[level] = record.kind;
                skip[level] = !(running != 0 && !skip[level - 1]);
            }
            break;
        case KIND_ACTION:
            if (running != 0 && !skip[level]) {
                work += actionWorkBound(record);
                int result = executeActions(record);
                bool mayJump = false;
                if (actionScan) {
                    acted = true;
                    if (result == RESULT_QUIT) {
                        running = -1;
                        open = false;
                    } else if (result == RESULT_HALT) {
                        open = false;
                    } else if (result == RESULT_BREAK && level == 0) {
                        mark[0] = NO_MARK;      // a top-level break ends a top-level loop
                    } else {
                        if (result == RESULT_NORMAL && (level == 0 || blockKind[level] == KIND_SBEGIN))
                            open = false;
                        if (result == RESULT_CONTINUE)
                            continuedMode = true;
                        if (result == RESULT_BREAK)
                            skip[level] = true;
                        mayJump = true;
                    }
                } else {
                    if (result == RESULT_QUIT) {
                        running = -1;
                        open = false;
                    } else if (result == RESULT_HALT) {
                        open = false;
                    } else if (result == RESULT_BREAK && level > 0) {
                        skip[level] = true;
                    } else {
                        mayJump = true;
                    }
                }
                if (mayJump && mark[level] >= 0) {
                    next = mark[level];
                    open = true;
                }
                if (running != -1)
                    running = 1;
            } else {
                // Passed over for a failed test: a loop of this level is finished.
                if (!skip[level])
                    mark[level] = NO_MARK;
                running = 1;
            }
            break;
        case KIND_END: {
            if (level == 0)
                break;
            if (actionScan) {
                if (level == 1 && !continuedMode && !skip[1] && (blockKind[1] == KIND_FBEGIN || acted))
                    open = false;
                continuedMode = false;
            }
            int closed = level;
            mark[closed] = NO_MARK;     // a loop inside the block ends with it
            level--;
            running = 1;
            if (skip[closed]) {
                mark[level] = NO_MARK;  // the block after a while was passed over
            } else if (mark[level] >= 0) {
                next = mark[level];
                open = true;
            }
            break;
        }
        default:
            break;
        }
        index = next;
    }
    return {open, running, acted, mismatch, work, false};
}

// ---------------------------------------------------------------------------
// Run-time state: what actions change, saved and compared.

struct State {
    std::vector<int16_t> objectLocations;
    std::vector<int16_t> values;
    std::vector<int16_t> exits;     // DIRECTION_COUNT per location
    std::vector<int16_t> lights;
    int16_t player = 0;
    int16_t carried = 0;
    bool operator==(const State &) const = default;
};

State captureState()
{
    State s;
    for (int i = 0; i <= lastObject; i++)
        s.objectLocations.push_back(objects[i].currentLocation);
    for (int i = 0; i < varCount; i++)
        s.values.push_back(vars[i].value);
    for (int i = 0; i <= lastLocation; i++) {
        s.exits.insert(s.exits.end(), locations[i].currentExits, locations[i].currentExits + DIRECTION_COUNT);
        s.lights.push_back(locations[i].currentLight);
    }
    s.player = playerLocation;
    s.carried = carriedCount;
    return s;
}

void restoreState(const State &s)
{
    for (int i = 0; i <= lastObject; i++)
        objects[i].currentLocation = s.objectLocations[i];
    for (int i = 0; i < varCount; i++)
        vars[i].value = s.values[i];
    for (int i = 0; i <= lastLocation; i++) {
        std::copy_n(s.exits.begin() + i * DIRECTION_COUNT, DIRECTION_COUNT, locations[i].currentExits);
        locations[i].currentLight = s.lights[i];
    }
    playerLocation = s.player;
    carriedCount = s.carried;
}

std::string listNumbers(const std::vector<int16_t> &numbers)
{
    std::string text;
    for (int16_t n : numbers)
        text += " " + std::to_string(n);
    return text;
}

std::string stateDifference(const State &real, const State &reference)
{
    auto line = [](const char *what, const std::string &a, const std::string &b) {
        return std::string(what) + ": walker" + a + " | reference" + b + "\n";
    };
    std::string text;
    if (real.objectLocations != reference.objectLocations)
        text += line("object locations", listNumbers(real.objectLocations), listNumbers(reference.objectLocations));
    if (real.values != reference.values)
        text += line("variables", listNumbers(real.values), listNumbers(reference.values));
    if (real.exits != reference.exits)
        text += line("current exits", listNumbers(real.exits), listNumbers(reference.exits));
    if (real.lights != reference.lights)
        text += line("current light", listNumbers(real.lights), listNumbers(reference.lights));
    if (real.player != reference.player)
        text += line("player location", " " + std::to_string(real.player), " " + std::to_string(reference.player));
    if (real.carried != reference.carried)
        text += line("carried count", " " + std::to_string(real.carried), " " + std::to_string(reference.carried));
    return text;
}

// ---------------------------------------------------------------------------
// Random games.

struct Slot {
    int opcode;     // negative = negated
    int a;
    int b;
};

struct Command {
    int verb, noun, noun2, noun3;
};

struct Game {
    uint32_t seed = 0;
    std::vector<RuleRecord> tables[2];      // events, actions
    std::vector<Command> commands;
    std::deque<std::string> answers;        // for pause and the two questions
    State initial;
};

class GameMaker {
public:
    explicit GameMaker(uint32_t seed) : seed_(seed), rng_(seed) {}

    // Builds the world in the database and the two rule tables.
    Game make();

private:
    static constexpr int COUNTERS_PER_TABLE = 12;
    static constexpr int MAX_DEPTH = 4;

    struct Table {
        std::vector<RuleRecord> records;
        int number = 0;         // 0 events, 1 actions
        int usedCounters = 0;   // the table's counters whose while is emitted
    };

    uint32_t seed_;
    std::mt19937 rng_;
    int lastLoc_ = 0, lastObj_ = 0, lastMsg_ = 0, generalTop_ = 0, counterBase_ = 0;
    int quitPercentTenths_ = 0;
    std::vector<int> verbWords_, nounWords_;

    int rnd(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool chance(int percent) { return rnd(0, 99) < percent; }
    int pick(const std::vector<int> &v) { return v[rnd(0, static_cast<int>(v.size()) - 1)]; }

    void makeWorld();
    int counter(int table, int k) const { return counterBase_ + table * COUNTERS_PER_TABLE + k; }
    int generalVariable();
    int anyVariable();
    int locationValue();
    Slot conditionSlot();
    Slot actionSlot(const Table &t);
    RuleRecord record(char kind, std::vector<Slot> slots, bool fromFirstSlot);
    RuleRecord conditionRecord(char kind, bool actionTable);
    RuleRecord actionRecord(const Table &t);
    void conditions(Table &t);
    void item(Table &t, int depth);
    void sequence(Table &t, int depth, int length);
    void block(Table &t, int depth);
    void loop(Table &t, int depth);
    void deepNest(Table &t);
};

void GameMaker::makeWorld()
{
    resetDatabase();
    for (int i = 0; i < DIRECTION_COUNT; i++)
        directions[i] = appendText(("dir" + std::to_string(i + 1)).c_str(), false);
    for (int i = 0; i < SYSTEM_MESSAGE_COUNT; i++)
        systemMessages[i] = appendText(("sys" + std::to_string(i)).c_str(), false);

    lastLoc_ = rnd(2, 6);
    growLocations(lastLoc_);
    for (int i = 0; i <= lastLoc_; i++) {
        LocationRecord &row = locations[i];
        row.name = appendText(("room" + std::to_string(i)).c_str(), false);
        row.description = chance(70) ? appendText(("about" + std::to_string(i)).c_str(), false) : 0;
        row.flags = chance(30) ? 1 : 0;
        row.currentLight = chance(70) ? UNCHANGED : static_cast<int16_t>(rnd(0, 2));
        for (int d = 0; d < DIRECTION_COUNT; d++) {
            row.exits[d] = static_cast<int16_t>(chance(40) ? rnd(1, lastLoc_) : 0);
            row.currentExits[d] = chance(85) ? UNCHANGED : static_cast<int16_t>(rnd(0, lastLoc_));
        }
    }

    lastObj_ = rnd(2, 8);
    growObjects(lastObj_);
    const int16_t places[] = {0, CARRIED, WORN};
    for (int i = 1; i <= lastObj_; i++) {
        ObjectRecord &row = objects[i];
        row.name = chance(92) ? appendText(("thing" + std::to_string(i)).c_str(), false) : 0;
        row.initialLocation = chance(60) ? static_cast<int16_t>(rnd(0, lastLoc_)) : places[rnd(0, 2)];
        row.flags = static_cast<int16_t>(rnd(0, 7));
        row.noun = static_cast<int16_t>(i);
        row.description = chance(50) ? appendText(("looks" + std::to_string(i)).c_str(), false) : 0;
        row.currentLocation = chance(75) ? UNCHANGED : static_cast<int16_t>(rnd(-2, lastLoc_));
    }

    // Variables: general ones 0..generalTop_ (row 0 is the placeholder),
    // then the loop counters of the event table and of the action table.
    generalTop_ = rnd(2, 4);
    counterBase_ = generalTop_ + 1;
    int rows = counterBase_ + 2 * COUNTERS_PER_TABLE;
    for (int i = 1; i < rows; i++) {
        VarRecord *v = appendVar();
        copyWord(v->name, ("v" + std::to_string(i)).c_str());
    }
    for (int i = 0; i < varCount; i++)
        vars[i].value = static_cast<int16_t>(i < counterBase_ ? rnd(-2, 5) : rnd(0, 3));

    lastMsg_ = 30;
    growMessages(lastMsg_);
    for (int i = 1; i <= lastMsg_; i++)
        messages[i] = appendText(std::to_string(i).c_str(), false);

    settings.MaxItems = static_cast<int16_t>(rnd(0, 4));
    settings.ShowExits = static_cast<int16_t>(rnd(0, 1));
    playerLocation = static_cast<int16_t>(rnd(1, lastLoc_));
    recountCarried();

    verbWords_ = {rnd(1, 4), rnd(1, 10), 11, 14, 15, rnd(16, 30)};
    nounWords_ = {0, 0, lastObj_ + 1, rnd(1, 30)};
    for (int i = 1; i <= lastObj_; i++)
        nounWords_.push_back(i);
    quitPercentTenths_ = chance(30) ? 4 : 0;
}

int GameMaker::generalVariable()
{
    if (chance(8))
        return chance(50) ? -1 : varCount + rnd(0, 2);   // no such variable
    return rnd(0, generalTop_);
}

int GameMaker::anyVariable()
{
    if (chance(8))
        return chance(50) ? -1 : varCount + rnd(0, 2);
    return chance(70) ? rnd(0, generalTop_) : rnd(0, varCount - 1);
}

int GameMaker::locationValue()
{
    const int16_t special[] = {CARRIED, WORN, 0, UNCHANGED};
    return chance(75) ? rnd(0, lastLoc_) : special[rnd(0, 3)];
}

Slot GameMaker::conditionSlot()
{
    static const int codes[] = {
        COND_BEGIN, COND_VERB, COND_NOUN, COND_NOUN2, COND_NOUN3, COND_ANYNOUN, COND_MOVE, COND_AT,
        COND_EXIST, COND_ISIN, COND_CARRIED, COND_WORN, COND_OWNED, COND_HERE, COND_PRESENT,
        COND_DARK, COND_EQ, COND_GT, COND_LT, COND_FREE, COND_RANDOM, COND_CONTINUED,
    };
    Slot s{codes[rnd(0, CONDITION_KEYWORD_COUNT - 1)], rnd(0, 2), rnd(0, 2)};
    switch (s.opcode) {
    case COND_VERB: s.a = chance(85) ? pick(verbWords_) : rnd(0, 30); break;
    case COND_NOUN: case COND_NOUN2: case COND_NOUN3: case COND_ANYNOUN:
        s.a = pick(nounWords_);
        break;
    case COND_MOVE: s.a = rnd(0, 3); break;
    case COND_AT: s.a = rnd(-1, lastLoc_ + 1); break;
    case COND_EXIST: case COND_CARRIED: case COND_WORN: case COND_OWNED: case COND_HERE:
    case COND_PRESENT:
        s.a = rnd(-1, lastObj_ + 1);
        break;
    case COND_ISIN:
        s.a = rnd(-1, lastObj_ + 1);
        s.b = locationValue();
        break;
    case COND_DARK: s.a = chance(75) ? 0 : rnd(1, 2); break;
    case COND_EQ: case COND_GT: case COND_LT:
        s.a = anyVariable();
        s.b = chance(95) ? rnd(-2, 5) : (chance(50) ? -32768 : 32767);
        break;
    case COND_RANDOM:
        s.a = rnd(-1, 5);
        s.b = rnd(-5, 5);
        break;
    default: break;
    }
    if (chance(3))
        s.opcode = chance(50) ? int('Z') : int(KIND_UNUSED);     // no such condition: always true, false negated
    if (chance(25))
        s.opcode = -s.opcode;
    return s;
}

Slot GameMaker::actionSlot(const Table &t)
{
    int roll = rnd(0, 999);
    if (roll < quitPercentTenths_)
        return {ACT_QUIT, 0, 0};
    if (roll < 30)
        return {ACT_HALT, 0, 0};
    if (roll < 65)
        return {ACT_CONTINUE, 0, 0};
    if (roll < 100)
        return {ACT_BREAK, 0, 0};
    if (roll < 180) {
        // Sets a loop counter that no loop of this scan has begun to count:
        // any of the other table's, or one of this table's whose while is
        // still to come.
        int other = 1 - t.number;
        int choices = COUNTERS_PER_TABLE + (COUNTERS_PER_TABLE - t.usedCounters);
        int k = rnd(0, choices - 1);
        int variable = k < COUNTERS_PER_TABLE ? counter(other, k)
                                              : counter(t.number, t.usedCounters + k - COUNTERS_PER_TABLE);
        return {ACT_SET, variable, rnd(0, 4)};
    }
    static const int codes[] = {
        ACT_MESSAGE, ACT_MESSAGE, ACT_MESSAGE, ACT_MESSAGE, ACT_SET, ACT_ADD, ACT_SUB, ACT_GET,
        ACT_WEAR, ACT_PUT, ACT_CREATE, ACT_DESTROY, ACT_SWAP, ACT_MOVEALL, ACT_GO, ACT_AT, ACT_EXIT,
        ACT_SUBST, ACT_LIGHT, ACT_SYSMSG, ACT_REDESC, ACT_CLS, ACT_SHOW, ACT_PAUSE, ACT_MCHOICHE,
        ACT_BCHOICHE,
    };
    Slot s{codes[rnd(0, static_cast<int>(std::size(codes)) - 1)], 0, 0};
    switch (s.opcode) {
    case ACT_MESSAGE: s.a = rnd(0, lastMsg_ + 1); break;
    case ACT_SYSMSG: s.a = rnd(0, SYSTEM_MESSAGE_COUNT + 1); break;
    case ACT_SET: s.a = generalVariable(); s.b = rnd(-3, 5); break;
    case ACT_ADD: case ACT_SUB: s.a = generalVariable(); s.b = rnd(1, 3); break;
    case ACT_GET: case ACT_WEAR: case ACT_CREATE: case ACT_DESTROY: s.a = rnd(0, lastObj_ + 1); break;
    case ACT_PUT: s.a = rnd(0, lastObj_ + 1); s.b = locationValue(); break;
    case ACT_SWAP: s.a = rnd(0, lastObj_ + 1); s.b = rnd(0, lastObj_ + 1); break;
    case ACT_MOVEALL: s.a = rnd(0, lastLoc_); s.b = locationValue(); break;
    case ACT_GO: case ACT_AT: s.a = rnd(0, lastLoc_ + 1); break;
    case ACT_EXIT: s.a = rnd(0, DIRECTION_COUNT + 1); s.b = rnd(0, lastLoc_); break;
    case ACT_SUBST: s.a = rnd(0, lastLoc_); s.b = rnd(0, lastLoc_); break;
    case ACT_LIGHT: s.a = rnd(0, lastLoc_); s.b = chance(70) ? 0 : 1; break;
    case ACT_SHOW: s.a = rnd(0, 2); break;
    case ACT_PAUSE: s.a = rnd(0, 2); break;
    case ACT_MCHOICHE: s.a = generalVariable(); s.b = rnd(1, 9); break;
    case ACT_BCHOICHE: s.a = generalVariable(); break;
    default: break;
    }
    return s;
}

// The slots go to the first positions or, now and then, to positions spread
// over the 16 in their order.
RuleRecord GameMaker::record(char kind, std::vector<Slot> slots, bool fromFirstSlot)
{
    RuleRecord r{};
    r.kind = kind;
    for (signed char &op : r.opcodes)
        op = KIND_UNUSED;
    std::vector<int> positions(RULE_SLOTS);
    for (int i = 0; i < RULE_SLOTS; i++)
        positions[i] = i;
    if (!fromFirstSlot && chance(40)) {
        std::shuffle(positions.begin(), positions.end(), rng_);
        std::sort(positions.begin(), positions.begin() + static_cast<long>(slots.size()));
    }
    for (size_t i = 0; i < slots.size(); i++) {
        int p = positions[i];
        r.opcodes[p] = static_cast<signed char>(slots[i].opcode);
        r.firstOperands[p] = static_cast<int16_t>(slots[i].a);
        r.secondOperands[p] = static_cast<int16_t>(slots[i].b);
    }
    return r;
}

RuleRecord GameMaker::conditionRecord(char kind, bool actionTable)
{
    std::vector<Slot> slots;
    bool ruleLike = kind == KIND_IF && chance(actionTable ? 60 : 30);
    if (ruleLike) {
        // Like most rules: a verb (actions) or a location (events) first,
        // often a noun after it.
        if (actionTable)
            slots.push_back({COND_VERB, chance(85) ? pick(verbWords_) : rnd(0, 30), 0});
        else
            slots.push_back({COND_AT, rnd(0, lastLoc_), 0});
        if (actionTable && chance(50))
            slots.push_back({COND_NOUN, pick(nounWords_), 0});
    }
    int more = rnd(ruleLike ? 0 : 1, ruleLike ? 3 : 5);
    for (int i = 0; i < more && slots.size() < 5; i++)
        slots.push_back(conditionSlot());
    return record(kind, slots, ruleLike);
}

RuleRecord GameMaker::actionRecord(const Table &t)
{
    std::vector<Slot> slots;
    int n = rnd(1, 4);
    for (int i = 0; i < n; i++)
        slots.push_back(actionSlot(t));
    return record(KIND_ACTION, slots, false);
}

// An if line (rarely an and or an or line instead), then and/or lines; an
// or line often repeats the rule's first test, sometimes negated, as in
// "if verb 14 noun 5, or verb 14 noun 6".
void GameMaker::conditions(Table &t)
{
    bool actionTable = t.number == 1;
    char first = chance(95) ? KIND_IF : (chance(50) ? KIND_OR : KIND_AND);
    t.records.push_back(conditionRecord(first, actionTable));
    Slot lead = {t.records.back().opcodes[0], t.records.back().firstOperands[0], 0};
    bool repeatable = lead.opcode == COND_VERB || lead.opcode == COND_AT;
    for (int n = chance(60) ? 0 : rnd(1, 2); n > 0; n--) {
        char kind = chance(50) ? KIND_OR : KIND_AND;
        RuleRecord next = conditionRecord(kind, actionTable);
        if (repeatable && kind == KIND_OR && chance(60)) {
            std::vector<Slot> slots = {{chance(15) ? -lead.opcode : lead.opcode, lead.a, 0}};
            for (int more = rnd(0, 3); more > 0; more--)
                slots.push_back(conditionSlot());
            next = record(KIND_OR, slots, true);
        }
        t.records.push_back(next);
    }
}

void GameMaker::sequence(Table &t, int depth, int length)
{
    size_t end = t.records.size() + static_cast<size_t>(length);
    while (t.records.size() < end)
        item(t, depth);
}

void GameMaker::item(Table &t, int depth)
{
    int roll = rnd(0, 99);
    if (roll < 48) {
        conditions(t);
        t.records.push_back(actionRecord(t));
    } else if (roll < 55) {
        t.records.push_back(actionRecord(t));
    } else if (roll < 60) {
        conditions(t);      // a test that no action line follows
    } else if (roll < 78 && depth < MAX_DEPTH) {
        block(t, depth);
    } else if (roll < 92) {
        loop(t, depth);
    } else if (roll < 94) {
        t.records.push_back(record(KIND_END, {}, true));       // an end that may close too early
    } else if (roll < 95 && depth == 0 && chance(40)) {
        deepNest(t);
    } else {
        conditions(t);
        t.records.push_back(actionRecord(t));
    }
}

// A block, most often after a test; its end is sometimes missing.
void GameMaker::block(Table &t, int depth)
{
    static const char kinds[] = {KIND_BEGIN, KIND_FBEGIN, KIND_SBEGIN};
    if (chance(70))
        conditions(t);
    t.records.push_back(record(kinds[rnd(0, 2)], {}, true));
    sequence(t, depth + 1, rnd(1, 8));
    if (chance(93))
        t.records.push_back(record(KIND_END, {}, true));
}

// A while loop that always ends: its test needs a counter of its own above
// 0, which only the action line right after the test (or first in the
// block after it) counts down, and which only actions before the while in
// this table, or in the other table, set. Only and lines come between the
// while and what it repeats, so a failed test always passes over the
// repetition, and every repetition counts down.
void GameMaker::loop(Table &t, int depth)
{
    static const char kinds[] = {KIND_BEGIN, KIND_FBEGIN, KIND_SBEGIN};
    if (t.usedCounters == COUNTERS_PER_TABLE) {
        conditions(t);
        t.records.push_back(actionRecord(t));
        return;
    }
    int variable = counter(t.number, t.usedCounters++);
    std::vector<Slot> test;
    bool testFirst = chance(35);     // a verb or location test first, as rules often have
    if (testFirst)
        test.push_back(t.number == 1 && chance(70) ? Slot{COND_VERB, pick(verbWords_), 0}
                                                   : Slot{COND_AT, rnd(0, lastLoc_), 0});
    test.push_back({COND_GT, variable, 0});
    for (int n = rnd(0, 2); n > 0; n--)
        test.push_back(conditionSlot());
    t.records.push_back(record(KIND_WHILE, test, testFirst));
    for (int n = chance(70) ? 0 : rnd(1, 2); n > 0; n--)
        t.records.push_back(conditionRecord(KIND_AND, t.number == 1));
    std::vector<Slot> countDown;
    for (int n = rnd(0, 2); n > 0; n--)
        countDown.push_back(actionSlot(t));
    if (chance(25)) {
        static const int control[] = {ACT_BREAK, ACT_CONTINUE, ACT_HALT};
        countDown.push_back({control[rnd(0, 2)], 0, 0});
    }
    countDown.insert(countDown.begin() + rnd(0, static_cast<int>(countDown.size())),
                     Slot{ACT_SUB, variable, chance(80) ? 1 : 2});
    bool repeatsBlock = depth < MAX_DEPTH && chance(50);
    if (repeatsBlock)
        t.records.push_back(record(kinds[rnd(0, 2)], {}, true));
    t.records.push_back(record(KIND_ACTION, countDown, false));
    if (repeatsBlock) {
        sequence(t, depth + 1, rnd(0, 6));
        if (chance(93))
            t.records.push_back(record(KIND_END, {}, true));
    }
    // What comes next without a new test: it would jump back to a loop
    // that did not end.
    if (chance(20)) {
        t.records.push_back(actionRecord(t));
    } else if (chance(15) && depth < MAX_DEPTH) {
        t.records.push_back(record(kinds[rnd(0, 2)], {}, true));
        sequence(t, depth + 1, rnd(1, 4));
        t.records.push_back(record(KIND_END, {}, true));
    }
}

// Blocks nested about 16 deep: the innermost ones share level 15.
void GameMaker::deepNest(Table &t)
{
    static const char kinds[] = {KIND_BEGIN, KIND_FBEGIN, KIND_SBEGIN};
    int depth = rnd(13, 18);
    for (int i = 0; i < depth; i++) {
        if (chance(i >= 13 ? 60 : 20))
            conditions(t);
        t.records.push_back(record(kinds[rnd(0, 2)], {}, true));
        if (chance(i >= 13 ? 70 : 20)) {
            conditions(t);
            t.records.push_back(actionRecord(t));
        }
    }
    for (int i = 0; i < depth; i++) {
        if (chance(i < 5 ? 70 : 25)) {
            conditions(t);
            t.records.push_back(actionRecord(t));
        }
        if (chance(95))
            t.records.push_back(record(KIND_END, {}, true));
    }
}

Game GameMaker::make()
{
    Game game;
    game.seed = seed_;
    makeWorld();
    for (int number = 0; number < 2; number++) {
        Table t;
        t.number = number;
        sequence(t, 0, rnd(20, 400));
        game.tables[number] = t.records;
    }
    for (int number = 0; number < 2; number++) {
        RuleRecord **table = number == 0 ? &events : &actions;
        int16_t *count = number == 0 ? &eventCount : &actionCount;
        for (const RuleRecord &r : game.tables[number])
            *appendRule(table, count) = r;
    }
    for (int turns = rnd(6, 12); turns > 0; turns--) {
        Command c{pick(verbWords_), pick(nounWords_), 0, 0};
        if (chance(40))
            c.noun2 = pick(nounWords_);
        if (chance(20))
            c.noun3 = pick(nounWords_);
        game.commands.push_back(c);
    }
    static const char *const replies[] = {"y", "n", "1", "2", "3", "9", ""};
    for (int i = 0; i < 40; i++)
        game.answers.push_back(replies[rnd(0, 6)]);
    game.initial = captureState();
    return game;
}

// ---------------------------------------------------------------------------
// Playing a game and describing it.

struct Outcome {
    std::string scan;       // which scan of the game
    std::string output;
    std::string results;    // runEvents' result, or the action scan's four results
    State state;
};

std::string eventResults(int result) { return "result " + std::to_string(result); }

std::string actionResults(bool open, int running, bool acted, bool mismatch)
{
    return "open " + std::to_string(open) + ", running value " + std::to_string(running) + ", acted " +
           std::to_string(acted) + ", mismatch " + std::to_string(mismatch);
}

struct ReferenceTrouble {
    std::string scan;       // the first reference scan that did not stay in bounds
    long workBound = 0;
    bool endless = false;
};

// The game from its initial state: the events of the start, then each
// command and the events after it, until a quit.
std::vector<Outcome> play(const Game &game, bool reference, ReferenceTrouble *trouble)
{
    restoreState(game.initial);
    seedRandom(game.seed);
    resetRecording();
    scriptedInput = game.answers;
    std::vector<Outcome> outcomes;
    auto check = [&](const std::string &scan, const ReferenceScan &r) {
        if (trouble->scan.empty() && (r.endless || r.workBound >= WORK_LIMIT / 2))
            *trouble = {scan, r.workBound, r.endless};
    };
    auto eventScan = [&](int mode, const std::string &scan) {
        recorded.clear();
        int result;
        if (reference) {
            ReferenceScan r = referenceWalk(events, eventCount, false, 0, 0, 0, 0, mode);
            check(scan, r);
            result = r.runningValue == -1 ? -1 : r.runningValue;
        } else {
            result = runEvents(mode);
        }
        outcomes.push_back({scan, recorded, eventResults(result), captureState()});
        return result;
    };
    if (eventScan(1, "events at the start") == -1)
        return outcomes;
    for (size_t turn = 0; turn < game.commands.size(); turn++) {
        const Command &c = game.commands[turn];
        std::string name = "turn " + std::to_string(turn + 1);
        recorded.clear();
        bool quit;
        std::string results;
        if (reference) {
            ReferenceScan r = referenceWalk(actions, actionCount, true, c.verb, c.noun, c.noun2, c.noun3, 0);
            check(name + " actions", r);
            results = actionResults(r.open, r.runningValue, r.acted, r.mismatch);
            quit = r.runningValue == -1;
        } else {
            ActionScan s = scanActions(c.verb, c.noun, c.noun2, c.noun3);
            results = actionResults(s.open, s.runningValue, s.acted, s.mismatch);
            quit = s.runningValue == -1;
        }
        outcomes.push_back({name + " actions", recorded, results, captureState()});
        if (quit || eventScan(0, name + " events") == -1)
            break;
    }
    return outcomes;
}

std::string recordText(const RuleRecord &r)
{
    std::string text(1, r.kind);
    for (int slot = 0; slot < RULE_SLOTS; slot++) {
        int op = r.opcodes[slot];
        if (op == KIND_UNUSED)
            continue;
        int code = op < 0 ? -op : op;
        text += " " + std::to_string(slot) + ":" + (op < 0 ? "!" : "");
        text += code > ' ' && code < 127 ? std::string(1, static_cast<char>(code)) : "#" + std::to_string(code);
        text += "(" + std::to_string(r.firstOperands[slot]) + "," + std::to_string(r.secondOperands[slot]) + ")";
    }
    return text;
}

// Everything needed to rebuild the failing case by hand.
std::string describeGame(const Game &game)
{
    std::string text = "world: lastLocation " + std::to_string(lastLocation) + ", lastObject " +
                       std::to_string(lastObject) + ", varCount " + std::to_string(varCount) +
                       ", MaxItems " + std::to_string(settings.MaxItems) + "\n";
    for (int i = 0; i <= lastLocation; i++) {
        text += " location " + std::to_string(i) + ": flags " + std::to_string(locations[i].flags) + ", exits";
        for (int16_t e : locations[i].exits)
            text += " " + std::to_string(e);
        text += "\n";
    }
    for (int i = 1; i <= lastObject; i++)
        text += " object " + std::to_string(i) + ": " + (objects[i].name ? "named" : "unnamed") + ", initial " +
                std::to_string(objects[i].initialLocation) + ", flags " + std::to_string(objects[i].flags) + "\n";
    const State &s = game.initial;
    text += " initial: objects" + listNumbers(s.objectLocations) + "; variables" + listNumbers(s.values) +
            "; exits" + listNumbers(s.exits) + "; light" + listNumbers(s.lights) + "; player " +
            std::to_string(s.player) + ", carried " + std::to_string(s.carried) + "\n";
    text += "commands:";
    for (const Command &c : game.commands)
        text += " (" + std::to_string(c.verb) + " " + std::to_string(c.noun) + " " + std::to_string(c.noun2) + " " +
                std::to_string(c.noun3) + ")";
    text += "\n";
    const char *names[] = {"events", "actions"};
    for (int number = 0; number < 2; number++) {
        text += std::string(names[number]) + ":\n";
        const std::vector<RuleRecord> &table = game.tables[number];
        for (size_t i = 0; i < table.size(); i++)
            text += " " + std::to_string(i) + " " + recordText(table[i]) + "\n";
    }
    return text;
}

// The first difference between the two plays, or "".
std::string firstDifference(const std::vector<Outcome> &real, const std::vector<Outcome> &reference)
{
    for (size_t i = 0; i < real.size() || i < reference.size(); i++) {
        if (i == real.size() || i == reference.size())
            return "the walker played " + std::to_string(real.size()) + " scans, the reference " +
                   std::to_string(reference.size()) + "\n";
        const Outcome &a = real[i];
        const Outcome &b = reference[i];
        std::string text;
        if (a.output != b.output)
            text += "output:\n--- walker\n" + a.output + "--- reference\n" + b.output + "---\n";
        if (a.results != b.results)
            text += "results: walker " + a.results + " | reference " + b.results + "\n";
        text += stateDifference(a.state, b.state);
        if (!text.empty())
            return a.scan + ": " + text;
    }
    return "";
}

struct WalkerReference : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(allocateArena()); }
    void TearDown() override
    {
        setScanWorkLimit(0);
        resetRecording();
        freeArena();
    }
};

TEST_F(WalkerReference, ConditionRecordsEvaluateAsTheReference)
{
    for (uint32_t seed = 1; seed <= 150; seed++) {
        GameMaker maker(seed);
        Game game = maker.make();
        std::mt19937 rng(seed);
        std::vector<const RuleRecord *> conditionRecords, actionRecords;
        for (const std::vector<RuleRecord> &table : game.tables)
            for (const RuleRecord &r : table)
                (r.kind == KIND_ACTION ? actionRecords : conditionRecords).push_back(&r);
        scriptedInput.clear();
        for (size_t i = 0; i < conditionRecords.size(); i++) {
            const RuleRecord &r = *conditionRecords[i];
            // Another state now and then: an action record of the game run.
            if (!actionRecords.empty() && rng() % 4 == 0)
                executeActions(*actionRecords[rng() % actionRecords.size()]);
            const Command &c = game.commands[rng() % game.commands.size()];
            int mode = static_cast<int>(rng() % 3);
            seedRandom(seed * 1000 + i);
            int real = evaluateConditions(r, c.verb, c.noun, c.noun2, c.noun3, mode);
            int realNext = drawRandom();    // the same draws were used up
            seedRandom(seed * 1000 + i);
            int expected = referenceEvaluate(r, c.verb, c.noun, c.noun2, c.noun3, mode);
            int expectedNext = drawRandom();
            if (real != expected || realNext != expectedNext) {
                FAIL() << "game seed " << seed << ": " << recordText(r) << " on (" << c.verb << " " << c.noun << " "
                       << c.noun2 << " " << c.noun3 << ") mode " << mode << ", random seed " << seed * 1000 + i
                       << ", state: variables" << listNumbers(captureState().values) << ", objects"
                       << listNumbers(captureState().objectLocations) << ", player " << playerLocation
                       << "\nwalker " << real << ", reference " << expected
                       << (realNext != expectedNext ? " (they used different numbers of random draws)" : "");
            }
        }
        recorded.clear();
    }
}

TEST_F(WalkerReference, GamesPlayAsTheReferenceWalk)
{
    setScanWorkLimit(WORK_LIMIT);
    // WALKER_REFERENCE_SEED=k plays only game k, to look into a failure.
    const char *only = std::getenv("WALKER_REFERENCE_SEED");
    uint32_t first = only ? static_cast<uint32_t>(std::atol(only)) : 1;
    uint32_t last = only ? first : GAMES;
    for (uint32_t seed = first; seed <= last; seed++) {
        GameMaker maker(seed);
        Game game = maker.make();
        ReferenceTrouble trouble;
        std::vector<Outcome> real = play(game, false, &trouble);
        std::vector<Outcome> reference = play(game, true, &trouble);
        if (!trouble.scan.empty())
            FAIL() << "game seed " << seed << ", " << trouble.scan << ": the generated game "
                   << (trouble.endless ? "loops endlessly" : "comes near the scan work limit") << " (work bound "
                   << trouble.workBound << ")\n" << describeGame(game);
        std::string difference = firstDifference(real, reference);
        if (!difference.empty())
            FAIL() << "game seed " << seed << ", " << difference << describeGame(game);
    }
}

}  // namespace
