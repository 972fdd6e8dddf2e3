// The rule compiler: one rule line of "[Events]" or "[Actions]" becomes one
// RuleRecord.
#pragma once

// Which rule table a line goes to.
enum RuleTable { EVENT_TABLE, ACTION_TABLE };

// Compiles one content line (its trailing blanks and tabs are removed in
// place) and appends its record: 0 appended, 2 nothing after the leading
// word (no record), -1 the table already holds 32767 records (no record).
int compileRuleLine(char *line, RuleTable table);
