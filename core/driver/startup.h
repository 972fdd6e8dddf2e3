// Program start-up: command line, file names, filling the database, run mode.
#pragma once

constexpr int NAME_SIZE = 256;

// The game name derived at start-up (at most 255 characters).
extern char gameName[NAME_SIZE];

// The whole program; returns the exit status.
int runProgram(int argc, char **argv);
