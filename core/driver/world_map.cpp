// The world's map: a box per location, an arrow per exit, drawn by Graphviz.
// Which locations the player can reach is worked out from the start location
// over the declared exits and over what the rules do: a `go`, an `exit` that
// opens a way and a `subst` that redirects exits all lead somewhere.
#include "core/driver/world_map.h"

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#ifndef __EMSCRIPTEN__
#include <spawn.h>
#include <sys/wait.h>
#endif

#include "core/database/file_access.h"
#include "core/database/game_database.h"
#include "core/database/rule_code.h"
#include "core/database/text_compare.h"
#include "core/driver/code_page_437.h"

#ifndef __EMSCRIPTEN__
extern char **environ;
#endif

constexpr int UNKNOWN_PLACE = -1;           // a rule's location that cannot be told
constexpr int BLOCK_LEVELS = 16;            // nesting the rule walker follows
// dot's ranked layout takes minutes for a large, densely linked world; above
// this many locations the map is laid out by neato, in seconds.
constexpr int RANKED_LAYOUT_LOCATIONS = 60;

// What a rule does to the ways through the world.
enum LinkKind : char {
    LINK_GO = 'l',      // the player is moved from `from` to `to`
    LINK_EXIT = 'e',    // an exit of `from` in `direction` is opened to `to`
    LINK_SUBST = 't',   // exits that lead to `from` lead to `to`
};

struct RuleLink {
    int16_t from;       // location, or UNKNOWN_PLACE
    int16_t to;         // destination location
    int8_t direction;   // 1..10 for LINK_EXIT, 0 otherwise
    char kind;          // LinkKind
};

// The text being built, grown as needed; failed once memory ran short.
static char *mapText = nullptr;
static size_t mapUsed = 0;
static size_t mapCapacity = 0;
static bool mapFailed = false;

static RuleLink *links = nullptr;
static int linkCount = 0;
static int linkCapacity = 0;

// The links grouped by the location they start from: those of location n are
// linkOrder[linkFirst[n]] .. linkOrder[linkFirst[n + 1] - 1].
static int *linkOrder = nullptr;
static int *linkFirst = nullptr;

// Objects rows 0..lastObject that some rule action may move (1) or not (0).
static unsigned char *movedObjects = nullptr;

static bool reserveText(size_t more)
{
    if (mapFailed)
        return false;
    if (mapUsed + more + 1 <= mapCapacity)
        return true;
    size_t capacity = mapCapacity ? mapCapacity : 4096;
    while (capacity < mapUsed + more + 1)
        capacity *= 2;
    char *grown = static_cast<char *>(realloc(mapText, capacity));
    if (!grown) {
        mapFailed = true;
        return false;
    }
    mapText = grown;
    mapCapacity = capacity;
    return true;
}

static void appendFormat(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int length = vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (length >= 0 && reserveText(static_cast<size_t>(length))) {
        vsnprintf(mapText + mapUsed, mapCapacity - mapUsed, format, again);
        mapUsed += static_cast<size_t>(length);
    }
    va_end(again);
}

// A game text inside a quoted Graphviz string: code page 437 turned into
// UTF-8, quotes and backslashes escaped so that Graphviz keeps them as they are.
static void appendQuotedText(const char *text)
{
    for (const unsigned char *byte = reinterpret_cast<const unsigned char *>(text); *byte; byte++) {
        unsigned point = CODE_PAGE_437[*byte];
        if (*byte == '"' || *byte == '\\')
            appendFormat("\\%c", *byte);
        else if (point < 0x80)
            appendFormat("%c", static_cast<char>(point));
        else if (point < 0x800)
            appendFormat("%c%c", static_cast<char>(0xC0 | (point >> 6)), static_cast<char>(0x80 | (point & 0x3F)));
        else
            appendFormat("%c%c%c", static_cast<char>(0xE0 | (point >> 12)),
                         static_cast<char>(0x80 | ((point >> 6) & 0x3F)), static_cast<char>(0x80 | (point & 0x3F)));
    }
}

static bool isDeclared(int location)
{
    return location >= 1 && location <= lastLocation && locations[location].name != 0;
}

static bool isDark(int location)
{
    return (locations[location].flags & 1) != 0;
}

static void appendDirectionName(int direction)
{
    const char *name = textOf(directions[direction - 1]);
    if (name && *name)
        appendQuotedText(name);
    else
        appendFormat("direction %d", direction);
}

// Pairs of opposite direction names; games that name their directions
// otherwise pair them as the usual layout numbers them (north 1, south 2,
// east 3, west 4, up 5, down 6, northeast 7, northwest 8, southeast 9,
// southwest 10).
static const char *const OPPOSITE_NAMES[][2] = {
    {"north", "south"}, {"east", "west"}, {"up", "down"},
    {"northeast", "southwest"}, {"northwest", "southeast"}, {"in", "out"},
};
static const int USUAL_OPPOSITE[DIRECTION_COUNT + 1] = {0, 2, 1, 4, 3, 6, 5, 10, 9, 8, 7};

// The direction whose exit leads back, 1..10, or 0 when there is none.
static int oppositeDirection(int direction)
{
    const char *name = textOf(directions[direction - 1]);
    if (name) {
        for (const auto &pair : OPPOSITE_NAMES) {
            for (int side = 0; side < 2; side++) {
                if (!equalsIgnoreCase(name, pair[side]))
                    continue;
                for (int other = 1; other <= DIRECTION_COUNT; other++) {
                    const char *otherName = textOf(directions[other - 1]);
                    if (otherName && equalsIgnoreCase(otherName, pair[1 - side]))
                        return other;
                }
                return 0;
            }
        }
    }
    return USUAL_OPPOSITE[direction];
}

static void addLink(int from, int to, int direction, char kind)
{
    if (linkCount == linkCapacity) {
        int capacity = linkCapacity ? linkCapacity * 2 : 64;
        RuleLink *grown = static_cast<RuleLink *>(realloc(links, sizeof(RuleLink) * static_cast<size_t>(capacity)));
        if (!grown) {
            mapFailed = true;
            return;
        }
        links = grown;
        linkCapacity = capacity;
    }
    links[linkCount++] = {static_cast<int16_t>(from), static_cast<int16_t>(to), static_cast<int8_t>(direction), kind};
}

static void markMoved(int object)
{
    if (object >= 0 && object <= lastObject)
        movedObjects[object] = 1;
}

// Marks the objects that the actions of a rule table may move; a moveall
// marks in emptied the location it empties (int16 numbers shifted by 32768).
static void findMovedObjects(const RuleRecord *table, int count, unsigned char *emptied)
{
    for (int index = 0; index < count; index++) {
        const RuleRecord &record = table[index];
        if (record.kind != KIND_ACTION)
            continue;
        for (int slot = 0; slot < RULE_SLOTS; slot++) {
            int a = record.firstOperands[slot];
            switch (record.opcodes[slot]) {
            case ACT_CREATE:
            case ACT_DESTROY:
            case ACT_GET:
            case ACT_WEAR:
            case ACT_PUT:
                markMoved(a);
                break;
            case ACT_SWAP:
                markMoved(a);
                markMoved(record.secondOperands[slot]);
                break;
            case ACT_MOVEALL:
                emptied[a + 32768] = 1;
                break;
            default:
                break;
            }
        }
    }
}

// Where an object always is: one that the player cannot take or wear and no
// rule moves stays where it was declared. UNKNOWN_PLACE for any other.
static int fixedPlace(int object)
{
    if (!objectExists(object) || movedObjects[object])
        return UNKNOWN_PLACE;
    const ObjectRecord &row = objects[object];
    if ((row.flags & (OBJECT_TAKEABLE | OBJECT_WEARABLE)) != 0 || row.initialLocation < 0)
        return UNKNOWN_PLACE;
    return row.initialLocation;
}

// The location that a condition record requires: a plain `at`, else a
// plain `here` of an object that never moves; UNKNOWN_PLACE when neither.
static int requiredPlace(const RuleRecord &record)
{
    int place = UNKNOWN_PLACE;
    for (int slot = 0; slot < RULE_SLOTS; slot++) {
        if (record.opcodes[slot] == COND_AT)
            return record.firstOperands[slot];
        if (record.opcodes[slot] == COND_HERE && place == UNKNOWN_PLACE)
            place = fixedPlace(record.firstOperands[slot]);
    }
    return place;
}

// Collects what the action records of one table do to the ways. Where the
// player stands when a record runs is known from an `at` among the conditions
// of its test or of the tests that open the blocks around it; `go` moves the
// later slots of the record along, and an `at` action names the place of the
// slot after it.
static void collectRuleLinks(const RuleRecord *table, int count)
{
    int blockPlaces[BLOCK_LEVELS];
    blockPlaces[0] = UNKNOWN_PLACE;
    int level = 0;
    int testPlace = UNKNOWN_PLACE;
    for (int index = 0; index < count; index++) {
        const RuleRecord &record = table[index];
        switch (record.kind) {
        case KIND_IF:
        case KIND_WHILE:
            testPlace = requiredPlace(record);
            break;
        case KIND_AND:
            if (requiredPlace(record) != UNKNOWN_PLACE)
                testPlace = requiredPlace(record);
            break;
        case KIND_OR:
            testPlace = UNKNOWN_PLACE;
            break;
        case KIND_BEGIN:
        case KIND_FBEGIN:
        case KIND_SBEGIN:
            if (level < BLOCK_LEVELS - 1) {
                int outer = blockPlaces[level];
                blockPlaces[++level] = testPlace != UNKNOWN_PLACE ? testPlace : outer;
            }
            testPlace = UNKNOWN_PLACE;
            break;
        case KIND_END:
            if (level > 0)
                level--;
            testPlace = UNKNOWN_PLACE;
            break;
        case KIND_ACTION: {
            int player = testPlace != UNKNOWN_PLACE ? testPlace : blockPlaces[level];
            int target = player;
            bool moved = false;
            for (int slot = 0; slot < RULE_SLOTS; slot++) {
                int a = record.firstOperands[slot];
                int b = record.secondOperands[slot];
                int next = player;
                switch (record.opcodes[slot]) {
                case ACT_GO:
                    addLink(player, a, 0, LINK_GO);
                    player = a;
                    next = a;
                    moved = true;
                    break;
                case ACT_AT:
                    next = a;
                    break;
                case ACT_EXIT:
                    if (b != 0)
                        addLink(target, b, a >= 1 && a <= DIRECTION_COUNT ? a : 0, LINK_EXIT);
                    break;
                case ACT_SUBST:
                    // Exits to a missing location are never followed: whoever
                    // reaches one may reach b.
                    if (b != 0) {
                        int from = a == 0 ? player : a;
                        addLink(isDeclared(from) ? from : UNKNOWN_PLACE, b, 0, LINK_SUBST);
                    }
                    break;
                default:
                    break;
                }
                target = next;
            }
            // After a move the later records of this test stand where it
            // led; those of the blocks around it cannot be told any more.
            if (moved) {
                testPlace = player;
                for (int outer = 0; outer <= level; outer++)
                    blockPlaces[outer] = UNKNOWN_PLACE;
            }
            break;
        }
        default:
            break;
        }
    }
}

// Groups the links by their starting location (a counting sort), so that
// the links of a location are found without a scan of them all.
static bool indexLinks()
{
    free(linkOrder);
    free(linkFirst);
    size_t rows = static_cast<size_t>(lastLocation) + 1;
    linkOrder = static_cast<int *>(calloc(static_cast<size_t>(linkCount) + 1, sizeof(int)));
    linkFirst = static_cast<int *>(calloc(rows + 1, sizeof(int)));
    if (!linkOrder || !linkFirst)
        return false;
    for (int i = 0; i < linkCount; i++) {
        if (locationExists(links[i].from))
            linkFirst[links[i].from + 1]++;
    }
    for (size_t row = 0; row < rows; row++)
        linkFirst[row + 1] += linkFirst[row];
    int *next = static_cast<int *>(calloc(rows, sizeof(int)));
    if (!next)
        return false;
    for (size_t row = 0; row < rows; row++)
        next[row] = linkFirst[row];
    for (int i = 0; i < linkCount; i++) {
        if (locationExists(links[i].from))
            linkOrder[next[links[i].from]++] = i;
    }
    free(next);
    return true;
}

// Queues a declared location not reached before.
static void visit(int location, unsigned char *reached, int16_t *queue, int *tail)
{
    if (isDeclared(location) && !reached[location]) {
        reached[location] = 1;
        queue[(*tail)++] = static_cast<int16_t>(location);
    }
}

// Marks in reached every location the player can get to from the start.
static void findReachable(unsigned char *reached, int16_t *queue)
{
    int head = 0;
    int tail = 0;
    visit(settings.StartLocation, reached, queue, &tail);
    // A rule whose place cannot be told may run wherever the player stands.
    for (int i = 0; i < linkCount; i++) {
        if (links[i].from == UNKNOWN_PLACE)
            visit(links[i].to, reached, queue, &tail);
    }
    while (head < tail) {
        int location = queue[head++];
        for (int direction = 0; direction < DIRECTION_COUNT; direction++)
            visit(locations[location].exits[direction], reached, queue, &tail);
        for (int k = linkFirst[location]; k < linkFirst[location + 1]; k++)
            visit(links[linkOrder[k]].to, reached, queue, &tail);
    }
}

static void appendNodeName(int location)
{
    if (isDeclared(location))
        appendFormat("\"L%d\"", location);
    else
        appendFormat("\"U%d\"", location);
}

static void appendLocations(const unsigned char *reached)
{
    for (int location = 1; location <= lastLocation; location++) {
        if (!isDeclared(location))
            continue;
        appendFormat("  ");
        appendNodeName(location);
        appendFormat(" [label=\"%d: ", location);
        appendQuotedText(textOf(locations[location].name));
        if (location == settings.StartLocation)
            appendFormat("\\n(start)");
        appendFormat("\"");
        if (location == settings.StartLocation)
            appendFormat(", peripheries=2");
        if (isDark(location))
            appendFormat(", style=filled, fillcolor=gray70");
        if (!reached[location])
            appendFormat(", color=red, penwidth=2");
        appendFormat("]\n");
    }
}

// A destination that names no declared location gets a red box, once.
static void appendUndeclared(unsigned char *undeclaredDrawn, int location)
{
    unsigned char &drawn = undeclaredDrawn[location + 32768];   // int16 numbers
    if (drawn)
        return;
    drawn = 1;
    appendFormat("  ");
    appendNodeName(location);
    appendFormat(" [label=\"%d: undeclared\", color=red, fontcolor=red, style=dashed]\n", location);
}

// Whether destination has an exit back to location, declared or opened by a rule.
static bool leadsBack(int destination, int location)
{
    for (int direction = 0; direction < DIRECTION_COUNT; direction++) {
        if (locations[destination].exits[direction] == location)
            return true;
    }
    for (int k = linkFirst[destination]; k < linkFirst[destination + 1]; k++) {
        const RuleLink &link = links[linkOrder[k]];
        if (link.kind == LINK_EXIT && link.to == location)
            return true;
    }
    return false;
}

// The start of an edge line, up to the opening quote of its label.
static void appendEdgeStart(int from, int to)
{
    appendFormat("  ");
    appendNodeName(from);
    appendFormat(" -> ");
    appendNodeName(to);
    appendFormat(" [label=\"");
}

static void appendExits(unsigned char *paired, unsigned char *undeclaredDrawn)
{
    for (int location = 1; location <= lastLocation; location++) {
        if (!isDeclared(location))
            continue;
        for (int direction = 1; direction <= DIRECTION_COUNT; direction++) {
            int destination = locations[location].exits[direction - 1];
            if (destination == 0 || paired[location * DIRECTION_COUNT + direction - 1])
                continue;
            if (!isDeclared(destination)) {
                appendUndeclared(undeclaredDrawn, destination);
                appendEdgeStart(location, destination);
                appendDirectionName(direction);
                appendFormat("\", color=red, fontcolor=red]\n");
                continue;
            }
            int back = oppositeDirection(direction);
            bool twoWay = back != 0 && locations[destination].exits[back - 1] == location &&
                          !paired[destination * DIRECTION_COUNT + back - 1] &&
                          !(destination == location && back == direction);
            appendEdgeStart(location, destination);
            appendDirectionName(direction);
            if (twoWay) {
                paired[destination * DIRECTION_COUNT + back - 1] = 1;
                appendFormat(" / ");
                appendDirectionName(back);
                appendFormat("\", dir=both]\n");
            } else if (!leadsBack(destination, location)) {
                appendFormat(" (one way)\", color=darkorange3, fontcolor=darkorange3]\n");
            } else {
                appendFormat("\"]\n");
            }
            paired[location * DIRECTION_COUNT + direction - 1] = 1;
        }
    }
}

// Exits that rules open and moves that rules make, where the rule's place is
// known: dashed arrows for the exits, dotted ones for the moves.
static void appendRuleLinks(unsigned char *undeclaredDrawn)
{
    for (int i = 0; i < linkCount; i++) {
        const RuleLink &link = links[i];
        bool opened = link.kind == LINK_EXIT && link.direction != 0;
        // Location 0 is left out, as a destination too.
        if ((!opened && link.kind != LINK_GO) || !isDeclared(link.from) || link.to == 0)
            continue;
        const char *colour = isDeclared(link.to) ? (opened ? "blue" : "gray40") : "red";
        if (!isDeclared(link.to))
            appendUndeclared(undeclaredDrawn, link.to);
        appendEdgeStart(link.from, link.to);
        if (opened) {
            appendDirectionName(link.direction);
            appendFormat(" (opened by a rule)\", style=dashed");
        } else {
            appendFormat("go (by a rule)\", style=dotted");
        }
        appendFormat(", color=%s, fontcolor=%s]\n", colour, colour);
    }
}

// The graph in Graphviz's language for the game in the database, or nullptr
// when the game has no location other than 0 or memory is short (mapFailed).
// The text stays valid until the next call; size receives its length.
static const char *worldMapText(size_t *size)
{
    mapUsed = 0;
    mapFailed = false;
    linkCount = 0;
    int locationCount = 0;
    for (int location = 1; location <= lastLocation; location++)
        locationCount += isDeclared(location);
    if (locationCount == 0)
        return nullptr;

    free(movedObjects);
    movedObjects = static_cast<unsigned char *>(calloc(static_cast<size_t>(lastObject) + 2, 1));
    if (!movedObjects) {
        mapFailed = true;
        return nullptr;
    }
    unsigned char *emptied = static_cast<unsigned char *>(calloc(65536, 1));
    if (!emptied) {
        mapFailed = true;
        return nullptr;
    }
    findMovedObjects(events, eventCount, emptied);
    findMovedObjects(actions, actionCount, emptied);
    // A moveall from 0 empties wherever the player is: any object may go.
    for (int object = 0; object <= lastObject; object++) {
        if (emptied[32768] || emptied[objects[object].initialLocation + 32768])
            movedObjects[object] = 1;
    }
    free(emptied);
    collectRuleLinks(events, eventCount);
    collectRuleLinks(actions, actionCount);

    size_t rows = static_cast<size_t>(lastLocation) + 1;
    unsigned char *reached = static_cast<unsigned char *>(calloc(rows, 1));
    int16_t *queue = static_cast<int16_t *>(calloc(rows, sizeof(int16_t)));
    unsigned char *paired = static_cast<unsigned char *>(calloc(rows * DIRECTION_COUNT, 1));
    unsigned char *undeclaredDrawn = static_cast<unsigned char *>(calloc(65536, 1));
    if (reached && queue && paired && undeclaredDrawn && !mapFailed && indexLinks()) {
        findReachable(reached, queue);
        appendFormat("digraph world {\n");
        // The title field may lack its NUL in a damaged file.
        char title[sizeof settings.Title + 1];
        memcpy(title, settings.Title, sizeof settings.Title);
        title[sizeof settings.Title] = '\0';
        appendFormat("  graph [label=\"");
        appendQuotedText(title);
        appendFormat("\", labelloc=t, fontname=\"Helvetica\", rankdir=TB");
        if (locationCount > RANKED_LAYOUT_LOCATIONS)
            appendFormat(", layout=neato, overlap=false");
        appendFormat("]\n");
        appendFormat("  node [shape=box, fontname=\"Helvetica\", fontsize=11]\n");
        appendFormat("  edge [fontname=\"Helvetica\", fontsize=9]\n");
        appendLocations(reached);
        if (!isDeclared(settings.StartLocation)) {
            appendFormat("  ");
            appendNodeName(settings.StartLocation);
            appendFormat(" [label=\"%d: undeclared\\n(start)\", color=red, fontcolor=red, style=dashed, peripheries=2]\n",
                         settings.StartLocation);
            undeclaredDrawn[settings.StartLocation + 32768] = 1;
        }
        appendExits(paired, undeclaredDrawn);
        appendRuleLinks(undeclaredDrawn);
        appendFormat("}\n");
    } else {
        mapFailed = true;
    }
    free(reached);
    free(queue);
    free(paired);
    free(undeclaredDrawn);
    if (mapFailed)
        return nullptr;
    *size = mapUsed;
    return mapText;
}

// Runs dot on the graph file and reads the drawing from its output.
// 0 with the drawing in *drawing (malloc'ed), or a message already printed
// and 1.
#ifdef __EMSCRIPTEN__
// A page starts no programs: the web build writes the graph only.
static int runDot(const char *, const char *svgName, char **, size_t *)
{
    printf("Cannot draw %s: this build runs no programs!\n", svgName);
    return 1;
}
#else
constexpr size_t MAX_DRAWING = 256u << 20;  // most bytes of SVG read from dot

static int runDot(const char *dotName, const char *svgName, char **drawing, size_t *size)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        printf("Cannot draw %s: %s!\n", svgName, strerror(errno));
        return 1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, dotName, O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
    char program[] = "dot";
    char format[] = "-Tsvg";
    char *arguments[] = {program, format, nullptr};
    pid_t child = 0;
    int spawned = posix_spawnp(&child, program, &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0) {
        close(pipeEnds[0]);
        if (spawned == ENOENT)
            printf("Cannot draw %s: Graphviz's dot program is not installed (Debian package graphviz)!\n", svgName);
        else
            printf("Cannot draw %s: dot cannot be started: %s!\n", svgName, strerror(spawned));
        return 1;
    }

    char *text = nullptr;
    size_t used = 0;
    size_t capacity = 0;
    bool failed = false;
    for (;;) {
        if (used == capacity) {
            size_t grown = capacity ? capacity * 2 : 65536;
            char *bigger = grown <= MAX_DRAWING ? static_cast<char *>(realloc(text, grown)) : nullptr;
            if (!bigger) {
                failed = true;
                break;
            }
            text = bigger;
            capacity = grown;
        }
        ssize_t got = read(pipeEnds[0], text + used, capacity - used);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            failed = got < 0;
            break;
        }
        used += static_cast<size_t>(got);
    }
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (failed || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || used == 0) {
        free(text);
        if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
            printf("Cannot draw %s: dot ended with status %d!\n", svgName, WEXITSTATUS(status));
        else
            printf("Cannot draw %s: dot gave no drawing!\n", svgName);
        return 1;
    }
    *drawing = text;
    *size = used;
    return 0;
}
#endif

int writeWorldMap(const char *gameName)
{
    size_t size = 0;
    const char *text = worldMapText(&size);
    if (!text) {
        if (mapFailed)
            puts("Memory Allocation Error, Cannot Continue!");
        else
            puts("There is nothing to map: the game declares no location other than 0.");
        return 1;
    }
    char dotName[WRITE_PATH_SIZE];
    char svgName[WRITE_PATH_SIZE];
    snprintf(dotName, sizeof dotName, "%s-map.dot", gameName);
    snprintf(svgName, sizeof svgName, "%s-map.svg", gameName);
    if (writeWholeFile(dotName, text, size) != 0) {
        printf("Cannot write file %s!\n", dotName);
        return 1;
    }
    char *drawing = nullptr;
    size_t drawingSize = 0;
    if (runDot(dotName, svgName, &drawing, &drawingSize) != 0)
        return 1;
    int written = writeWholeFile(svgName, drawing, drawingSize);
    free(drawing);
    if (written != 0) {
        printf("Cannot write file %s!\n", svgName);
        return 1;
    }
    printf("Map written to %s and %s\n", dotName, svgName);
    return 0;
}
