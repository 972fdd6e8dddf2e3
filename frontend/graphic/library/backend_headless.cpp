// The headless backend: no window; tests queue keys and read the frame.
// When the queued keys run out, a blocking read finds the window closed.
#include <cstring>
#include <ctime>

#include "frontend/graphic/library/graphics_backend.h"

static char windowTitle[256];
static PixelBox presentedBox = EMPTY_BOX;

int backendOpen(char *, size_t)
{
    windowTitle[0] = 0;
    return 0;
}

void backendClose()
{
}

void backendSetTitle(const char *title)
{
    strncpy(windowTitle, title, sizeof windowTitle - 1);
    windowTitle[sizeof windowTitle - 1] = 0;
}

void backendPresent(const GrColor *, GrColor, PixelBox changed)
{
    presentedBox = changed;
}

PixelBox headlessPresentedBox()
{
    return presentedBox;
}

void backendPumpEvents(int milliseconds)
{
    if (milliseconds < 0) {
        queueKey(GR_KEY_CLOSED);
        return;
    }
    timespec pause = {milliseconds / 1000, (long)(milliseconds % 1000) * 1000000};
    nanosleep(&pause, nullptr);
}

void grTestPushKey(int code)
{
    queueKey(code);
}

void grTestPushText(const char *text)
{
    for (; *text; text++) queueKey((unsigned char)*text);
}

void grTestCloseWindow()
{
    queueKey(GR_KEY_CLOSED);
}

const GrColor *grTestFrame()
{
    return screenFrame();
}

const char *grTestWindowTitle()
{
    return windowTitle;
}
