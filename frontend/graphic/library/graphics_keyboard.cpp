// The drawing layer's keyboard: the queue of key codes, blocking and
// non-blocking reads, waits on window events and the monotonic clock.
#include "frontend/graphic/library/graphics_library.h"

#include <ctime>

#include "frontend/graphic/library/graphics_backend.h"

extern bool frameDirty;

constexpr int KEY_QUEUE_SIZE = 256;

static int keyQueue[KEY_QUEUE_SIZE];
static int keyHead = 0;            // next key to read
static int keyCount = 0;
static bool closed = false;        // the closing was read: every read returns it
static bool closing = false;       // the closing is queued

void resetKeyboard()
{
    keyHead = keyCount = 0;
    closed = closing = false;
}

void queueKey(int code)
{
    if (closing) return;
    if (code == GR_KEY_CLOSED) closing = true;
    if (keyCount == KEY_QUEUE_SIZE) {             // a full queue drops keys, never the closing
        if (code != GR_KEY_CLOSED) return;
        keyCount--;
    }
    keyQueue[(keyHead + keyCount) % KEY_QUEUE_SIZE] = code;
    keyCount++;
}

static void showFrame()
{
    if (frameDirty) presentFrame();
}

static bool keyWaiting()
{
    return closed || keyCount > 0;
}

int grKeyRead()
{
    showFrame();
    while (!keyWaiting()) backendPumpEvents(-1);
    if (closed) return GR_KEY_CLOSED;
    int code = keyQueue[keyHead];
    keyHead = (keyHead + 1) % KEY_QUEUE_SIZE;
    keyCount--;
    if (code == GR_KEY_CLOSED) closed = true;
    return code;
}

int grKeyPressed()
{
    showFrame();
    backendPumpEvents(0);
    return keyWaiting() ? 1 : 0;
}

int grWaitKeyEvent(int milliseconds)
{
    showFrame();
    if (!keyWaiting()) backendPumpEvents(milliseconds);
    return keyWaiting() ? 1 : 0;
}

int grWindowClosed()
{
    return closed ? 1 : 0;
}

int64_t grMilliseconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (int64_t)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

void grSleep(int milliseconds)
{
    showFrame();
    int64_t end = grMilliseconds() + (milliseconds > 0 ? milliseconds : 0);
    for (int64_t now = grMilliseconds(); now < end && !closing; now = grMilliseconds())
        backendPumpEvents((int)(end - now));
}
