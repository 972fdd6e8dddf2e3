// What the drawing layer asks of its backend (SDL2 window or headless), and
// what a backend hands back: keys and the window's closing.
#pragma once

#include <cstddef>

#include "frontend/graphic/library/graphics_library.h"
#include "frontend/graphic/library/scaler.h"

// Opens the window; 0, or -1 with a reason written into reason.
int backendOpen(char *reason, size_t size);
void backendClose();
void backendSetTitle(const char *title);
// Shows the frame, fitted into the window and surrounded by border. Only the
// changed box of it need be shown again, unless the window asks for all of it.
void backendPresent(const GrColor *frame, GrColor border, PixelBox changed);
// Handles the events waiting; when there were none and milliseconds is not 0,
// waits at most that long (-1: without limit) for one and handles what came.
void backendPumpEvents(int milliseconds);

// Empties the key queue of a newly opened window.
void resetKeyboard();

// Called by backends: a key came, or the window was closed (GR_KEY_CLOSED).
void queueKey(int code);
// Shows what changed in the frame since it was last shown.
void presentFrame();
// The screen's pixels, row by row.
const GrColor *screenFrame();

// Headless backend only (tests): the changed box of the frame last presented.
PixelBox headlessPresentedBox();
