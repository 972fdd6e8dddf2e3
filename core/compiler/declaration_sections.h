// Parsers of the declaration sections: settings, system messages, directions,
// shows, locations, objects, messages, words and variables.
#pragma once

// Which word table a "[Verbs]" or "[Nouns]" line fills.
enum WordTable { VERB_TABLE, NOUN_TABLE };

// Each parser takes one content line as the reader holds it (never changed)
// and returns 0, a warning number (1, 2) or an error number (-1).

// "[System]": key=value; "CharSet=" overwrites the reader's letter.
int parseSystemLine(const char *line, char *charSet);
// "[Sysmsg]": #N,text for N in 1..31.
int parseSystemMessageLine(const char *line);
// "[Directions]": #N,text for N in 1..10.
int parseDirectionLine(const char *line);
// "[Intro]" and "[Shows]": #N,picture, then the show's text lines.
int parseShowLine(const char *line);
// "[Locations]": #N,name,picture,flags,exit1,...,exit10, then the description.
int parseLocationLine(const char *line);
// "[Objects]": #N,name,location,flags[,noun], then the description.
int parseObjectLine(const char *line);
// "[Messages]": #N,text; a text line continues the text stored last.
int parseMessageLine(const char *line);
// "[Verbs]" and "[Nouns]": #N,word1,word2,...
int parseWordLine(const char *line, WordTable table);
// "[Vars]": name1,name2,...
int parseVarsLine(const char *line);

// Forgets the current show, location and object (program start state).
void resetDeclarationState();
