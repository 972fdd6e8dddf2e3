// Saved games: nine positions per game.
#pragma once

// 0 when a file was written; -1 when cancelled or it could not be written.
int saveGame();

// 0 when a file was read; -1 when cancelled, missing or refused.
int restoreGame();
