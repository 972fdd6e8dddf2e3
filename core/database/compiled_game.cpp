// The compiled game file: every table's row images, the settings and the
// arena image, in a fixed order, as one gzip stream.
#include "core/database/compiled_game.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "core/database/file_access.h"
#include "core/database/game_database.h"
#include "core/database/rule_code.h"

static const char MAGIC[] = "TWBv23";    // the only version written
constexpr int MAGIC_SIZE = 6;
constexpr unsigned IO_CHUNK = 1u << 20;  // gzread and gzwrite take an unsigned length

// ---------------------------------------------------------------------------
// Writing

struct GameWriter {
    gzFile file;
    bool ok;                             // false after the first failed write
};

static void writeBytes(GameWriter *out, const void *data, size_t size)
{
    const char *at = static_cast<const char *>(data);
    while (out->ok && size > 0) {
        unsigned chunk = size > IO_CHUNK ? IO_CHUNK : static_cast<unsigned>(size);
        if (gzwrite(out->file, at, chunk) != static_cast<int>(chunk))
            out->ok = false;
        at += chunk;
        size -= chunk;
    }
}

static void writeInt16(GameWriter *out, int16_t value) { writeBytes(out, &value, sizeof value); }
static void writeInt32(GameWriter *out, int32_t value) { writeBytes(out, &value, sizeof value); }

static void writeZeros(GameWriter *out, size_t size)
{
    static const char zeros[sizeof(RuleRecord)] = {};
    while (size > 0) {
        size_t chunk = size > sizeof zeros ? sizeof zeros : size;
        writeBytes(out, zeros, chunk);
        size -= chunk;
    }
}

// A last-index table: its last index, then rows 0..last.
static void writeLastIndexTable(GameWriter *out, int16_t last, const void *rows, size_t rowSize)
{
    writeInt16(out, last);
    if (last >= 0)
        writeBytes(out, rows, (last + 1) * rowSize);
}

// A counted table: its count, then the rows and one spare row of zeros.
static void writeCountedTable(GameWriter *out, int16_t count, const void *rows, size_t rowSize)
{
    writeInt16(out, count);
    if (count > 0) {
        writeBytes(out, rows, count * rowSize);
        writeZeros(out, rowSize);
    }
}

// Objects and rules go out as the tables hold them, padding included: the
// tables keep zeros there (rows are appended zero-filled, and a loaded game
// has its padding cleared as it is read).
static void writeRules(GameWriter *out, int16_t count, const RuleRecord *rules)
{
    writeInt16(out, count);
    if (count <= 0)
        return;
    writeBytes(out, rules, count * sizeof(RuleRecord));
    writeZeros(out, sizeof(RuleRecord));
}

static void writeDatabase(GameWriter *out)
{
    writeBytes(out, MAGIC, MAGIC_SIZE);
    writeLastIndexTable(out, lastLocation, locations, sizeof(LocationRecord));
    writeBytes(out, directions, sizeof directions);
    writeLastIndexTable(out, lastShow, shows, sizeof(ShowRecord));
    writeLastIndexTable(out, lastMessage, messages, sizeof(TextRef));
    writeBytes(out, systemMessages, sizeof systemMessages);
    writeLastIndexTable(out, lastObject, objects, sizeof(ObjectRecord));
    writeCountedTable(out, verbCount, verbs, sizeof(WordRecord));
    writeCountedTable(out, nounCount, nouns, sizeof(WordRecord));
    writeRules(out, eventCount, events);
    writeRules(out, actionCount, actions);
    writeCountedTable(out, varCount, vars, sizeof(VarRecord));

    writeInt16(out, settings.StartLocation);
    writeInt16(out, settings.MaxItems);
    writeInt16(out, settings.ShowExits);
    writeInt16(out, settings.BgColor);
    writeInt16(out, settings.FgColor);
    writeBytes(out, &settings.YesLetter, 1);
    writeBytes(out, &settings.NoLetter, 1);
    writeBytes(out, settings.Prompt, sizeof settings.Prompt);
    writeBytes(out, settings.ImagePath, sizeof settings.ImagePath);
    writeBytes(out, settings.Title, sizeof settings.Title);
    writeBytes(out, settings.StatusLine, sizeof settings.StatusLine);

    // The arena image from offset 0; byte 0 never holds a text.
    uint32_t length = arenaUsed();
    writeInt32(out, static_cast<int32_t>(length));
    writeZeros(out, 1);
    writeBytes(out, arenaBase + 1, length - 1);
}

// Writes through the shared writer: the file replaces an older one only when
// every write, the close and the sync succeeded.
int writeCompiledGame(const char *path)
{
    if (!arenaBase || !path)
        return -1;
    FileWrite target;
    if (beginWrite(&target, path) != 0)
        return -1;
    // The gzip stream closes its own copy of the descriptor; the writer
    // still syncs and closes the original.
    int streamFd = dup(target.fd);
    GameWriter out = {streamFd >= 0 ? gzdopen(streamFd, "wb") : nullptr, true};
    if (!out.file) {
        if (streamFd >= 0)
            close(streamFd);
        abandonWrite(&target);
        return -1;
    }
    writeDatabase(&out);
    bool written = gzclose(out.file) == Z_OK && out.ok;
    if (!written) {
        abandonWrite(&target);
        return -1;
    }
    return finishWrite(&target);
}

// ---------------------------------------------------------------------------
// Reading

struct GameReader {
    gzFile file;
    bool ok;                             // false once the file ended early or failed
};

static bool readBytes(GameReader *in, void *buffer, size_t size)
{
    char *at = static_cast<char *>(buffer);
    while (in->ok && size > 0) {
        unsigned chunk = size > IO_CHUNK ? IO_CHUNK : static_cast<unsigned>(size);
        int got = gzread(in->file, at, chunk);
        if (got <= 0) {
            in->ok = false;
            break;
        }
        at += got;
        size -= static_cast<size_t>(got);
    }
    return in->ok;
}

static int16_t readInt16(GameReader *in)
{
    int16_t value = 0;
    readBytes(in, &value, sizeof value);
    return value;
}

static int32_t readInt32(GameReader *in)
{
    int32_t value = 0;
    readBytes(in, &value, sizeof value);
    return value;
}

// Everything a file holds, kept apart from the database until all of it has
// been read and checked.
struct LoadedGame {
    LocationRecord *locations;
    ShowRecord *shows;
    TextRef *messages;
    ObjectRecord *objects;
    WordRecord *verbs;
    WordRecord *nouns;
    RuleRecord *events;
    RuleRecord *actions;
    VarRecord *vars;
    int16_t lastLocation, lastShow, lastMessage, lastObject;
    int16_t verbCount, nounCount, eventCount, actionCount, varCount;
    TextRef directions[DIRECTION_COUNT];
    TextRef systemMessages[SYSTEM_MESSAGE_COUNT];
    GameSettings settings;
    uint32_t arenaLength;                // bytes of the arena image
    char *arena;                         // the arena image
};

static void freeLoadedGame(LoadedGame *game)
{
    free(game->locations);
    free(game->shows);
    free(game->messages);
    free(game->objects);
    free(game->verbs);
    free(game->nouns);
    free(game->events);
    free(game->actions);
    free(game->vars);
    free(game->arena);
}

// Reads a last-index table whose last index must lie in -1..limit; returns
// its rows (nullptr when empty), or nullptr with in->ok false when refused.
static void *readLastIndexTable(GameReader *in, int16_t *last, int limit, size_t rowSize)
{
    *last = readInt16(in);
    if (!in->ok || *last < -1 || *last > limit) {
        in->ok = false;
        return nullptr;
    }
    if (*last < 0)
        return nullptr;
    size_t rows = static_cast<size_t>(*last) + 1;
    void *table = malloc(rows * rowSize);
    if (!table)
        in->ok = false;
    else
        readBytes(in, table, rows * rowSize);
    return table;
}

// Reads a counted table: count rows and the spare row after them, which is
// cleared, its content having no meaning. A negative count, like 0, means an
// empty table with no rows in the file.
static void *readCountedTable(GameReader *in, int16_t *count, size_t rowSize)
{
    *count = readInt16(in);
    if (!in->ok || *count > MAX_ROWS) {
        in->ok = false;
        return nullptr;
    }
    if (*count <= 0) {
        *count = 0;
        return nullptr;
    }
    size_t rows = static_cast<size_t>(*count) + 1;
    char *table = static_cast<char *>(malloc(rows * rowSize));
    if (!table)
        in->ok = false;
    else if (readBytes(in, table, rows * rowSize))
        memset(table + *count * rowSize, 0, rowSize);
    return table;
}

// The version of a file from its magic: 20 for "TWB2", otherwise the two
// bytes after "TWBv" taken as digits (unchecked). False when refused.
static bool readVersion(GameReader *in, int *version)
{
    unsigned char magic[4];
    if (!readBytes(in, magic, sizeof magic))
        return false;
    if (memcmp(magic, "TWB2", 4) == 0) {
        *version = 20;
        return true;
    }
    unsigned char digits[2];
    if (memcmp(magic, "TWBv", 4) != 0 || !readBytes(in, digits, sizeof digits) || digits[0] == 0)
        return false;
    *version = 10 * (digits[0] - '0') + (digits[1] - '0');
    return true;
}

// Rule kinds of older versions: in version 20 a run of if rows was one rule
// whose later rows are alternatives (or rows); up to version 22 a plain block
// start meant what the fbegin start means now.
static void convertRuleKinds(RuleRecord *rules, int count, int version)
{
    if (version == 20) {
        bool previousWasCondition = false;
        for (int i = 0; i < count; i++) {
            bool isCondition = rules[i].kind == KIND_IF;
            if (isCondition && previousWasCondition)
                rules[i].kind = KIND_OR;
            previousWasCondition = isCondition;
        }
    }
    if (version <= 22)
        for (int i = 0; i < count; i++)
            if (rules[i].kind == KIND_BEGIN)
                rules[i].kind = KIND_FBEGIN;
}

// The padding bytes of a file's objects and rules may hold anything; the
// tables keep zeros there, so that a game is written as it was compiled.
static void clearPadding(LoadedGame *game)
{
    for (int i = 0; i <= game->lastObject; i++) {
        memset(game->objects[i].padding1, 0, sizeof game->objects[i].padding1);
        memset(game->objects[i].padding2, 0, sizeof game->objects[i].padding2);
    }
    for (int i = 0; i < game->eventCount; i++)
        game->events[i].padding = 0;
    for (int i = 0; i < game->actionCount; i++)
        game->actions[i].padding = 0;
}

// Reads every item after the magic into game; false when the file is refused.
static bool readItems(GameReader *in, LoadedGame *game, int version)
{
    game->locations = static_cast<LocationRecord *>(
        readLastIndexTable(in, &game->lastLocation, MAX_ENTRY, sizeof(LocationRecord)));
    readBytes(in, game->directions, sizeof game->directions);
    if (in->ok)
        game->shows = static_cast<ShowRecord *>(
            readLastIndexTable(in, &game->lastShow, MAX_SHOW, sizeof(ShowRecord)));
    if (in->ok)
        game->messages = static_cast<TextRef *>(
            readLastIndexTable(in, &game->lastMessage, MAX_ENTRY, sizeof(TextRef)));
    readBytes(in, game->systemMessages, sizeof game->systemMessages);
    if (in->ok)
        game->objects = static_cast<ObjectRecord *>(
            readLastIndexTable(in, &game->lastObject, MAX_ENTRY, sizeof(ObjectRecord)));
    if (in->ok)
        game->verbs = static_cast<WordRecord *>(
            readCountedTable(in, &game->verbCount, sizeof(WordRecord)));
    if (in->ok)
        game->nouns = static_cast<WordRecord *>(
            readCountedTable(in, &game->nounCount, sizeof(WordRecord)));
    if (in->ok)
        game->events = static_cast<RuleRecord *>(
            readCountedTable(in, &game->eventCount, sizeof(RuleRecord)));
    if (in->ok)
        game->actions = static_cast<RuleRecord *>(
            readCountedTable(in, &game->actionCount, sizeof(RuleRecord)));
    if (in->ok)
        game->vars = static_cast<VarRecord *>(
            readCountedTable(in, &game->varCount, sizeof(VarRecord)));
    if (!in->ok)
        return false;

    convertRuleKinds(game->events, game->eventCount, version);
    convertRuleKinds(game->actions, game->actionCount, version);
    clearPadding(game);

    GameSettings &s = game->settings;
    s.StartLocation = readInt16(in);
    s.MaxItems = readInt16(in);
    s.ShowExits = readInt16(in);
    s.BgColor = readInt16(in);
    s.FgColor = readInt16(in);
    readBytes(in, &s.YesLetter, 1);
    readBytes(in, &s.NoLetter, 1);
    readBytes(in, s.Prompt, sizeof s.Prompt);
    readBytes(in, s.ImagePath, sizeof s.ImagePath);
    if (version > 22) {
        readBytes(in, s.Title, sizeof s.Title);
        readBytes(in, s.StatusLine, sizeof s.StatusLine);
    }
    // Texts that readers take as NUL-terminated stay so, whatever the file
    // holds; ImagePath may fill its buffer and is read with its size.
    s.Prompt[sizeof s.Prompt - 1] = '\0';
    s.Title[sizeof s.Title - 1] = '\0';
    s.StatusLine[sizeof s.StatusLine - 1] = '\0';

    int32_t length = readInt32(in);
    if (!in->ok || length < 1 || length > ARENA_SIZE)
        return false;
    game->arenaLength = static_cast<uint32_t>(length);
    game->arena = static_cast<char *>(malloc(game->arenaLength));
    if (!game->arena || !readBytes(in, game->arena, game->arenaLength))
        return false;
    // Reading on lets zlib check the gzip trailer: a damaged or cut stream
    // fails here. Bytes after the arena image are ignored.
    char extra;
    int error = Z_OK;
    gzread(in->file, &extra, 1);
    gzerror(in->file, &error);
    return error == Z_OK;
}

// A text inside an arena image is terminated when some NUL lies at or after
// its start, so the image's last NUL bounds every valid offset.
static bool validText(TextRef ref, int64_t lastNul)
{
    return ref == 0 || static_cast<int64_t>(ref) <= lastNul;
}

// True when every text offset of the game names a NUL-terminated text inside
// its arena image.
static bool textsInsideArena(const LoadedGame *game)
{
    int64_t lastNul = -1;
    for (int64_t i = game->arenaLength - 1; i >= 0; i--)
        if (game->arena[i] == '\0') {
            lastNul = i;
            break;
        }
    for (int i = 0; i <= game->lastLocation; i++) {
        const LocationRecord &row = game->locations[i];
        if (!validText(row.name, lastNul) || !validText(row.picture, lastNul) ||
            !validText(row.description, lastNul))
            return false;
    }
    for (TextRef ref : game->directions)
        if (!validText(ref, lastNul))
            return false;
    for (int i = 0; i <= game->lastShow; i++)
        if (!validText(game->shows[i].text, lastNul) || !validText(game->shows[i].picture, lastNul))
            return false;
    for (int i = 0; i <= game->lastMessage; i++)
        if (!validText(game->messages[i], lastNul))
            return false;
    for (TextRef ref : game->systemMessages)
        if (!validText(ref, lastNul))
            return false;
    for (int i = 0; i <= game->lastObject; i++)
        if (!validText(game->objects[i].name, lastNul) ||
            !validText(game->objects[i].description, lastNul))
            return false;
    return true;
}

// Replaces the whole database by a checked game; the tables change owner.
static void installGame(LoadedGame *game)
{
    resetDatabase();     // frees the old tables and clears the whole arena
    locations = game->locations;
    lastLocation = game->lastLocation;
    shows = game->shows;
    lastShow = game->lastShow;
    messages = game->messages;
    lastMessage = game->lastMessage;
    objects = game->objects;
    lastObject = game->lastObject;
    verbs = game->verbs;
    verbCount = game->verbCount;
    nouns = game->nouns;
    nounCount = game->nounCount;
    events = game->events;
    eventCount = game->eventCount;
    actions = game->actions;
    actionCount = game->actionCount;
    vars = game->vars;
    varCount = game->varCount;
    memcpy(directions, game->directions, sizeof directions);
    memcpy(systemMessages, game->systemMessages, sizeof systemMessages);
    settings = game->settings;
    memcpy(arenaBase, game->arena, game->arenaLength);
    arenaBase[0] = '\0';   // never a text, whatever the file held there
    arenaNext = arenaBase + game->arenaLength;
    free(game->arena);
}

// Reads a whole file before anything changes: a refused file leaves the
// database as it was (after start-up's reset, the reset state).
int readCompiledGame(const char *path)
{
    if (!arenaBase || !path)
        return -1;
    // Only a regular file is read: a folder, FIFO or device counts as missing.
    int fd = openRegularDescriptor(path);
    if (fd < 0)
        return -1;
    GameReader in = {gzdopen(fd, "rb"), true};
    if (!in.file) {
        close(fd);
        return -1;
    }
    LoadedGame game;
    memset(&game, 0, sizeof game);
    int version = 0;
    bool accepted = readVersion(&in, &version) && readItems(&in, &game, version) && textsInsideArena(&game);
    gzclose(in.file);
    if (!accepted) {
        freeLoadedGame(&game);
        return -2;
    }
    installGame(&game);
    return 0;
}
