// Times presenting the frame in the real SDL window (run under an X server):
// echoing one typed key at 1x and 2x, and a full redraw at 2x against the
// whole-frame per-pixel conversion the backend did before, kept here as the
// baseline. Prints "window MEASURE MILLISECONDS" lines, medians of wall time.
#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "core/database/game_database.h"
#include "frontend/frontend.h"
#include "frontend/graphic/graphic_screen.h"
#include "frontend/graphic/library/graphics_backend.h"
#include "frontend/graphic/library/graphics_library.h"

constexpr int REPETITIONS = 400;
constexpr int LINE_CELLS = 98;          // the input line's width in cells

static double wallSeconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

static double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The window the drawing layer opened (the first and only one).
static SDL_Window *openedWindow()
{
    for (Uint32 id = 1; id < 64; id++)
        if (SDL_Window *window = SDL_GetWindowFromID(id)) return window;
    return nullptr;
}

// Resizes the window and lets the resize arrive; false when it did not.
static bool resizeWindow(SDL_Window *window, int width, int height)
{
    SDL_SetWindowSize(window, width, height);
    for (int i = 0; i < 100; i++) {
        grKeyPressed();
        SDL_Surface *surface = SDL_GetWindowSurface(window);
        if (surface && surface->w == width && surface->h == height) {
            grClearScreen(backgroundColour);
            drawLayout();
            grKeyPressed();
            return true;
        }
        SDL_Delay(20);
    }
    return false;
}

// The game's layout with text in its windows, as a game in play shows it.
static void drawGame()
{
    drawLayout();
    const char *lines[] = {"You are in a long hall. Doors lead north and east.", "Exits: north, east",
                           ">take lamp", "Taken.", ">look"};
    for (int i = 0; i < 5; i++) grDrawString(lines[i], (int)strlen(lines[i]), 4, 484 + 16 * i, &textOption);
    grDrawString("Hall", 4, 4, 260, &textOption);
    grDrawString("Moves 12", 8, 4, 300, &textOption);
    grDrawString("A long hall.", 12, 388, 4, &textOption);
    grDrawString(">_", 2, 4, 580, &textOption);
    presentFrame();
}

// Echoing a key: the edit line drawn with one more character, then presented.
static double timeEcho()
{
    char line[LINE_CELLS + 1];
    std::vector<double> times;
    int length = 1;
    line[0] = '>';
    for (int i = 0; i < REPETITIONS; i++) {
        if (length >= LINE_CELLS - 1) {
            grFilledBox(4, 580, 796, 593, backgroundColour);
            length = 1;
            presentFrame();
        }
        line[length++] = (char)('a' + i % 26);
        line[length] = '_';
        double start = wallSeconds();
        grDrawString(line, length + 1, 4, 580, &textOption);
        presentFrame();
        times.push_back(wallSeconds() - start);
    }
    return median(times);
}

// A full redraw: every pixel of the frame changed, then presented.
static double timeRedraw()
{
    std::vector<double> times;
    for (int i = 0; i < REPETITIONS / 4; i++) {
        grBitBlt(0, 0, 0, 0, GR_SCREEN_WIDTH - 1, GR_SCREEN_HEIGHT - 1);
        double start = wallSeconds();
        presentFrame();
        times.push_back(wallSeconds() - start);
    }
    return median(times);
}

// The baseline: the backend's former present, the whole window filled and
// every frame pixel converted one by one, scaled by the largest whole factor.
static void presentBefore(SDL_Window *window, const GrColor *frame, GrColor border)
{
    SDL_Surface *surface = SDL_GetWindowSurface(window);
    if (!surface) return;
    int factor = surface->w / GR_SCREEN_WIDTH;
    if (surface->h / GR_SCREEN_HEIGHT < factor) factor = surface->h / GR_SCREEN_HEIGHT;
    if (factor < 1) factor = 1;
    int left = (surface->w - GR_SCREEN_WIDTH * factor) / 2;
    int top = (surface->h - GR_SCREEN_HEIGHT * factor) / 2;
    const SDL_PixelFormat *format = surface->format;
    SDL_FillRect(surface, nullptr, SDL_MapRGB(format, border >> 16 & 255, border >> 8 & 255, border & 255));
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return;
    bool direct = format->BytesPerPixel == 4 && format->Rmask == 0xFF0000 &&
                  format->Gmask == 0xFF00 && format->Bmask == 0xFF;
    for (int y = 0; y < GR_SCREEN_HEIGHT * factor; y++) {
        int windowY = top + y;
        if (windowY < 0 || windowY >= surface->h) continue;
        const GrColor *source = frame + (size_t)(y / factor) * GR_SCREEN_WIDTH;
        uint8_t *row = static_cast<uint8_t *>(surface->pixels) + (size_t)windowY * surface->pitch;
        for (int x = 0; x < GR_SCREEN_WIDTH * factor; x++) {
            int windowX = left + x;
            if (windowX < 0 || windowX >= surface->w) continue;
            GrColor colour = source[x / factor];
            Uint32 value = direct ? colour
                                  : SDL_MapRGB(format, colour >> 16 & 255, colour >> 8 & 255, colour & 255);
            uint8_t *pixel = row + (size_t)windowX * format->BytesPerPixel;
            switch (format->BytesPerPixel) {
            case 4: *reinterpret_cast<Uint32 *>(pixel) = value; break;
            case 2: *reinterpret_cast<Uint16 *>(pixel) = (Uint16)value; break;
            case 3: pixel[0] = (uint8_t)value; pixel[1] = (uint8_t)(value >> 8); pixel[2] = (uint8_t)(value >> 16); break;
            default: *pixel = (uint8_t)value; break;
            }
        }
    }
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    SDL_UpdateWindowSurface(window);
}

static double timeBaseline(SDL_Window *window)
{
    std::vector<double> times;
    for (int i = 0; i < REPETITIONS / 4; i++) {
        double start = wallSeconds();
        presentBefore(window, screenFrame(), backgroundColour);
        times.push_back(wallSeconds() - start);
    }
    return median(times);
}

int main()
{
    if (!allocateArena()) return 1;
    resetDatabase();
    openScreen();
    SDL_Window *window = openedWindow();
    if (!window || !resizeWindow(window, 2 * GR_SCREEN_WIDTH, 2 * GR_SCREEN_HEIGHT)) {
        fprintf(stderr, "window_bench: no window of 1600 x 1200\n");
        return 1;
    }
    drawGame();
    double echo2 = timeEcho();
    double redraw2 = timeRedraw();
    if (!resizeWindow(window, GR_SCREEN_WIDTH, GR_SCREEN_HEIGHT)) {
        fprintf(stderr, "window_bench: no window of 800 x 600\n");
        return 1;
    }
    drawGame();
    double echo1 = timeEcho();
    double baseline1 = timeBaseline(window);
    closeScreen();
    freeArena();
    printf("window echo1x %.4f\nwindow echo2x %.4f\nwindow redraw2x %.4f\nwindow baseline1x %.4f\n", echo1 * 1e3,
           echo2 * 1e3, redraw2 * 1e3, baseline1 * 1e3);
    return 0;
}
