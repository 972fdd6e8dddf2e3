// The walker over the event and action tables: blocks, loops, and/or chains.
#pragma once

#include "core/database/game_database.h"

// Results of an executed action record.
enum ActionResult {
    RESULT_QUIT = -1,
    RESULT_NORMAL = 0,
    RESULT_HALT = 1,
    RESULT_CONTINUE = 2,
    RESULT_BREAK = 3,
};

// The work one scan may do (records visited, their slots tested or run, and
// actionWork) before it is
// ended as if halted: a loop that never ends stops after about ten seconds,
// one that ends runs to its end. A limit of 0 or less restores the default;
// fuzzing sets a lower one.
constexpr long SCAN_WORK_LIMIT = 1000000000L;
void setScanWorkLimit(long limit);

// Scans the event table once (mode 1 at the start of a game, else 0);
// -1 when a quit action ran.
int runEvents(int mode);

struct ActionScan {
    bool open;            // ran past the last record without a rule stopping it
    int runningValue;     // -1 after a quit action
    bool acted;           // an action record was executed
    bool mismatch;        // a condition record matched verb and noun but failed
};

// Scans the action table for one command.
ActionScan scanActions(int verb, int noun, int noun2, int noun3);

// 1 when every slot holds, 0 when one fails, -1 when one fails although the
// record's verb and noun slots both matched.
int evaluateConditions(const RuleRecord &record, int verb, int noun, int noun2, int noun3, int mode);
