// Placeholder until the session lands.
#include "core/interpreter/session.h"

int16_t playerLocation = 0;
int16_t carriedCount = 0;
int16_t debugMode = 0;

void startGame() {}
int runTurn(int, int, int, int) { return 0; }
bool isDark(int) { return false; }
void recountCarried() {}
void resetHistory() {}
void historyAdd(const char *) {}
int historyPrevious(char *buffer) { buffer[0] = '\0'; return 0; }
int historyNext(char *buffer) { buffer[0] = '\0'; return 0; }
