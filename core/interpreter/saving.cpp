// Saving and restoring in play: nine positions per game, each a file beside
// the game, asked for with the game's own questions.
#include "core/interpreter/saving.h"

#include <cstdio>
#include <cstring>

#include "core/database/game_database.h"
#include "core/database/saved_game.h"
#include "core/driver/startup.h"
#include "core/interpreter/session.h"
#include "frontend/frontend.h"

constexpr int SAVE_POSITIONS = 9;
constexpr int NAME_PREFIX = 8;          // characters of the game name in the file name
constexpr int SAVE_NAME_SIZE = NAME_SIZE + 8;

// A save beside its game: the game name's folder, the first 8 characters of
// its last component, ".sv" and the position digit.
static void saveFileName(int position, char name[SAVE_NAME_SIZE])
{
    const char *slash = strrchr(gameName, '/');
    int folder = slash ? static_cast<int>(slash - gameName) + 1 : 0;
    snprintf(name, SAVE_NAME_SIZE, "%.*s%.*s.sv%d", folder, gameName, NAME_PREFIX, gameName + folder, position);
}

// The name saves had before they kept their folder: the first 8 characters of
// the whole game name. Only read, so that older saves are still found.
static void olderSaveFileName(int position, char name[SAVE_NAME_SIZE])
{
    snprintf(name, SAVE_NAME_SIZE, "%.*s.sv%d", NAME_PREFIX, gameName, position);
}

int saveGame()
{
    int position = askPlayerChoice(textOf(systemMessages[MSG_SAVE_QUESTION]), SAVE_POSITIONS);
    if (position < 1 || position > SAVE_POSITIONS)
        return -1;
    char name[SAVE_NAME_SIZE];
    saveFileName(position, name);
    SessionState session = {playerLocation, carriedCount};
    if (writeSavedGame(name, &session) != 0) {
        showSystemMessage(MSG_FILE_FAILED);
        return -1;
    }
    return 0;
}

int restoreGame()
{
    int position = askPlayerChoice(textOf(systemMessages[MSG_RESTORE_QUESTION]), SAVE_POSITIONS);
    if (position < 1 || position > SAVE_POSITIONS)
        return -1;
    char name[SAVE_NAME_SIZE];
    saveFileName(position, name);
    SessionState session = {playerLocation, carriedCount};
    int read = readSavedGame(name, &session);
    if (read == -1) {
        olderSaveFileName(position, name);
        read = readSavedGame(name, &session);
    }
    if (read != 0) {
        showSystemMessage(MSG_FILE_FAILED);
        return -1;
    }
    playerLocation = session.playerLocation;
    // The stored count is replaced by what the objects say.
    recountCarried();
    return 0;
}
