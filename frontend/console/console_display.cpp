// Console display operations: locations, inventory, objects, messages and
// shows, all written with writeText; no window, heading or pictures.
#include "core/database/game_database.h"
#include "core/interpreter/listings.h"
#include "frontend/console/console_io.h"
#include "frontend/frontend.h"

int openScreen() { return 0; }
int closeScreen() { return 0; }

// The show-now flag does not matter: the console prints the location both
// after a move and on request.
int showLocation(int location, int)
{
    if (!locationExists(location) || !locations[location].name)
        return -1;
    consoleOutput("\n", 1);
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
    const char *description = textOf(objects[object].description);
    writeText(description ? description : textOf(systemMessages[7]));
    return 0;
}

int printText(const char *text)
{
    writeText(text);
    return 0;
}

int showMessage(int number)
{
    if (number >= 0 && number <= lastMessage)
        writeText(textOf(messages[number]));
    return 0;
}

int showSystemMessage(int number)
{
    if (number >= 0 && number < SYSTEM_MESSAGE_COUNT)
        writeText(textOf(systemMessages[number]));
    return 0;
}

// A show without a picture is not shown; the console never shows the picture.
int showShow(int number)
{
    if (number >= 0 && number <= lastShow && shows[number].picture)
        writeText(textOf(shows[number].text));
    return 0;
}

int clearText()
{
    consoleOutput("\n", 1);
    return 0;
}
