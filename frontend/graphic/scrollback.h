// The main window's scrollback: the lines that left its text box, kept one
// bit a pixel, and the view back through them that the line editor offers.
#pragma once

#include "frontend/graphic/graphic_screen.h"

constexpr int SCROLLBACK_LINES = 1000;    // lines kept; a newer one drops the oldest
// The whole lines in the main window's text box: a page of the view.
constexpr int VIEW_LINES = (MAIN_TEXT_BOX.bottom - MAIN_TEXT_BOX.top) / LINE_HEIGHT;
constexpr int WHEEL_LINES = 3;            // lines the view moves a wheel step

// Keeps the top line of the main window's text box, which is about to scroll away.
void keepScrolledLine();
// Keeps the lines of the main window's text box that a clear is about to wipe.
void keepClearedLines();
// Notes that a line of the main window's text box (0 = top) was drawn on.
void markLineDrawn(int line);
// Forgets every kept line, without drawing: the screen is laid out anew.
void forgetScrollback();

// Moves the view lines back (negative: forward) within the kept lines, the
// marker in the window's top frame telling how many older lines remain;
// arriving at the live view puts it back as it was.
void scrollView(int lines);
// Puts the live view back when the view is scrolled back.
void showLiveView();
bool viewScrolledBack();
