// Saved games: the run-time state of a game in nine positions per game.
#include "core/database/saved_game.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

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

// The largest file any game can have: every table at its limit.
constexpr long MAX_SAVE_BYTES =
    MAGIC_LENGTH + 2 + 2L * (MAX_ENTRY + 1) + 2 + 2L * MAX_ROWS + 2 + 2L * VALUES_PER_LOCATION * (MAX_ENTRY + 1) + 4;

// The first 8 characters of the game name, ".sv" and the position digit.
static std::string saveFileName(int position)
{
    std::string name(gameName, strnlen(gameName, NAME_PREFIX));
    return name + ".sv" + static_cast<char>('0' + position);
}

static void putInt16(std::vector<unsigned char> &out, int16_t value)
{
    uint16_t bits = static_cast<uint16_t>(value);
    out.push_back(static_cast<unsigned char>(bits & 0xFF));
    out.push_back(static_cast<unsigned char>(bits >> 8));
}

static std::vector<unsigned char> encodeState()
{
    std::vector<unsigned char> out(SAVE_MAGIC, SAVE_MAGIC + MAGIC_LENGTH);
    putInt16(out, lastObject);
    for (int i = 0; i <= lastObject; i++)
        putInt16(out, objects[i].currentLocation);
    putInt16(out, varCount);
    for (int i = 0; i < varCount; i++)
        putInt16(out, vars[i].value);
    putInt16(out, lastLocation);
    for (int i = 0; i <= lastLocation; i++) {
        for (int16_t exit : locations[i].currentExits)
            putInt16(out, exit);
        putInt16(out, locations[i].currentLight);
    }
    putInt16(out, playerLocation);
    putInt16(out, carriedCount);
    return out;
}

// Writes the whole file beside the position, then renames it over the
// position, so a failed save leaves the older one as it was.
static bool writeAtomically(const std::string &name, const std::vector<unsigned char> &bytes)
{
    std::string temporary = name + ".tmp";
    FILE *file = fopen(temporary.c_str(), "wb");
    if (!file)
        return false;
    bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    written = fflush(file) == 0 && written;
    written = fclose(file) == 0 && written;
    if (written && rename(temporary.c_str(), name.c_str()) == 0)
        return true;
    remove(temporary.c_str());
    return false;
}

int saveGame()
{
    int position = askChoice(textOf(systemMessages[MSG_SAVE_QUESTION]), SAVE_POSITIONS);
    if (position < 1 || position > SAVE_POSITIONS)
        return -1;
    if (!writeAtomically(saveFileName(position), encodeState())) {
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

// Reads a count and steps over the values it announces; false when the
// count is impossible or the file ends before them.
static bool skipBlock(Reader &r, int16_t *count, int lowest, size_t valuesPerEntry, int extra)
{
    if (!readInt16(r, count) || *count < lowest)
        return false;
    size_t bytes = static_cast<size_t>(*count + extra) * valuesPerEntry * 2;
    if (r.size - r.at < bytes)
        return false;
    r.at += bytes;
    return true;
}

// The whole file, when it is no bigger than any game's file can be.
static bool readWholeFile(FILE *file, std::vector<unsigned char> *bytes)
{
    unsigned char chunk[8192];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes->insert(bytes->end(), chunk, chunk + got);
        if (static_cast<long>(bytes->size()) > MAX_SAVE_BYTES)
            return false;
    }
    return !ferror(file);
}

// The file is accepted only when its magic is right and it holds exactly
// the values its counts announce.
static bool checkLayout(const std::vector<unsigned char> &bytes)
{
    if (bytes.size() < MAGIC_LENGTH || memcmp(bytes.data(), SAVE_MAGIC, MAGIC_LENGTH) != 0)
        return false;
    Reader r{bytes.data(), bytes.size(), MAGIC_LENGTH};
    int16_t count;
    return skipBlock(r, &count, -1, 1, 1)                       // objects 0..n
           && skipBlock(r, &count, 0, 1, 0)                     // vars 0..m-1
           && skipBlock(r, &count, -1, VALUES_PER_LOCATION, 1)  // locations 0..k
           && r.size - r.at == 4;                               // player, carried
}

static void applyState(const std::vector<unsigned char> &bytes)
{
    Reader r{bytes.data(), bytes.size(), MAGIC_LENGTH};
    int16_t value;

    int16_t n;
    readInt16(r, &n);
    for (int i = 0; i <= n; i++) {
        readInt16(r, &value);
        if (i <= lastObject)
            objects[i].currentLocation = value;
    }
    for (int i = n + 1; i <= lastObject; i++)
        objects[i].currentLocation = UNCHANGED;

    int16_t m;
    readInt16(r, &m);
    for (int i = 0; i < m; i++) {
        readInt16(r, &value);
        if (i < varCount)
            vars[i].value = value;
    }

    int16_t k;
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
    FILE *file = fopen(saveFileName(position).c_str(), "rb");
    if (!file) {
        showSystemMessage(MSG_FILE_FAILED);
        return -1;
    }
    std::vector<unsigned char> bytes;
    bool read = readWholeFile(file, &bytes);
    fclose(file);
    if (!read || !checkLayout(bytes)) {
        showSystemMessage(MSG_FILE_FAILED);
        return -1;
    }
    applyState(bytes);
    return 0;
}
