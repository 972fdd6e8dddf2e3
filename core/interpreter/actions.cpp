// Action execution: the 16 slots of one action record change the world.
#include "core/interpreter/actions.h"

#include "core/database/rule_code.h"
#include "core/interpreter/rule_walker.h"
#include "core/interpreter/session.h"
#include "frontend/frontend.h"

static bool held(int16_t location)
{
    return location == CARRIED || location == WORN;
}

void moveObject(int object, int16_t location)
{
    if (object < 1 || !objectExists(object))
        return;
    bool before = held(objectLocation(object));
    objects[object].currentLocation = location;
    objectEdits++;
    bool after = held(objectLocation(object));
    if (before && !after)
        carriedCount--;
    else if (!before && after)
        carriedCount++;
}

// An object that rules may move: a defined row other than the unused row 0.
static bool isObject(int object)
{
    return object >= 1 && objectExists(object);
}

static bool isVariable(int variable)
{
    return variable >= 0 && variable < varCount;
}

static void setCurrentExit(int location, int direction, int16_t destination)
{
    if (locationExists(location) && direction >= 1 && direction <= DIRECTION_COUNT) {
        locations[location].currentExits[direction - 1] = destination;
        locationEdits++;
    }
}

static void setLight(int location, int16_t light)
{
    if (locationExists(location)) {
        locations[location].currentLight = light;
        locationEdits++;
    }
}

long actionWork = 0;

// Every defined object at location from goes to location to.
static void moveAll(int from, int16_t to)
{
    actionWork += lastObject;
    for (int i = 1; i <= lastObject; i++)
        if (objectExists(i) && objectLocation(i) == from)
            moveObject(i, to);
}

// Every exit anywhere that leads to from leads to to instead. There is no
// exit "to 0", so from 0 changes nothing.
static void substituteExits(int from, int16_t to)
{
    if (from == 0)
        return;
    actionWork += (lastLocation + 1L) * DIRECTION_COUNT;
    locationEdits++;
    for (int location = 0; location <= lastLocation; location++)
        for (int direction = 1; direction <= DIRECTION_COUNT; direction++)
            if (locationExit(location, direction) == from)
                locations[location].currentExits[direction - 1] = to;
}

int executeActions(const RuleRecord &record)
{
    int result = RESULT_NORMAL;
    int target = playerLocation;
    for (int slot = 0; slot < RULE_SLOTS; slot++) {
        int opcode = record.opcodes[slot];
        int16_t a = record.firstOperands[slot];
        int16_t b = record.secondOperands[slot];
        int16_t locA = objectLocation(a);
        int16_t locB = objectLocation(b);
        bool targetNext = false;
        switch (opcode) {
        case ACT_CREATE: moveObject(a, static_cast<int16_t>(target)); break;
        case ACT_DESTROY: moveObject(a, 0); break;
        case ACT_GET: moveObject(a, CARRIED); break;
        case ACT_WEAR: moveObject(a, WORN); break;
        case ACT_PUT: moveObject(a, b); break;
        case ACT_MOVEALL: moveAll(a == 0 ? playerLocation : a, b); break;
        case ACT_SWAP:
            if (isObject(a) && isObject(b)) {
                moveObject(a, locB);
                moveObject(b, locA);
            }
            break;
        case ACT_GO:
            if (locationExists(a)) {
                playerLocation = a;
                showLocation(a, 0);
            }
            break;
        case ACT_AT:
            target = a;
            targetNext = true;
            break;
        case ACT_EXIT: setCurrentExit(target, a, b); break;
        case ACT_SUBST: substituteExits(a == 0 ? playerLocation : a, b); break;
        case ACT_LIGHT:
            // With b set, location a is lit with its own number as light.
            if (b == 0)
                setLight(target, a);
            else
                setLight(a, a);
            break;
        case ACT_MESSAGE:
            if (a >= 0 && a <= lastMessage)
                showMessage(a);
            break;
        case ACT_SYSMSG:
            if (a >= 0 && a < SYSTEM_MESSAGE_COUNT)
                showSystemMessage(a);
            break;
        case ACT_SHOW:
            if (a >= 0 && a <= lastShow)
                showShow(a);
            break;
        case ACT_PAUSE: waitKey(a); break;
        case ACT_QUIT: result = RESULT_QUIT; break;
        case ACT_SET:
            if (isVariable(a))
                vars[a].value = b;
            break;
        case ACT_ADD:
            if (isVariable(a))
                vars[a].value = static_cast<int16_t>(vars[a].value + b);
            break;
        case ACT_SUB:
            if (isVariable(a))
                vars[a].value = static_cast<int16_t>(vars[a].value - b);
            break;
        case ACT_MCHOICHE:
            if (isVariable(a))
                vars[a].value = static_cast<int16_t>(askPlayerChoice(nullptr, b));
            break;
        case ACT_BCHOICHE:
            if (isVariable(a))
                vars[a].value = static_cast<int16_t>(askPlayerYesNo(nullptr));
            break;
        case ACT_REDESC:
            if (locationExists(playerLocation))
                showLocation(playerLocation, 1);
            break;
        case ACT_CLS: clearText(); break;
        case ACT_HALT: result = RESULT_HALT; break;
        case ACT_CONTINUE: result = RESULT_CONTINUE; break;
        case ACT_BREAK: result = RESULT_BREAK; break;
        default: break;     // unused slot, negated opcode or a condition letter
        }
        if (!targetNext)
            target = playerLocation;
    }
    return result;
}
