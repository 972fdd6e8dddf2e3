// Undo and redo. The run-time state is one vector of int16 values: every
// object's location, every variable's value, the player's location, the
// carried count, and every location's ten exits and light. At the start of
// each turn it is compared with the copy taken at the start of the turn
// before; what differs is kept as that turn's changes (position, value
// before, value after), newest last, in a ring bounded by turns and by bytes.
// The locations' part is most of the vector and seldom changes: it is read
// and compared only when locationEdits says it was written.
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
static uint32_t baselineEdits = 0;  // locationEdits when the baseline's locations were read
static bool turnInProgress = false;
static char turnCommand[COMMAND_TEXT];

// The values before the locations' part.
static size_t leadingSize()
{
    return static_cast<size_t>(lastObject + 1) + static_cast<size_t>(varCount) + 2;
}

static size_t stateSize()
{
    return leadingSize() + static_cast<size_t>(lastLocation + 1) * (DIRECTION_COUNT + 1);
}

// Reads the state into out (stateSize() values), or only its leading part.
static void readState(int16_t *out, bool withLocations)
{
    size_t at = 0;
    for (int i = 0; i <= lastObject; i++)
        out[at++] = objects[i].currentLocation;
    for (int i = 0; i < varCount; i++)
        out[at++] = vars[i].value;
    out[at++] = playerLocation;
    out[at++] = carriedCount;
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
    for (int i = 0; i <= lastObject; i++)
        objects[i].currentLocation = in[at++];
    for (int i = 0; i < varCount; i++)
        vars[i].value = in[at++];
    playerLocation = in[at++];
    carriedCount = in[at++];
    for (int i = 0; i <= lastLocation; i++) {
        memcpy(locations[i].currentExits, in + at, sizeof locations[i].currentExits);
        at += DIRECTION_COUNT;
        locations[i].currentLight = in[at++];
    }
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

// Keeps what changed since the turn in progress began, as its changes.
// The values of now that differ from the baseline, into changes unless it
// is nullptr; how many. A turn changes a few values of many: stretches
// that compare equal are passed over whole.
static int listChanges(const int16_t *now, size_t size, Change *changes)
{
    constexpr size_t STRETCH = 64;
    int count = 0;
    for (size_t start = 0; start < size; start += STRETCH) {
        size_t end = std::min(size, start + STRETCH);
        if (memcmp(now + start, baseline + start, (end - start) * sizeof(int16_t)) == 0)
            continue;
        for (size_t i = start; i < end; i++)
            if (now[i] != baseline[i]) {
                if (changes)
                    changes[count] = {static_cast<int32_t>(i), baseline[i], now[i]};
                count++;
            }
    }
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
    bool withLocations = locationEdits != baselineEdits;
    size_t compared = withLocations ? size : leadingSize();
    int16_t *now = scratch;
    readState(now, withLocations);
    int count = listChanges(now, compared, nullptr);
    Change *changes = static_cast<Change *>(malloc((count ? count : 1) * sizeof(Change)));
    if (changes) {
        listChanges(now, compared, changes);
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
        memcpy(baseline, now, compared * sizeof(int16_t));
    baselineEdits = locationEdits;
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
        readState(baseline, true);
        baselineEdits = locationEdits;
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
    readState(state, true);
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
