// The rule compiler: one rule line of "[Events]" or "[Actions]" becomes one
// RuleRecord.
#pragma once

// Which rule table a line goes to.
enum RuleTable { EVENT_TABLE, ACTION_TABLE };

// Compiles one content line (its trailing blanks and tabs are removed in
// place) and appends its record: 0 appended, 2 nothing after the leading
// word (no record), -1 the table already holds 32767 records (no record).
int compileRuleLine(char *line, RuleTable table);

// What the checker learns from the rule tables.
struct RuleUses {
    bool *objects;          // named by a rule, per object number
    bool *messages;         // shown by a message action
    bool *shows;            // shown by a show action
    bool *destinations;     // a location a rule moves the player to or opens an exit to
};

// The uses of every rule record (each array up to the last number declared
// of its kind); freed with freeRuleUses.
RuleUses collectRuleUses();
void freeRuleUses(RuleUses *uses);

// The checks of the rule tables once the whole source is read: operands
// naming what the game does not declare, blocks, loops, words that were
// declared only after the rules that name them.
void checkRuleTables();
