// What the drawing layer asks of its backend (SDL2 window or headless), and
// what a backend hands back: keys and the window's closing.
#pragma once

#include <cstddef>

#include "frontend/graphic/library/graphics_library.h"

// Opens the window; 0, or -1 with a reason written into reason.
int backendOpen(char *reason, size_t size);
void backendClose();
void backendSetTitle(const char *title);
// Shows the frame, scaled into the window and surrounded by border.
void backendPresent(const GrColor *frame, GrColor border);
// Handles the events waiting; when there were none and milliseconds is not 0,
// waits at most that long (-1: without limit) for one and handles what came.
void backendPumpEvents(int milliseconds);

// Empties the key queue of a newly opened window.
void resetKeyboard();

// Called by backends: a key came, or the window was closed (GR_KEY_CLOSED).
void queueKey(int code);
// The frame, for backends that show it again on their own (expose, resize).
void presentFrame();
// The screen's pixels, row by row.
const GrColor *screenFrame();
