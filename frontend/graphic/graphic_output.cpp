// The output operations of the graphical front end: the location panel, the
// inventory, descriptions, messages and shows in their windows, each also
// written to the transcript.
#include <climits>
#include <cstring>

#include "core/database/game_database.h"
#include "core/driver/transcript.h"
#include "core/interpreter/listings.h"
#include "core/interpreter/session.h"
#include "frontend/frontend.h"
#include "frontend/graphic/graphic_screen.h"
#include "frontend/graphic/pictures.h"

// Every output of play goes to the main window as a terminal: each text a
// new bottom line, written to the transcript too.
constexpr int PLAY_TEXT = SCROLL_UP | BOTTOM_LINE | CLEAR_LINE | TRANSCRIBED;

static void toMainWindow(int flags)
{
    currentWindow = MAIN_WINDOW;
    outputFlags = flags;
    replyTranscribed = false;       // the text that follows is no reply to the command
}

// The console describes the location whenever the game asks, after a move
// too: the transcript does the same, while the panel waits for showNow or
// the next command.
int showLocation(int location, int showNow)
{
    transcribeLocation(location);
    return showNow ? drawLocationPanel(location) : 0;
}

void transcribeLocation(int location)
{
    if (!transcriptActive() || !locationExists(location) || !locations[location].name) return;
    transcriptShown("\n", 1);
    int flags = outputFlags;
    outputFlags = TRANSCRIBED | UNDRAWN;
    listLocation(location);
    outputFlags = flags;
}

int drawLocationPanel(int location)
{
    replyTranscribed = false;
    if (!locationExists(location) || !locations[location].name) return -1;
    int shown = isDark(location) ? 0 : location;
    const LocationRecord *row = locationExists(shown) ? &locations[shown] : nullptr;

    // The name runs down from the top, above the status line when there is
    // one; the status line keeps to the bottom line.
    char statusLine[sizeof settings.StatusLine + 1];
    memcpy(statusLine, settings.StatusLine, sizeof settings.StatusLine);
    statusLine[sizeof settings.StatusLine] = '\0';
    const ScreenBox &heading = screenWindows[HEADING_WINDOW].text;
    currentWindow = HEADING_WINDOW;
    outputFlags = CLEAR_WINDOW;
    writeTextAbove(row ? textOf(row->name) : nullptr, statusLine[0] ? heading.bottom - LINE_HEIGHT : INT_MAX);
    outputFlags = BOTTOM_LINE;
    if (statusLine[0]) writeText(statusLine);

    currentWindow = DESCRIPTION_WINDOW;
    outputFlags = CLEAR_WINDOW;
    writeText(nullptr);
    outputFlags = 0;
    listLocation(location);

    showPicture(row ? textOf(row->picture) : nullptr);
    return 0;
}

int showInventory()
{
    toMainWindow(PLAY_TEXT);
    listInventory();
    return 0;
}

int examineObject(int object)
{
    toMainWindow(PLAY_TEXT);
    if (!objectExists(object)) return -1;
    writeText(examineText(object));
    return 0;
}

int printText(const char *text)
{
    toMainWindow(PLAY_TEXT);
    writeText(text);
    return 0;
}

int showMessage(int number)
{
    toMainWindow(PLAY_TEXT);
    writeText(messageText(number));
    return 0;
}

int showSystemMessage(int number)
{
    toMainWindow(PLAY_TEXT);
    writeText(systemMessageText(number));
    return 0;
}

int showShow(int number)
{
    toMainWindow(PLAY_TEXT);
    const ShowRecord *show = visibleShow(number);
    if (!show) return 0;
    writeText(textOf(show->text));
    showPicture(textOf(show->picture));
    return 0;
}

// The console marks a clear with a blank line; so does the transcript.
int clearText()
{
    toMainWindow(CLEAR_WINDOW);
    writeText(nullptr);
    transcriptShown("\n", 1);
    return 0;
}
