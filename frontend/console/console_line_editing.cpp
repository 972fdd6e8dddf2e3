// Line editing on a terminal: when standard input and output are both
// terminals, commands are read with libedit (cursor keys, Home and End,
// Delete, this session's commands on Up and Down, Ctrl+R to search them).
// Elsewhere the console reads its lines as plain bytes.
//
// libedit is loaded only then: compiling, checking and playing from a file
// or a pipe never load it and the three libraries it needs (0.8 ms of a
// start that otherwise takes about 2). Without it, lines are read plainly.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/driver/terminal_text.h"
#include "frontend/console/console_io.h"

#ifdef TARNWICK_LINE_EDITING
#include <dlfcn.h>
#include <editline/readline.h>

constexpr const char *LIBEDIT_NAME = "libedit.so.2";

static decltype(&readline) editReadline = nullptr;
static decltype(&add_history) editAddHistory = nullptr;

static bool loadLibedit()
{
    void *library = dlopen(LIBEDIT_NAME, RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return false;
    editReadline = reinterpret_cast<decltype(&readline)>(dlsym(library, "readline"));
    editAddHistory = reinterpret_cast<decltype(&add_history)>(dlsym(library, "add_history"));
    return editReadline && editAddHistory;
}
#endif

// The rest of a line longer than a command: the next command, as the plain
// reading gives it.
static char *pending = nullptr;
static size_t pendingAt = 0;

bool lineEditingAvailable()
{
#ifdef TARNWICK_LINE_EDITING
    static int available = -1;
    if (available < 0)
        available = isatty(STDIN_FILENO) && isatty(STDOUT_FILENO) && loadLibedit() ? 1 : 0;
    return available == 1;
#else
    return false;
#endif
}

// Takes at most limit - 1 bytes of the pending line into buffer.
static void takePending(char *buffer, int limit)
{
    size_t left = strlen(pending + pendingAt);
    size_t taken = left < static_cast<size_t>(limit - 1) ? left : static_cast<size_t>(limit - 1);
    memcpy(buffer, pending + pendingAt, taken);
    buffer[taken] = '\0';
    pendingAt += taken;
    if (pending[pendingAt] == '\0') {
        free(pending);
        pending = nullptr;
        pendingAt = 0;
    }
}

int editLine(const char *prompt, size_t promptLength, char *buffer, int limit)
{
#ifdef TARNWICK_LINE_EDITING
    // The prompt as the terminal shows the game's texts.
    char *shown = nullptr;
    size_t shownSize = 0;
    FILE *out = open_memstream(&shown, &shownSize);
    if (out) {
        writeTerminalBytes(out, prompt, promptLength, consoleIsUtf8());
        fclose(out);
    }
    if (!pending) {
        char *line = editReadline(shown ? shown : "");
        if (!line) {
            free(shown);
            return -1;
        }
        if (line[0])
            editAddHistory(line);
        pending = line;
        pendingAt = 0;
    } else {
        fputs(shown ? shown : "", stdout);     // a prompt for the rest of a long line
        fflush(stdout);
    }
    free(shown);
    takePending(buffer, limit);
    return 0;
#else
    (void)prompt;
    (void)promptLength;
    (void)buffer;
    (void)limit;
    return -1;
#endif
}
