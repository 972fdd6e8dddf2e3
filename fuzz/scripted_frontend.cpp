// A front end for the fuzz targets: answers come from the fuzz input's
// script, every text goes through variable substitution and is dropped.
#include <cstring>

#include "core/database/game_database.h"
#include "core/interpreter/listings.h"
#include "frontend/frontend.h"
#include "fuzz/fuzz_support.h"

const char FRONT_END_KIND[] = "Fuzzing version";

constexpr int OUTPUT_SIZE = 4096;

int runSession() { return 0; }
int runGameTests(const char *, int, uint64_t) { return 1; }
void beginGame() {}
int openScreen() { return 0; }
int closeScreen() { return 0; }

int showLocation(int location, int)
{
    if (location < 0 || location > lastLocation || !locations[location].name)
        return -1;
    listLocation(location);
    return 0;
}

int showInventory()
{
    listInventory();
    return 0;
}

int examineObject(int object)
{
    if (!objectExists(object))
        return -1;
    writeText(examineText(object));
    return 0;
}

int printText(const char *text)
{
    return writeText(text);
}

int showMessage(int number)
{
    writeText(messageText(number));
    return 0;
}

int showSystemMessage(int number)
{
    writeText(systemMessageText(number));
    return 0;
}

int showShow(int number)
{
    if (const ShowRecord *show = visibleShow(number))
        writeText(textOf(show->text));
    return 0;
}

int askYesNo(const char *question)
{
    writeText(question);
    return nextScriptByte() & 1;
}

int askChoice(const char *question, int highest)
{
    writeText(question);
    int limit = highest < 0 ? -highest : highest;
    if (limit <= 0)
        return 0;
    return nextScriptByte() % (limit + 1);
}

int readLine(char *buffer, int limit)
{
    if (limit <= 0)
        return 0;
    nextScriptLine(buffer, limit);
    return 0;
}

int writeText(const char *text)
{
    if (!text)
        return 0;
    char out[OUTPUT_SIZE];
    substituteVariables(text, out, sizeof out);
    return static_cast<int>(strlen(out));
}

void waitKey(int) {}

int clearText() { return 0; }
