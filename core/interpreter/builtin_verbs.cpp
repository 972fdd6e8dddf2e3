// The built-in verbs: movement, inventory, look, examine, take, drop, wear,
// remove, save, restore and quit, tried when no rule stopped the action scan.
#include "core/interpreter/saving.h"
#include "core/interpreter/actions.h"
#include "core/interpreter/session.h"
#include "frontend/frontend.h"

// Built-in verb numbers (1..10 are the directions).
constexpr int VERB_INVENTORY = 11;
constexpr int VERB_LOOK = 12;
constexpr int VERB_EXAMINE = 13;
constexpr int VERB_TAKE = 14;
constexpr int VERB_DROP = 15;
constexpr int VERB_WEAR = 16;
constexpr int VERB_REMOVE = 17;
constexpr int VERB_REPLY = 18;
constexpr int VERB_SAVE = 21;
constexpr int VERB_RESTORE = 22;
constexpr int VERB_QUIT = 23;

// Which object locations a verb looks for.
enum Where { WHERE_HERE, WHERE_HERE_OR_HELD, WHERE_HELD, WHERE_CARRIED, WHERE_WORN };

static bool isWhere(int16_t location, Where where)
{
    switch (where) {
    case WHERE_HERE: return location == playerLocation;
    case WHERE_HERE_OR_HELD: return location == playerLocation || location == CARRIED || location == WORN;
    case WHERE_HELD: return location == CARRIED || location == WORN;
    case WHERE_CARRIED: return location == CARRIED;
    default: return location == WORN;
    }
}

// The first defined object named by noun that lies where asked; 0 when none
// does. *named tells whether any object has that noun at all.
static int findObject(int noun, Where where, bool *named)
{
    *named = false;
    for (int i = 1; i <= lastObject; i++) {
        if (!objectExists(i) || objects[i].noun != noun)
            continue;
        *named = true;
        if (isWhere(objectLocation(i), where))
            return i;
    }
    return 0;
}

static void describeHere()
{
    if (locationExists(playerLocation))
        showLocation(playerLocation, 1);
}

static int move(int direction)
{
    int16_t destination = locationExit(playerLocation, direction);
    if (destination == 0) {
        showSystemMessage(MSG_NO_EXIT);
        return TURN_BUILTIN;
    }
    playerLocation = destination;
    showSystemMessage(MSG_DONE);
    if (locationExists(destination))
        showLocation(destination, 0);
    return TURN_BUILTIN;
}

static int examine(int noun)
{
    bool named;
    int object = findObject(noun, WHERE_HERE_OR_HELD, &named);
    if (!named)
        return TURN_NOT_BUILTIN;
    if (object)
        examineObject(object);
    else
        showSystemMessage(MSG_NOT_HERE);
    return TURN_BUILTIN;
}

static int take(int noun)
{
    bool named;
    int object = findObject(noun, WHERE_HERE, &named);
    if (!named)
        return TURN_NOT_BUILTIN;
    if (!object)
        showSystemMessage(MSG_NOT_HERE);
    else if (!(objects[object].flags & OBJECT_TAKEABLE))
        showSystemMessage(MSG_NOT_POSSIBLE);
    else if (carriedCount >= settings.MaxItems)
        showSystemMessage(MSG_TOO_MUCH);
    else {
        moveObject(object, CARRIED);
        showSystemMessage(MSG_DONE);
    }
    return TURN_BUILTIN;
}

static int drop(int noun)
{
    bool named;
    int object = findObject(noun, WHERE_HELD, &named);
    if (!named)
        return TURN_NOT_BUILTIN;
    if (!object)
        showSystemMessage(MSG_NOT_HERE);
    else if (!(objects[object].flags & OBJECT_TAKEABLE))
        showSystemMessage(MSG_NOT_POSSIBLE);
    else {
        moveObject(object, playerLocation);
        showSystemMessage(MSG_DONE);
    }
    return TURN_BUILTIN;
}

// Wear moves a carried object to WORN, remove a worn one back to CARRIED.
static int changeWorn(int noun, Where from, int16_t to)
{
    bool named;
    int object = findObject(noun, from, &named);
    if (!named)
        return TURN_NOT_BUILTIN;
    if (!object || !(objects[object].flags & OBJECT_WEARABLE))
        showSystemMessage(MSG_NOT_POSSIBLE);
    else {
        moveObject(object, to);
        showSystemMessage(MSG_DONE);
    }
    return TURN_BUILTIN;
}

int runBuiltinVerb(int verb, int noun)
{
    if (noun == 0) {
        if (verb >= 1 && verb <= DIRECTION_COUNT)
            return move(verb);
        switch (verb) {
        case VERB_INVENTORY:
            showInventory();
            return TURN_BUILTIN;
        case VERB_LOOK:
            describeHere();
            return TURN_BUILTIN;
        case VERB_REPLY:
            showSystemMessage(MSG_REPLY);
            return TURN_BUILTIN;
        case VERB_SAVE:
            saveGame();
            return SKIP_EVENTS;
        case VERB_RESTORE:
            restoreGame();
            describeHere();
            return SKIP_EVENTS;
        case VERB_QUIT:
            return confirmQuit() ? GAME_OVER : SKIP_EVENTS;
        default:
            return TURN_NOT_BUILTIN;
        }
    }
    switch (verb) {
    case VERB_EXAMINE: return examine(noun);
    case VERB_TAKE: return take(noun);
    case VERB_DROP: return drop(noun);
    case VERB_WEAR: return changeWorn(noun, WHERE_CARRIED, WORN);
    case VERB_REMOVE: return changeWorn(noun, WHERE_WORN, CARRIED);
    default: return TURN_NOT_BUILTIN;
    }
}

bool confirmQuit()
{
    if (!askPlayerYesNo(textOf(systemMessages[MSG_REALLY_QUIT])))
        return false;
    if (askPlayerYesNo(textOf(systemMessages[MSG_SAVE_FIRST])))
        saveGame();
    return true;
}
