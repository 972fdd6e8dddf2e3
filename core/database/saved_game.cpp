// Saved games: the run-time state of a game in nine positions per game.
#include "core/database/saved_game.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/database/game_database.h"
#include "core/driver/startup.h"
#include "core/interpreter/session.h"
#include "frontend/frontend.h"

constexpr char SAVE_MAGIC[] = "TSF2";
constexpr int MAGIC_LENGTH = 4;
constexpr int SAVE_POSITIONS = 9;
constexpr int NAME_PREFIX = 8;          // characters of the game name in the file name
constexpr int MSG_SAVE_QUESTION = 21;
constexpr int MSG_RESTORE_QUESTION = 22;
constexpr int MSG_FILE_FAILED = 29;
constexpr int VALUES_PER_LOCATION = DIRECTION_COUNT + 1;   // exits, then light
constexpr int FILE_NAME_SIZE = NAME_PREFIX + 5;             // name, ".sv", digit, NUL

// The most a file's counts can announce: each count at the int16 maximum.
// Bytes after what the counts announce are not read.
constexpr long MAX_SAVE_BYTES =
    MAGIC_LENGTH + 2 + 2L * (INT16_MAX + 1) + 2 + 2L * INT16_MAX + 2 + 2L * VALUES_PER_LOCATION * (INT16_MAX + 1) + 4;

// The first 8 characters of the game name, ".sv" and the position digit.
static void saveFileName(int position, char name[FILE_NAME_SIZE])
{
    snprintf(name, FILE_NAME_SIZE, "%.*s.sv%d", NAME_PREFIX, gameName, position);
}

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
static void encodeState(unsigned char *out)
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
    out = putInt16(out, playerLocation);
    putInt16(out, carriedCount);
}

// Writes the whole file beside the position, then renames it over the
// position, so a failed save leaves the older one as it was.
static bool writeAtomically(const char *name, const unsigned char *bytes, size_t size)
{
    char temporary[FILE_NAME_SIZE + 4];
    snprintf(temporary, sizeof temporary, "%s.tmp", name);
    FILE *file = fopen(temporary, "wb");
    if (!file)
        return false;
    bool written = fwrite(bytes, 1, size, file) == size;
    written = fflush(file) == 0 && written;
    written = fclose(file) == 0 && written;
    if (written && rename(temporary, name) == 0)
        return true;
    remove(temporary);
    return false;
}

int saveGame()
{
    int position = askChoice(textOf(systemMessages[MSG_SAVE_QUESTION]), SAVE_POSITIONS);
    if (position < 1 || position > SAVE_POSITIONS)
        return -1;
    char name[FILE_NAME_SIZE];
    saveFileName(position, name);
    size_t size = stateSize();
    unsigned char *bytes = static_cast<unsigned char *>(malloc(size));
    bool saved = false;
    if (bytes) {
        encodeState(bytes);
        saved = writeAtomically(name, bytes, size);
        free(bytes);
    }
    if (!saved) {
        showSystemMessage(MSG_FILE_FAILED);
        return -1;
    }
    return 0;
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

// Reads at most MAX_SAVE_BYTES of the file, all that its counts can
// announce; false when reading fails.
static bool readAnnouncedBytes(FILE *file, unsigned char *bytes, size_t *size)
{
    *size = fread(bytes, 1, MAX_SAVE_BYTES, file);
    return !ferror(file);
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

// Applies a file that checkLayout accepted, so every read succeeds.
static void applyState(const unsigned char *bytes, size_t size)
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

    readInt16(r, &playerLocation);
    readInt16(r, &carriedCount);
    // The stored count is replaced by what the objects say.
    recountCarried();
}

int restoreGame()
{
    int position = askChoice(textOf(systemMessages[MSG_RESTORE_QUESTION]), SAVE_POSITIONS);
    if (position < 1 || position > SAVE_POSITIONS)
        return -1;
    char name[FILE_NAME_SIZE];
    saveFileName(position, name);
    FILE *file = fopen(name, "rb");
    if (!file) {
        showSystemMessage(MSG_FILE_FAILED);
        return -1;
    }
    // The whole file is read and checked before anything of it is applied.
    unsigned char *bytes = static_cast<unsigned char *>(malloc(MAX_SAVE_BYTES));
    size_t size = 0;
    bool accepted = bytes && readAnnouncedBytes(file, bytes, &size) && checkLayout(bytes, size);
    fclose(file);
    if (accepted)
        applyState(bytes, size);
    free(bytes);
    if (!accepted) {
        showSystemMessage(MSG_FILE_FAILED);
        return -1;
    }
    return 0;
}
