// The graphical game session: one window for the whole run, one game after
// another, the location panel redrawn before every command (the transcript
// has the description when the game gives it, as the console shows it).
#include <cstdio>
#include <cstring>

#include "core/database/game_database.h"
#include "core/interpreter/debug_commands.h"
#include "core/interpreter/parser.h"
#include "core/interpreter/rule_walker.h"
#include "core/interpreter/session.h"
#include "frontend/frontend.h"
#include "frontend/graphic/graphic_screen.h"

const char FRONT_END_KIND[] = "Graphic version";

// A debug reply is drawn over the command line; the transcript has it, as
// the console's record does.
static bool answerDebugCommand(const char *line)
{
    outputFlags |= TRANSCRIBED;
    bool answered = debugCommand(line);
    outputFlags &= ~TRANSCRIBED;
    return answered;
}

// Plays the turns of one game until it is over or the window was closed.
static void playGame()
{
    int result = SKIP_EVENTS;
    for (;;) {
        if (result != SKIP_EVENTS && runEvents(0) == -1) return;
        drawLocationPanel(playerLocation);
        char line[COMMAND_LIMIT + 1];
        readLine(line, COMMAND_LIMIT);
        if (grWindowClosed()) return;
        if (line[0] == '\0' || (debugMode && answerDebugCommand(line))) {
            result = SKIP_EVENTS;
            continue;
        }
        int verb, noun, noun2, noun3;
        parseCommand(line, &verb, &noun, &noun2, &noun3);
        result = runTurn(verb, noun, noun2, noun3);
        if (result == GAME_OVER) return;
    }
}

int runSession()
{
    openScreen();
    for (;;) {
        drawLayout();
        startGame();
        transcribeLocation(playerLocation);   // the panel follows before the first command
        resetHistory();
        playGame();
        if (grWindowClosed()) break;
        if (!askYesNo(textOf(systemMessages[MSG_PLAY_AGAIN]))) break;
    }
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
