// Debug queries of a running game: an object's location and a variable, or
// the player's location and load.
#include "core/interpreter/debug_commands.h"

#include <cstdio>

#include "core/database/game_database.h"
#include "core/interpreter/session.h"
#include "frontend/frontend.h"

// The decimal number at text: leading blanks, an optional sign, digits up to
// the first other character; 0 without digits. Kept within int range.
static int readNumber(const char *text)
{
    while (*text == ' ' || *text == '\t')
        text++;
    int sign = 1;
    if (*text == '-' || *text == '+')
        sign = *text++ == '-' ? -1 : 1;
    long value = 0;
    for (; *text >= '0' && *text <= '9'; text++)
        if (value < 1000000000L)
            value = value * 10 + (*text - '0');
    return static_cast<int>(sign * value);
}

bool debugCommand(const char *line)
{
    if (!line || line[0] != '%')
        return false;
    int n = readNumber(line + 1);
    char out[96];
    if (n != 0) {
        // Entries outside their tables read as 0.
        int location = (n >= 1 && n <= lastObject) ? objectLocation(n) : 0;
        int value = (n >= 0 && n < varCount) ? vars[n].value : 0;
        snprintf(out, sizeof out, "Obj. %d is %d, Flag %d = %d", n, location, n, value);
    } else {
        snprintf(out, sizeof out, "Location %d, Objects %d / %d", playerLocation, carriedCount,
                 settings.MaxItems);
    }
    writeText(out);
    return true;
}
