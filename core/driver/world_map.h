// The world's map: the locations and their exits as a Graphviz graph, written
// beside the game as NAME-map.dot and drawn by Graphviz's dot as NAME-map.svg.
#pragma once

// Writes the map of the game in the database; prints what went wrong.
// 0 when both files were written, 1 otherwise (no location other than 0,
// a file that cannot be written, dot missing or failing).
int writeWorldMap(const char *gameName);
