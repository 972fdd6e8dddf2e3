// The output operations of the web front end: every text of play appended
// to the page's output, and the location panel (name, status line,
// description and lists) as the window draws it: after look and restore,
// and before every command.
#include <cstring>
#include <string>

#include "core/database/game_database.h"
#include "core/interpreter/listings.h"
#include "core/interpreter/session.h"
#include "frontend/frontend.h"
#include "frontend/web/web_page.h"
#include "frontend/web/web_panel.h"

// The description being built while the panel is drawn: listLocation writes
// with writeText, which then collects here instead of writing the output.
static std::string *panelText = nullptr;

// Every text ends its line, as on the console; an empty text shows nothing.
int writeText(const char *text)
{
    std::string shown = pageText(text);
    if (shown.empty())
        return 0;
    if (shown.back() != '\n')
        shown += '\n';
    if (panelText)
        *panelText += shown;
    else
        pageWrite(AREA_OUTPUT, shown.c_str());
    return 0;
}

// A text setting of the game (not always NUL-terminated) as a text.
static std::string settingText(const char *setting, size_t size)
{
    return std::string(setting, strnlen(setting, size));
}

int drawLocationPanel(int location)
{
    if (!locationExists(location) || !locations[location].name)
        return -1;
    int shown = isDark(location) ? 0 : location;
    const LocationRecord *row = locationExists(shown) ? &locations[shown] : nullptr;
    pageWrite(AREA_HEADING, pageText(row ? textOf(row->name) : nullptr).c_str());
    std::string status = settingText(settings.StatusLine, sizeof settings.StatusLine);
    pageWrite(AREA_STATUS, pageText(status.c_str()).c_str());

    std::string description;
    panelText = &description;
    listLocation(location);
    panelText = nullptr;
    if (!description.empty() && description.back() == '\n')
        description.pop_back();
    pageWrite(AREA_DESCRIPTION, description.c_str());
    showPagePicture(row ? textOf(row->picture) : nullptr);
    return 0;
}

// After a move the panel waits for the next command, as in the window: the
// events of the turn come first.
int showLocation(int location, int showNow)
{
    if (!locationExists(location) || !locations[location].name)
        return -1;
    return showNow ? drawLocationPanel(location) : 0;
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

// A show is its text and its picture, as in the window.
int showShow(int number)
{
    const ShowRecord *show = visibleShow(number);
    if (!show)
        return 0;
    writeText(textOf(show->text));
    showPagePicture(textOf(show->picture));
    return 0;
}

int clearText()
{
    pageClear(AREA_OUTPUT);
    return 0;
}
