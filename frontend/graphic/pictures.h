// Pictures: PNG files of the window's picture size, shown in the picture window.
#pragma once

constexpr int PICTURE_WIDTH = 384;
constexpr int PICTURE_HEIGHT = 256;

// 1 while pictures are shown; F12 in the line editor flips it.
extern int picturesEnabled;

// The name last given to showPicture, compared by reference; null after
// every layout redraw so that the next picture is drawn again.
extern const char *lastPictureName;

// Shows the named picture (null empties the window); 0 or -1.
int showPicture(const char *name);

// The path showPicture opens for a name: ImagePath (at most its 32 bytes), a
// '/' when it is not empty, and the name; false when that would exceed
// MAX_PATH_LENGTH characters.
constexpr int MAX_PATH_LENGTH = 127;       // characters of a joined picture path
bool joinPicturePath(char path[MAX_PATH_LENGTH + 1], const char *name);

// Reads and draws one picture file; 0, or -1 / -2 / -3 for the failures
// before the picture header was accepted (-1: not a regular file, or it cannot
// be opened). Reading ends once the picture's last row is decoded.
int loadPicture(const char *path);
