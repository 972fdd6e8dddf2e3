// The web game session: the page takes the game's colours and title, then
// one game after another is played in it until the player stops.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/database/game_database.h"
#include "core/interpreter/session.h"
#include "frontend/frontend.h"
#include "frontend/graphic/pictures.h"
#include "frontend/web/web_page.h"

const char FRONT_END_KIND[] = "Web version";

// The window's sixteen standard colours (graphic_screen.cpp), as 0xRRGGBB.
constexpr int STANDARD_COLOUR_COUNT = 16;
constexpr int STANDARD_COLOURS[STANDARD_COLOUR_COUNT] = {
    0x000000, 0x202088, 0x208820, 0x208888, 0x882020, 0x882088, 0x888820, 0x707070,
    0xB0B0B0, 0x4040D0, 0x40D040, 0x40D0D0, 0xD04040, 0xD040D0, 0xD0D040, 0xF0F0F0,
};

// An index outside the table reads as black for the background and as the
// lightest colour for text, as in the window.
int standardColour(int index, int fallback)
{
    return STANDARD_COLOURS[index >= 0 && index < STANDARD_COLOUR_COUNT ? index : fallback];
}

int openScreen()
{
    std::string title = pageText(std::string(settings.Title, strnlen(settings.Title, sizeof settings.Title)).c_str());
    pageSetLook(standardColour(settings.BgColor, 0), standardColour(settings.FgColor, 15), title.c_str());
    return 0;
}

int closeScreen()
{
    pageEnd();
    return 0;
}

// A new game keeps the output above it and forgets the command history; its
// first picture is shown again, as after the window's layout is drawn.
void beginGame()
{
    lastPictureName = nullptr;
    resetHistory();
}

// Emscripten's file system starts with the umask 0777, which leaves a saved
// game without read permission: the usual 022 lets restore read it.
constexpr mode_t FILE_MASK = 022;

int runSession()
{
    umask(FILE_MASK);
    openScreen();
    playGames();
    closeScreen();
    return 0;
}

// Game tests read and compare the console's output: the page leaves them to
// ttyrunner.
int runGameTests(const char *, int, uint64_t)
{
    fputs("webrunner does not run game tests: use ttyrunner --test=FILE\n", stderr);
    return 1;
}
