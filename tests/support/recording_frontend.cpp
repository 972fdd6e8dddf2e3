// Recording front end for unit tests.
#include "tests/support/recording_frontend.h"

#include <cstdio>
#include <cstring>

#include "core/database/game_database.h"
#include "core/interpreter/listings.h"
#include "frontend/frontend.h"

std::string recorded;
std::deque<std::string> scriptedInput;

const char FRONT_END_KIND[] = "Recording version";

void resetRecording()
{
    recorded.clear();
    scriptedInput.clear();
}

static std::string nextInput()
{
    if (scriptedInput.empty())
        return "";
    std::string line = scriptedInput.front();
    scriptedInput.pop_front();
    return line;
}

int runSession() { return 0; }
int runGameTests(const char *, int, uint64_t) { return 1; }
int openScreen() { return 0; }
int closeScreen() { return 0; }

int showLocation(int location, int showNow)
{
    if (location < 0 || location > lastLocation || !locations[location].name)
        return -1;
    recorded += "[location " + std::to_string(location) + " " + std::to_string(showNow) + "]\n";
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
    writeText(text);
    return 0;
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
    if (const ShowRecord *show = visibleShow(number)) {
        writeText(textOf(show->text));
        recorded += std::string("[picture ") + textOf(show->picture) + "]\n";
    }
    return 0;
}

int askYesNo(const char *question)
{
    recorded += std::string("[yesno ") + (question ? question : "null") + "]\n";
    std::string answer = nextInput();
    char first = answer.empty() ? '\0' : static_cast<char>(tolower(answer[0]));
    return first == tolower(settings.YesLetter) ? 1 : 0;
}

int askChoice(const char *question, int highest)
{
    recorded += std::string("[choice ") + (question ? question : "null") + " " + std::to_string(highest) + "]\n";
    std::string answer = nextInput();
    return (!answer.empty() && answer[0] >= '1' && answer[0] <= '9') ? answer[0] - '0' : 0;
}

int readLine(char *buffer, int limit)
{
    if (scriptedInput.empty()) {
        buffer[0] = '\0';
        return -1;      // the script has ended
    }
    snprintf(buffer, limit, "%s", nextInput().c_str());
    return 0;
}

void beginGame() {}

int writeText(const char *text)
{
    if (!text)
        return 0;
    char out[4096];
    substituteVariables(text, out, sizeof out);
    recorded += out;
    recorded += "\n";
    return 0;
}

void waitKey(int milliseconds)
{
    recorded += "[wait " + std::to_string(milliseconds) + "]\n";
    nextInput();
}

int clearText()
{
    recorded += "[cls]\n";
    return 0;
}
