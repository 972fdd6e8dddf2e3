// The input operations of the graphical front end: the line editor with its
// cursor, history and scrollback view, the yes/no and numbered questions and
// the pause, with the prompts and the answers written to the transcript as
// the console does.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "core/database/game_database.h"
#include "core/driver/transcript.h"
#include "core/interpreter/session.h"
#include "frontend/frontend.h"
#include "frontend/graphic/graphic_screen.h"
#include "frontend/graphic/graphic_transcript.h"
#include "frontend/graphic/pictures.h"
#include "frontend/graphic/screenshot.h"
#include "frontend/graphic/scrollback.h"

constexpr int SCREENSHOT_KEY = GR_KEY_CTRL_PRINT_SCREEN;
constexpr int PICTURE_TOGGLE_KEY = GR_KEY_F12;
constexpr int PROMPT_LIMIT = 15;              // bytes of Prompt shown
constexpr int EDIT_LINE_SIZE = 256;           // prompt, command, cursor and NUL
constexpr int EDIT_COMMAND_LIMIT = EDIT_LINE_SIZE - PROMPT_LIMIT - 2;
constexpr int EDIT_WIDTH_LIMIT = 799;         // x + 32 may not pass it

// The keys that move the scrollback view, and by how many lines (back: positive).
struct ScrollKey {
    int key;
    int lines;
};

static const ScrollKey SCROLL_KEYS[] = {
    {GR_KEY_PAGE_UP, VIEW_LINES},
    {GR_KEY_PAGE_DOWN, -VIEW_LINES},
    {GR_KEY_WHEEL_UP, WHEEL_LINES},
    {GR_KEY_WHEEL_DOWN, -WHEEL_LINES},
};

static int scrollLines(int key)
{
    for (const ScrollKey &scroll : SCROLL_KEYS)
        if (scroll.key == key) return scroll.lines;
    return 0;
}

// The keys that change the edit line or end it: they bring the live view back.
static bool editsLine(int key)
{
    return key == GR_KEY_RETURN || key == GR_KEY_CTRL_Z || key == GR_KEY_CTRL_Y || key == GR_KEY_BACKSPACE ||
           (key >= 32 && key <= 255) || key == GR_KEY_UP || key == GR_KEY_DOWN;
}

static bool isWheel(int key)
{
    return key == GR_KEY_WHEEL_UP || key == GR_KEY_WHEEL_DOWN;
}

// A key for a question or a pause: the wheel is passed over, so that turning
// it answers nothing.
static int readKey()
{
    int key = grKeyRead();
    while (isWheel(key)) key = grKeyRead();
    return key;
}

static void toMainWindow(int flags)
{
    currentWindow = MAIN_WINDOW;
    outputFlags = flags;
    replyTranscribed = false;       // the text that follows is no reply to the command
}

// The prompt as a text of at most PROMPT_LIMIT bytes.
static void copyPrompt(char prompt[PROMPT_LIMIT + 1])
{
    size_t length = strnlen(settings.Prompt, PROMPT_LIMIT);
    memcpy(prompt, settings.Prompt, length);
    prompt[length] = '\0';
}

// Replaces the buffer with a history line, cut to the caller's maximum.
static int takeHistoryLine(char *buffer, int maximum, bool previous)
{
    char line[COMMAND_LIMIT + 1];
    int length = previous ? historyPrevious(line) : historyNext(line);
    if (length > maximum) length = maximum;
    memcpy(buffer, line, (size_t)length);
    buffer[length] = '\0';
    return length;
}

// The location panel is drawn anew before every command; a debug reply
// written over the command line after it goes to the transcript, as the
// console records it. Page Up, Page Down and the wheel move the view through
// the scrollback; the edit line is drawn on the live view only. When the
// window is gone the view is left as it stands.
int readLine(char *buffer, int limit)
{
    if (!buffer) return 0;
    replyTranscribed = false;
    drawLocationPanel(playerLocation);
    int maximum = limit < 0 ? 0 : limit > EDIT_COMMAND_LIMIT ? EDIT_COMMAND_LIMIT : limit;
    char prompt[PROMPT_LIMIT + 1];
    copyPrompt(prompt);
    char editLine[EDIT_LINE_SIZE];

    toMainWindow(SCROLL_UP | BOTTOM_LINE | CLEAR_LINE);
    if (prompt[0])
        writeText(prompt);
    else
        drawTextLine("", 0, 0);         // the edit line gets a fresh line even without a prompt
    transcriptShownText(prompt);
    outputFlags = BOTTOM_LINE | CLEAR_LINE;
    int n = 0;
    int x = 0;
    buffer[0] = '\0';
    for (;;) {
        if (!viewScrolledBack()) {
            snprintf(editLine, sizeof editLine, "%s%s_", prompt, buffer);
            x = writeText(editLine);
        }
        int key = grKeyRead();
        if (key == GR_KEY_CLOSED) {
            buffer[0] = '\0';
            return -1;
        }
        int lines = scrollLines(key);
        if (lines != 0) {
            scrollView(lines);
            continue;
        }
        if (editsLine(key)) showLiveView();
        if (key == GR_KEY_RETURN) break;
        if (key == GR_KEY_CTRL_Z || key == GR_KEY_CTRL_Y) {
            // The kit's undo and redo, entered as if typed.
            n = snprintf(buffer, maximum + 1, "%s", key == GR_KEY_CTRL_Z ? "\\undo" : "\\redo");
            if (n > maximum) n = maximum;
            break;
        }
        if (key == SCREENSHOT_KEY) {
            writeScreenshot();
        } else if (key == PICTURE_TOGGLE_KEY) {
            picturesEnabled = 1 - picturesEnabled;
        } else if (key == GR_KEY_BACKSPACE) {
            if (n > 0) buffer[--n] = '\0';
        } else if (key >= 32 && key <= 255) {     // code page 437: accented letters too
            if (n < maximum && x + 32 <= EDIT_WIDTH_LIMIT) {
                buffer[n++] = (char)key;
                buffer[n] = '\0';
            }
        } else if (key == GR_KEY_UP) {
            n = takeHistoryLine(buffer, maximum, true);
        } else if (key == GR_KEY_DOWN) {
            n = takeHistoryLine(buffer, maximum, false);
        }
    }
    snprintf(editLine, sizeof editLine, "%s%s", prompt, buffer);
    writeText(editLine);
    transcribeTyped(buffer);
    historyAdd(buffer);
    replyTranscribed = true;
    return 0;
}

// The transcript has the question as the console asks it, with one blank.
static void transcribeQuestion(const char *question)
{
    transcriptShownText(question);
    transcriptShown(" ", 1);
}

// Draws the answer key right after the question; the transcript has it as
// the line typed.
static void echoKey(int key, int x)
{
    char echo[2] = {(char)key, '\0'};
    writeTextAt(echo, x);
    transcribeTyped(echo);
}

int askYesNo(const char *question)
{
    int yes = tolower((unsigned char)settings.YesLetter);
    int no = tolower((unsigned char)settings.NoLetter);
    char built[16];
    if (!question) {
        snprintf(built, sizeof built, "(%c/%c)? ", yes, no);
        question = built;
    }
    toMainWindow(SCROLL_UP | BOTTOM_LINE | CLEAR_LINE);
    int x = writeText(question);
    transcribeQuestion(question);
    outputFlags = BOTTOM_LINE | CLEAR_LINE;
    for (;;) {
        int key = readKey();
        if (key == GR_KEY_CLOSED) return -1;
        int folded = key >= 0 && key < 256 ? tolower(key) : key;
        int answer = folded == yes ? 1 : folded == no ? 0 : -1;
        if (answer < 0) continue;
        echoKey(key, x);
        return answer;
    }
}

int askChoice(const char *question, int highest)
{
    bool mayCancel = highest >= 0;
    if (highest < -9) highest = 9;
    if (highest < 0) highest = -highest;
    if (highest > 9) highest = 9;
    if (highest <= 1) highest = 2;
    char built[16];
    if (!question) {
        snprintf(built, sizeof built, "(1:%d): ", highest);
        question = built;
    }
    toMainWindow(SCROLL_UP | BOTTOM_LINE | CLEAR_LINE);
    int x = writeText(question);
    transcribeQuestion(question);
    outputFlags = BOTTOM_LINE | CLEAR_LINE;
    for (;;) {
        int key = readKey();
        if (key == GR_KEY_CLOSED) return -1;
        if (key == GR_KEY_ESCAPE && mayCancel) {
            transcribeTyped("");        // the console's cancel is an empty line
            return 0;
        }
        if (key >= '1' && key <= '0' + highest) {
            echoKey(key, x);
            return key - '0';
        }
    }
}

// The pause: timed on the monotonic clock, sleeping on window events; the
// wheel does not end it.
static void pauseFor(int milliseconds)
{
    if (milliseconds == 0) {
        readKey();
        return;
    }
    int64_t limit = milliseconds < 0 ? -(int64_t)milliseconds : milliseconds;
    if (milliseconds < 0) {
        grSleep((int)limit);
        return;
    }
    int64_t end = grMilliseconds() + limit;
    for (int64_t now = grMilliseconds(); now < end; now = grMilliseconds()) {
        // A wheel step is read and dropped, and the wait goes on.
        if (grWaitKeyEvent((int)(end - now)) && !isWheel(grKeyRead())) return;
    }
}

// The console's pause waits for a line, whatever the time: the transcript
// has an empty typed line for every pause, however it ended, so the record
// does not depend on the player's speed.
void waitKey(int milliseconds)
{
    pauseFor(milliseconds);
    if (!grWindowClosed()) transcribeTyped("");
}
