// The game session's shared core: session state, the start of a game, one
// turn after parsing, the darkness rule and the line editor's history ring.
#include "core/interpreter/session.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/database/game_database.h"
#include "core/database/name_index.h"
#include "core/interpreter/saving.h"
#include "core/interpreter/actions.h"
#include "core/interpreter/debug_commands.h"
#include "core/interpreter/parser.h"
#include "core/interpreter/rule_walker.h"
#include "core/interpreter/undo.h"
#include "frontend/frontend.h"

int16_t playerLocation = 0;
int16_t carriedCount = 0;
int16_t debugMode = 0;

static bool inputEnded = false;     // a question or command met the end of the input

int askPlayerYesNo(const char *question)
{
    int answer = askYesNo(question);
    if (answer < 0)
        inputEnded = true;
    return answer == 1 ? 1 : 0;
}

int askPlayerChoice(const char *question, int highest)
{
    int answer = askChoice(question, highest);
    if (answer < 0)
        inputEnded = true;
    return answer > 0 ? answer : 0;
}

static bool isCarriedOrWorn(int16_t where)
{
    return where == CARRIED || where == WORN;
}

void startGame()
{
    playerLocation = settings.StartLocation;
    carriedCount = 0;
    for (int object = 0; object <= lastObject; object++) {
        ObjectRecord &row = objects[object];
        if (row.name) {
            row.currentLocation = row.initialLocation;
            if (isCarriedOrWorn(row.initialLocation))
                carriedCount++;
        } else {
            row.currentLocation = UNCHANGED;
        }
    }
    objectEdits++;
    for (int variable = 0; variable < varCount; variable++)
        vars[variable].value = 0;
    for (int location = 0; location <= lastLocation; location++) {
        for (int16_t &exit : locations[location].currentExits)
            exit = UNCHANGED;
        locations[location].currentLight = UNCHANGED;
    }
    locationEdits++;

    runEvents(1);   // a quit or halt here only ends this scan
    if (askPlayerYesNo(textOf(systemMessages[MSG_RESTORE_AT_START])))
        restoreGame();   // the game goes on from whatever state results
}

static int playCommands()
{
    int result = SKIP_EVENTS;
    for (;;) {
        if (result != SKIP_EVENTS && runEvents(0) == -1)
            return inputEnded ? -1 : 0;
        char line[COMMAND_LIMIT + 1];
        if (readLine(line, COMMAND_LIMIT) < 0) {
            inputEnded = true;
            return -1;
        }
        line[strcspn(line, "\r\n")] = '\0';
        // A line that begins with a backslash is for the kit, not the game:
        // no game word can begin so.
        if (line[0] == '\\') {
            runKitCommand(line);
            result = SKIP_EVENTS;
            continue;
        }
        if (line[0] == '\0' || (debugMode && debugCommand(line))) {
            result = SKIP_EVENTS;
            continue;
        }
        beginUndoTurn(line);
        int verb, noun, noun2, noun3;
        parseCommand(line, &verb, &noun, &noun2, &noun3);
        result = runTurn(verb, noun, noun2, noun3);
        if (result == GAME_OVER)
            return inputEnded ? -1 : 0;
    }
}

// The objects that give light, listed while a game is played (no object's
// flags change in play), so that a test of darkness need not look at every
// object; when not listed, isDark looks at them all.
static int16_t *lightSources = nullptr;
static int lightSourceCount = 0;
static bool lightListed = false;

static void listLightSources()
{
    free(lightSources);
    lightSources = static_cast<int16_t *>(malloc((static_cast<size_t>(std::max<int>(lastObject, 0)) + 1) *
                                                 sizeof(int16_t)));
    lightSourceCount = 0;
    lightListed = lightSources != nullptr;
    for (int object = 0; lightListed && object <= lastObject; object++)
        if (objects[object].flags & OBJECT_LIGHT)
            lightSources[lightSourceCount++] = static_cast<int16_t>(object);
}

static void forgetLightSources()
{
    free(lightSources);
    lightSources = nullptr;
    lightSourceCount = 0;
    lightListed = false;
}

int playGame()
{
    // The word tables do not change in play: the parser's look-ups go
    // through the name index, as the compiler's do.
    bool wasIndexing = nameIndexing();
    setNameIndexing(true);
    listLightSources();
    int played = playCommands();
    forgetLightSources();
    setNameIndexing(wasIndexing);
    return played;
}

int playGames()
{
    inputEnded = false;
    for (;;) {
        beginGame();
        resetUndo();
        startGame();
        showLocation(playerLocation, 1);
        int played = playGame();
        if (played >= 0 && askPlayerYesNo(textOf(systemMessages[MSG_PLAY_AGAIN])))
            continue;
        resetUndo();
        return played < 0 || inputEnded ? -1 : 0;
    }
}

int runTurn(int verb, int noun, int noun2, int noun3)
{
    if (verb == 0 && noun == 0) {
        showSystemMessage(MSG_NOT_UNDERSTOOD);
        return TURN_NOT_BUILTIN;
    }
    ActionScan scan = scanActions(verb, noun, noun2, noun3);
    int result;
    if (scan.open)
        result = runBuiltinVerb(verb, noun);
    else
        result = scan.runningValue == -1 ? GAME_OVER : TURN_NOT_BUILTIN;
    if (result == TURN_NOT_BUILTIN && !scan.acted)
        showSystemMessage(scan.mismatch ? MSG_ALMOST : MSG_NOT_UNDERSTOOD);
    return result;
}

// A location outside the table reads as an empty row: not declared dark.
bool isDark(int location)
{
    if (!locationExists(location))
        return false;
    const LocationRecord &row = locations[location];
    if (row.currentLight != UNCHANGED && row.currentLight != 0)
        return false;
    if (row.currentLight == UNCHANGED && (row.flags & 1) == 0)
        return false;
    int count = lightListed ? lightSourceCount : lastObject + 1;
    for (int i = 0; i < count; i++) {
        int object = lightListed ? lightSources[i] : i;
        if ((objects[object].flags & OBJECT_LIGHT) == 0)
            continue;
        int16_t where = objectLocation(object);
        if (where == location || isCarriedOrWorn(where))
            return false;
    }
    return true;
}

void recountCarried()
{
    carriedCount = 0;
    for (int object = 0; object <= lastObject; object++)
        if (objectExists(object) && isCarriedOrWorn(objectLocation(object)))
            carriedCount++;
}

// The history ring: head is where the next line goes, cursor the entry
// being browsed, oldest the farthest entry browsing may reach.
constexpr int HISTORY_LINE_SIZE = COMMAND_LIMIT + 1;

static char historyLines[HISTORY_SIZE][HISTORY_LINE_SIZE];
static int historyHead = 0;
static int historyCursor = 0;
static int historyOldest = 0;

// Copies at most COMMAND_LIMIT characters and terminates; returns the length.
static int copyLine(char *to, const char *from)
{
    int length = 0;
    while (length < COMMAND_LIMIT && from[length]) {
        to[length] = from[length];
        length++;
    }
    to[length] = '\0';
    return length;
}

void resetHistory()
{
    for (char *entry : historyLines)
        entry[0] = '\0';
    historyHead = historyCursor = historyOldest = 0;
}

void historyAdd(const char *line)
{
    copyLine(historyLines[historyHead], line ? line : "");
    historyHead = (historyHead + 1) % HISTORY_SIZE;
    historyCursor = historyHead;
    if (historyHead == historyOldest)
        historyOldest = (historyHead + 1) % HISTORY_SIZE;
}

int historyPrevious(char *buffer)
{
    if (historyCursor != historyOldest)
        historyCursor = (historyCursor + HISTORY_SIZE - 1) % HISTORY_SIZE;
    return copyLine(buffer, historyLines[historyCursor]);
}

int historyNext(char *buffer)
{
    if (historyCursor != historyHead)
        historyCursor = (historyCursor + 1) % HISTORY_SIZE;
    if (historyCursor == historyHead) {
        buffer[0] = '\0';
        return 0;
    }
    return copyLine(buffer, historyLines[historyCursor]);
}
