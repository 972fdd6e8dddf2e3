// Condition records evaluated by the walker's quick paths give what a plain
// evaluation of all 16 slots gives: the same result, including -1, and the
// same random draws.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "core/database/game_database.h"
#include "core/database/rule_code.h"
#include "core/driver/random_numbers.h"
#include "core/interpreter/rule_walker.h"
#include "core/interpreter/session.h"
#include "tests/support/recording_frontend.h"

namespace {

// The conditions drawn, and what the plain evaluation below knows of them
// ('z' is no condition at all).
const int OPCODES[] = {
    KIND_UNUSED, COND_VERB, COND_NOUN, COND_NOUN2, COND_NOUN3, COND_ANYNOUN, COND_AT, COND_CARRIED,
    COND_HERE, COND_EQ, COND_GT, COND_LT, COND_RANDOM, COND_BEGIN, COND_CONTINUED, COND_FREE, 'z',
};

// Slot by slot, every slot, as the conditions are defined.
int plainEvaluation(const RuleRecord &r, int verb, int noun, int noun2, int noun3, int mode)
{
    int result = 1;
    bool verbMatched = false, nounMatched = false;
    for (int slot = 0; slot < RULE_SLOTS; slot++) {
        int op = r.opcodes[slot];
        bool negated = op < 0;
        if (negated)
            op = -op;
        int a = r.firstOperands[slot], b = r.secondOperands[slot];
        int where = objectLocation(a);
        int value = a >= 0 && a < varCount ? vars[a].value : 0;
        bool known = a >= 0 && a < varCount;
        bool truth = true;
        switch (op) {
        case COND_VERB: truth = verb == a; verbMatched = verbMatched || truth; break;
        case COND_NOUN: truth = noun == a; nounMatched = nounMatched || truth; break;
        case COND_NOUN2: truth = noun2 == a; break;
        case COND_NOUN3: truth = noun3 == a; break;
        case COND_ANYNOUN: truth = a == noun || a == noun2 || a == noun3; break;
        case COND_AT: truth = playerLocation == a; break;
        case COND_CARRIED: truth = where == CARRIED; break;
        case COND_HERE: truth = where == playerLocation; break;
        case COND_EQ: truth = known && value == b; break;
        case COND_GT: truth = known && value > b; break;
        case COND_LT: truth = known && value < b; break;
        case COND_RANDOM: { int draw = drawRandom(); truth = b != 0 && draw % abs(b) < a; break; }
        case COND_BEGIN: truth = mode == 1; break;
        case COND_CONTINUED: truth = mode == 2; break;
        case COND_FREE: truth = carriedCount < settings.MaxItems; break;
        default: break;
        }
        if (negated)
            truth = !truth;
        if (!truth)
            result = 0;
    }
    return result == 0 && verbMatched && nounMatched ? -1 : result;
}

TEST(ConditionQuickPaths, AgreeWithThePlainEvaluation)
{
    ASSERT_TRUE(allocateArena());
    resetDatabase();
    growObjects(4);
    for (int i = 1; i <= 4; i++) {
        objects[i].name = appendText("thing", false);
        objects[i].initialLocation = static_cast<int16_t>(i == 1 ? CARRIED : i);
        objects[i].currentLocation = UNCHANGED;
    }
    for (int i = 0; i < 3; i++)
        appendVar()->value = static_cast<int16_t>(i);
    playerLocation = 2;
    carriedCount = 1;

    std::mt19937 random(11);
    int minusOnes = 0;
    for (int trial = 0; trial < 200000; trial++) {
        RuleRecord r{};
        r.kind = KIND_IF;
        int used = int(random() % 5);
        for (int slot = 0; slot < RULE_SLOTS; slot++) {
            int op = slot < used || random() % 8 == 0 ? OPCODES[random() % std::size(OPCODES)] : KIND_UNUSED;
            if (op != KIND_UNUSED && random() % 4 == 0)
                op = -op;
            r.opcodes[slot] = static_cast<signed char>(op);
            r.firstOperands[slot] = static_cast<int16_t>(random() % 4);
            r.secondOperands[slot] = static_cast<int16_t>(random() % 4);
        }
        if (random() % 2)       // most action rules begin with a verb test
            r.opcodes[0] = COND_VERB;
        int verb = int(random() % 4), noun = int(random() % 4), mode = int(random() % 3);
        unsigned seed = unsigned(trial);
        seedRandom(seed);
        int expected = plainEvaluation(r, verb, noun, 1, 2, mode);
        int nextDraw = drawRandom();
        seedRandom(seed);
        ASSERT_EQ(evaluateConditions(r, verb, noun, 1, 2, mode), expected) << "trial " << trial;
        ASSERT_EQ(drawRandom(), nextDraw) << "random draws differ in trial " << trial;
        minusOnes += expected == -1;
    }
    EXPECT_GT(minusOnes, 100);     // the verb-and-noun mismatch case was met
    freeArena();
}

} // namespace
