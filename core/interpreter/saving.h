// Saving and restoring in play: the position question, the position's file
// beside the game, and the message when a file cannot be used.
#pragma once

// 0 when a file was written; -1 when cancelled or it could not be written.
int saveGame();

// 0 when a file was read; -1 when cancelled, missing or refused.
int restoreGame();
