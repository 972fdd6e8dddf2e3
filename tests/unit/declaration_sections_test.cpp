// The declaration sections: what each line stores and which warnings it draws.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/compiler/declaration_sections.h"
#include "core/database/game_database.h"

namespace {

struct Declarations : ::testing::Test {
    char charSet = ' ';
    void SetUp() override
    {
        ASSERT_TRUE(allocateArena());
        resetDatabase();
        resetDeclarationState();
        memset(directions, 0, sizeof directions);
    }
    void TearDown() override { freeArena(); }
    int system(const std::string &line) { return parseSystemLine(line.c_str(), &charSet); }
};

std::string text(TextRef ref) { return ref ? textOf(ref) : "<null>"; }

std::string word(const char stored[WORD_SIZE]) { return std::string(stored, strnlen(stored, WORD_SIZE)); }

TEST_F(Declarations, SystemNumberKeys)
{
    struct Case { const char *line; int result; int16_t *field; int16_t value; };
    const Case cases[] = {
        {"StartLocation=7", 0, &settings.StartLocation, 7},
        {"StartLocation=0", 1, &settings.StartLocation, 7},
        {"StartLocation=abc", 1, &settings.StartLocation, 7},
        {"StartLocation=65536", 1, &settings.StartLocation, 7},     // would store 0
        {"startlocation=-3", 0, &settings.StartLocation, -3},
        {"MaxItems=-2", 0, &settings.MaxItems, -2},
        {"MaxItems=0", 1, &settings.MaxItems, -2},
        {"BgColor=15", 0, &settings.BgColor, 15},
        {"BgColor=16", 1, &settings.BgColor, 15},
        {"BgColor=-1", 1, &settings.BgColor, 15},
        {"FgColor=0", 0, &settings.FgColor, 0},
        {"FGCOLOR=65539", 1, &settings.FgColor, 0},
        {"ShowExits=0", 0, &settings.ShowExits, 0},
        {"showexits=y", 0, &settings.ShowExits, 1},
        {"ShowExits=n", 0, &settings.ShowExits, 0},
        {"ShowExits=1", 0, &settings.ShowExits, 1},
        {"ShowExits=Y", 1, &settings.ShowExits, 1},
        {"ShowExits=", 1, &settings.ShowExits, 1},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(system(c.line), c.result) << c.line;
        EXPECT_EQ(*c.field, c.value) << c.line;
    }
}

TEST_F(Declarations, SystemTextKeysAreReplacedWholeAndCut)
{
    EXPECT_EQ(system("Title=" + std::string(70, 't')), 0);
    EXPECT_EQ(std::string(settings.Title), std::string(63, 't'));
    EXPECT_EQ(system("Title=ab"), 0);
    for (size_t i = 2; i < sizeof settings.Title; i++)
        ASSERT_EQ(settings.Title[i], '\0') << i;
    EXPECT_STREQ(settings.Title, "ab");

    EXPECT_EQ(system("Prompt=" + std::string(20, 'p')), 0);
    EXPECT_EQ(std::string(settings.Prompt), std::string(15, 'p'));
    EXPECT_EQ(system("PROMPT= What now? "), 0);
    EXPECT_STREQ(settings.Prompt, " What now? ");

    EXPECT_EQ(system("ImagePath=" + std::string(40, 'i')), 0);
    EXPECT_EQ(std::string(settings.ImagePath, sizeof settings.ImagePath), std::string(32, 'i'));
    EXPECT_EQ(settings.Title[0], 'a');  // the full path did not run over into Title

    EXPECT_EQ(system("StatusLine=" + std::string(64, 's')), 0);
    EXPECT_EQ(std::string(settings.StatusLine), std::string(63, 's'));
    EXPECT_EQ(system("StatusLine="), 0);
    EXPECT_STREQ(settings.StatusLine, "");
}

TEST_F(Declarations, SystemBooleanCharSetAndUnknownKeys)
{
    EXPECT_EQ(system("Boolean=sn"), 0);
    EXPECT_EQ(settings.YesLetter, 's');
    EXPECT_EQ(settings.NoLetter, 'n');
    EXPECT_EQ(system("Boolean=jnx"), 0);
    EXPECT_EQ(settings.YesLetter, 'j');
    EXPECT_EQ(system("Boolean=s"), 1);
    EXPECT_EQ(system("Boolean="), 1);
    EXPECT_EQ(settings.YesLetter, 'j');
    EXPECT_EQ(settings.NoLetter, 'n');

    EXPECT_EQ(system("charset=w"), 0);
    EXPECT_EQ(charSet, 'w');
    EXPECT_EQ(system("CharSet="), 0);
    EXPECT_NE(charSet, 'w');

    for (const char *line : {"Colour=3", " Title=x", "Title", "=1", "StartLocation 3"})
        EXPECT_EQ(system(line), 1) << line;
    EXPECT_STREQ(settings.Title, "");
}

TEST_F(Declarations, SystemMessagesAndDirections)
{
    struct Case { const char *line; int result; };
    const Case sysmsg[] = {
        {"#1,You see nothing.", 0}, {"#31,Last, and final", 0}, {"#0,zero", 1}, {"#32,big", 1},
        {"text line", 1}, {" #2,blank first", 1}, {"#5", 2},
    };
    for (const Case &c : sysmsg)
        EXPECT_EQ(parseSystemMessageLine(c.line), c.result) << c.line;
    EXPECT_EQ(text(systemMessages[1]), "You see nothing.");
    EXPECT_EQ(text(systemMessages[31]), "Last, and final");
    EXPECT_EQ(systemMessages[0], 0u);
    EXPECT_EQ(systemMessages[5], 0u);
    EXPECT_EQ(parseSystemMessageLine("#1,again"), 0);
    EXPECT_EQ(text(systemMessages[1]), "again");

    const Case direction[] = {
        {"#1,north", 0}, {"#10,out, away", 0}, {"#0,x", 1}, {"#11,x", 1}, {"north", 1}, {"#3", 2},
    };
    for (const Case &c : direction)
        EXPECT_EQ(parseDirectionLine(c.line), c.result) << c.line;
    EXPECT_EQ(text(directions[0]), "north");
    EXPECT_EQ(text(directions[9]), "out, away");
    EXPECT_EQ(directions[2], 0u);
}

TEST_F(Declarations, ShowsTakeThePictureFieldAndJoinTextLines)
{
    EXPECT_EQ(parseShowLine("text before any show"), 1);
    EXPECT_EQ(parseShowLine("#12,Welcome, traveller"), 0);
    EXPECT_EQ(lastShow, 12);
    EXPECT_EQ(text(shows[12].picture), "Welcome");
    EXPECT_EQ(parseShowLine("Line one\\"), 0);
    EXPECT_EQ(parseShowLine("line two"), 0);
    EXPECT_EQ(parseShowLine(" and three"), 0);
    EXPECT_EQ(text(shows[12].text), "Line one\\line two  and three");

    EXPECT_EQ(parseShowLine("#5,"), 0);
    EXPECT_EQ(text(shows[5].picture), "");     // empty but not null
    EXPECT_EQ(parseShowLine("#0,zero"), 1);
    EXPECT_EQ(parseShowLine("orphan"), 1);
    EXPECT_EQ(parseShowLine("#32767,last"), 0);
    EXPECT_EQ(parseShowLine("#32768,over"), 1);
    EXPECT_EQ(lastShow, 32767);

    // A show without its picture field stays current and gets its own text.
    EXPECT_EQ(parseShowLine("#7"), 2);
    EXPECT_EQ(parseShowLine("Seventh"), 0);
    EXPECT_EQ(shows[7].picture, 0u);
    EXPECT_EQ(text(shows[7].text), "Seventh");
}

TEST_F(Declarations, LocationFieldsExitsAndWarnings)
{
    EXPECT_EQ(parseLocationLine("#0,Darkness,,0"), 0);
    EXPECT_EQ(text(locations[0].name), "Darkness");
    EXPECT_EQ(locations[0].picture, 0u);

    EXPECT_EQ(parseLocationLine("#3, Hall ,hall.png,1,2,0,4,5,6,7,8,9,10,11,12,13"), 0);
    const LocationRecord &hall = locations[3];
    EXPECT_EQ(text(hall.name), " Hall ");
    EXPECT_EQ(text(hall.picture), "hall.png");
    EXPECT_EQ(hall.flags, 1);
    const int16_t exits[DIRECTION_COUNT] = {2, 0, 4, 5, 6, 7, 8, 9, 10, 11};
    for (int k = 0; k < DIRECTION_COUNT; k++)
        EXPECT_EQ(hall.exits[k], exits[k]) << k;
    EXPECT_EQ(lastLocation, 3);

    // Redefining sets only what the line gives; an empty picture keeps the old one.
    EXPECT_EQ(parseLocationLine("#3,Great hall,,0,9"), 0);
    EXPECT_EQ(text(locations[3].name), "Great hall");
    EXPECT_EQ(text(locations[3].picture), "hall.png");
    EXPECT_EQ(locations[3].exits[0], 9);
    EXPECT_EQ(locations[3].exits[1], 0);
    EXPECT_EQ(locations[3].exits[2], 4);

    struct Case { const char *line; int result; };
    const Case cases[] = {
        {"#5", 2}, {"#5,Cellar", 2}, {"#5,Cellar,", 2}, {"#5,Cellar,,", 0},
        {"#-1,x,,0", 1}, {"#32767,x,,0", 1}, {"#abc,x,,0", 0},  // no digits: location 0
    };
    for (const Case &c : cases)
        EXPECT_EQ(parseLocationLine(c.line), c.result) << c.line;
    EXPECT_EQ(text(locations[5].name), "Cellar");
    EXPECT_EQ(text(locations[0].name), "x");
    EXPECT_EQ(parseLocationLine("#32766,Far,,0"), 0);
    EXPECT_EQ(lastLocation, 32766);
}

TEST_F(Declarations, LocationDescriptionLines)
{
    EXPECT_EQ(parseLocationLine("text before any location"), 1);
    EXPECT_EQ(parseLocationLine("#1,Hall,,0"), 0);
    EXPECT_EQ(parseLocationLine("A big hall."), 0);
    EXPECT_EQ(parseLocationLine("Exits lead away."), 0);
    EXPECT_EQ(text(locations[1].description), "A big hall. Exits lead away.");

    EXPECT_EQ(parseLocationLine("#2,Yard,,0"), 0);
    EXPECT_EQ(parseLocationLine("First\\"), 0);
    EXPECT_EQ(parseLocationLine("second"), 0);
    EXPECT_EQ(text(locations[2].description), "First\\second");

    // A piece ending in the split marker joins the next line directly.
    EXPECT_EQ(parseLocationLine("#4,Tower,,0"), 0);
    EXPECT_EQ(parseLocationLine("split he\xFF"), 0);
    EXPECT_EQ(parseLocationLine("re"), 0);
    EXPECT_EQ(text(locations[4].description), "split here");

    // A rejected number leaves no location current.
    EXPECT_EQ(parseLocationLine("#40000,Nowhere,,0"), 1);
    EXPECT_EQ(parseLocationLine("lost"), 1);

    // A second definition starts a new description.
    EXPECT_EQ(parseLocationLine("#1,Hall,,0"), 0);
    EXPECT_EQ(parseLocationLine("Now empty."), 0);
    EXPECT_EQ(text(locations[1].description), "Now empty.");
}

TEST_F(Declarations, TextLinesAfterAReopenedSectionContinueTheirOwnEntry)
{
    EXPECT_EQ(parseLocationLine("#1,Hall,,0"), 0);
    EXPECT_EQ(parseLocationLine("A big hall."), 0);
    EXPECT_EQ(parseObjectLine("#1,lamp,1,0"), 0);
    EXPECT_EQ(parseObjectLine("Brass."), 0);
    EXPECT_EQ(parseLocationLine("It is cold."), 0);
    EXPECT_EQ(parseObjectLine("Old."), 0);
    EXPECT_EQ(text(locations[1].description), "A big hall. It is cold.");
    EXPECT_EQ(text(objects[1].name), "lamp");
    EXPECT_EQ(text(objects[1].description), "Brass. Old.");
}

TEST_F(Declarations, ObjectFieldsNounAndWarnings)
{
    EXPECT_EQ(parseWordLine("#9,lantern,lamp", NOUN_TABLE), 0);
    struct Case { const char *line; int result; int number; const char *name; int16_t location;
                  int16_t flags; int16_t noun; };
    const Case cases[] = {
        {"#3,lamp,5,5", 0, 3, "lamp", 5, 5, 3},
        {"#4,lamp,-1,1,lantern", 0, 4, "lamp", CARRIED, 1, 9},
        {"#5,ring,-2,2,LAMP", 0, 5, "ring", WORN, 2, 9},
        {"#6,rope,0,0,12", 0, 6, "rope", 0, 0, 12},
        {"#7,box,1,0,unknown", 0, 7, "box", 1, 0, 0},
        {"#8,key,1,0,", 0, 8, "key", 1, 0, 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(parseObjectLine(c.line), c.result) << c.line;
        const ObjectRecord &row = objects[c.number];
        EXPECT_EQ(text(row.name), c.name) << c.line;
        EXPECT_EQ(row.initialLocation, c.location) << c.line;
        EXPECT_EQ(row.flags, c.flags) << c.line;
        EXPECT_EQ(row.noun, c.noun) << c.line;
    }
    EXPECT_EQ(parseObjectLine("#2,sword"), 2);
    EXPECT_EQ(text(objects[2].name), "sword");
    EXPECT_EQ(objects[2].noun, 0);
    EXPECT_EQ(parseObjectLine("A sharp sword."), 0);   // the object stays current
    EXPECT_EQ(text(objects[2].description), "A sharp sword.");
    EXPECT_EQ(text(objects[2].name), "sword");
    EXPECT_EQ(parseObjectLine("#2,sword,3"), 2);
    EXPECT_EQ(objects[2].initialLocation, 3);
    EXPECT_EQ(parseObjectLine("#0,none,1,0"), 1);
    EXPECT_EQ(parseObjectLine("#32767,none,1,0"), 1);
    EXPECT_EQ(parseObjectLine("orphan text"), 1);
    EXPECT_EQ(lastObject, 8);
    EXPECT_EQ(objects[1].name, 0u);
    EXPECT_EQ(objects[1].currentLocation, UNCHANGED);
}

TEST_F(Declarations, MessagesTakeTheRestOfTheLineAndContinueTheLastText)
{
    EXPECT_EQ(parseMessageLine("#12,Welcome, traveller"), 0);
    EXPECT_EQ(lastMessage, 12);
    EXPECT_EQ(text(messages[12]), "Welcome, traveller");
    EXPECT_EQ(parseMessageLine("to the castle."), 0);
    EXPECT_EQ(text(messages[12]), "Welcome, traveller to the castle.");
    EXPECT_EQ(messages[3], 0u);
    struct Case { const char *line; int result; };
    const Case cases[] = {{"#0,zero", 1}, {"#32767,over", 1}, {"#4", 2}, {"#32766,last", 0}};
    for (const Case &c : cases)
        EXPECT_EQ(parseMessageLine(c.line), c.result) << c.line;
    EXPECT_EQ(lastMessage, 32766);
    EXPECT_EQ(messages[4], 0u);
    // A text line joins whatever text was stored last.
    EXPECT_EQ(parseLocationLine("#1,Hall,,0"), 0);
    EXPECT_EQ(parseMessageLine("more"), 0);
    EXPECT_EQ(text(locations[1].name), "Hall more");
}

TEST_F(Declarations, WordLines)
{
    EXPECT_EQ(parseWordLine("#1,go,walk,run", VERB_TABLE), 0);
    EXPECT_EQ(parseWordLine("#2,northwards,,n ", VERB_TABLE), 0);
    ASSERT_EQ(verbCount, 6);
    const char *expected[] = {"go", "walk", "run", "northwar", "", "n "};
    const int numbers[] = {1, 1, 1, 2, 2, 2};
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(word(verbs[i].word), expected[i]) << i;
        EXPECT_EQ(verbs[i].number, numbers[i]) << i;
    }
    EXPECT_EQ(findVerb("RUN"), 1);
    struct Case { const char *line; int result; };
    const Case cases[] = {{"#1", 2}, {"#0,x", 1}, {"#32767,x", 1}, {"word", 1}, {"#32766,last", 0}};
    for (const Case &c : cases)
        EXPECT_EQ(parseWordLine(c.line, NOUN_TABLE), c.result) << c.line;
    EXPECT_EQ(nounCount, 1);
    EXPECT_EQ(verbCount, 6);
}

TEST_F(Declarations, WordTableStopsAt32767Rows)
{
    // Growing row by row to the limit takes long under the sanitizers; the
    // rows below are never read, so the count is set just short of it.
    ASSERT_EQ(parseWordLine("#1,w", NOUN_TABLE), 0);
    nounCount = MAX_ROWS - 2;
    EXPECT_EQ(parseWordLine("#5,a,b,c,d", NOUN_TABLE), -1);
    EXPECT_EQ(nounCount, MAX_ROWS);
    EXPECT_EQ(word(nouns[MAX_ROWS - 1].word), "b");
    EXPECT_EQ(parseWordLine("#5,e", NOUN_TABLE), -1);
    EXPECT_EQ(parseWordLine("#5,e", VERB_TABLE), 0);
}

TEST_F(Declarations, VariablesAreNumberedFromOne)
{
    EXPECT_EQ(parseVarsLine("score,moves"), 0);
    EXPECT_EQ(parseVarsLine("score, longvariable"), 0);
    ASSERT_EQ(varCount, 5);
    EXPECT_EQ(std::string(vars[0].name, WORD_SIZE), "^foobar^");
    EXPECT_EQ(word(vars[1].name), "score");
    EXPECT_EQ(word(vars[2].name), "moves");
    EXPECT_EQ(word(vars[4].name), " longvar");
    EXPECT_EQ(findVariable("SCORE"), 1);
    EXPECT_EQ(findVariable("moves"), 2);

    varCount = MAX_ROWS - 1;    // as for the word table
    EXPECT_EQ(parseVarsLine("last,dropped,dropped"), 0);
    EXPECT_EQ(varCount, MAX_ROWS);
    EXPECT_EQ(word(vars[MAX_ROWS - 1].name), "last");
}

TEST_F(Declarations, FullArenaLosesTextsQuietly)
{
    std::string filler(ARENA_SIZE - 20, 'f');
    ASSERT_NE(appendText(filler.c_str(), false), 0u);
    EXPECT_EQ(parseLocationLine("#1,A name too long to fit,,0"), 0);
    EXPECT_EQ(locations[1].name, 0u);
    EXPECT_EQ(parseLocationLine("A description that does not fit either."), 0);
    EXPECT_EQ(locations[1].description, 0u);
    EXPECT_EQ(parseLocationLine("short"), 0);   // still fits: starts the text
    EXPECT_EQ(text(locations[1].description), "short");
    EXPECT_EQ(parseLocationLine("and a continuation that cannot fit"), 0);
    EXPECT_EQ(text(locations[1].description), "short");
    EXPECT_EQ(parseMessageLine("#1,a message that cannot fit"), 0);
    EXPECT_EQ(messages[1], 0u);
    EXPECT_LE(arenaUsed(), static_cast<uint32_t>(ARENA_SIZE));
}

}  // namespace
