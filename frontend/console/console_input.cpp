// Console input: command lines, yes/no and digit questions answered with
// one input line each, the pause, and the end of standard input.
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "core/database/game_database.h"
#include "core/database/text_compare.h"
#include "core/driver/terminal_text.h"
#include "core/driver/transcript.h"
#include "core/interpreter/session.h"
#include "frontend/console/console_io.h"
#include "frontend/frontend.h"

static bool inputEnded = false;
static FILE *input = nullptr;           // standard input unless a test runs

void setConsoleInput(FILE *in)
{
    input = in;
    inputEnded = false;
}

static FILE *inputStream()
{
    return input ? input : stdin;
}

// Reads one character and drops the rest of its line; returns that first
// character ('\n' for an empty line) or EOF at the end of input.
static int readAnswerLine()
{
    fflush(stdout);
    char typed[COMMAND_LIMIT + 1];
    size_t length = 0;
    int first = getc(inputStream());
    int c = first;
    while (c != '\n' && c != EOF) {
        if (length < sizeof typed - 1)
            typed[length++] = static_cast<char>(c);
        c = getc(inputStream());
    }
    typed[length] = '\0';
    if (c == EOF)
        inputEnded = true;
    if (first != EOF)
        consoleLineTyped(typed);
    return first;
}

// Outputs a question followed by one blank, without a line end.
static void askQuestion(const char *question)
{
    consoleOutputText(question);
    consoleOutput(" ", 1);
}

int askYesNo(const char *question)
{
    char own[16];
    if (!question) {
        snprintf(own, sizeof own, "(%c/%c)? ", asciiLower(settings.YesLetter), asciiLower(settings.NoLetter));
        question = own;
    }
    for (;;) {
        askQuestion(question);
        int answer = readAnswerLine();
        if (answer == EOF)
            return -1;
        char letter = asciiLower(static_cast<char>(answer));
        if (letter == asciiLower(settings.YesLetter))
            return 1;
        if (letter == asciiLower(settings.NoLetter))
            return 0;
    }
}

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
    for (;;) {
        askQuestion(question);
        int answer = readAnswerLine();
        if (answer == EOF)
            return -1;
        if (answer >= '1' && answer <= '0' + highest)
            return answer - '0';
        if (answer == '\n' && mayCancel)
            return 0;
    }
}

// Shows the prompt as it is and reads at most limit - 1 characters, the line
// end included when it fits; the rest of a longer line is the next command.
// At the end of input the command is empty and the end is marked.
int readLine(char *buffer, int limit)
{
    if (limit < 1)
        return 0;
    buffer[0] = '\0';
    size_t promptLength = strnlen(settings.Prompt, sizeof settings.Prompt);
    if (!input && limit >= 2 && lineEditingAvailable()) {
        transcriptShown(settings.Prompt, promptLength);
        if (editLine(settings.Prompt, promptLength, buffer, limit) < 0) {
            buffer[0] = '\0';
            inputEnded = true;
            fputc('\n', stdout);       // the terminal's line after the prompt ends
            return -1;
        }
    } else {
        consoleOutput(settings.Prompt, promptLength);
        fflush(stdout);
        if (limit < 2)
            return 0;
        if (!fgets(buffer, limit, inputStream())) {
            buffer[0] = '\0';
            inputEnded = true;
            return -1;
        }
    }
    consoleLineTyped(buffer);
    // The accented letters typed become the games' bytes, so that they find
    // the game's words.
    if (consoleIsUtf8())
        typedToCodePage437(buffer);
    else
        typedLatin1ToCodePage437(buffer);
    return 0;
}

// The pause waits for the player to press Enter, whatever its length. A
// player at a terminal is told so on standard error; the output stays the
// game's.
void waitKey(int)
{
    if (inputEnded)
        return;
    if (!input && isatty(STDIN_FILENO)) {
        fflush(stdout);
        fputs("(Press Enter to go on.)\n", stderr);
    }
    readAnswerLine();
}

void consoleLineTyped(const char *line)
{
    transcriptTyped(line);
    testLineTaken();
}
