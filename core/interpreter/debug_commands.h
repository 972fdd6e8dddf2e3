// Debug queries of a running game.
#pragma once

// Answers a line starting with '%'; false for an ordinary command.
bool debugCommand(const char *line);
