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

// A show without a picture is not shown; the console never shows the picture.
int showShow(int number)
{
    if (const ShowRecord *show = visibleShow(number))
        writeText(textOf(show->text));
    return 0;
}

int clearText()
{
    consoleOutput("\n", 1);
    return 0;
}
