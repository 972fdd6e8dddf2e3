// The console game session: one game after another on standard input and
// output, until the player declines to play again or the input ends.
#include "core/database/game_database.h"
#include "core/driver/terminal_text.h"
#include "core/interpreter/listings.h"
#include "core/interpreter/session.h"
#include "frontend/console/console_io.h"
#include "frontend/frontend.h"

const char FRONT_END_KIND[] = "Standard input/output text version";

// Words typed on a terminal that is not UTF-8 hold the ten accented letters
// as Latin-1 bytes: the game's words and texts are converted to match (once:
// the conversion leaves converted texts as they are). UTF-8 output is
// written from the code page 437 bytes.
void beginGame()
{
    if (!terminalIsUtf8())
        convertToLatin1();
}

int runSession()
{
    // At the end of input the last prompt's line is ended.
    if (playGames() < 0)
        finishOutputLine();
    return 0;
}
