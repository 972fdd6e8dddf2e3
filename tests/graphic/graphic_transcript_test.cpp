// The window's transcript on the headless backend: the record of a played
// session must read as ttyrunner's record of the same session.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/database/game_database.h"
#include "core/driver/random_numbers.h"
#include "core/driver/transcript.h"
#include "core/interpreter/session.h"
#include "frontend/frontend.h"
#include "tests/graphic/screen_reader.h"

namespace {

const char GAME[] =
    "[System]\n"
    "StatusLine=Turns %turns%\n"
    "ShowExits=1\n"
    "[Sysmsg]\n"
    "#1,What?\n"
    "#10,Done.\n"
    "#11,You see:\n"
    "#12,You carry:\n"
    "#14,nothing.\n"
    "#19,Exits:\n"
    "#23,Restore?\n"
    "#24,Really quit?\n"
    "#25,Save first?\n"
    "#26,Play again?\n"
    "[Directions]\n"
    "#1,north\n"
    "#2,south\n"
    "[Locations]\n"
    "#0,Darkness,,0\n"
    "Dark.\n"
    "#1,Hall,,0,2\n"
    "A bare hall. You have %score% points.\n"
    "#2,Yard,,0,0,1\n"
    "An open yard.\n"
    "[Objects]\n"
    "#1,a lamp,1,1\n"
    "[Verbs]\n"
    "#1,north,n\n"
    "#2,south,s\n"
    "#11,inventory,i\n"
    "#12,look\n"
    "#14,take\n"
    "#23,quit\n"
    "#30,tell\n"
    "#31,ask\n"
    "#32,pick\n"
    "#33,wait\n"
    "#34,wipe\n"
    "[Nouns]\n"
    "#1,lamp\n"
    "[Vars]\n"
    "score\n"
    "turns\n"
    "answer\n"
    "[Messages]\n"
    "#1,The keeper tells a long story about the clock, the valley and the winter it stopped, "
    "word after word, until the candles burn low.\\Then he sleeps.\n"
    "#2,Is it raining?\n"
    "#3,Pick a door.\n"
    "#4,You chose %answer%.\n"
    "#5,Time stands still.\n"
    "#6,Caf\x82 ouvert?\n"
    "[Events]\n"
    "if not begin\n"
    "then add turns 1\n"
    "[Actions]\n"
    "if verb tell\n"
    "then message 1\n"
    "if verb ask\n"
    "then message 2 bchoiche answer message 4\n"
    "if verb pick\n"
    "then message 3 mchoiche answer 3 message 4\n"
    "if verb wait\n"
    "then pause 0 message 5\n"
    "if verb wipe\n"
    "then cls message 5\n"
    "if verb 1 noun 1\n"
    "then message 6 bchoiche answer message 4\n";

const std::regex HEADER("Tarnwick 2\\.4\\.1 transcript of game, [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2} UTC, seed 5\n");

struct Transcript : ::testing::Test {
    std::string path;

    void SetUp() override
    {
        path = ::testing::TempDir() + "graphic_transcript_" + std::to_string(getpid()) + ".txt";
        remove(path.c_str());
        debugMode = 0;
    }
    void TearDown() override
    {
        closeTranscript();
        remove(path.c_str());
        debugMode = 0;
    }

    // Plays a session of game over the keys (text, with '\n' for Return),
    // a transcript open; the window closes when the keys run out. Returns
    // the record after its header line, which is checked.
    std::string play(const char *game, const std::vector<int> &keys)
    {
        EXPECT_TRUE(loadGameSource(game));
        seedRandom(5);
        EXPECT_TRUE(openTranscript(path.c_str(), "game"));
        grSetTextMode();
        grSetMode(GR_SCREEN_WIDTH, GR_SCREEN_HEIGHT, 24);   // a new window: an empty key queue
        for (int key : keys) grTestPushKey(key);
        EXPECT_EQ(runSession(), 0);
        closeTranscript();
        std::ifstream file(path, std::ios::binary);
        std::stringstream record;
        record << file.rdbuf();
        std::string text = record.str();
        size_t headerEnd = text.find('\n');
        EXPECT_NE(headerEnd, std::string::npos);
        std::string header = text.substr(0, headerEnd + 1);
        EXPECT_TRUE(std::regex_match(header, HEADER)) << header;
        return text.substr(headerEnd + 1);
    }
};

std::vector<int> typed(std::initializer_list<const char *> parts)
{
    std::vector<int> keys;
    for (const char *part : parts)
        for (const char *c = part; *c; c++) keys.push_back(*c == '\n' ? GR_KEY_RETURN : (unsigned char)*c);
    return keys;
}

// Commands, messages wider than the console, questions with their answers,
// a cancelled choice, moves and look, the pause and the clear, quitting and
// playing again: the window's record is the console's, line for line. The
// panel drawn before every command, the heading and the status line are not
// in it.
TEST_F(Transcript, RecordsTheSessionAsTheConsoleDoes)
{
    std::vector<int> keys = typed({"n", "take lamp\n", "tell\n", "ask\n", "y", "pick\n"});
    keys.push_back(GR_KEY_ESCAPE);
    std::vector<int> rest = typed({"north\n", "look\n", "south\n", "wait\n", "x", "wipe\n", "i\n",
                                   "quit\n", "y", "n", "y", "n", "inventory\n"});
    keys.insert(keys.end(), rest.begin(), rest.end());
    EXPECT_EQ(play(GAME, keys),
              "Restore? n\n"
              "\n"
              "A bare hall. You have 0 points.\n"
              "You see: a lamp.\n"
              "Exits: north.\n"
              ">take lamp\n"
              "Done.\n"
              ">tell\n"
              "The keeper tells a long story about the clock, the valley and the winter it\n"
              "stopped, word after word, until the candles burn low.\n"
              "Then he sleeps.\n"
              ">ask\n"
              "Is it raining?\n"
              "(y/n)?  y\n"
              "You chose 1.\n"
              ">pick\n"
              "Pick a door.\n"
              "(1:3):  \n"
              "You chose 0.\n"
              ">north\n"
              "Done.\n"
              "\n"
              "An open yard.\n"
              "Exits: south.\n"
              ">look\n"
              "\n"
              "An open yard.\n"
              "Exits: south.\n"
              ">south\n"
              "Done.\n"
              "\n"
              "A bare hall. You have 0 points.\n"
              "Exits: north.\n"
              ">wait\n"
              "\n"
              "Time stands still.\n"
              ">wipe\n"
              "\n"
              "Time stands still.\n"
              ">i\n"
              "You carry: a lamp.\n"
              ">quit\n"
              "Really quit? y\n"
              "Save first? n\n"
              "Play again? y\n"
              "Restore? n\n"
              "\n"
              "A bare hall. You have 0 points.\n"
              "You see: a lamp.\n"
              "Exits: north.\n"
              ">inventory\n"
              "You carry: nothing.\n"
              ">\n");
}

// Keys are code page 437 bytes: an accented answer letter and the house
// symbol typed in a command reach the record as their UTF-8 characters, like
// the game's own accented texts. Edited and recalled lines are recorded as
// entered; a debug reply follows its command.
TEST_F(Transcript, RecordsTypedKeysAsTheCharactersTheWindowShows)
{
    std::string game = GAME;
    game.replace(game.find("[System]\n"), 9, "[System]\nBoolean=\x82n\n");
    debugMode = 1;
    std::vector<int> keys = typed({"n", "nort\n", "\x7f\n", "%\n"});
    keys.push_back(GR_KEY_UP);
    keys.push_back(GR_KEY_UP);
    keys.push_back(GR_KEY_UP);
    keys.push_back('x');
    keys.push_back(GR_KEY_BACKSPACE);
    std::vector<int> rest = typed({"h lamp\n", "\x82"});
    keys.insert(keys.end(), rest.begin(), rest.end());
    EXPECT_EQ(play(game.c_str(), keys),
              "Restore? n\n"
              "\n"
              "A bare hall. You have 0 points.\n"
              "You see: a lamp.\n"
              "Exits: north.\n"
              ">nort\n"
              "What?\n"
              ">\xE2\x8C\x82\n"
              "What?\n"
              ">%\n"
              "Location 1, Objects 0 / 5\n"
              ">north lamp\n"
              "Caf\xC3\xA9 ouvert?\n"
              "(\xC3\xA9/n)?  \xC3\xA9\n"
              "You chose 1.\n"
              ">\n");
}

}  // namespace
