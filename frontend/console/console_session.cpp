// Placeholder until the console front end lands.
#include "frontend/frontend.h"

const char FRONT_END_KIND[] = "Standard input/output text version";

int runSession() { return 0; }
int openScreen() { return 0; }
int closeScreen() { return 0; }
int showLocation(int, int) { return 0; }
int showInventory() { return 0; }
int examineObject(int) { return 0; }
int printText(const char *) { return 0; }
int showMessage(int) { return 0; }
int showSystemMessage(int) { return 0; }
int showShow(int) { return 0; }
int askYesNo(const char *) { return 0; }
int askChoice(const char *, int) { return 0; }
int readLine(char *buffer, int) { buffer[0] = '\0'; return 0; }
int writeText(const char *) { return 0; }
void waitKey(int) {}
int clearText() { return 0; }
