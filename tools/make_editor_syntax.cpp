// make_editor_syntax: writes the editors' syntax files for game sources from
// the compiler's own word tables, so that the colours never drift from what
// the compiler reads.
//   make_editor_syntax FOLDER
// writes FOLDER/vim/syntax/tarnwick.vim, FOLDER/vim/ftdetect/tarnwick.vim and
// FOLDER/textmate/{package.json,language-configuration.json,
// syntaxes/tarnwick.tmLanguage.json}. Exit status 0 when all are written.
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include "core/compiler/source_words.h"

#ifndef TARNWICK_VERSION
#define TARNWICK_VERSION "0.0.0"
#endif

// What the source reader recognises by a character of its own rather than by
// a table: a comment runs from '|' to the end of the line, a line starting
// with '@' includes a file, and a first line holding the scrambling marker
// (0x15 "crypt" 0x15, case aside) says the rest is ROT13. The rule compiler
// reads "not" before a keyword as its negation.
static const char NEGATION_WORD[] = "not";

// How a pattern compares its words: case aside, as the compiler compares
// most words, or exactly, as it compares the brace forms of block lines.
enum Spelling { ANY_CASE, EXACT_CASE };

// A list of words from one of the compiler's tables, in the table's order.
constexpr int MAX_WORDS = 32;
struct WordList {
    const char *texts[MAX_WORDS];
    int count;
};
static_assert(MAX_WORDS >= HEADER_COUNT && MAX_WORDS >= SYSTEM_KEY_COUNT && MAX_WORDS >= BLOCK_WORD_COUNT &&
              MAX_WORDS >= CONDITION_KEYWORD_COUNT && MAX_WORDS >= ACTION_KEYWORD_COUNT);

static WordList headerWords()
{
    WordList list{{}, 0};
    for (const Header &header : HEADERS)
        list.texts[list.count++] = header.text;
    return list;
}

static WordList systemKeyWords()
{
    WordList list{{}, 0};
    for (const char *key : SYSTEM_KEYS)
        list.texts[list.count++] = key;
    return list;
}

// Block lines of one spelling.
static WordList blockWords(Spelling spelling)
{
    WordList list{{}, 0};
    for (const BlockWord &block : BLOCK_WORDS)
        if (block.exact == (spelling == EXACT_CASE))
            list.texts[list.count++] = block.text;
    return list;
}

// Leading words of condition lines (conditions) or of action lines.
static WordList leadingWords(bool conditions)
{
    WordList list{{}, 0};
    for (const LeadingWord &leading : LEADING_WORDS)
        if ((leading.kind != KIND_ACTION) == conditions)
            list.texts[list.count++] = leading.text;
    return list;
}

static WordList keywordWords(const Keyword *table, int count)
{
    WordList list{{}, 0};
    for (int i = 0; i < count; i++)
        list.texts[list.count++] = table[i].word;
    return list;
}

// ---- Vim ------------------------------------------------------------------

// A literal text in a Vim pattern ('magic' on, '/' delimiting).
static std::string vimLiteral(const char *text)
{
    std::string out;
    for (const char *p = text; *p; p++) {
        if (strchr("\\/.*[]~^$", *p))
            out += '\\';
        out += *p;
    }
    return out;
}

// The alternatives \%(a\|b\|...\) of a list of words.
static std::string vimAlternatives(const WordList &words)
{
    std::string out = "\\%(";
    for (int i = 0; i < words.count; i++) {
        if (i > 0)
            out += "\\|";
        out += vimLiteral(words.texts[i]);
    }
    return out + "\\)";
}

// A section's name for a group: "[System]" gives "System".
static std::string sectionName(const char *header)
{
    std::string name;
    for (const char *p = header; *p; p++)
        if (*p != '[' && *p != ']')
            name += *p;
    return name;
}

static bool isRuleSection(Section section)
{
    return section == SECTION_EVENTS || section == SECTION_ACTIONS;
}

// Sections whose numbered lines hold numbers after the name.
static bool hasNumberFields(Section section)
{
    return section == SECTION_LOCATIONS || section == SECTION_OBJECTS;
}

// A word of a rule line is split at blanks; the compiler drops blanks and
// tabs at the end of the line and the comment after '|'.
static const char VIM_WORD_START[] = "\\%(^\\|\\s\\)\\@<=";
static const char VIM_WORD_END[] = "\\%( \\|\\s*|\\|\\s*$\\)\\@=";

static std::string vimSyntax()
{
    std::string headers = vimAlternatives(headerWords());
    std::string out =
        "\" Vim syntax file\n"
        "\" Language:\tTarnwick game source\n"
        "\" Filenames:\t*.adv\n"
        "\" Written by make_editor_syntax from the compiler's word tables: change\n"
        "\" tools/make_editor_syntax.cpp, not this file.\n"
        "\n"
        "if exists(\"b:current_syntax\")\n"
        "  finish\n"
        "endif\n"
        "let s:cpo_save = &cpo\n"
        "set cpo&vim\n"
        "\n"
        "\" A section runs from its header to the next header: read from the top.\n"
        "syntax sync fromstart\n"
        "\n"
        "\" Comments and includes, in every section and before the first.\n"
        "syntax match tarnwickComment /|.*$/ contains=@Spell\n"
        "syntax match tarnwickInclude /^@[^|]*/\n"
        "\n"
        "\" A scrambled source (the marker on its first line) is ROT13 after it:\n"
        "\" only the marker, comments and includes are coloured.\n"
        "syntax match tarnwickScrambled /^\\%1l\\c\\%x15crypt\\%x15.*$/\n"
        "if getline(1) !~? '^\\%x15crypt\\%x15'\n"
        "\n"
        "\" A line starting with '[' that is no header.\n"
        "syntax match tarnwickBadHeader /^\\[[^|]*/\n"
        "syntax cluster tarnwickAnyLine contains=tarnwickComment,tarnwickInclude,tarnwickBadHeader\n"
        "\n"
        "\" Texts: a variable's value between percent signs, %% and the line break \\.\n"
        "syntax match tarnwickVariableRef /%[^%|]\\+%/ contained\n"
        "syntax match tarnwickTextSpecial /%%\\|\\\\/ contained\n"
        "syntax cluster tarnwickText contains=tarnwickVariableRef,tarnwickTextSpecial\n"
        "\n"
        "\" The #N, that starts a numbered line.\n"
        "syntax match tarnwickEntry /^#[^,|]*,\\=/ contained\n"
        "\" Number fields of locations and objects (flags, exits, places).\n"
        "syntax match tarnwickFieldNumber /\\%(^#.*\\)\\@<=,\\s*\\zs[-+]\\=\\d\\+\\ze\\s*\\%(,\\||\\|$\\)/ contained\n"
        "\n";
    out += "\" [System] keys.\n";
    out += "syntax match tarnwickSystemKey /^\\c" + vimAlternatives(systemKeyWords()) + "/ contained\n\n";

    out += "\" Rule lines: a line of conditions after its leading word; any other line\n"
           "\" holds actions, after \"then\" or \"do\" or none. Block lines stand alone.\n";
    out += "syntax region tarnwickConditionLine matchgroup=tarnwickLeading start=/^\\s*\\c" +
           vimAlternatives(leadingWords(true)) +
           "/ end=/$/ keepend oneline contained contains=tarnwickCondition,tarnwickNot,tarnwickNumber,tarnwickComment\n";
    out += "syntax match tarnwickLeading /^\\s*\\c" + vimAlternatives(leadingWords(false)) + "/ contained\n";
    out += "syntax match tarnwickBlock /^\\s*\\c" + vimAlternatives(blockWords(ANY_CASE)) + "\\ze\\s*\\%(|\\|$\\)/ contained\n";
    out += "syntax match tarnwickBlock /^\\s*\\C" + vimAlternatives(blockWords(EXACT_CASE)) + "\\ze\\s*\\%(|\\|$\\)/ contained\n";
    out += std::string("syntax match tarnwickCondition /\\c") + VIM_WORD_START +
           vimAlternatives(keywordWords(CONDITION_KEYWORDS, CONDITION_KEYWORD_COUNT)) + VIM_WORD_END + "/ contained\n";
    out += std::string("syntax match tarnwickAction /\\c") + VIM_WORD_START +
           vimAlternatives(keywordWords(ACTION_KEYWORDS, ACTION_KEYWORD_COUNT)) + VIM_WORD_END + "/ contained\n";
    out += std::string("syntax match tarnwickNot /\\c") + VIM_WORD_START + NEGATION_WORD + VIM_WORD_END + "/ contained\n";
    out += std::string("syntax match tarnwickNumber /") + VIM_WORD_START + "[-+]\\=\\d\\+/ contained\n";
    out += "syntax cluster tarnwickRule contains=tarnwickConditionLine,tarnwickLeading,tarnwickBlock,"
           "tarnwickAction,tarnwickNot,tarnwickNumber\n\n";

    out += "\" Sections, one region per header.\n";
    for (const Header &header : HEADERS) {
        const char *contents = isRuleSection(header.section) ? "@tarnwickRule"
                               : header.section == SECTION_SYSTEM ? "tarnwickSystemKey,@tarnwickText"
                               : header.section == SECTION_VARS ? ""
                               : hasNumberFields(header.section) ? "tarnwickEntry,tarnwickFieldNumber,@tarnwickText"
                               : "tarnwickEntry,@tarnwickText";
        out += "syntax region tarnwick" + sectionName(header.text) + "Section matchgroup=tarnwickHeader start=/^\\c" +
               vimLiteral(header.text) + "/ end=/^\\ze\\c" + headers + "/ contains=@tarnwickAnyLine" +
               (*contents ? "," : "") + contents + "\n";
    }
    out += "\n"
           "endif\n"
           "\n"
           "highlight default link tarnwickComment Comment\n"
           "highlight default link tarnwickInclude Include\n"
           "highlight default link tarnwickBadHeader Error\n"
           "highlight default link tarnwickScrambled PreProc\n"
           "highlight default link tarnwickHeader Title\n"
           "highlight default link tarnwickSystemKey Keyword\n"
           "highlight default link tarnwickEntry Label\n"
           "highlight default link tarnwickFieldNumber Number\n"
           "highlight default link tarnwickVariableRef Identifier\n"
           "highlight default link tarnwickTextSpecial SpecialChar\n"
           "highlight default link tarnwickLeading Conditional\n"
           "highlight default link tarnwickBlock Structure\n"
           "highlight default link tarnwickCondition Function\n"
           "highlight default link tarnwickAction Statement\n"
           "highlight default link tarnwickNot Operator\n"
           "highlight default link tarnwickNumber Number\n"
           "\n"
           "let b:current_syntax = \"tarnwick\"\n"
           "let &cpo = s:cpo_save\n"
           "unlet s:cpo_save\n";
    return out;
}

static std::string vimFileType()
{
    return "\" Tarnwick game sources.\n"
           "autocmd BufRead,BufNewFile *.adv set filetype=tarnwick\n";
}

// ---- TextMate -------------------------------------------------------------

// A literal text in an Oniguruma pattern.
static std::string regexLiteral(const char *text)
{
    std::string out;
    for (const char *p = text; *p; p++) {
        if (strchr("\\^$.|?*+()[]{}/", *p))
            out += '\\';
        out += *p;
    }
    return out;
}

// The alternatives (?i:a|b|...) or (?:a|b|...) of a list of words.
static std::string regexAlternatives(const WordList &words, Spelling spelling)
{
    std::string out = spelling == ANY_CASE ? "(?i:" : "(?:";
    for (int i = 0; i < words.count; i++) {
        if (i > 0)
            out += '|';
        out += regexLiteral(words.texts[i]);
    }
    return out + ")";
}

// A text as a JSON string, quotes included.
static std::string jsonString(const std::string &text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

static std::string lowered(const std::string &text)
{
    std::string out = text;
    for (char &c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

static const char REGEX_WORD_START[] = "(?<![^ \\t])";
static const char REGEX_WORD_END[] = "(?=[ ]|[ \\t]*(?:\\||$))";

// One pattern object on one line: {"name": ..., "match": ...}.
static std::string grammarMatch(const char *scope, const std::string &regex)
{
    return "{\"name\": " + jsonString(scope) + ", \"match\": " + jsonString(regex) + "}";
}

static std::string textMateGrammar()
{
    std::string headers = regexAlternatives(headerWords(), ANY_CASE);

    // A scrambled source (the marker before its first header) is ROT13 after
    // the marker: only comments and includes are coloured, to the end.
    std::string out =
        "{\n"
        "  \"$comment\": \"Written by make_editor_syntax from the compiler's word tables: change tools/make_editor_syntax.cpp, not this file.\",\n"
        "  \"name\": \"Tarnwick\",\n"
        "  \"scopeName\": \"source.tarnwick\",\n"
        "  \"fileTypes\": [\"adv\"],\n"
        "  \"patterns\": [\n"
        "    {\"name\": \"meta.scrambled.tarnwick\", \"begin\": \"^(?i:\\\\x15crypt\\\\x15).*$\", \"beginCaptures\": {\"0\": {\"name\": \"meta.preprocessor.scrambled.tarnwick\"}}, "
        "\"end\": \"(?!)\", \"patterns\": [{\"include\": \"#comment\"}, {\"include\": \"#include-line\"}]},\n";
    for (const Header &header : HEADERS)
        out += "    {\"include\": \"#section-" + lowered(sectionName(header.text)) + "\"},\n";
    out += "    {\"include\": \"#any-line\"}\n"
           "  ],\n"
           "  \"repository\": {\n";

    // Sections: from the header to the next header.
    for (const Header &header : HEADERS) {
        std::string name = lowered(sectionName(header.text));
        const char *contents = isRuleSection(header.section) ? "#rule-line"
                               : header.section == SECTION_SYSTEM ? "#system-line"
                               : header.section == SECTION_VARS ? "#any-line"
                               : hasNumberFields(header.section) ? "#fields-line"
                               : "#numbered-line";
        WordList own{{header.text}, 1};
        out += "    \"section-" + name + "\": {\"name\": " + jsonString("meta.section." + name + ".tarnwick") +
               ", \"begin\": " + jsonString("^(" + regexAlternatives(own, ANY_CASE) + ")([^|]*)") +
               ", \"beginCaptures\": {\"1\": {\"name\": \"entity.name.section.tarnwick\"}, \"2\": {\"name\": \"comment.line.ignored.tarnwick\"}}" +
               ", \"end\": " + jsonString("^(?=" + headers + ")") + ", \"patterns\": [{\"include\": \"" + contents +
               "\"}]},\n";
    }

    out += "    \"any-line\": {\"patterns\": [\n"
           "      {\"include\": \"#comment\"},\n"
           "      {\"include\": \"#include-line\"},\n"
           "      {\"name\": \"invalid.illegal.header.tarnwick\", \"match\": \"^\\\\[[^|]*\"}\n"
           "    ]},\n"
           "    \"include-line\": {\"name\": \"meta.include.tarnwick\", \"match\": \"^(@)([^|]*)\", \"captures\": {\"1\": {\"name\": \"keyword.control.import.tarnwick\"}, \"2\": {\"name\": \"string.unquoted.filename.tarnwick\"}}},\n"
           "    \"comment\": {\"name\": \"comment.line.tarnwick\", \"match\": \"(\\\\|).*$\", \"captures\": {\"1\": {\"name\": \"punctuation.definition.comment.tarnwick\"}}},\n"
           "    \"text\": {\"patterns\": [\n"
           "      {\"name\": \"constant.character.escape.tarnwick\", \"match\": \"%%|\\\\\\\\\"},\n"
           "      {\"name\": \"variable.other.reference.tarnwick\", \"match\": \"%[^%|]+%\"},\n"
           "      {\"include\": \"#comment\"}\n"
           "    ]},\n"
           "    \"fields-line\": {\"patterns\": [\n"
           "      {\"include\": \"#any-line\"},\n"
           "      {\"name\": \"meta.entry.tarnwick\", \"begin\": \"^(#)([^,|]*)(,)?\", \"beginCaptures\": {\"1\": {\"name\": \"punctuation.definition.entry.tarnwick\"}, \"2\": {\"name\": \"constant.numeric.entry.tarnwick\"}, \"3\": {\"name\": \"punctuation.separator.tarnwick\"}}, \"end\": \"$\", \"patterns\": [\n"
           "        {\"include\": \"#comment\"},\n"
           "        {\"name\": \"constant.numeric.tarnwick\", \"match\": \"(?<=,)[ \\\\t]*[-+]?[0-9]+(?=[ \\\\t]*(?:,|\\\\||$))\"}\n"
           "      ]},\n"
           "      {\"include\": \"#text\"}\n"
           "    ]},\n"
           "    \"numbered-line\": {\"patterns\": [\n"
           "      {\"include\": \"#any-line\"},\n"
           "      {\"name\": \"meta.entry.tarnwick\", \"match\": \"^(#)([^,|]*)(,)?\", \"captures\": {\"1\": {\"name\": \"punctuation.definition.entry.tarnwick\"}, \"2\": {\"name\": \"constant.numeric.entry.tarnwick\"}, \"3\": {\"name\": \"punctuation.separator.tarnwick\"}}},\n"
           "      {\"include\": \"#text\"}\n"
           "    ]},\n"
           "    \"system-line\": {\"patterns\": [\n"
           "      {\"include\": \"#any-line\"},\n"
           "      " + grammarMatch("support.type.property-name.tarnwick", "^" + regexAlternatives(systemKeyWords(), ANY_CASE)) + ",\n"
           "      {\"include\": \"#text\"}\n"
           "    ]},\n";

    // Rule lines: block lines whole, condition lines after their leading
    // word, any other line holds actions.
    std::string blockEnd = "(?=[ \\t]*(?:\\||$))";
    out += "    \"rule-line\": {\"patterns\": [\n"
           "      {\"include\": \"#any-line\"},\n"
           "      " + grammarMatch("keyword.control.block.tarnwick", "^[ \\t]*" + regexAlternatives(blockWords(ANY_CASE), ANY_CASE) + blockEnd) + ",\n"
           "      " + grammarMatch("keyword.control.block.tarnwick", "^[ \\t]*" + regexAlternatives(blockWords(EXACT_CASE), EXACT_CASE) + blockEnd) + ",\n"
           "      {\"name\": \"meta.condition-line.tarnwick\", \"begin\": " +
           jsonString("^[ \\t]*(" + regexAlternatives(leadingWords(true), ANY_CASE) + ")") +
           ", \"beginCaptures\": {\"1\": {\"name\": \"keyword.control.conditional.tarnwick\"}}, \"end\": \"$\", \"patterns\": [{\"include\": \"#condition-word\"}]},\n"
           "      {\"name\": \"meta.action-line.tarnwick\", \"begin\": " +
           jsonString("^[ \\t]*(" + regexAlternatives(leadingWords(false), ANY_CASE) + ")?(?=[^ \\t])") +
           ", \"beginCaptures\": {\"1\": {\"name\": \"keyword.control.conditional.tarnwick\"}}, \"end\": \"$\", \"patterns\": [{\"include\": \"#action-word\"}]}\n"
           "    ]},\n";
    std::string common = "      {\"include\": \"#comment\"},\n"
                         "      " + grammarMatch("keyword.operator.logical.not.tarnwick",
                                                 std::string(REGEX_WORD_START) + "(?i:" + NEGATION_WORD + ")" + REGEX_WORD_END) + ",\n"
                         "      " + grammarMatch("constant.numeric.tarnwick", std::string(REGEX_WORD_START) + "[-+]?[0-9]+") + "\n";
    out += "    \"condition-word\": {\"patterns\": [\n"
           "      " + grammarMatch("support.function.condition.tarnwick",
                                   REGEX_WORD_START + regexAlternatives(keywordWords(CONDITION_KEYWORDS, CONDITION_KEYWORD_COUNT), ANY_CASE) + REGEX_WORD_END) + ",\n" +
           common + "    ]},\n";
    out += "    \"action-word\": {\"patterns\": [\n"
           "      " + grammarMatch("keyword.other.action.tarnwick",
                                   REGEX_WORD_START + regexAlternatives(keywordWords(ACTION_KEYWORDS, ACTION_KEYWORD_COUNT), ANY_CASE) + REGEX_WORD_END) + ",\n" +
           common + "    ]}\n";
    out += "  }\n"
           "}\n";
    return out;
}

// Block starts or ends, for folding and indenting. The editors read these
// patterns as JavaScript ones, which have no case-aside groups: a letter
// compared case aside is written as both of its cases.
static std::string blockPattern(bool starts)
{
    std::string out = "^[ \\t]*(?:";
    bool first = true;
    for (const BlockWord &block : BLOCK_WORDS) {
        if ((block.kind != KIND_END) != starts)
            continue;
        if (!first)
            out += '|';
        first = false;
        for (const char *p = block.text; *p; p++) {
            char upper = *p >= 'a' && *p <= 'z' ? static_cast<char>(*p - 'a' + 'A') : *p;
            if (!block.exact && upper != *p)
                out += std::string("[") + *p + upper + "]";
            else
                out += regexLiteral(std::string(1, *p).c_str());
        }
    }
    return out + ")[ \\t]*(?:\\|.*)?$";
}

static std::string languageConfiguration()
{
    return "{\n"
           "  \"comments\": {\"lineComment\": \"|\"},\n"
           "  \"brackets\": [[\"[\", \"]\"], [\"{\", \"}\"]],\n"
           "  \"autoClosingPairs\": [{\"open\": \"[\", \"close\": \"]\"}, {\"open\": \"{\", \"close\": \"}\"}],\n"
           "  \"surroundingPairs\": [[\"[\", \"]\"], [\"{\", \"}\"], [\"%\", \"%\"]],\n"
           "  \"folding\": {\"markers\": {\"start\": " + jsonString(blockPattern(true)) +
           ", \"end\": " + jsonString(blockPattern(false)) + "}},\n"
           "  \"indentationRules\": {\"increaseIndentPattern\": " + jsonString(blockPattern(true)) +
           ", \"decreaseIndentPattern\": " + jsonString(blockPattern(false)) + "}\n"
           "}\n";
}

static std::string extensionManifest()
{
    return "{\n"
           "  \"name\": \"tarnwick\",\n"
           "  \"displayName\": \"Tarnwick\",\n"
           "  \"description\": \"Colours the sections, keywords and comments of Tarnwick game sources (*.adv)\",\n"
           "  \"version\": \"" TARNWICK_VERSION "\",\n"
           "  \"publisher\": \"tarnwick\",\n"
           "  \"engines\": {\"vscode\": \"^1.60.0\"},\n"
           "  \"categories\": [\"Programming Languages\"],\n"
           "  \"contributes\": {\n"
           "    \"languages\": [{\"id\": \"tarnwick\", \"aliases\": [\"Tarnwick\", \"tarnwick\"], \"extensions\": [\".adv\"], "
           "\"configuration\": \"./language-configuration.json\"}],\n"
           "    \"grammars\": [{\"language\": \"tarnwick\", \"scopeName\": \"source.tarnwick\", "
           "\"path\": \"./syntaxes/tarnwick.tmLanguage.json\"}]\n"
           "  }\n"
           "}\n";
}

// ---- Files ----------------------------------------------------------------

// Makes a folder unless it is there; 0 when it is there afterwards.
static int makeFolder(const std::string &path)
{
    if (mkdir(path.c_str(), 0777) == 0)
        return 0;
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? 0 : 1;
}

// Writes a file whole; 0 when written.
static int writeFile(const std::string &path, const std::string &content)
{
    FILE *file = fopen(path.c_str(), "wb");
    if (!file) {
        fprintf(stderr, "make_editor_syntax: cannot write %s\n", path.c_str());
        return 1;
    }
    bool written = fwrite(content.data(), 1, content.size(), file) == content.size();
    if (fclose(file) != 0 || !written) {
        fprintf(stderr, "make_editor_syntax: cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: make_editor_syntax FOLDER\n");
        return 2;
    }
    std::string root = argv[1];
    const char *folders[] = {"", "/vim", "/vim/syntax", "/vim/ftdetect", "/textmate", "/textmate/syntaxes"};
    for (const char *folder : folders)
        if (makeFolder(root + folder) != 0) {
            fprintf(stderr, "make_editor_syntax: cannot make the folder %s%s\n", root.c_str(), folder);
            return 1;
        }
    int failures = writeFile(root + "/vim/syntax/tarnwick.vim", vimSyntax());
    failures += writeFile(root + "/vim/ftdetect/tarnwick.vim", vimFileType());
    failures += writeFile(root + "/textmate/syntaxes/tarnwick.tmLanguage.json", textMateGrammar());
    failures += writeFile(root + "/textmate/language-configuration.json", languageConfiguration());
    failures += writeFile(root + "/textmate/package.json", extensionManifest());
    return failures == 0 ? 0 : 1;
}
