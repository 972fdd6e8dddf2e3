// Pictures in the page: the window's decoder (frontend/graphic/pictures.cpp)
// draws into the headless drawing layer's frame, and the picture area's pixels
// go to the page's canvas. The page fetches each picture file into the file
// system when the program first asks for it.
#include <emscripten.h>

#include <cstring>

#include "core/database/game_database.h"
#include "frontend/graphic/graphic_screen.h"
#include "frontend/graphic/library/graphics_library.h"
#include "frontend/graphic/pictures.h"
#include "frontend/web/web_page.h"
#include "frontend/web/web_panel.h"

// The colours the decoder clears with, as the window's screen has them.
GrColor backgroundColour = 0;
GrColor textColour = 0;

static GrColor allocatePacked(int colour)
{
    return grAllocColor(colour >> 16, (colour >> 8) & 0xFF, colour & 0xFF);
}

void setUpColours(int trueColour)
{
    grResetColors();
    if (trueColour)
        grSetRGBColorMode();
    backgroundColour = allocatePacked(standardColour(settings.BgColor, 0));
    textColour = allocatePacked(standardColour(settings.FgColor, 15));
}

EM_ASYNC_JS(void, fetchPictureFile, (const char *path), {
    await tarnwickPictures.fetchFile(UTF8ToString(path));
});

EM_JS(int, pagePicturesEnabled, (), {
    return tarnwickPictures.enabled ? 1 : 0;
});

EM_JS(void, pageShowPicture, (const GrColor *pixels, int width, int height), {
    tarnwickPictures.show(HEAPU32.slice(pixels >> 2, (pixels >> 2) + width * height), width, height);
});

EM_JS(void, pageClearPicture, (), {
    tarnwickPictures.clear();
});

static GrColor pictureArea[PICTURE_WIDTH * PICTURE_HEIGHT];

void showPagePicture(const char *name)
{
    if (name == lastPictureName)
        return;
    picturesEnabled = pagePicturesEnabled();
    // Nothing to show: the page's canvas is cleared. The drawing layer's
    // frame is only read to copy a picture that was drawn, so the decoder is
    // not asked to clear it.
    if (!name || !picturesEnabled) {
        lastPictureName = name;
        pageClearPicture();
        return;
    }
    char path[MAX_PATH_LENGTH + 1];
    if (joinPicturePath(path, name)) {
        pageFlush();    // the turn's text shows while the picture is fetched
        fetchPictureFile(path);
    }
    if (showPicture(name) != 0) {
        pageClearPicture();
        return;
    }
    const GrColor *frame = grTestFrame();
    for (int y = 0; y < PICTURE_HEIGHT; y++)
        memcpy(pictureArea + y * PICTURE_WIDTH, frame + y * GR_SCREEN_WIDTH, PICTURE_WIDTH * sizeof(GrColor));
    pageShowPicture(pictureArea, PICTURE_WIDTH, PICTURE_HEIGHT);
}
