// The web front end's location panel, drawn by the output and before every command.
#pragma once

// Shows the location's name (the dark location's when dark), the status
// line and the description with its lists; -1 when the location has no name.
int drawLocationPanel(int location);

// Shows the named picture in the page's canvas as the window's showPicture
// draws it (null, a missing file or pictures off: the canvas is cleared);
// nothing is done when the name is the one shown last.
void showPagePicture(const char *name);
