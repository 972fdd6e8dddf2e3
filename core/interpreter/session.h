// The game session: session state, turn results, start of a game, one turn,
// the darkness rule and the command history of the line editor.
#pragma once

#include <cstdint>

// Turn results, of runTurn and the built-in verbs; after all but GAME_OVER
// and SKIP_EVENTS the events run.
enum TurnResult {
    GAME_OVER = -1,         // the game ends (a quit)
    TURN_NOT_BUILTIN = 0,   // no built-in verb took the command (a rule may have)
    TURN_BUILTIN = 1,       // a built-in verb handled it
    SKIP_EVENTS = 2,        // handled without time passing
};

constexpr int COMMAND_LIMIT = 127;     // characters of one command
constexpr int HISTORY_SIZE = 16;

extern int16_t playerLocation;
extern int16_t carriedCount;
extern int16_t debugMode;              // 1 only when the game came from its source with --debug

// Resets every run-time field, runs the begin events and offers a restore.
void startGame();

// The player's answer to a question, asked by the front end: yes (1) or no
// (0); a digit 1..highest or 0 for a cancelled choice. An input that has
// ended answers no, or 0, and is remembered for playGames.
int askPlayerYesNo(const char *question);
int askPlayerChoice(const char *question, int highest);

// Plays the turns of one game: events, a command read, parsed and run, until
// the game is over (0) or the input has ended or the window was closed (-1).
int playGame();

// One game after another, each begun, started and described, until the
// player declines to play again (0) or the input ends (-1).
int playGames();

// Processes one parsed command; returns a TurnResult.
int runTurn(int verb, int noun, int noun2, int noun3);

// Whether a location is dark (no light of its own and no light source).
bool isDark(int location);

// Recounts carriedCount from the objects' locations.
void recountCarried();

void resetHistory();
void historyAdd(const char *line);
int historyPrevious(char *buffer);
int historyNext(char *buffer);
