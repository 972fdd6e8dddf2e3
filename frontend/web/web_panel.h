// The web front end's location panel, drawn by the output and before every command.
#pragma once

// Shows the location's name (the dark location's when dark), the status
// line and the description with its lists; -1 when the location has no name.
int drawLocationPanel(int location);
