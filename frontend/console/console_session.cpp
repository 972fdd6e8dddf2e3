// The console game session: one game after another on standard input and
// output, until the player declines to play again or the input ends.
#include <cstring>

#include "core/database/game_database.h"
#include "core/driver/terminal_text.h"
#include "core/interpreter/debug_commands.h"
#include "core/interpreter/listings.h"
#include "core/interpreter/parser.h"
#include "core/interpreter/rule_walker.h"
#include "core/interpreter/session.h"
#include "frontend/console/console_io.h"
#include "frontend/frontend.h"

const char FRONT_END_KIND[] = "Standard input/output text version";

void playGame()
{
    int result = SKIP_EVENTS;
    for (;;) {
        if (result != SKIP_EVENTS && runEvents(0) == -1)
            return;
        char line[COMMAND_LIMIT + 1];
        readLine(line, COMMAND_LIMIT);
        if (consoleInputEnded() && line[0] == '\0')
            return;
        line[strcspn(line, "\r\n")] = '\0';
        if (line[0] == '\0' || (debugMode && debugCommand(line))) {
            result = SKIP_EVENTS;
            continue;
        }
        int verb, noun, noun2, noun3;
        parseCommand(line, &verb, &noun, &noun2, &noun3);
        result = runTurn(verb, noun, noun2, noun3);
        if (result == GAME_OVER)
            return;
    }
}

int runSession()
{
    for (;;) {
        // Words typed on a terminal that is not UTF-8 hold the ten accented
        // letters as Latin-1 bytes: the game's words and texts are converted
        // to match. UTF-8 output is written from the code page 437 bytes.
        if (!terminalIsUtf8())
            convertToLatin1();
        startGame();
        showLocation(playerLocation, 1);
        playGame();
        if (consoleInputEnded())
            break;
        if (!askYesNo(textOf(systemMessages[MSG_PLAY_AGAIN])))
            break;
    }
    if (consoleInputEnded())
        finishOutputLine();
    return 0;
}
