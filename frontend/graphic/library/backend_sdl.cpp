// The SDL2 backend: a resizable window showing the frame fitted into it
// (scaler.h), fullscreen on F11 or Alt+Enter, presenting only the pixels that
// changed, and the translation of key and wheel events into key codes.
#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "frontend/graphic/library/code_page_437.h"
#include "frontend/graphic/library/graphics_backend.h"

static SDL_Window *window = nullptr;
static const GrColor *lastFrame = nullptr;
static GrColor lastBorder = 0;
static Scaler scaler;
static SDL_Surface *lastSurface = nullptr;   // the window surface last presented on
static bool wholeNeeded = true;            // the next present shows everything, margins included
static std::vector<uint32_t> scratch;      // scaled pixels for surfaces of other formats
static bool fullscreen = false;
static bool ownFullscreen = false;         // the window covers the display by its own geometry
static SDL_Rect savedGeometry;             // the window before it covered the display

// X errors end the program as with Xlib's own handler, except while the window
// goes away: SDL may then still address it (a wake-up message on its second
// connection, reported when that connection closes). The handler is installed
// before SDL starts, so that SDL's own handler passes errors on to it.
static bool windowClosing = false;

static int handleXError(Display *display, XErrorEvent *error)
{
    if (windowClosing) return 0;
    char text[256];
    XGetErrorText(display, error->error_code, text, sizeof text);
    fprintf(stderr, "X Error of failed request: %s (request %d)\n", text, error->request_code);
    exit(1);
}

int backendOpen(char *reason, size_t size)
{
    windowClosing = false;
    XSetErrorHandler(handleXError);
    // The window is an X11 window; SDL_VIDEODRIVER may still choose another.
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_DEFAULT);
    // The frame goes to the window's own surface, without a renderer.
    SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        snprintf(reason, size, "%s", SDL_GetError());
        return -1;
    }
    // The largest whole factor that fits the desktop's usable area, at least 1.
    int factor = 1;
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) == 0) {
        factor = usable.w / GR_SCREEN_WIDTH < usable.h / GR_SCREEN_HEIGHT ? usable.w / GR_SCREEN_WIDTH
                                                                           : usable.h / GR_SCREEN_HEIGHT;
        if (factor < 1) factor = 1;
    }
    window = SDL_CreateWindow("gfxrunner", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                              GR_SCREEN_WIDTH * factor, GR_SCREEN_HEIGHT * factor, SDL_WINDOW_RESIZABLE);
    if (!window) {
        snprintf(reason, size, "%s", SDL_GetError());
        SDL_Quit();
        return -1;
    }
    wholeNeeded = true;
    fullscreen = ownFullscreen = false;
    // Taking the surface now lets SDL settle the window (it may create it
    // anew for a surface) before its title and icon name are set.
    SDL_GetWindowSurface(window);
    SDL_StartTextInput();
    return 0;
}

void backendClose()
{
    if (!window) return;
    windowClosing = true;
    SDL_StopTextInput();
    SDL_DestroyWindow(window);
    window = nullptr;
    lastFrame = nullptr;
    scaler = Scaler();
    lastSurface = nullptr;
    SDL_Quit();
}

// Appends the UTF-8 form of a code point; returns the new length.
static size_t appendUtf8(char *out, size_t length, size_t size, uint32_t point)
{
    char bytes[3];
    size_t count = 0;
    if (point < 0x80) {
        bytes[count++] = (char)point;
    } else if (point < 0x800) {
        bytes[count++] = (char)(0xC0 | point >> 6);
        bytes[count++] = (char)(0x80 | (point & 0x3F));
    } else {
        bytes[count++] = (char)(0xE0 | point >> 12);
        bytes[count++] = (char)(0x80 | (point >> 6 & 0x3F));
        bytes[count++] = (char)(0x80 | (point & 0x3F));
    }
    if (length + count >= size) return length;
    for (size_t i = 0; i < count; i++) out[length++] = bytes[i];
    out[length] = 0;
    return length;
}

// The title is a game text in code page 437: SDL gets it in UTF-8, and the
// X11 window name and icon name in Latin-1 as far as it goes.
void backendSetTitle(const char *title)
{
    if (!window) return;
    char utf8[768] = "";
    char latin1[256] = "";
    size_t length = 0;
    size_t i = 0;
    for (; title[i] && i < sizeof latin1 - 1; i++) {
        unsigned char byte = (unsigned char)title[i];
        uint32_t point = byte < 32 ? ' ' : CODE_PAGE_437[byte];
        length = appendUtf8(utf8, length, sizeof utf8, point);
        latin1[i] = point < 256 ? (char)point : '?';
    }
    latin1[i] = 0;
    SDL_SetWindowTitle(window, utf8);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
        XStoreName(info.info.x11.display, info.info.x11.window, latin1);
        XSetIconName(info.info.x11.display, info.info.x11.window, latin1);
        XFlush(info.info.x11.display);
    }
}

static void fillBox(SDL_Surface *surface, int left, int top, int right, int bottom, Uint32 colour)
{
    if (right < left || bottom < top) return;
    SDL_Rect rect = {left, top, right - left + 1, bottom - top + 1};
    SDL_FillRect(surface, &rect, colour);
}

// The window around the placed frame, in the border colour.
static void fillMargins(SDL_Surface *surface, GrColor border)
{
    const Placement &placement = scaler.placement;
    Uint32 colour = SDL_MapRGB(surface->format, border >> 16 & 255, border >> 8 & 255, border & 255);
    int right = placement.left + placement.width, bottom = placement.top + placement.height;
    fillBox(surface, 0, 0, surface->w - 1, placement.top - 1, colour);
    fillBox(surface, 0, bottom, surface->w - 1, surface->h - 1, colour);
    fillBox(surface, 0, placement.top, placement.left - 1, bottom - 1, colour);
    fillBox(surface, right, placement.top, surface->w - 1, bottom - 1, colour);
}

// Surfaces not in 0x00RRGGBB: the scaled pixels of box converted one by one.
static void convertBox(SDL_Surface *surface, PixelBox box)
{
    const SDL_PixelFormat *format = surface->format;
    for (int y = box.top; y <= box.bottom; y++) {
        const uint32_t *source = scratch.data() + (size_t)y * surface->w;
        uint8_t *row = static_cast<uint8_t *>(surface->pixels) + (size_t)y * surface->pitch;
        for (int x = box.left; x <= box.right; x++) {
            GrColor colour = source[x];
            Uint32 value = SDL_MapRGB(format, colour >> 16 & 255, colour >> 8 & 255, colour & 255);
            uint8_t *pixel = row + (size_t)x * format->BytesPerPixel;
            switch (format->BytesPerPixel) {
            case 4: *reinterpret_cast<Uint32 *>(pixel) = value; break;
            case 2: *reinterpret_cast<Uint16 *>(pixel) = (Uint16)value; break;
            case 3: pixel[0] = (uint8_t)value; pixel[1] = (uint8_t)(value >> 8); pixel[2] = (uint8_t)(value >> 16); break;
            default: *pixel = (uint8_t)value; break;
            }
        }
    }
}

void backendPresent(const GrColor *frame, GrColor border, PixelBox changed)
{
    if (border != lastBorder) wholeNeeded = true;
    lastFrame = frame;
    lastBorder = border;
    if (!window) return;
    SDL_Surface *surface = SDL_GetWindowSurface(window);
    if (!surface) {
        wholeNeeded = true;
        return;
    }
    // A new surface (the window changed size) holds nothing of the frame yet.
    if (surface != lastSurface || surface->w != scaler.windowWidth || surface->h != scaler.windowHeight)
        wholeNeeded = true;
    lastSurface = surface;
    prepareScaler(scaler, surface->w, surface->h);
    bool whole = wholeNeeded;
    if (whole) {
        fillMargins(surface, border);
        changed = WHOLE_FRAME;
    }
    if (boxEmpty(changed)) return;
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return;
    const SDL_PixelFormat *format = surface->format;
    bool direct = format->BytesPerPixel == 4 && format->Rmask == 0xFF0000 &&
                  format->Gmask == 0xFF00 && format->Bmask == 0xFF;
    PixelBox shown;
    if (direct) {
        shown = scaleFrameBox(scaler, frame, changed, static_cast<uint32_t *>(surface->pixels), surface->pitch);
    } else {
        scratch.resize((size_t)surface->w * surface->h);
        shown = scaleFrameBox(scaler, frame, changed, scratch.data(), surface->w * 4);
        if (!boxEmpty(shown)) convertBox(surface, shown);
    }
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    if (whole) {
        SDL_UpdateWindowSurface(window);
        wholeNeeded = false;
    } else if (!boxEmpty(shown)) {
        SDL_Rect rect = {shown.left, shown.top, shown.right - shown.left + 1, shown.bottom - shown.top + 1};
        SDL_UpdateWindowSurfaceRects(window, &rect, 1);
    }
}

// The window changed or showed again: everything is presented.
static void presentWhole()
{
    wholeNeeded = true;
    if (lastFrame) backendPresent(lastFrame, lastBorder, EMPTY_BOX);
}

// True when a window manager runs that offers fullscreen windows (_NET_WM_STATE_FULLSCREEN).
static bool managerOffersFullscreen()
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return true;
    Display *display = info.info.x11.display;
    Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    Atom supported = XInternAtom(display, "_NET_SUPPORTED", True);
    Atom wanted = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", True);
    if (check == None || supported == None || wanted == None) return false;
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char *data = nullptr;
    bool found = false;
    Window root = DefaultRootWindow(display);
    if (XGetWindowProperty(display, root, check, 0, 1, False, XA_WINDOW, &type, &format, &count, &after, &data) ==
            Success && data) {
        found = count == 1;
        XFree(data);
        data = nullptr;
    }
    if (!found) return false;
    found = false;
    if (XGetWindowProperty(display, root, supported, 0, 4096, False, XA_ATOM, &type, &format, &count, &after, &data) ==
            Success && data) {
        const Atom *atoms = reinterpret_cast<const Atom *>(data);
        for (unsigned long i = 0; i < count && !found; i++) found = atoms[i] == wanted;
        XFree(data);
    }
    return found;
}

// Where the window is, as the X server has it: SDL's own record of the
// position can miss moves made by other programs.
static SDL_Rect windowGeometry()
{
    SDL_Rect geometry;
    SDL_GetWindowPosition(window, &geometry.x, &geometry.y);
    SDL_GetWindowSize(window, &geometry.w, &geometry.h);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
        Display *display = info.info.x11.display;
        Window child;
        XTranslateCoordinates(display, info.info.x11.window, DefaultRootWindow(display), 0, 0, &geometry.x,
                              &geometry.y, &child);
    }
    return geometry;
}

// Fullscreen through the window manager when there is one; otherwise the
// window covers its display itself (borderless, at the display's corner, its
// size) and goes back to where it was after.
static void toggleFullscreen()
{
    if (!fullscreen) {
        if (managerOffersFullscreen() && SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0) {
            fullscreen = true;
            ownFullscreen = false;
        } else {
            SDL_Rect bounds;
            int display = SDL_GetWindowDisplayIndex(window);
            if (SDL_GetDisplayBounds(display < 0 ? 0 : display, &bounds) != 0) return;
            savedGeometry = windowGeometry();
            SDL_SetWindowBordered(window, SDL_FALSE);
            SDL_SetWindowPosition(window, bounds.x, bounds.y);
            SDL_SetWindowSize(window, bounds.w, bounds.h);
            fullscreen = ownFullscreen = true;
        }
    } else {
        if (ownFullscreen) {
            SDL_SetWindowSize(window, savedGeometry.w, savedGeometry.h);
            SDL_SetWindowPosition(window, savedGeometry.x, savedGeometry.y);
            SDL_SetWindowBordered(window, SDL_TRUE);
        } else {
            SDL_SetWindowFullscreen(window, 0);
        }
        fullscreen = ownFullscreen = false;
    }
    presentWhole();
}

// The codes of the special keys: 256 plus the PC keyboard's extended scan code.
static int specialKeyCode(const SDL_Keysym &key)
{
    bool control = (key.mod & KMOD_CTRL) != 0;
    switch (key.sym) {
    case SDLK_BACKSPACE: return control ? 127 : GR_KEY_BACKSPACE;
    case SDLK_TAB: return 9;
    case SDLK_RETURN: case SDLK_KP_ENTER: return GR_KEY_RETURN;
    case SDLK_ESCAPE: return GR_KEY_ESCAPE;
    case SDLK_UP: return GR_KEY_UP;
    case SDLK_DOWN: return GR_KEY_DOWN;
    case SDLK_LEFT: return 256 + 75;
    case SDLK_RIGHT: return 256 + 77;
    case SDLK_HOME: return 256 + 71;
    case SDLK_END: return 256 + 79;
    case SDLK_PAGEUP: return GR_KEY_PAGE_UP;
    case SDLK_PAGEDOWN: return GR_KEY_PAGE_DOWN;
    case SDLK_INSERT: return 256 + 82;
    case SDLK_DELETE: return 256 + 83;
    case SDLK_PRINTSCREEN: return control ? GR_KEY_CTRL_PRINT_SCREEN : 0;
    case SDLK_z: return control ? GR_KEY_CTRL_Z : 0;
    case SDLK_y: return control ? GR_KEY_CTRL_Y : 0;
    case SDLK_F12: return GR_KEY_F12;
    default: break;
    }
    if (key.sym >= SDLK_F1 && key.sym <= SDLK_F10) return 256 + 59 + (key.sym - SDLK_F1);
    return 0;
}

// Typed text arrives in UTF-8; each code point becomes its code page 437 byte.
static void queueText(const char *text)
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
    while (*p) {
        uint32_t point = *p;
        int extra = point >= 0xF0 ? 3 : point >= 0xE0 ? 2 : point >= 0xC0 ? 1 : 0;
        if (extra) point &= 0x3F >> extra;
        p++;
        for (; extra > 0 && (*p & 0xC0) == 0x80; extra--, p++) point = point << 6 | (*p & 0x3F);
        int code = extra ? -1 : codePage437FromUnicode(point);
        if (code >= 32) queueKey(code);
    }
}

static void handleEvent(const SDL_Event &event)
{
    switch (event.type) {
    case SDL_QUIT:
        queueKey(GR_KEY_CLOSED);
        break;
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) queueKey(GR_KEY_CLOSED);
        if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
            event.window.event == SDL_WINDOWEVENT_EXPOSED ||
            event.window.event == SDL_WINDOWEVENT_RESTORED ||
            event.window.event == SDL_WINDOWEVENT_MAXIMIZED)
            presentWhole();
        break;
    case SDL_KEYDOWN: {
        const SDL_Keysym &key = event.key.keysym;
        bool enter = key.sym == SDLK_RETURN || key.sym == SDLK_KP_ENTER;
        if (key.sym == SDLK_F11 || (enter && (key.mod & KMOD_ALT))) {     // never queued
            if (!event.key.repeat) toggleFullscreen();
            break;
        }
        int code = specialKeyCode(key);
        if (code) queueKey(code);
        break;
    }
    case SDL_MOUSEWHEEL: {
        int steps = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
        for (; steps > 0; steps--) queueKey(GR_KEY_WHEEL_UP);
        for (; steps < 0; steps++) queueKey(GR_KEY_WHEEL_DOWN);
        break;
    }
    case SDL_TEXTINPUT:
        queueText(event.text.text);
        break;
    default:
        break;
    }
}

void backendPumpEvents(int milliseconds)
{
    SDL_Event event;
    bool handled = false;
    for (; SDL_PollEvent(&event); handled = true) handleEvent(event);
    if (handled) return;     // what came may be the awaited key: the caller looks first
    if (!window) {
        if (milliseconds < 0) queueKey(GR_KEY_CLOSED);
        return;
    }
    if (milliseconds == 0) return;
    int got = milliseconds < 0 ? SDL_WaitEvent(&event) : SDL_WaitEventTimeout(&event, milliseconds);
    if (!got) return;
    handleEvent(event);
    while (SDL_PollEvent(&event)) handleEvent(event);
}
