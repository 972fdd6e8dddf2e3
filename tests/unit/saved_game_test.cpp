// Saved games: the exact file layout, restoring into games bigger and
// smaller than the one saved, refused files, cancelling, and a failed save
// that leaves the older file as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "core/database/game_database.h"
#include "core/interpreter/saving.h"
#include "core/driver/startup.h"
#include "core/interpreter/session.h"
#include "tests/support/recording_frontend.h"

namespace {

std::string readFile(const char *name)
{
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const char *name, const std::string &bytes)
{
    std::ofstream(name, std::ios::binary) << bytes;
}

bool exists(const char *name)
{
    struct stat info;
    return stat(name, &info) == 0;
}

// A magic followed by int16 values, little-endian.
std::string saveBytes(const char *magic, std::initializer_list<int> values)
{
    std::string out = magic;
    for (int v : values) {
        out += static_cast<char>(v & 0xFF);
        out += static_cast<char>((v >> 8) & 0xFF);
    }
    return out;
}

constexpr int U = UNCHANGED;

// A whole file: object values, variable values, and locationRows rows of
// exits and light: value i of the rows (from 0) is firstValue + i, an exit
// taking it modulo 5 (a location of the game); the player in location 1 and
// a stored carried count of 9.
std::string saveFile(const std::vector<int> &objectValues, const std::vector<int> &varValues,
                     int locationRows, int firstValue)
{
    std::string out = saveBytes("TSF2", {static_cast<int>(objectValues.size()) - 1});
    for (int v : objectValues)
        out += saveBytes("", {v});
    out += saveBytes("", {static_cast<int>(varValues.size())});
    for (int v : varValues)
        out += saveBytes("", {v});
    out += saveBytes("", {locationRows - 1});
    for (int i = 0; i < locationRows * 11; i++)
        out += saveBytes("", {i % 11 == 10 ? firstValue + i : (firstValue + i) % 5});
    return out + saveBytes("", {1, 9});
}

// The game of the 134-byte example: objects 1 and 2, one variable,
// locations 0 to 4; played in a folder of its own.
struct SavedGames : ::testing::Test {
    char folder[64];
    char previous[4096];

    void SetUp() override
    {
        strcpy(folder, "/tmp/saved_game_test.XXXXXX");
        ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
        ASSERT_NE(mkdtemp(folder), nullptr);
        ASSERT_EQ(chdir(folder), 0);
        ASSERT_TRUE(allocateArena());
        resetDatabase();
        resetRecording();
        strcpy(gameName, "castle");
        growLocations(4);
        growObjects(2);
        objects[1].name = appendText("lamp", false);
        objects[2].name = appendText("key", false);
        objects[2].initialLocation = 3;
        memcpy(appendVar()->name, "score", 5);
        for (int i = 1; i < SYSTEM_MESSAGE_COUNT; i++)
            systemMessages[i] = appendText(("S" + std::to_string(i)).c_str(), false);
        for (int i = 0; i <= 4; i++)
            locations[i].currentLight = UNCHANGED;
        objects[1].currentLocation = CARRIED;
        objects[2].currentLocation = 3;
        vars[1].value = -2;
        locations[2].currentExits[0] = 4;
        locations[4].currentLight = 0;
        playerLocation = 2;
        carriedCount = 1;
    }
    void TearDown() override
    {
        freeArena();
        EXPECT_EQ(system((std::string("rm -rf ") + folder).c_str()), 0);
        EXPECT_EQ(chdir(previous), 0);
    }

    // The state of the fixture game as a file with the given counts.
    std::string example() const
    {
        std::string bytes = saveBytes("TSF2", {2, U, CARRIED, 3, 2, 0, -2, 4});
        for (int location = 0; location <= 4; location++)
            for (int v = 0; v < 11; v++) {
                int value = U;
                if (location == 2 && v == 0)
                    value = 4;
                if (location == 4 && v == 10)
                    value = 0;
                bytes += saveBytes("", {value});
            }
        return bytes + saveBytes("", {2, 1});
    }
};

TEST_F(SavedGames, SaveWritesTheExactLayout)
{
    scriptedInput = {"3"};
    EXPECT_EQ(saveGame(), 0);
    EXPECT_EQ(recorded, "[choice S21 9]\n");
    std::string bytes = readFile("castle.sv3");
    ASSERT_EQ(bytes.size(), 134u);
    EXPECT_EQ(bytes.substr(0, 12), std::string("TSF2\x02\x00\x81\xFF\xFF\xFF\x03\x00", 12));
    EXPECT_EQ(bytes, example());
    EXPECT_FALSE(exists("castle.sv3.tmp"));
}

TEST_F(SavedGames, FileNameUsesEightCharactersOfTheGameName)
{
    strcpy(gameName, "adventures");
    scriptedInput = {"1"};
    EXPECT_EQ(saveGame(), 0);
    EXPECT_TRUE(exists("adventur.sv1"));
}

TEST_F(SavedGames, RestoreBringsBackTheStateAndRecountsCarried)
{
    scriptedInput = {"9"};
    ASSERT_EQ(saveGame(), 0);
    // Change everything, and store a wrong carried count in the file.
    std::string bytes = readFile("castle.sv9");
    bytes[bytes.size() - 2] = 7;
    writeFile("castle.sv9", bytes);
    objects[1].currentLocation = 0;
    objects[2].currentLocation = CARRIED;
    vars[1].value = 5;
    locations[2].currentExits[0] = 0;
    locations[4].currentLight = 1;
    playerLocation = 1;
    recorded.clear();
    scriptedInput = {"9"};
    EXPECT_EQ(restoreGame(), 0);
    EXPECT_EQ(recorded, "[choice S22 9]\n");
    EXPECT_EQ(objects[1].currentLocation, CARRIED);
    EXPECT_EQ(objects[2].currentLocation, 3);
    EXPECT_EQ(vars[1].value, -2);
    EXPECT_EQ(locations[2].currentExits[0], 4);
    EXPECT_EQ(locations[4].currentLight, 0);
    EXPECT_EQ(playerLocation, 2);
    EXPECT_EQ(carriedCount, 1);
}

TEST_F(SavedGames, RestoreIntoBiggerAndSmallerGames)
{
    struct Case {
        const char *name;
        std::string file;
        int object2, var1, exit3, light4, carried;
    } cases[] = {
        // A game with more objects, variables and locations saved this file:
        // the extra values are dropped.
        {"bigger", saveFile({0, 3, 4, 7, 8}, {0, 11, 12, 13}, 7, 0), 4, 11, 3, 54, 0},
        // One with fewer: objects and locations above its counts read as
        // declared, variables above keep their values.
        {"smaller", saveFile({0, CARRIED}, {0}, 3, 100), U, -2, U, U, 1},
    };
    for (const Case &c : cases) {
        TearDown();
        SetUp();
        writeFile("castle.sv1", c.file);
        scriptedInput = {"1"};
        ASSERT_EQ(restoreGame(), 0) << c.name;
        EXPECT_EQ(objects[2].currentLocation, c.object2) << c.name;
        EXPECT_EQ(vars[1].value, c.var1) << c.name;
        EXPECT_EQ(locations[3].currentExits[0], c.exit3) << c.name;
        EXPECT_EQ(locations[4].currentLight, c.light4) << c.name;
        EXPECT_EQ(playerLocation, 1) << c.name;
        EXPECT_EQ(carriedCount, c.carried) << c.name;   // recounted, not the stored 9
    }
}

// A variable count of -1 (or any negative count) announces no values: the
// file restores and the variables keep their values. Bytes after the values
// that the counts announce are not read.
TEST_F(SavedGames, OddButSoundFilesRestore)
{
    std::string locationsPart = saveBytes("", {4});
    for (int i = 0; i < 5 * 11; i++)
        locationsPart += saveBytes("", {U});
    locationsPart += saveBytes("", {3, 1});
    const struct {
        std::string file;
        int var1;
    } cases[] = {
        {saveBytes("TSF2", {2, U, CARRIED, 4, -1}) + locationsPart, -2},
        {saveBytes("TSF2", {2, U, CARRIED, 4, -32768}) + locationsPart, -2},
        {saveFile({U, CARRIED, 4}, {0, 5}, 5, 0) + "trailing bytes", 5},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file.size());
        vars[1].value = -2;
        writeFile("castle.sv4", c.file);
        scriptedInput = {"4"};
        ASSERT_EQ(restoreGame(), 0);
        EXPECT_EQ(objects[2].currentLocation, 4);
        EXPECT_EQ(vars[1].value, c.var1);
        EXPECT_EQ(carriedCount, 1);
    }
}

TEST_F(SavedGames, RefusedFilesChangeNothing)
{
    std::string good = example();
    std::string cases[] = {
        "TSF1" + good.substr(4),
        "TS\nF" + good.substr(4),
        good.substr(0, 3),
        good.substr(0, good.size() - 1),
        saveBytes("TSF2", {-2}) + good.substr(6),
        saveBytes("TSF2", {2, U, CARRIED, 3, -1}),
        "",
    };
    int16_t before = playerLocation;
    for (const std::string &file : cases) {
        writeFile("castle.sv2", file);
        objects[2].currentLocation = 0;
        recorded.clear();
        scriptedInput = {"2"};
        EXPECT_EQ(restoreGame(), -1) << file.size();
        EXPECT_EQ(recorded, "[choice S22 9]\nS29\n") << file.size();
        EXPECT_EQ(objects[2].currentLocation, 0) << file.size();
        EXPECT_EQ(playerLocation, before);
    }
    // A missing file is refused the same way.
    recorded.clear();
    scriptedInput = {"5"};
    EXPECT_EQ(restoreGame(), -1);
    EXPECT_EQ(recorded, "[choice S22 9]\nS29\n");
}

TEST_F(SavedGames, CancelTouchesNoFile)
{
    writeFile("castle.sv1", "old");
    scriptedInput = {""};
    EXPECT_EQ(saveGame(), -1);
    scriptedInput = {""};
    EXPECT_EQ(restoreGame(), -1);
    EXPECT_EQ(recorded, "[choice S21 9]\n[choice S22 9]\n");
    EXPECT_EQ(readFile("castle.sv1"), "old");
    EXPECT_EQ(playerLocation, 2);
}

// Saving is refused when the position is write-protected or not a regular
// file, and a write that fails part-way (a file-size limit here, as a full
// disk would) leaves the older file and nothing beside it.
TEST_F(SavedGames, FailedSaveLeavesTheOlderFile)
{
    writeFile("castle.sv4", "older save");
    ASSERT_EQ(chmod("castle.sv4", 0444), 0);
    scriptedInput = {"4"};
    EXPECT_EQ(saveGame(), -1);
    EXPECT_EQ(recorded, "[choice S21 9]\nS29\n");
    EXPECT_EQ(readFile("castle.sv4"), "older save");
    ASSERT_EQ(chmod("castle.sv4", 0644), 0);

    ASSERT_EQ(mkdir("castle.sv5", 0755), 0);
    recorded.clear();
    scriptedInput = {"5"};
    EXPECT_EQ(saveGame(), -1);
    EXPECT_EQ(recorded, "[choice S21 9]\nS29\n");

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        struct rlimit limit = {16, 16};
        setrlimit(RLIMIT_FSIZE, &limit);
        recorded.clear();
        scriptedInput = {"4"};
        _exit(saveGame() == -1 && recorded == "[choice S21 9]\nS29\n" ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(readFile("castle.sv4"), "older save");
    EXPECT_EQ(system("test $(ls -A | wc -l) -eq 2"), 0) << "a temporary file was left";

    // With nothing in the way the save replaces the older file, keeping its
    // permissions.
    ASSERT_EQ(chmod("castle.sv4", 0640), 0);
    recorded.clear();
    scriptedInput = {"4"};
    EXPECT_EQ(saveGame(), 0);
    EXPECT_EQ(readFile("castle.sv4"), example());
    struct stat info;
    ASSERT_EQ(stat("castle.sv4", &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

// A game in a folder saves in that folder, under the first 8 characters of
// its own name; a save left under the older name (the first 8 characters of
// the whole path) is still restored.
TEST_F(SavedGames, SavesStayBesideTheirGame)
{
    ASSERT_EQ(mkdir("games", 0755), 0);
    strcpy(gameName, "games/adventures");
    scriptedInput = {"3"};
    ASSERT_EQ(saveGame(), 0);
    EXPECT_EQ(readFile("games/adventur.sv3"), example());

    strcpy(gameName, "games/castle");
    writeFile("games/ca.sv6", example());
    objects[2].currentLocation = 0;
    scriptedInput = {"6"};
    ASSERT_EQ(restoreGame(), 0);
    EXPECT_EQ(objects[2].currentLocation, 3);
}

// Locations restored must be ones the game can reach: its own rows, and any
// number its exits, objects or rules name. Others are refused.
TEST_F(SavedGames, RestoredLocationsStayInTheGame)
{
    const std::string good = example();
    auto withValue = [&good](size_t offset, int value) {
        std::string bytes = good;
        bytes[offset] = static_cast<char>(value & 0xFF);
        bytes[offset + 1] = static_cast<char>((value >> 8) & 0xFF);
        return bytes;
    };
    const size_t OBJECT2 = 10, EXIT_OF_2 = 20 + 2 * 22, PLAYER = good.size() - 4;
    for (size_t offset : {OBJECT2, EXIT_OF_2, PLAYER}) {
        writeFile("castle.sv1", withValue(offset, 40));
        recorded.clear();
        scriptedInput = {"1"};
        EXPECT_EQ(restoreGame(), -1) << offset;
        EXPECT_EQ(recorded, "[choice S22 9]\nS29\n") << offset;
    }
    // Once an exit of the game leads to location 40, undeclared, a player or
    // object there restores.
    locations[1].exits[3] = 40;
    for (size_t offset : {OBJECT2, EXIT_OF_2, PLAYER}) {
        writeFile("castle.sv1", withValue(offset, 40));
        scriptedInput = {"1"};
        EXPECT_EQ(restoreGame(), 0) << offset;
    }
    EXPECT_EQ(playerLocation, 40);
}

}  // namespace
