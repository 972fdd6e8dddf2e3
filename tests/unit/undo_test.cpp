// Undo and redo: the turns kept, at most 100 and within the memory bound;
// every change of a turn taken back and done again; a new game forgets.
#include <gtest/gtest.h>

#include <cstring>

#include "core/database/game_database.h"
#include "core/interpreter/session.h"
#include "core/interpreter/undo.h"
#include "tests/support/recording_frontend.h"

namespace {

struct Undo : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(allocateArena());
        resetDatabase();
        resetRecording();
        growLocations(2);
        memcpy(appendVar()->name, "score", 5);
        resetUndo();
    }
    void TearDown() override
    {
        resetUndo();
        freeArena();
    }

    static int undoAll()
    {
        char command[64];
        int undone = 0;
        while (undoTurn(command, sizeof command))
            undone++;
        return undone;
    }
};

TEST_F(Undo, KeepsTheLastHundredTurns)
{
    for (int turn = 0; turn < 150; turn++) {
        beginUndoTurn("add");
        vars[1].value = static_cast<int16_t>(turn + 1);
    }
    EXPECT_EQ(undoAll(), UNDO_TURNS);
    EXPECT_EQ(vars[1].value, 50);          // the state before turn 50, the oldest kept
    char command[64];
    int redone = 0;
    while (redoTurn(command, sizeof command))
        redone++;
    EXPECT_EQ(redone, UNDO_TURNS);
    EXPECT_EQ(vars[1].value, 150);
    EXPECT_STREQ(command, "add");
}

// A turn's changes: object places, exits, light, the player, the carried
// count; what ran after the turn (events) belongs to it too.
TEST_F(Undo, TakesBackEveryChangeOfATurn)
{
    growObjects(1);
    objects[1].name = appendText("lamp", false);
    objects[1].currentLocation = 1;
    playerLocation = 1;
    beginUndoTurn("take lamp");
    objects[1].currentLocation = CARRIED;
    carriedCount = 1;
    locations[1].currentExits[2] = 2;
    locations[2].currentLight = 0;
    objectEdits++;                          // as every code writing them does
    locationEdits++;
    playerLocation = 2;
    vars[1].value = 7;                      // as an event after the turn would
    char command[64];
    ASSERT_TRUE(undoTurn(command, sizeof command));
    EXPECT_STREQ(command, "take lamp");
    EXPECT_EQ(objects[1].currentLocation, 1);
    EXPECT_EQ(carriedCount, 0);
    EXPECT_EQ(locations[1].currentExits[2], UNCHANGED);
    EXPECT_EQ(locations[2].currentLight, 1);
    EXPECT_EQ(playerLocation, 1);
    EXPECT_EQ(vars[1].value, 0);
    ASSERT_TRUE(redoTurn(command, sizeof command));
    EXPECT_EQ(objects[1].currentLocation, CARRIED);
    EXPECT_EQ(playerLocation, 2);
    EXPECT_EQ(vars[1].value, 7);
    // A new command forgets what could be redone; a new game forgets all.
    ASSERT_TRUE(undoTurn(command, sizeof command));
    beginUndoTurn("look");
    EXPECT_FALSE(redoTurn(command, sizeof command));
    resetUndo();
    EXPECT_EQ(undoAll(), 0);
}

// The objects and the locations' exits and light are compared only in
// turns that wrote them: a turn between two such turns leaves them as they
// were.
TEST_F(Undo, ObjectsAndLocationsChangedTwoTurnsApart)
{
    growObjects(1);
    objects[1].name = appendText("lamp", false);
    objects[1].currentLocation = 1;
    beginUndoTurn("take");
    objects[1].currentLocation = CARRIED;
    objectEdits++;
    beginUndoTurn("open");
    locations[1].currentExits[0] = 2;
    locationEdits++;
    beginUndoTurn("wait");
    vars[1].value = 1;
    beginUndoTurn("close");
    locations[1].currentExits[0] = 0;
    locations[2].currentLight = 0;
    locationEdits++;
    char command[64];
    ASSERT_TRUE(undoTurn(command, sizeof command));
    EXPECT_STREQ(command, "close");
    EXPECT_EQ(locations[1].currentExits[0], 2);
    EXPECT_EQ(locations[2].currentLight, 1);
    ASSERT_TRUE(undoTurn(command, sizeof command));
    EXPECT_EQ(vars[1].value, 0);
    EXPECT_EQ(locations[1].currentExits[0], 2);
    ASSERT_TRUE(undoTurn(command, sizeof command));
    EXPECT_EQ(locations[1].currentExits[0], UNCHANGED);
    EXPECT_EQ(objects[1].currentLocation, CARRIED);
    ASSERT_TRUE(undoTurn(command, sizeof command));
    EXPECT_EQ(objects[1].currentLocation, 1);
    EXPECT_EQ(undoAll(), 0);
    for (int turn = 0; turn < 4; turn++)
        ASSERT_TRUE(redoTurn(command, sizeof command));
    EXPECT_EQ(objects[1].currentLocation, CARRIED);
    EXPECT_EQ(locations[1].currentExits[0], 0);
    EXPECT_EQ(locations[2].currentLight, 0);
}

// Turns that change every object of a game at the limits: the kept changes
// stay within the memory bound, so fewer turns are kept.
TEST_F(Undo, MemoryStaysBounded)
{
    growObjects(MAX_ENTRY);
    for (int turn = 0; turn < 120; turn++) {
        beginUndoTurn("moveall");
        for (int i = 1; i <= MAX_ENTRY; i++)
            objects[i].currentLocation = static_cast<int16_t>(turn % 2 + 1);
        objectEdits++;
    }
    int kept = undoAll();
    EXPECT_GT(kept, 10);
    EXPECT_LE(static_cast<long>(kept) * MAX_ENTRY * 8, UNDO_MEMORY);
}

}  // namespace
