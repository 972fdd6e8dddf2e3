// A front end for unit tests: records every output as lines of text and
// answers input and questions from a script.
#pragma once

#include <deque>
#include <string>

// Everything written: one line per writeText call, and a bracketed line per
// call that shows no text ([location 3 1], [yesno ...], [choice ...], ...).
extern std::string recorded;

// Lines handed out by readLine, askYesNo, askChoice and waitKey, in order.
extern std::deque<std::string> scriptedInput;

void resetRecording();
