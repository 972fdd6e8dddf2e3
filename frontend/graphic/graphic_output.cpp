// The output operations of the graphical front end: the location panel, the
// inventory, descriptions, messages and shows in their windows.
#include <cstring>

#include "core/database/game_database.h"
#include "core/interpreter/listings.h"
#include "core/interpreter/session.h"
#include "frontend/frontend.h"
#include "frontend/graphic/graphic_screen.h"
#include "frontend/graphic/pictures.h"

// Every output of play goes to the main window as a terminal.
static void toMainWindow(int flags)
{
    currentWindow = MAIN_WINDOW;
    outputFlags = flags;
}

int showLocation(int location, int showNow)
{
    if (!showNow) return 0;
    if (!locationExists(location) || !locations[location].name) return -1;
    int shown = isDark(location) ? 0 : location;
    const LocationRecord *row = locationExists(shown) ? &locations[shown] : nullptr;

    currentWindow = HEADING_WINDOW;
    outputFlags = CLEAR_WINDOW;
    writeText(row ? textOf(row->name) : nullptr);
    outputFlags = BOTTOM_LINE;
    char statusLine[sizeof settings.StatusLine + 1];
    memcpy(statusLine, settings.StatusLine, sizeof settings.StatusLine);
    statusLine[sizeof settings.StatusLine] = '\0';
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
    toMainWindow(SCROLL_UP | BOTTOM_LINE | CLEAR_LINE);
    listInventory();
    return 0;
}

int examineObject(int object)
{
    toMainWindow(SCROLL_UP | BOTTOM_LINE | CLEAR_LINE);
    if (object < 0 || object > lastObject || !objects[object].name) return -1;
    const char *description = textOf(objects[object].description);
    writeText(description ? description : textOf(systemMessages[7]));
    return 0;
}

int printText(const char *text)
{
    toMainWindow(SCROLL_UP | BOTTOM_LINE | CLEAR_LINE);
    writeText(text);
    return 0;
}

int showMessage(int number)
{
    toMainWindow(SCROLL_UP | BOTTOM_LINE | CLEAR_LINE);
    if (number >= 0 && number <= lastMessage && messages[number])
        writeText(textOf(messages[number]));
    return 0;
}

int showSystemMessage(int number)
{
    toMainWindow(SCROLL_UP | BOTTOM_LINE | CLEAR_LINE);
    if (number >= 0 && number < SYSTEM_MESSAGE_COUNT && systemMessages[number])
        writeText(textOf(systemMessages[number]));
    return 0;
}

int showShow(int number)
{
    toMainWindow(SCROLL_UP | BOTTOM_LINE | CLEAR_LINE);
    if (number < 0 || number > lastShow || !shows[number].picture) return 0;
    writeText(textOf(shows[number].text));
    showPicture(textOf(shows[number].picture));
    return 0;
}

int clearText()
{
    toMainWindow(CLEAR_WINDOW);
    writeText(nullptr);
    return 0;
}
