// Undo and redo. The run-time state is one vector of int16 values: every
// variable's value, the player's location, the carried count, every object's
// location, and every location's ten exits and light. At the start of each
// turn it is compared with the copy taken at the start of the turn before;
// what differs is kept as that turn's changes (position, value before, value
// after), newest last, in a ring bounded by turns and by bytes. The objects'
// and the locations' parts are most of the vector and change seldom: each is
// read and compared only when objectEdits or locationEdits says it was
// written.
#include "core/interpreter/undo.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/database/game_database.h"
#include "core/database/text_compare.h"
#include "core/interpreter/session.h"
#include "frontend/frontend.h"

constexpr int COMMAND_TEXT = 64;     // characters of a command named in [undone: ...]

struct Change {
    int32_t position;
    int16_t before;
    int16_t after;
};

struct KeptTurn {
    char command[COMMAND_TEXT];
    Change *changes;
    int count;
};

// Turns that can be undone, a ring whose oldest is at undoneFirst, then
// those undone that can be redone (the newest undone last).
static KeptTurn undone[UNDO_TURNS];
static int undoneFirst = 0;
static int undoneCount = 0;
static KeptTurn done[UNDO_TURNS];
static int doneCount = 0;
static long keptBytes = 0;

// The state at the start of the turn in progress, and its command; the
// state read at the turn's end goes to scratch, and what differs is then
// copied to the baseline, which the next turn starts from.
static int16_t *baseline = nullptr;
static int16_t *scratch = nullptr;
static size_t stateCapacity = 0;    // values each of the two holds
static uint32_t baselineObjectEdits = 0;    // the counts when the baseline was last brought up to date
static uint32_t baselineLocationEdits = 0;
static bool turnInProgress = false;
static char turnCommand[COMMAND_TEXT];

// The state's three parts, in order: the variables with the player's
// location and the carried count (read every turn), the objects' locations
// and the locations' exits and light (each read only after a change).
static size_t variablesSize()
{
    return static_cast<size_t>(varCount) + 2;
}

static size_t objectsSize()
{
    return static_cast<size_t>(lastObject + 1);
}

static size_t stateSize()
{
    return variablesSize() + objectsSize() + static_cast<size_t>(lastLocation + 1) * (DIRECTION_COUNT + 1);
}

// Reads the parts of the state asked for into out, each at its place.
static void readState(int16_t *out, bool withObjects, bool withLocations)
{
    size_t at = 0;
    for (int i = 0; i < varCount; i++)
        out[at++] = vars[i].value;
    out[at++] = playerLocation;
    out[at++] = carriedCount;
    if (withObjects)
        for (int i = 0; i <= lastObject; i++)
            out[at + i] = objects[i].currentLocation;
    at += objectsSize();
    if (!withLocations)
        return;
    for (int i = 0; i <= lastLocation; i++) {
        memcpy(out + at, locations[i].currentExits, sizeof locations[i].currentExits);
        at += DIRECTION_COUNT;
        out[at++] = locations[i].currentLight;
    }
}

// Writes the whole state from in, as readState reads it.
static void writeState(const int16_t *in)
{
    size_t at = 0;
    for (int i = 0; i < varCount; i++)
        vars[i].value = in[at++];
    playerLocation = in[at++];
    carriedCount = in[at++];
    for (int i = 0; i <= lastObject; i++)
        objects[i].currentLocation = in[at++];
    for (int i = 0; i <= lastLocation; i++) {
        memcpy(locations[i].currentExits, in + at, sizeof locations[i].currentExits);
        at += DIRECTION_COUNT;
        locations[i].currentLight = in[at++];
    }
    objectEdits++;
    locationEdits++;
}

// The i-th kept turn that can be undone, the oldest first.
static KeptTurn &undoneTurn(int i)
{
    return undone[(undoneFirst + i) % UNDO_TURNS];
}

static void freeTurn(KeptTurn &turn)
{
    keptBytes -= static_cast<long>(turn.count) * static_cast<long>(sizeof(Change));
    free(turn.changes);
    turn = {};
}

static void forgetRedo()
{
    while (doneCount > 0)
        freeTurn(done[--doneCount]);
}

static void dropOldest()
{
    freeTurn(undone[undoneFirst]);
    undoneFirst = (undoneFirst + 1) % UNDO_TURNS;
    undoneCount--;
}

void resetUndo()
{
    forgetRedo();
    while (undoneCount > 0)
        dropOldest();
    undoneFirst = 0;
    turnInProgress = false;
    free(baseline);
    free(scratch);
    baseline = scratch = nullptr;
    stateCapacity = 0;
}

// Makes the baseline and the scratch state hold size values each; false
// (both dropped) when memory is short.
static bool sizeStates(size_t size)
{
    if (size == stateCapacity)
        return true;
    int16_t *grown = static_cast<int16_t *>(realloc(baseline, size * sizeof(int16_t)));
    if (grown)
        baseline = grown;
    int16_t *grownScratch = grown ? static_cast<int16_t *>(realloc(scratch, size * sizeof(int16_t))) : nullptr;
    if (grownScratch)
        scratch = grownScratch;
    if (!grown || !grownScratch) {
        free(baseline);
        free(scratch);
        baseline = scratch = nullptr;
        stateCapacity = 0;
        return false;
    }
    stateCapacity = size;
    return true;
}

// The values of now from start to end that differ from the baseline, into
// changes (from its index count) unless it is nullptr; how many there are
// then. A turn changes a few values of many: stretches that compare equal
// are passed over whole.
static int listChanges(const int16_t *now, size_t start, size_t end, Change *changes, int count)
{
    constexpr size_t STRETCH = 64;
    for (size_t from = start; from < end; from += STRETCH) {
        size_t to = std::min(end, from + STRETCH);
        if (memcmp(now + from, baseline + from, (to - from) * sizeof(int16_t)) == 0)
            continue;
        for (size_t i = from; i < to; i++)
            if (now[i] != baseline[i]) {
                if (changes)
                    changes[count] = {static_cast<int32_t>(i), baseline[i], now[i]};
                count++;
            }
    }
    return count;
}

// The stretches of the state a turn may have changed: the variables always,
// the objects and the locations when asked for.
struct Stretch {
    size_t start, end;
};

static int changedStretches(Stretch *stretches, bool withObjects, bool withLocations)
{
    int count = 0;
    size_t objectsStart = variablesSize();
    size_t locationsStart = objectsStart + objectsSize();
    stretches[count++] = {0, objectsStart};
    if (withObjects)
        stretches[count++] = {objectsStart, locationsStart};
    if (withLocations)
        stretches[count++] = {locationsStart, stateSize()};
    return count;
}

// Keeps the changes of the turn in progress; true when the baseline then
// holds the state the turn ended with.
static bool finishTurn()
{
    if (!turnInProgress)
        return false;
    turnInProgress = false;
    size_t size = stateSize();
    if (size != stateCapacity)
        return false;       // the game changed under the turn: nothing sound to keep
    bool withObjects = objectEdits != baselineObjectEdits;
    bool withLocations = locationEdits != baselineLocationEdits;
    Stretch stretches[3];
    int stretchCount = changedStretches(stretches, withObjects, withLocations);
    int16_t *now = scratch;
    readState(now, withObjects, withLocations);
    int count = 0;
    for (int i = 0; i < stretchCount; i++)
        count = listChanges(now, stretches[i].start, stretches[i].end, nullptr, count);
    Change *changes = static_cast<Change *>(malloc((count ? count : 1) * sizeof(Change)));
    if (changes) {
        int listed = 0;
        for (int i = 0; i < stretchCount; i++)
            listed = listChanges(now, stretches[i].start, stretches[i].end, changes, listed);
        long bytes = static_cast<long>(count) * static_cast<long>(sizeof(Change));
        while (undoneCount > 0 && (undoneCount == UNDO_TURNS || keptBytes + bytes > UNDO_MEMORY))
            dropOldest();
        if (bytes <= UNDO_MEMORY) {
            KeptTurn &turn = undoneTurn(undoneCount++);
            turn = {};
            memcpy(turn.command, turnCommand, sizeof turn.command);
            turn.changes = changes;
            turn.count = count;
            keptBytes += bytes;
        } else {
            free(changes);
        }
    }
    if (count > 0)
        for (int i = 0; i < stretchCount; i++)
            memcpy(baseline + stretches[i].start, now + stretches[i].start,
                   (stretches[i].end - stretches[i].start) * sizeof(int16_t));
    baselineObjectEdits = objectEdits;
    baselineLocationEdits = locationEdits;
    return true;
}

void beginUndoTurn(const char *command)
{
    // Nothing has changed since the last turn ended: its state, in the
    // baseline, is this turn's start.
    bool ended = finishTurn();
    forgetRedo();
    if (!ended) {
        if (!sizeStates(stateSize()))
            return;
        readState(baseline, true, true);
        baselineObjectEdits = objectEdits;
        baselineLocationEdits = locationEdits;
    }
    snprintf(turnCommand, sizeof turnCommand, "%s", command);
    turnInProgress = true;
}

// Applies a turn's changes backward (to the values before) or forward.
static void applyTurn(const KeptTurn &turn, bool backward)
{
    size_t size = stateSize();
    int16_t *state = static_cast<int16_t *>(malloc(size * sizeof(int16_t)));
    if (!state)
        return;
    readState(state, true, true);
    for (int i = 0; i < turn.count; i++)
        if (static_cast<size_t>(turn.changes[i].position) < size)
            state[turn.changes[i].position] = backward ? turn.changes[i].before : turn.changes[i].after;
    writeState(state);
    free(state);
}

bool undoTurn(char *command, int size)
{
    finishTurn();
    if (undoneCount == 0)
        return false;
    KeptTurn &last = undoneTurn(--undoneCount);
    KeptTurn turn = last;
    last = {};
    applyTurn(turn, true);
    snprintf(command, static_cast<size_t>(size), "%s", turn.command);
    done[doneCount++] = turn;
    return true;
}

bool redoTurn(char *command, int size)
{
    if (doneCount == 0)
        return false;
    KeptTurn turn = done[--doneCount];
    done[doneCount] = {};
    applyTurn(turn, false);
    snprintf(command, static_cast<size_t>(size), "%s", turn.command);
    undoneTurn(undoneCount++) = turn;
    return true;
}

// The texts are written as game texts are, where a backslash breaks the
// line: the list names the commands without theirs.
static const char KIT_COMMANDS[] =
    "[kit commands, each typed after a backslash: undo (u) takes back the last turn, redo (r) does it "
    "again, help (h or ?) shows this list]";

// The bracketed line naming a turn: its command as typed, with what a game
// text would take for a line break or a variable made plain.
static void sayTurn(const char *what, const char *command)
{
    char said[COMMAND_TEXT * 2 + 16];
    size_t at = static_cast<size_t>(snprintf(said, sizeof said, "[%s: ", what));
    for (const char *c = command; *c && at + 3 < sizeof said; c++) {
        if (*c == '%')
            said[at++] = '%';       // %% shows one percent sign
        said[at++] = *c == '\\' ? '/' : *c;
    }
    said[at++] = ']';
    said[at] = '\0';
    printText(said);
}

void runKitCommand(const char *line)
{
    char word[16];
    snprintf(word, sizeof word, "%s", line[0] == '\\' ? line + 1 : line);
    word[strcspn(word, " \t")] = '\0';
    char command[COMMAND_TEXT];
    if (equalsIgnoreCase(word, "undo") || equalsIgnoreCase(word, "u")) {
        if (undoTurn(command, sizeof command)) {
            sayTurn("undone", command);
            if (locationExists(playerLocation))
                showLocation(playerLocation, 1);
        } else {
            printText("[nothing to undo]");
        }
    } else if (equalsIgnoreCase(word, "redo") || equalsIgnoreCase(word, "r")) {
        if (redoTurn(command, sizeof command)) {
            sayTurn("redone", command);
            if (locationExists(playerLocation))
                showLocation(playerLocation, 1);
        } else {
            printText("[nothing to redo]");
        }
    } else {
        printText(KIT_COMMANDS);
    }
}
