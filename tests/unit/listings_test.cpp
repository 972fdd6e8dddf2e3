// Location and inventory listings, variable substitution and the Latin-1
// conversion, seen through the recording front end.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/database/game_database.h"
#include "core/interpreter/listings.h"
#include "core/interpreter/session.h"
#include "tests/support/recording_frontend.h"

namespace {

void defineLocation(int number, const char *name, const char *description, int flags = 0)
{
    growLocations(number);
    locations[number].name = appendText(name, false);
    locations[number].description = description ? appendText(description, false) : 0;
    locations[number].flags = static_cast<int16_t>(flags);
    locations[number].currentLight = UNCHANGED;
}

void defineObject(int number, const char *name, int where, int flags = 0)
{
    growObjects(number);
    objects[number].name = name ? appendText(name, false) : 0;
    objects[number].initialLocation = static_cast<int16_t>(where);
    objects[number].flags = static_cast<int16_t>(flags);
    objects[number].currentLocation = UNCHANGED;
}

int defineVariable(const char *name, int value)
{
    VarRecord *row = appendVar();
    copyWord(row->name, name);
    row->value = static_cast<int16_t>(value);
    return varCount - 1;
}

struct Listings : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(allocateArena());
        resetDatabase();
        resetRecording();
        systemMessages[11] = appendText("You see", false);
        systemMessages[12] = appendText("You carry:", false);
        systemMessages[13] = appendText(" (worn)", false);
        systemMessages[14] = appendText("nothing.", false);
        systemMessages[19] = appendText("Exits:", false);
        const char *names[] = {"north", "south", "east"};
        for (int d = 0; d < 3; d++)
            directions[d] = appendText(names[d], false);
        defineLocation(0, "Darkness", "It is pitch dark.");
        defineLocation(1, "Hall", "A long hall.");
        defineLocation(2, "Cellar", "A damp cellar.", 1);
    }
    void TearDown() override
    {
        for (TextRef &direction : directions)
            direction = 0;
        freeArena();
    }
};

TEST_F(Listings, LocationListsDescriptionObjectsInOrderAndExits)
{
    defineObject(4, "bottle", 1);
    defineObject(2, "apple", 1);
    defineObject(3, "rope", 2);
    defineObject(5, "cloak", CARRIED);
    locations[1].exits[2] = 2;   // east
    locations[1].exits[0] = 7;   // north
    listLocation(1);
    EXPECT_EQ(recorded, "A long hall.\nYou see apple, bottle.\nExits: north, east.\n");

    resetRecording();
    settings.ShowExits = 0;
    objects[4].currentLocation = 0;
    listLocation(1);
    EXPECT_EQ(recorded, "A long hall.\nYou see apple.\n");
}

TEST_F(Listings, RunTimeExitsReplaceTheDeclaredOnes)
{
    locations[1].exits[0] = 2;
    locations[1].currentExits[0] = 0;      // closed at run time
    locations[1].currentExits[1] = 5;      // opened at run time
    listLocation(1);
    EXPECT_EQ(recorded, "A long hall.\nExits: south.\n");
}

TEST_F(Listings, DarkLocationShowsOnlyTheDarknessDescription)
{
    defineObject(1, "lamp", 5, OBJECT_LIGHT);
    defineObject(2, "rope", 2);
    locations[2].exits[1] = 1;
    listLocation(2);
    EXPECT_EQ(recorded, "It is pitch dark.\n");

    const int lampPlaces[] = {2, CARRIED, WORN};
    for (int place : lampPlaces) {
        resetRecording();
        objects[1].currentLocation = static_cast<int16_t>(place);
        listLocation(2);
        std::string objectLine = place == 2 ? "You see lamp, rope.\n" : "You see rope.\n";
        EXPECT_EQ(recorded, "A damp cellar.\n" + objectLine + "Exits: south.\n") << place;
    }
}

TEST_F(Listings, WithoutLocationZeroNothingIsWritten)
{
    locations[0].name = 0;
    defineObject(1, "apple", 1);
    locations[1].exits[0] = 2;
    listLocation(1);
    EXPECT_EQ(recorded, "");
}

TEST_F(Listings, NamelessRowsAndUndefinedTextsAreHandled)
{
    // Rows 1..2 exist without a name and read as lying in location 0.
    defineObject(3, "pebble", 0);
    directions[0] = 0;
    systemMessages[11] = 0;
    systemMessages[19] = 0;
    locations[0].exits[0] = 1;
    listLocation(0);
    EXPECT_EQ(recorded, "It is pitch dark.\n pebble.\n .\n");
}

TEST_F(Listings, InventoryLine)
{
    listInventory();
    EXPECT_EQ(recorded, "You carry: nothing.\n");

    resetRecording();
    defineObject(3, "cloak", WORN, OBJECT_WEARABLE);
    defineObject(1, "lamp", CARRIED);
    defineObject(5, "stone", 1);
    listInventory();
    EXPECT_EQ(recorded, "You carry: lamp, cloak (worn).\n");

    resetRecording();
    systemMessages[12] = systemMessages[13] = systemMessages[14] = 0;
    listInventory();
    EXPECT_EQ(recorded, " lamp, cloak.\n");
    resetRecording();
    objects[1].currentLocation = objects[3].currentLocation = 0;
    listInventory();
    EXPECT_EQ(recorded, " \n");
}

// A line longer than the list buffer is written in pieces, none of them
// longer than the buffer, and no name is lost.
TEST_F(Listings, LongListsAreWrittenInPieces)
{
    std::string expected = "You see";
    for (int i = 1; i <= 60; i++) {
        std::string name = "object-number-" + std::to_string(i) + std::string(30, 'x');
        defineObject(i, name.c_str(), 1);
        expected += (i == 1 ? " " : ", ") + name;
    }
    expected += ".";
    settings.ShowExits = 0;
    listLocation(1);
    ASSERT_EQ(recorded.rfind("A long hall.\n", 0), 0u);
    std::string rest = recorded.substr(strlen("A long hall.\n"));
    std::string joined;
    size_t start = 0;
    int pieces = 0;
    while (start < rest.size()) {
        size_t end = rest.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        EXPECT_LT(end - start, static_cast<size_t>(LIST_BUFFER_SIZE));
        joined += rest.substr(start, end - start);
        start = end + 1;
        pieces++;
    }
    EXPECT_GT(pieces, 1);
    EXPECT_EQ(joined, expected);
}

TEST_F(Listings, SubstitutesVariables)
{
    defineVariable("score", 12);
    defineVariable("debt", -5);
    defineVariable("longname", 7);
    defineVariable("low", -32768);
    struct Case {
        const char *text, *expected;
    } cases[] = {
        {"Score: %score% points", "Score: 12 points"},
        {"%SCORE%", "12"},
        {"100%% sure", "100% sure"},
        {"50% off", "50"},
        {"%nothing% left", "0 left"},
        {"%debt%/%low%", "-5/-32768"},
        {"%longnamesake%", "7"},              // names are significant to 8 characters
        {"a%score%b%", "a12b"},
        {"%%score%%", "%score%"},
        {"", ""},
    };
    for (const Case &c : cases) {
        char out[64];
        substituteVariables(c.text, out, sizeof out);
        EXPECT_STREQ(out, c.expected) << c.text;
    }
}

TEST_F(Listings, SubstitutionNeverOverrunsItsOutput)
{
    defineVariable("score", 12345);
    char out[8];
    memset(out, '#', sizeof out);
    substituteVariables("Score: %score%", out, 6);
    EXPECT_STREQ(out, "Score");
    EXPECT_EQ(out[6], '#');
    substituteVariables("ab%score%", out, 5);
    EXPECT_STREQ(out, "ab12");
    substituteVariables("abc", out, 1);
    EXPECT_STREQ(out, "");
}

TEST_F(Listings, ConvertsTheTenLettersOnceAndNothingElse)
{
    TextRef text = appendText("\x85\x8A\x8D\x95\x97\x82\x87\xF8\x15\x9C" "a\x80\xFF", false);
    convertToLatin1();
    EXPECT_STREQ(textOf(text), "\xE0\xE8\xEC\xF2\xF9\xE9\xE7\xB0\xA7\xA3" "a\x80\xFF");
    convertToLatin1();
    EXPECT_STREQ(textOf(text), "\xE0\xE8\xEC\xF2\xF9\xE9\xE7\xB0\xA7\xA3" "a\x80\xFF");
}

}  // namespace
