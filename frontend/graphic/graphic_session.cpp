// The graphical game session: one window for the whole run, one game after
// another, each on a freshly drawn layout.
#include <cstdio>

#include "core/interpreter/session.h"
#include "frontend/frontend.h"
#include "frontend/graphic/graphic_screen.h"

const char FRONT_END_KIND[] = "Graphic version";

void beginGame()
{
    drawLayout();
    resetHistory();
}

int runSession()
{
    openScreen();
    playGames();
    closeScreen();
    return 0;
}

// Game tests read and compare the console's output: the window leaves them
// to ttyrunner.
int runGameTests(const char *, int, uint64_t)
{
    fputs("gfxrunner does not run game tests: use ttyrunner --test=FILE\n", stderr);
    return 1;
}
