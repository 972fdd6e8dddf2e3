// The compiled game file: round trips, the byte layout, older versions,
// damaged files and the safe replacement of an older file.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "core/compiler/source_reader.h"
#include "core/database/compiled_game.h"
#include "core/database/game_database.h"
#include "core/database/rule_code.h"

namespace fs = std::filesystem;

namespace {

std::string bytesOf(const void *data, size_t size)
{
    return size ? std::string(static_cast<const char *>(data), size) : std::string();
}

// Everything the file carries, as bytes, to compare two databases.
struct Snapshot {
    std::vector<int> counts;
    std::string locations, shows, messages, objects, verbs, nouns, events, actions, vars;
    std::string directions, systemMessages, settings, arena;
};

Snapshot takeSnapshot()
{
    Snapshot s;
    s.counts = {lastLocation, lastShow, lastMessage, lastObject, verbCount,
                nounCount,    eventCount, actionCount, varCount};
    s.locations = bytesOf(locations, (lastLocation + 1) * sizeof(LocationRecord));
    s.shows = bytesOf(shows, (lastShow + 1) * sizeof(ShowRecord));
    s.messages = bytesOf(messages, (lastMessage + 1) * sizeof(TextRef));
    s.objects = bytesOf(objects, (lastObject + 1) * sizeof(ObjectRecord));
    s.verbs = bytesOf(verbs, verbCount * sizeof(WordRecord));
    s.nouns = bytesOf(nouns, nounCount * sizeof(WordRecord));
    s.events = bytesOf(events, eventCount * sizeof(RuleRecord));
    s.actions = bytesOf(actions, actionCount * sizeof(RuleRecord));
    s.vars = bytesOf(vars, varCount * sizeof(VarRecord));
    s.directions = bytesOf(directions, sizeof directions);
    s.systemMessages = bytesOf(systemMessages, sizeof systemMessages);
    s.settings = bytesOf(&settings, sizeof settings);
    s.arena = bytesOf(arenaBase, arenaUsed());
    return s;
}

void expectSame(const Snapshot &actual, const Snapshot &expected, const std::string &label)
{
    EXPECT_EQ(actual.counts, expected.counts) << label;
    EXPECT_EQ(actual.locations, expected.locations) << label;
    EXPECT_EQ(actual.shows, expected.shows) << label;
    EXPECT_EQ(actual.messages, expected.messages) << label;
    EXPECT_EQ(actual.objects, expected.objects) << label;
    EXPECT_EQ(actual.verbs, expected.verbs) << label;
    EXPECT_EQ(actual.nouns, expected.nouns) << label;
    EXPECT_EQ(actual.events, expected.events) << label;
    EXPECT_EQ(actual.actions, expected.actions) << label;
    EXPECT_EQ(actual.vars, expected.vars) << label;
    EXPECT_EQ(actual.directions, expected.directions) << label;
    EXPECT_EQ(actual.systemMessages, expected.systemMessages) << label;
    EXPECT_EQ(actual.settings, expected.settings) << label;
    EXPECT_EQ(actual.arena, expected.arena) << label;
}

bool arenaTailIsZero()
{
    static const char zeros[ARENA_SIZE] = {};
    return memcmp(arenaNext, zeros, ARENA_SIZE - arenaUsed()) == 0;
}

void addWord(WordRecord **table, int16_t *count, const char *word, int16_t number)
{
    WordRecord *row = appendWord(table, count);
    copyWord(row->word, word);
    row->number = number;
}

// Rules with the given kinds, each with one opcode and operands that tell
// the rows apart.
void addRules(RuleRecord **table, int16_t *count, const char *kinds)
{
    for (const char *kind = kinds; *kind; kind++) {
        RuleRecord *row = appendRule(table, count);
        row->kind = *kind;
        memset(row->opcodes, KIND_UNUSED, sizeof row->opcodes);
        row->opcodes[0] = static_cast<signed char>(-(*count));
        row->firstOperands[0] = *count;
        row->secondOperands[15] = static_cast<int16_t>(-*count);
    }
}

const char EVENT_KINDS[] = {KIND_IF, KIND_IF, KIND_IF, KIND_WHILE, KIND_IF, KIND_BEGIN, KIND_IF, KIND_IF, 0};
const char ACTION_KINDS[] = {KIND_BEGIN, KIND_IF, KIND_IF, KIND_AND, KIND_IF, 0};

// A game that uses every table, gaps in the last-index tables, texts joined
// by continuation, and settings whose buffers hold bytes after their NUL.
void buildGame()
{
    growLocations(3);
    locations[1].name = appendText("Great hall", false);
    locations[1].description = appendText("Tall windows.\\", false);
    appendText("A draught.", true);
    locations[1].flags = 1;
    locations[1].exits[0] = 3;
    locations[3].name = appendText("Tower", false);
    locations[3].picture = appendText("tower.png", false);
    locations[3].exits[9] = 1;
    locations[3].currentExits[4] = 1;
    locations[3].currentLight = 0;
    directions[0] = appendText("North", false);
    directions[9] = appendText("Down", false);
    growShows(2);
    shows[2].text = appendText("The gates open.", false);
    shows[2].picture = appendText("gates.png", false);
    growMessages(4);
    messages[1] = appendText("You hear a bell.", false);
    messages[4] = appendText("Nothing happens.", false);
    growObjects(2);
    objects[1].name = appendText("a brass lamp", false);
    objects[1].description = appendText("It glows.", false);
    objects[1].initialLocation = 1;
    objects[1].flags = OBJECT_TAKEABLE | OBJECT_LIGHT;
    objects[1].noun = 7;
    objects[1].currentLocation = CARRIED;
    objects[2].name = appendText("a cloak", false);
    objects[2].initialLocation = WORN;
    objects[2].flags = OBJECT_WEARABLE;
    objects[2].noun = 8;
    addWord(&verbs, &verbCount, "go", 11);
    addWord(&verbs, &verbCount, "walk", 11);
    addWord(&verbs, &verbCount, "inventor", 12);
    addWord(&nouns, &nounCount, "lamp", 7);
    addWord(&nouns, &nounCount, "cloak", 8);
    addRules(&events, &eventCount, EVENT_KINDS);
    addRules(&actions, &actionCount, ACTION_KINDS);
    memcpy(appendVar()->name, "score", 5);
    VarRecord *turns = appendVar();
    memcpy(turns->name, "turnsmax", 8);
    turns->value = -3;
    settings.StartLocation = 3;
    settings.MaxItems = 9;
    settings.ShowExits = 0;
    settings.BgColor = 1;
    settings.FgColor = 14;
    settings.YesLetter = 'j';
    settings.NoLetter = 'N';
    memcpy(settings.Prompt, "What now?\0junk", 14);
    memset(settings.ImagePath, 'p', sizeof settings.ImagePath);
    strcpy(settings.Title, "The Castle");
    strcpy(settings.StatusLine, "Score %score%");
    settings.StatusLine[40] = 'z';
    systemMessages[1] = appendText("I don't understand.", false);
    systemMessages[31] = appendText("Last words.", false);   // the arena's last text
}

// The state at program start: the reset database and no directions (which
// the reset keeps).
void freshDatabase()
{
    resetDatabase();
    memset(directions, 0, sizeof directions);
}

// The file's content as this test reads the layout: every item in order,
// with the position of each named item.
struct Image {
    std::string bytes;
    std::map<std::string, size_t> at;
};

void put(Image &image, const void *data, size_t size) { image.bytes += bytesOf(data, size); }
void put16(Image &image, int16_t value) { put(image, &value, 2); }
void mark(Image &image, const char *name) { image.at[name] = image.bytes.size(); }

void putCounted(Image &image, const char *name, int16_t count, const void *rows, size_t rowSize)
{
    mark(image, (std::string(name) + "Count").c_str());
    put16(image, count);
    mark(image, name);
    if (count > 0) {
        put(image, rows, count * rowSize);
        image.bytes.append(rowSize, '\0');
    }
}

Image imageOf(const std::string &magic, bool withTitles)
{
    Image image;
    image.bytes = magic;
    mark(image, "lastLocation");
    put16(image, lastLocation);
    mark(image, "locations");
    put(image, locations, (lastLocation + 1) * sizeof(LocationRecord));
    mark(image, "directions");
    put(image, directions, sizeof directions);
    mark(image, "lastShow");
    put16(image, lastShow);
    mark(image, "shows");
    put(image, shows, (lastShow + 1) * sizeof(ShowRecord));
    mark(image, "lastMessage");
    put16(image, lastMessage);
    mark(image, "messages");
    put(image, messages, (lastMessage + 1) * sizeof(TextRef));
    mark(image, "systemMessages");
    put(image, systemMessages, sizeof systemMessages);
    mark(image, "lastObject");
    put16(image, lastObject);
    mark(image, "objects");
    put(image, objects, (lastObject + 1) * sizeof(ObjectRecord));
    putCounted(image, "verb", verbCount, verbs, sizeof(WordRecord));
    putCounted(image, "noun", nounCount, nouns, sizeof(WordRecord));
    putCounted(image, "event", eventCount, events, sizeof(RuleRecord));
    putCounted(image, "action", actionCount, actions, sizeof(RuleRecord));
    putCounted(image, "var", varCount, vars, sizeof(VarRecord));
    mark(image, "settings");
    put16(image, settings.StartLocation);
    put16(image, settings.MaxItems);
    put16(image, settings.ShowExits);
    put16(image, settings.BgColor);
    put16(image, settings.FgColor);
    put(image, &settings.YesLetter, 1);
    put(image, &settings.NoLetter, 1);
    mark(image, "Prompt");
    put(image, settings.Prompt, sizeof settings.Prompt);
    put(image, settings.ImagePath, sizeof settings.ImagePath);
    if (withTitles) {
        put(image, settings.Title, sizeof settings.Title);
        put(image, settings.StatusLine, sizeof settings.StatusLine);
    }
    mark(image, "arenaLength");
    int32_t length = static_cast<int32_t>(arenaUsed());
    put(image, &length, 4);
    mark(image, "arena");
    put(image, arenaBase, arenaUsed());
    return image;
}

void patch32(Image &image, size_t at, int32_t value) { memcpy(&image.bytes[at], &value, 4); }
void patch16(Image &image, size_t at, int16_t value) { memcpy(&image.bytes[at], &value, 2); }

int16_t int16At(const std::string &bytes, size_t at)
{
    int16_t value;
    memcpy(&value, &bytes[at], 2);
    return value;
}

int32_t int32At(const std::string &bytes, size_t at)
{
    int32_t value;
    memcpy(&value, &bytes[at], 4);
    return value;
}

void writePlain(const char *path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void writeCompressed(const char *path, const std::string &bytes)
{
    gzFile file = gzopen(path, "wb");
    ASSERT_NE(file, nullptr);
    if (!bytes.empty()) {
        ASSERT_EQ(gzwrite(file, bytes.data(), static_cast<unsigned>(bytes.size())), static_cast<int>(bytes.size()));
    }
    ASSERT_EQ(gzclose(file), Z_OK);
}

std::string fileBytes(const char *path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string decompressed(const char *path)
{
    gzFile file = gzopen(path, "rb");
    std::string bytes;
    if (!file)
        return bytes;
    char buffer[4096];
    int got;
    while ((got = gzread(file, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, static_cast<size_t>(got));
    gzclose(file);
    return bytes;
}

// Names in the working folder other than the given ones (left-over files).
std::vector<std::string> strayFiles(std::vector<std::string> expected)
{
    std::vector<std::string> stray;
    for (const fs::directory_entry &entry : fs::directory_iterator("."))
        if (std::find(expected.begin(), expected.end(), entry.path().filename().string()) == expected.end())
            stray.push_back(entry.path().filename().string());
    return stray;
}

// Each test runs in a fresh empty folder with a fresh database.
struct CompiledGame : ::testing::Test {
    fs::path previous, folder;
    Snapshot resetState;

    void SetUp() override
    {
        ASSERT_TRUE(allocateArena());
        freshDatabase();
        resetState = takeSnapshot();
        previous = fs::current_path();
        char pattern[] = "/tmp/compiled_game_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        fs::current_path(folder);
    }
    void TearDown() override
    {
        fs::current_path(previous);
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(folder);
        freeArena();
    }

    // Reads a file that must be refused and checks nothing changed.
    void expectRefused(const std::string &label)
    {
        freshDatabase();
        EXPECT_EQ(readCompiledGame("bad.twk"), -2) << label;
        expectSame(takeSnapshot(), resetState, label);
        EXPECT_TRUE(arenaTailIsZero()) << label;
    }
};

TEST_F(CompiledGame, RoundTripReproducesEveryRowSettingAndArenaByte)
{
    buildGame();
    Snapshot built = takeSnapshot();
    ASSERT_EQ(writeCompiledGame("game.twk"), 0);
    expectSame(takeSnapshot(), built, "writing leaves the database as it was");

    resetDatabase();
    ASSERT_EQ(readCompiledGame("game.twk"), 0);
    expectSame(takeSnapshot(), built, "read back");
    EXPECT_STREQ(textOf(locations[1].description), "Tall windows.\\A draught.");
    EXPECT_STREQ(textOf(objects[2].name), "a cloak");
    EXPECT_EQ(textOf(objects[2].description), nullptr);
    EXPECT_EQ(findVariable("TURNSMAX"), 2);

    // Read over a bigger game: the file replaces everything, directions too,
    // and nothing of the old arena stays past the new image.
    appendText(std::string(5000, 'x').c_str(), false);
    directions[4] = arenaUsed() - 2;
    growObjects(40);
    ASSERT_EQ(readCompiledGame("game.twk"), 0);
    expectSame(takeSnapshot(), built, "read over another game");
    EXPECT_TRUE(arenaTailIsZero());

    // An empty database survives the trip as the reset state.
    freshDatabase();
    ASSERT_EQ(writeCompiledGame("empty.twk"), 0);
    ASSERT_EQ(readCompiledGame("empty.twk"), 0);
    expectSame(takeSnapshot(), resetState, "empty game");
}

// A source that fills every section, rule blocks of every form included.
const char FULL_SOURCE[] =
    "[System]\n"
    "StartLocation=2\n"
    "MaxItems=3\n"
    "ShowExits=n\n"
    "Boolean=jn\n"
    "BgColor=1\n"
    "FgColor=14\n"
    "Prompt=What now? \n"
    "ImagePath=pictures\n"
    "Title=The Lantern Tower\n"
    "StatusLine=Shine: %shine%\n"
    "[Sysmsg]\n"
    "#1,Pardon?\n"
    "#31,The end.\n"
    "[Directions]\n"
    "#1,north\n"
    "#10,down\n"
    "[Intro]\n"
    "#1,intro.png\n"
    "Night falls\n"
    "on the tower.\n"
    "[Shows]\n"
    "#4,lens.png\n"
    "The lens turns.\n"
    "[Locations]\n"
    "#0,Darkness,,0\n"
    "It is dark.\n"
    "#2,Tower foot,foot.png,0,5\n"
    "A stair winds up.\\\n"
    "It is steep.\n"
    "#5,Lamp room,,1,0,2\n"
    "[Objects]\n"
    "#1,a brass key,2,1\n"
    "A small key.\n"
    "#3,a lantern,-1,5,lantern\n"
    "[Messages]\n"
    "#2,The lens hums.\n"
    "#7,Shine: %shine%.\n"
    "[Verbs]\n"
    "#1,n,north\n"
    "#14,take,get,pick\n"
    "#30,polish\n"
    "[Nouns]\n"
    "#1,key\n"
    "#2,lantern,lamp\n"
    "[Vars]\n"
    "shine\n"
    "counter\n"
    "[Events]\n"
    "if begin\n"
    "then message 2\n"
    "if at 5\n"
    "or carried 3\n"
    "then {\n"
    "message 7\n"
    "}\n"
    "[Actions]\n"
    "if verb 30 noun 2\n"
    "and carried 3\n"
    "then {/\n"
    "add shine 1\n"
    "}\n"
    "while lt counter 3\n"
    "do {+\n"
    "add counter 1\n"
    "end\n";

// Compiles a source in the working folder (it may include files there).
int compileSource(const char *name)
{
    FILE *source = fopen(name, "r");
    if (!source)
        return -100;
    int outcome = readSourceFile(source, name);
    fclose(source);
    return outcome;
}

void expectRoundTrip(const std::string &label)
{
    Snapshot compiled = takeSnapshot();
    ASSERT_EQ(writeCompiledGame("trip.twk"), 0) << label;
    freshDatabase();
    ASSERT_EQ(readCompiledGame("trip.twk"), 0) << label;
    expectSame(takeSnapshot(), compiled, label);
    remove("trip.twk");
}

TEST_F(CompiledGame, CompiledSourcesSurviveTheRoundTrip)
{
    writePlain("full.adv", FULL_SOURCE);
    EXPECT_EQ(compileSource("full.adv"), 0);
    EXPECT_EQ(lastLocation, 5);
    EXPECT_EQ(lastShow, 4);
    EXPECT_EQ(varCount, 3);
    EXPECT_STREQ(settings.Title, "The Lantern Tower");
    std::string kinds;
    for (int i = 0; i < actionCount; i++)
        kinds += actions[i].kind;
    const char expectedKinds[] = {KIND_IF,    KIND_AND,    KIND_FBEGIN, KIND_ACTION, KIND_END,
                                  KIND_WHILE, KIND_SBEGIN, KIND_ACTION, KIND_END,    0};
    EXPECT_EQ(kinds, expectedKinds);
    expectRoundTrip("full source");
    EXPECT_STREQ(textOf(locations[2].description), "A stair winds up.\\It is steep.");
    EXPECT_STREQ(textOf(shows[1].text), "Night falls on the tower.");
    EXPECT_STREQ(textOf(directions[9]), "down");
}

// Every game source of the play and message cases and of the bundled games,
// read in its own folder, comes back from its compiled file unchanged.
TEST_F(CompiledGame, ProjectSourcesSurviveTheRoundTrip)
{
    fs::path tests = fs::path(__FILE__).parent_path().parent_path();
    std::vector<fs::path> sources;
    for (const char *kind : {"transcripts", "messages"})
        if (fs::is_directory(tests / kind))
            for (const fs::directory_entry &entry : fs::directory_iterator(tests / kind))
                if (fs::is_regular_file(entry.path() / "game.adv"))
                    sources.push_back(entry.path() / "game.adv");
    fs::path games = tests.parent_path() / "games";
    if (fs::is_directory(games))
        for (const fs::directory_entry &entry : fs::directory_iterator(games))
            if (entry.path().extension() == ".adv")
                sources.push_back(entry.path());
    EXPECT_FALSE(sources.empty());
    for (const fs::path &source : sources) {
        freshDatabase();
        fs::current_path(source.parent_path());
        testing::internal::CaptureStdout();   // the compiler's findings
        compileSource(source.filename().c_str());
        testing::internal::GetCapturedStdout();
        fs::current_path(folder);
        expectRoundTrip(source.string());
    }
}

TEST_F(CompiledGame, WrittenFileFollowsTheLayout)
{
    buildGame();
    ASSERT_EQ(writeCompiledGame("game.twk"), 0);
    std::string raw = fileBytes("game.twk");
    ASSERT_GE(raw.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(raw[0]), 0x1F);   // a gzip stream
    EXPECT_EQ(static_cast<unsigned char>(raw[1]), 0x8B);
    EXPECT_EQ(decompressed("game.twk"), imageOf("TWBv23", true).bytes);
}

TEST_F(CompiledGame, SmallGamesAtTheirByteOffsets)
{
    // Three verbs, no variables, no objects: every item lands at a fixed place.
    addWord(&verbs, &verbCount, "go", 11);
    addWord(&verbs, &verbCount, "walk", 11);
    addWord(&verbs, &verbCount, "inventor", 12);
    systemMessages[1] = appendText("Hi", false);
    ASSERT_EQ(writeCompiledGame("verbs.twk"), 0);
    std::string bytes = decompressed("verbs.twk");
    ASSERT_EQ(bytes.size(), 424u + 4u);
    EXPECT_EQ(bytes.substr(0, 6), "TWBv23");
    EXPECT_EQ(int16At(bytes, 6), -1);                      // lastLocation, no rows
    EXPECT_EQ(int16At(bytes, 48), -1);                     // lastShow
    EXPECT_EQ(int16At(bytes, 50), -1);                     // lastMessage
    EXPECT_EQ(int32At(bytes, 52 + 4), 1);                  // system message 1 at offset 1
    EXPECT_EQ(int16At(bytes, 180), -1);                    // lastObject
    EXPECT_EQ(int16At(bytes, 182), 3);                     // verbCount, then 4 rows
    EXPECT_EQ(bytes.substr(184, 10), std::string("go\0\0\0\0\0\0\x0B\0", 10));
    EXPECT_EQ(bytes.substr(204, 10), std::string("inventor\x0C\0", 10));
    EXPECT_EQ(bytes.substr(214, 10), std::string(10, '\0'));  // the spare row
    EXPECT_EQ(int16At(bytes, 224), 0);                     // nounCount
    EXPECT_EQ(int16At(bytes, 230), 0);                     // varCount, no rows
    EXPECT_EQ(int16At(bytes, 232), 1);                     // StartLocation
    EXPECT_EQ(bytes.substr(244, 2), std::string(">\0", 2));               // Prompt
    EXPECT_EQ(int32At(bytes, 420), 4);                     // arena length
    EXPECT_EQ(bytes.substr(424), std::string("\0Hi\0", 4));

    // One object with no description and one variable.
    resetDatabase();
    growObjects(1);
    objects[1].name = appendText("lamp", false);
    memcpy(appendVar()->name, "score", 5);
    ASSERT_EQ(writeCompiledGame("object.twk"), 0);
    bytes = decompressed("object.twk");
    ASSERT_EQ(bytes.size(), 454u + 6u);
    EXPECT_EQ(int16At(bytes, 180), 1);                     // lastObject: rows 0 and 1
    EXPECT_EQ(int32At(bytes, 202), 1);                     // object 1 name
    EXPECT_EQ(int32At(bytes, 214), 0);                     // object 1 description
    EXPECT_EQ(int16At(bytes, 218), UNCHANGED);
    EXPECT_EQ(int16At(bytes, 222), 0);                     // verbCount
    EXPECT_EQ(int16At(bytes, 230), 2);                     // varCount, then 3 rows
    EXPECT_EQ(bytes.substr(232, 10), std::string("^foobar^\0\0", 10));
    EXPECT_EQ(bytes.substr(242, 10), std::string("score\0\0\0\0\0", 10));
    EXPECT_EQ(bytes.substr(252, 10), std::string(10, '\0'));
    EXPECT_EQ(int32At(bytes, 450), 6);

    resetDatabase();
    ASSERT_EQ(readCompiledGame("object.twk"), 0);
    EXPECT_EQ(lastObject, 1);
    EXPECT_EQ(lastLocation, -1);
    EXPECT_EQ(verbCount, 0);
    EXPECT_STREQ(textOf(objects[1].name), "lamp");
    EXPECT_EQ(textOf(objects[1].description), nullptr);
}

TEST_F(CompiledGame, OlderVersionsAreConverted)
{
    // EVENT_KINDS and ACTION_KINDS as read from a TWB2 or version 20 file,
    // and from a version 21 or 22 file.
    const char v20EventKinds[] = {KIND_IF, KIND_OR, KIND_OR, KIND_WHILE, KIND_IF, KIND_FBEGIN,
                                  KIND_IF, KIND_OR, 0};
    const char v20ActionKinds[] = {KIND_FBEGIN, KIND_IF, KIND_OR, KIND_AND, KIND_IF, 0};
    const char v22EventKinds[] = {KIND_IF, KIND_IF, KIND_IF, KIND_WHILE, KIND_IF, KIND_FBEGIN,
                                  KIND_IF, KIND_IF, 0};
    const char v22ActionKinds[] = {KIND_FBEGIN, KIND_IF, KIND_IF, KIND_AND, KIND_IF, 0};
    struct Case {
        const char *magic;
        size_t magicSize;
        bool plain;              // written without compression
        bool titles;             // the file holds Title and StatusLine
        const char *eventKinds, *actionKinds;   // after reading
    } cases[] = {
        {"TWB2", 4, true, false, v20EventKinds, v20ActionKinds},
        {"TWB2", 4, false, false, v20EventKinds, v20ActionKinds},
        {"TWBv20", 6, false, false, v20EventKinds, v20ActionKinds},
        {"TWBv21", 6, false, false, v22EventKinds, v22ActionKinds},
        {"TWBv22", 6, true, false, v22EventKinds, v22ActionKinds},
        {"TWBv23", 6, false, true, EVENT_KINDS, ACTION_KINDS},
        {"TWBv99", 6, false, true, EVENT_KINDS, ACTION_KINDS},
    };
    for (const Case &c : cases) {
        std::string label = std::string(c.magic) + (c.plain ? " plain" : " compressed");
        freshDatabase();
        buildGame();
        Image image = imageOf(std::string(c.magic, c.magicSize), c.titles);
        if (c.plain)
            writePlain("old.twk", image.bytes);
        else
            writeCompressed("old.twk", image.bytes);
        for (int i = 0; i < eventCount; i++)
            events[i].kind = c.eventKinds[i];
        for (int i = 0; i < actionCount; i++)
            actions[i].kind = c.actionKinds[i];
        if (!c.titles) {
            memset(settings.Title, 0, sizeof settings.Title);
            memset(settings.StatusLine, 0, sizeof settings.StatusLine);
        }
        Snapshot expected = takeSnapshot();
        resetDatabase();
        ASSERT_EQ(readCompiledGame("old.twk"), 0) << label;
        expectSame(takeSnapshot(), expected, label);
    }
}

TEST_F(CompiledGame, FilesThatCannotBeOpenedOrAreNotGamesAreRefused)
{
    EXPECT_EQ(readCompiledGame("missing.twk"), -1);
    expectSame(takeSnapshot(), resetState, "missing file");

    buildGame();
    std::string rest = imageOf("TWBv23", true).bytes.substr(6);
    const std::string magics[] = {
        "", "TWB", "TWBv", "TWBv2", "twbv23", "TWBx23", "TWB1", "XWBv23",
        std::string("TWBv\0" "3", 6),
    };
    for (const std::string &magic : magics) {
        writeCompressed("bad.twk", magic.size() < 6 ? magic : magic + rest);
        expectRefused("magic " + magic);
    }
}

TEST_F(CompiledGame, FilesCutShortAnywhereAreRefused)
{
    buildGame();
    ASSERT_EQ(writeCompiledGame("game.twk"), 0);
    std::string image = decompressed("game.twk");
    std::string compressed = fileBytes("game.twk");
    for (size_t length = 0; length < image.size(); length++) {
        writePlain("bad.twk", image.substr(0, length));
        expectRefused("plain file cut at " + std::to_string(length));
    }
    // A compressed file cut anywhere, the gzip trailer included.
    for (size_t length = 0; length < compressed.size(); length++) {
        writePlain("bad.twk", compressed.substr(0, length));
        expectRefused("compressed file cut at " + std::to_string(length));
    }
}

TEST_F(CompiledGame, DamagedCountsOffsetsAndArenaAreRefused)
{
    buildGame();
    const Image good = imageOf("TWBv23", true);
    const int32_t length = static_cast<int32_t>(arenaUsed());
    auto at = [&good](const char *name, size_t offset = 0) { return good.at.at(name) + offset; };
    const size_t location1 = at("locations", sizeof(LocationRecord));
    const size_t location3 = at("locations", 3 * sizeof(LocationRecord));
    const size_t object1 = at("objects", sizeof(ObjectRecord));
    const size_t object2 = at("objects", 2 * sizeof(ObjectRecord));

    struct Case {
        const char *label;
        std::function<void(Image &)> damage;
    };
    const Case cases[] = {
        {"lastLocation -2", [&](Image &i) { patch16(i, at("lastLocation"), -2); }},
        {"lastLocation 32767", [&](Image &i) { patch16(i, at("lastLocation"), 32767); }},
        {"lastLocation 32767 with all its rows", [&](Image &i) {
             patch16(i, at("lastLocation"), 32767);
             i.bytes.insert(at("directions"), (32768 - 4) * sizeof(LocationRecord), '\0');
         }},
        {"lastLocation past the data", [&](Image &i) { patch16(i, at("lastLocation"), 30000); }},
        {"lastShow -2", [&](Image &i) { patch16(i, at("lastShow"), -2); }},
        {"lastMessage 32767", [&](Image &i) { patch16(i, at("lastMessage"), 32767); }},
        {"lastObject -32768", [&](Image &i) { patch16(i, at("lastObject"), -32768); }},
        {"lastObject 32767", [&](Image &i) { patch16(i, at("lastObject"), 32767); }},
        {"actionCount past the data", [&](Image &i) { patch16(i, at("actionCount"), 32767); }},
        {"arena length 0", [&](Image &i) { patch32(i, at("arenaLength"), 0); }},
        {"arena length -1", [&](Image &i) { patch32(i, at("arenaLength"), -1); }},
        {"arena length above the arena", [&](Image &i) {
             patch32(i, at("arenaLength"), ARENA_SIZE + 1);
             i.bytes.append(ARENA_SIZE + 1 - length, '\0');
         }},
        {"arena length past the data", [&](Image &i) { patch32(i, at("arenaLength"), length + 1); }},
        {"location name at the arena's end", [&](Image &i) { patch32(i, location1, length); }},
        {"location picture far out", [&](Image &i) { patch32(i, location1 + 4, 0x7FFFFFFF); }},
        {"location description negative", [&](Image &i) { patch32(i, location3 + 52, INT32_MIN); }},
        {"direction out", [&](Image &i) { patch32(i, at("directions", 36), length + 5); }},
        {"show text out", [&](Image &i) { patch32(i, at("shows", 16), length); }},
        {"show picture out", [&](Image &i) { patch32(i, at("shows", 20), length + 1000); }},
        {"message out", [&](Image &i) { patch32(i, at("messages", 12), length); }},
        {"system message out", [&](Image &i) { patch32(i, at("systemMessages", 31 * 4), length); }},
        {"object name out", [&](Image &i) { patch32(i, object2, length); }},
        {"object description out", [&](Image &i) { patch32(i, object1 + 12, -5); }},
        {"last text without its NUL", [&](Image &i) { i.bytes.back() = 'x'; }},
    };
    for (const Case &c : cases) {
        Image damaged = good;
        c.damage(damaged);
        writeCompressed("bad.twk", damaged.bytes);
        expectRefused(c.label);
    }
}

TEST_F(CompiledGame, OddButSoundFilesAreRead)
{
    buildGame();
    const Image good = imageOf("TWBv23", true);

    // An arena image of the arena's whole size: nothing more can be appended.
    Image full = good;
    full.bytes.append(ARENA_SIZE - arenaUsed(), '\0');
    patch32(full, full.at.at("arenaLength"), ARENA_SIZE);
    writeCompressed("full.twk", full.bytes);
    resetDatabase();
    ASSERT_EQ(readCompiledGame("full.twk"), 0);
    EXPECT_EQ(arenaUsed(), static_cast<uint32_t>(ARENA_SIZE));
    EXPECT_EQ(appendText("more", false), 0u);

    // The highest show number, with every row.
    Image shows = good;
    patch16(shows, shows.at.at("lastShow"), MAX_SHOW);
    shows.bytes.insert(shows.at.at("lastMessage"), (MAX_SHOW - 2) * sizeof(ShowRecord), '\0');
    writeCompressed("shows.twk", shows.bytes);
    resetDatabase();
    ASSERT_EQ(readCompiledGame("shows.twk"), 0);
    EXPECT_EQ(lastShow, MAX_SHOW);
    EXPECT_STREQ(textOf(::shows[2].text), "The gates open.");

    // Bytes after the arena image are ignored; a Prompt that fills its buffer
    // is cut to stay terminated; a nonzero arena byte 0 is not kept.
    Image odd = good;
    odd.bytes += "trailing";
    memset(&odd.bytes[odd.at.at("Prompt")], '?', sizeof settings.Prompt);
    odd.bytes[odd.at.at("arena")] = 'Z';
    writeCompressed("odd.twk", odd.bytes);
    resetDatabase();
    ASSERT_EQ(readCompiledGame("odd.twk"), 0);
    EXPECT_EQ(std::string(settings.Prompt), std::string(15, '?'));
    EXPECT_EQ(arenaBase[0], '\0');
    EXPECT_STREQ(textOf(systemMessages[31]), "Last words.");

    // Padding bytes that are not zero are read as zeros, so that the game is
    // written again as it was compiled.
    Image padded = good;
    padded.bytes[padded.at.at("objects") + sizeof(ObjectRecord) + offsetof(ObjectRecord, padding1)] = 'P';
    padded.bytes[padded.at.at("objects") + offsetof(ObjectRecord, padding2) + 1] = 'P';
    padded.bytes[padded.at.at("event") + offsetof(RuleRecord, padding)] = 'P';
    padded.bytes[padded.at.at("action") + sizeof(RuleRecord) + offsetof(RuleRecord, padding)] = 'P';
    writeCompressed("padded.twk", padded.bytes);
    resetDatabase();
    ASSERT_EQ(readCompiledGame("padded.twk"), 0);
    ASSERT_EQ(writeCompiledGame("again.twk"), 0);
    EXPECT_EQ(decompressed("again.twk"), good.bytes);
}

// A negative count of a counted table means no rows follow, as a count of 0
// does: the table loads empty and everything after it is read as usual.
TEST_F(CompiledGame, NegativeCountsLoadEmptyTables)
{
    buildGame();
    const Image good = imageOf("TWBv23", true);
    const char *tables[] = {"verb", "noun", "event", "action", "var"};
    const char *next[] = {"nounCount", "eventCount", "actionCount", "varCount", "settings"};
    for (int t = 0; t < 5; t++) {
        for (int16_t count : {int16_t{-1}, int16_t{-32768}}) {
            SCOPED_TRACE(std::string(tables[t]) + " count " + std::to_string(count));
            Image image = good;
            size_t rows = image.at.at(tables[t]);
            image.bytes.erase(rows, image.at.at(next[t]) - rows);
            patch16(image, image.at.at(std::string(tables[t]) + "Count"), count);
            writeCompressed("negative.twk", image.bytes);
            resetDatabase();
            ASSERT_EQ(readCompiledGame("negative.twk"), 0);
            const int16_t counts[] = {verbCount, nounCount, eventCount, actionCount, varCount};
            for (int other = 0; other < 5; other++)
                if (other == t)
                    EXPECT_EQ(counts[other], 0);
                else
                    EXPECT_GT(counts[other], 0) << tables[other];
            EXPECT_STREQ(textOf(systemMessages[31]), "Last words.");
        }
    }
}

TEST_F(CompiledGame, WritingReplacesAnOlderFileOnlyWhenComplete)
{
    ASSERT_EQ(writeCompiledGame("game.twk"), 0);   // an empty game first
    buildGame();
    Snapshot built = takeSnapshot();
    ASSERT_EQ(writeCompiledGame("game.twk"), 0);
    EXPECT_EQ(strayFiles({"game.twk"}), std::vector<std::string>{});
    resetDatabase();
    ASSERT_EQ(readCompiledGame("game.twk"), 0);
    expectSame(takeSnapshot(), built, "replaced file");

    // Targets that cannot be written: nothing is left behind.
    fs::create_directory("folder.twk");
    writePlain("folder.twk/keep", "kept");
    EXPECT_EQ(writeCompiledGame("folder.twk"), -1);
    EXPECT_EQ(fileBytes("folder.twk/keep"), "kept");
    EXPECT_EQ(writeCompiledGame("missing/game.twk"), -1);
    EXPECT_EQ(writeCompiledGame(""), -1);
    EXPECT_EQ(strayFiles({"game.twk", "folder.twk"}), std::vector<std::string>{});
    if (geteuid() != 0) {   // permission bits do not stop root
        fs::create_directory("locked");
        writePlain("locked/game.twk", "older");
        fs::permissions("locked", fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_EQ(writeCompiledGame("locked/game.twk"), -1);
        EXPECT_EQ(fileBytes("locked/game.twk"), "older");
    }
}

TEST_F(CompiledGame, AWriteCutShortKeepsTheOlderFile)
{
    buildGame();
    ASSERT_EQ(writeCompiledGame("game.twk"), 0);
    std::string older = fileBytes("game.twk");

    // Texts that do not compress, far more than the file size limit below.
    srand(7);
    std::string noise(60000, ' ');
    for (char &c : noise)
        c = static_cast<char>('!' + rand() % 90);
    objects[1].description = appendText(noise.c_str(), false);

    // The file size limit makes writes fail past 4096 bytes, even for root.
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    void (*previousHandler)(int) = signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int result = writeCompiledGame("game.twk");
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(result, -1);
    EXPECT_EQ(fileBytes("game.twk"), older);
    EXPECT_EQ(strayFiles({"game.twk"}), std::vector<std::string>{});
    resetDatabase();
    EXPECT_EQ(readCompiledGame("game.twk"), 0);
    EXPECT_STREQ(textOf(objects[1].description), "It glows.");

    // Without the limit the same game is written.
    objects[1].description = appendText(noise.c_str(), false);
    EXPECT_EQ(writeCompiledGame("game.twk"), 0);
    EXPECT_GT(fileBytes("game.twk").size(), 4096u);
}

}  // namespace
