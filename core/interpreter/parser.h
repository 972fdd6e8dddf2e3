// The command parser: a typed line to a verb and up to three nouns.
#pragma once

// Removes line ends in place; writes all four outputs; returns how many
// numbers were found (0..4).
int parseCommand(char *line, int *verb, int *noun, int *noun2, int *noun3);
