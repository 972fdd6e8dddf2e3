// The input operations of the web front end: the command line with its
// history, the yes/no and numbered questions answered by a key, and the
// pause; each wait hands control to the page until it has the answer.
#include <cstdio>
#include <cstring>
#include <string>

#include "core/database/game_database.h"
#include "core/database/text_compare.h"
#include "core/interpreter/session.h"
#include "frontend/frontend.h"
#include "frontend/web/web_page.h"
#include "frontend/web/web_panel.h"

constexpr int TYPED_SIZE = 4 * COMMAND_LIMIT + 1;   // a command in UTF-8, NUL included

static std::string promptText()
{
    return utf8FromCodePage437(settings.Prompt, strnlen(settings.Prompt, sizeof settings.Prompt));
}

// Puts a history line (code page 437) into the page's input line.
static void showHistoryLine(bool previous)
{
    char line[COMMAND_LIMIT + 1];
    int length = previous ? historyPrevious(line) : historyNext(line);
    pageSetInput(utf8FromCodePage437(line, static_cast<size_t>(length)).c_str());
}

// The panel is drawn anew before every command. The line typed joins the
// output after the prompt as the game takes it: in the games' character set,
// cut to limit - 1 bytes.
int readLine(char *buffer, int limit)
{
    if (limit < 1)
        return 0;
    buffer[0] = '\0';
    drawLocationPanel(playerLocation);
    std::string prompt = promptText();
    char typed[TYPED_SIZE];
    for (;;) {
        int event = pageReadInput(prompt.c_str(), limit - 1, typed, sizeof typed);
        if (event == INPUT_LINE)
            break;
        showHistoryLine(event == INPUT_PREVIOUS);
    }
    codePage437FromUtf8(typed);
    snprintf(buffer, static_cast<size_t>(limit), "%s", typed);
    historyAdd(buffer);
    std::string echo = prompt + utf8FromCodePage437(buffer, strlen(buffer)) + "\n";
    pageWriteEcho(echo.c_str());
    return 0;
}

// A question stays on its line in the output; the key that answers it
// follows, and ends the line.
static void askInOutput(const char *question)
{
    pageWrite(AREA_OUTPUT, pageText(question).c_str());
}

static void answerInOutput(unsigned char key)
{
    char shown[2] = {static_cast<char>(key), '\0'};
    std::string line = key ? utf8FromCodePage437(shown, 1) + "\n" : "\n";
    pageWrite(AREA_OUTPUT, line.c_str());
}

// The key's byte in the games' character set, 0 for a key without one.
static unsigned char readQuestionKey(int *key)
{
    *key = pageReadKey(0, 1);
    return *key > 0 ? codePage437Byte(*key) : 0;
}

int askYesNo(const char *question)
{
    char yes = asciiLower(settings.YesLetter);
    char no = asciiLower(settings.NoLetter);
    char own[16];
    if (!question) {
        snprintf(own, sizeof own, "(%c/%c)? ", yes, no);
        question = own;
    }
    askInOutput(question);
    for (;;) {
        int key;
        unsigned char byte = readQuestionKey(&key);
        char letter = asciiLower(static_cast<char>(byte));
        if (byte && (letter == yes || letter == no)) {
            answerInOutput(byte);
            return letter == yes ? 1 : 0;
        }
    }
}

// Escape or Enter cancels where cancelling is allowed, as the console's
// empty line does.
int askChoice(const char *question, int highest)
{
    bool mayCancel = highest >= 0;
    if (highest < 0)
        highest = highest < -9 ? 9 : -highest;
    if (highest > 9)
        highest = 9;
    if (highest < 2)
        highest = 2;
    char own[16];
    if (!question) {
        snprintf(own, sizeof own, "(1:%d): ", highest);
        question = own;
    }
    askInOutput(question);
    for (;;) {
        int key;
        unsigned char byte = readQuestionKey(&key);
        if (byte >= '1' && byte <= '0' + highest) {
            answerInOutput(byte);
            return byte - '0';
        }
        if (mayCancel && (key == KEY_ESCAPE || key == KEY_ENTER)) {
            answerInOutput(0);
            return 0;
        }
    }
}

// As in the window: 0 waits for a key, a positive time for a key or the
// time, a negative one for its length whatever is pressed.
void waitKey(int milliseconds)
{
    if (milliseconds == 0)
        pageReadKey(0, 1);
    else if (milliseconds > 0)
        pageReadKey(milliseconds, 1);
    else
        pageReadKey(milliseconds < -1000000 ? 1000000 : -milliseconds, 0);
}
