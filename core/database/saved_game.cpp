// The saved game file: the run-time state of the tables and the session, as
// one little-endian image.
#include "core/database/saved_game.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/database/file_access.h"
#include "core/database/game_database.h"

constexpr char SAVE_MAGIC[] = "TSF2";
constexpr int MAGIC_LENGTH = 4;
constexpr int VALUES_PER_LOCATION = DIRECTION_COUNT + 1;   // exits, then light

// The most a file's counts can announce: each count at the int16 maximum.
// Bytes after what the counts announce are not read.
constexpr long MAX_SAVE_BYTES =
    MAGIC_LENGTH + 2 + 2L * (INT16_MAX + 1) + 2 + 2L * INT16_MAX + 2 + 2L * VALUES_PER_LOCATION * (INT16_MAX + 1) + 4;

static unsigned char *putInt16(unsigned char *out, int16_t value)
{
    uint16_t bits = static_cast<uint16_t>(value);
    out[0] = static_cast<unsigned char>(bits & 0xFF);
    out[1] = static_cast<unsigned char>(bits >> 8);
    return out + 2;
}

static size_t stateSize()
{
    return MAGIC_LENGTH + 2 + 2 * static_cast<size_t>(lastObject + 1) + 2 + 2 * static_cast<size_t>(varCount) + 2 +
           2 * VALUES_PER_LOCATION * static_cast<size_t>(lastLocation + 1) + 4;
}

// Fills out, stateSize() bytes, with the file image of the game's state.
static void encodeState(unsigned char *out, const SessionState &session)
{
    memcpy(out, SAVE_MAGIC, MAGIC_LENGTH);
    out += MAGIC_LENGTH;
    out = putInt16(out, lastObject);
    for (int i = 0; i <= lastObject; i++)
        out = putInt16(out, objects[i].currentLocation);
    out = putInt16(out, varCount);
    for (int i = 0; i < varCount; i++)
        out = putInt16(out, vars[i].value);
    out = putInt16(out, lastLocation);
    for (int i = 0; i <= lastLocation; i++) {
        for (int16_t exit : locations[i].currentExits)
            out = putInt16(out, exit);
        out = putInt16(out, locations[i].currentLight);
    }
    out = putInt16(out, session.playerLocation);
    putInt16(out, session.carriedCount);
}

int writeSavedGame(const char *path, const SessionState *session)
{
    size_t size = stateSize();
    unsigned char *bytes = static_cast<unsigned char *>(malloc(size));
    if (!bytes)
        return -1;
    encodeState(bytes, *session);
    int written = writeWholeFile(path, bytes, size);
    free(bytes);
    return written;
}

// A cursor over the bytes of a saved file.
struct Reader {
    const unsigned char *data;
    size_t size;
    size_t at;
};

static bool readInt16(Reader &r, int16_t *value)
{
    if (r.size - r.at < 2)
        return false;
    *value = static_cast<int16_t>(r.data[r.at] | (r.data[r.at + 1] << 8));
    r.at += 2;
    return true;
}

// Reads a count and steps over the values it announces (count + extra
// entries, none when that is negative); false when the count is below lowest
// or the file ends before the values.
static bool skipBlock(Reader &r, int16_t *count, int lowest, size_t valuesPerEntry, int extra)
{
    if (!readInt16(r, count) || *count < lowest)
        return false;
    int entries = *count + extra > 0 ? *count + extra : 0;
    size_t bytes = static_cast<size_t>(entries) * valuesPerEntry * 2;
    if (r.size - r.at < bytes)
        return false;
    r.at += bytes;
    return true;
}

// Reads the whole file, at most MAX_SAVE_BYTES of it (all that its counts can
// announce), into a buffer of its own size; nullptr when reading fails.
static unsigned char *readSaveBytes(FILE *file, size_t *size)
{
    struct stat status;
    if (fstat(fileno(file), &status) != 0)
        return nullptr;
    size_t wanted = status.st_size < MAX_SAVE_BYTES ? static_cast<size_t>(status.st_size) : MAX_SAVE_BYTES;
    unsigned char *bytes = static_cast<unsigned char *>(malloc(wanted > 0 ? wanted : 1));
    if (!bytes)
        return nullptr;
    *size = fread(bytes, 1, wanted, file);
    if (ferror(file)) {
        free(bytes);
        return nullptr;
    }
    return bytes;
}

// The file is accepted only when its magic is right and it holds every value
// its counts announce. A negative variable count announces no values; object
// and location counts run from -1 (none). Bytes after the values are ignored.
static bool checkLayout(const unsigned char *bytes, size_t size)
{
    if (size < MAGIC_LENGTH || memcmp(bytes, SAVE_MAGIC, MAGIC_LENGTH) != 0)
        return false;
    Reader r{bytes, size, MAGIC_LENGTH};
    int16_t count;
    return skipBlock(r, &count, -1, 1, 1)                       // objects 0..n
           && skipBlock(r, &count, INT16_MIN, 1, 0)             // vars 0..m-1
           && skipBlock(r, &count, -1, VALUES_PER_LOCATION, 1)  // locations 0..k
           && r.size - r.at >= 4;                               // player, carried
}

// Location numbers the game itself can put anywhere: its locations, and
// every number its declarations and rules name (an exit or a rule may lead
// to a location that was never declared, and a save of that state must
// restore). One bit per int16 value.
static uint64_t gameLocations[65536 / 64];

static void markLocation(int16_t value)
{
    uint16_t bits = static_cast<uint16_t>(value);
    gameLocations[bits / 64] |= 1ull << (bits % 64);
}

static void markRuleOperands(const RuleRecord *rules, int count)
{
    for (int i = 0; i < count; i++)
        for (int slot = 0; slot < RULE_SLOTS; slot++) {
            markLocation(rules[i].firstOperands[slot]);
            markLocation(rules[i].secondOperands[slot]);
        }
}

static void collectGameLocations()
{
    memset(gameLocations, 0, sizeof gameLocations);
    markLocation(UNCHANGED);
    markLocation(settings.StartLocation);
    for (int i = 0; i <= lastLocation; i++) {
        markLocation(static_cast<int16_t>(i));
        for (int16_t exit : locations[i].exits)
            markLocation(exit);
    }
    for (int i = 0; i <= lastObject; i++)
        markLocation(objects[i].initialLocation);
    markLocation(CARRIED);
    markLocation(WORN);
    markRuleOperands(events, eventCount);
    markRuleOperands(actions, actionCount);
}

static bool isGameLocation(int16_t value)
{
    uint16_t bits = static_cast<uint16_t>(value);
    return (gameLocations[bits / 64] >> (bits % 64) & 1) != 0;
}

// A file that checkLayout accepted is refused when a location it restores
// (an object's, an exit's or the player's) is none the game could reach.
// Values that restoring drops are not looked at.
static bool checkLocations(const unsigned char *bytes, size_t size)
{
    collectGameLocations();
    Reader r{bytes, size, MAGIC_LENGTH};
    int16_t value = 0;
    int16_t n = -1;
    readInt16(r, &n);
    for (int i = 0; i <= n; i++) {
        readInt16(r, &value);
        if (i <= lastObject && !isGameLocation(value))
            return false;
    }
    int16_t m = 0;
    readInt16(r, &m);
    r.at += 2 * static_cast<size_t>(m > 0 ? m : 0);
    int16_t k = -1;
    readInt16(r, &k);
    for (int i = 0; i <= k; i++)
        for (int v = 0; v < VALUES_PER_LOCATION; v++) {
            readInt16(r, &value);
            if (i <= lastLocation && v < DIRECTION_COUNT && !isGameLocation(value))
                return false;
        }
    readInt16(r, &value);
    return isGameLocation(value);
}

// Applies a file that checkLayout accepted, so every read succeeds.
static void applyState(const unsigned char *bytes, size_t size, SessionState *session)
{
    Reader r{bytes, size, MAGIC_LENGTH};
    int16_t value = 0;

    int16_t n = -1;
    readInt16(r, &n);
    for (int i = 0; i <= n; i++) {
        readInt16(r, &value);
        if (i <= lastObject)
            objects[i].currentLocation = value;
    }
    for (int i = n + 1; i <= lastObject; i++)
        objects[i].currentLocation = UNCHANGED;
    objectEdits++;

    int16_t m = 0;
    readInt16(r, &m);
    for (int i = 0; i < m; i++) {
        readInt16(r, &value);
        if (i < varCount)
            vars[i].value = value;
    }

    int16_t k = -1;
    readInt16(r, &k);
    for (int i = 0; i <= k; i++) {
        for (int v = 0; v < VALUES_PER_LOCATION; v++) {
            readInt16(r, &value);
            if (i > lastLocation)
                continue;
            if (v < DIRECTION_COUNT)
                locations[i].currentExits[v] = value;
            else
                locations[i].currentLight = value;
        }
    }
    for (int i = k + 1; i <= lastLocation; i++) {
        for (int16_t &exit : locations[i].currentExits)
            exit = UNCHANGED;
        locations[i].currentLight = UNCHANGED;
    }
    locationEdits++;

    readInt16(r, &session->playerLocation);
    readInt16(r, &session->carriedCount);
}

int readSavedGame(const char *path, SessionState *session)
{
    FILE *file = openRegularFile(path);
    if (!file)
        return errno == ENOENT ? -1 : -2;
    // The whole file is read and checked before anything of it is applied.
    size_t size = 0;
    unsigned char *bytes = readSaveBytes(file, &size);
    fclose(file);
    bool accepted = bytes && checkLayout(bytes, size) && checkLocations(bytes, size);
    if (accepted)
        applyState(bytes, size, session);
    free(bytes);
    return accepted ? 0 : -2;
}
