// The editors' syntax files as the build writes them: every word list of the
// Vim syntax and of the TextMate grammar is the compiler's own table, in its
// order, compared case aside where the compiler ignores case and exactly
// where it does not.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/compiler/source_words.h"

#ifndef EDITOR_FILES_DIR
#error "EDITOR_FILES_DIR names the folder the build writes the editors' files into"
#endif

namespace {

using Words = std::vector<std::string>;

std::vector<std::string> readLines(const std::string &path)
{
    std::ifstream file(path);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(file, line))
        lines.push_back(line);
    return lines;
}

std::vector<std::string> linesWith(const std::vector<std::string> &lines, const std::string &part)
{
    std::vector<std::string> found;
    for (const std::string &line : lines)
        if (line.find(part) != std::string::npos)
            found.push_back(line);
    return found;
}

// A pattern's literal text: every backslash quotes the character after it.
std::string unquoted(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\\' && i + 1 < text.size())
            i++;
        out += text[i];
    }
    return out;
}

// Every group \%(a\|b\) of a Vim pattern line, as its alternatives.
std::vector<Words> vimGroups(const std::string &line)
{
    std::vector<Words> groups;
    size_t at = 0;
    while ((at = line.find("\\%(", at)) != std::string::npos) {
        size_t end = line.find("\\)", at);
        if (end == std::string::npos)
            break;
        std::string body = line.substr(at + 3, end - at - 3);
        Words words;
        size_t start = 0, bar;
        while ((bar = body.find("\\|", start)) != std::string::npos) {
            words.push_back(unquoted(body.substr(start, bar - start)));
            start = bar + 2;
        }
        words.push_back(unquoted(body.substr(start)));
        groups.push_back(words);
        at = end + 2;
    }
    return groups;
}

// A JSON string's content from the first quote after key.
std::string jsonValue(const std::string &line, const std::string &key)
{
    size_t at = line.find("\"" + key + "\": \"");
    if (at == std::string::npos)
        return "";
    std::string out;
    for (size_t i = at + key.size() + 5; i < line.size() && line[i] != '"'; i++) {
        if (line[i] == '\\' && i + 1 < line.size())
            i++;
        out += line[i];
    }
    return out;
}

struct RegexGroup {
    bool anyCase;   // (?i:...) rather than (?:...)
    Words words;
};

// Every group (?i:a|b) or (?:a|b) of an Oniguruma pattern, split at its own
// bars; groups nested in it are listed on their own.
std::vector<RegexGroup> regexGroups(const std::string &regex)
{
    std::vector<RegexGroup> groups;
    for (size_t at = 0; at < regex.size(); at++) {
        if (regex[at] == '\\') {
            at++;
            continue;
        }
        bool anyCase = regex.compare(at, 4, "(?i:") == 0;
        if (!anyCase && regex.compare(at, 3, "(?:") != 0)
            continue;
        RegexGroup group{anyCase, {}};
        std::string word;
        int depth = 0;
        for (size_t i = at + (anyCase ? 4 : 3); i < regex.size(); i++) {
            char c = regex[i];
            if (c == '\\' && i + 1 < regex.size()) {
                word += regex.substr(i, 2);
                i++;
            } else if (c == '(') {
                depth++;
                word += c;
            } else if (c == ')' && depth > 0) {
                depth--;
                word += c;
            } else if (c == ')') {
                break;
            } else if (c == '|' && depth == 0) {
                group.words.push_back(unquoted(word));
                word.clear();
            } else {
                word += c;
            }
        }
        group.words.push_back(unquoted(word));
        groups.push_back(group);
    }
    return groups;
}

bool hasVimGroup(const std::string &line, const Words &words)
{
    for (const Words &group : vimGroups(line))
        if (group == words)
            return true;
    return false;
}

bool hasRegexGroup(const std::string &regex, const Words &words, bool anyCase)
{
    for (const RegexGroup &group : regexGroups(regex))
        if (group.words == words && group.anyCase == anyCase)
            return true;
    return false;
}

Words headerTexts()
{
    Words words;
    for (const Header &header : HEADERS)
        words.push_back(header.text);
    return words;
}

Words systemKeys()
{
    return Words(SYSTEM_KEYS, SYSTEM_KEYS + SYSTEM_KEY_COUNT);
}

Words blockWords(bool exact)
{
    Words words;
    for (const BlockWord &block : BLOCK_WORDS)
        if (block.exact == exact)
            words.push_back(block.text);
    return words;
}

Words leadingWords(bool conditions)
{
    Words words;
    for (const LeadingWord &leading : LEADING_WORDS)
        if ((leading.kind != KIND_ACTION) == conditions)
            words.push_back(leading.text);
    return words;
}

Words keywords(const Keyword *table, int count)
{
    Words words;
    for (int i = 0; i < count; i++)
        words.push_back(table[i].word);
    return words;
}

const std::string VIM_SYNTAX = std::string(EDITOR_FILES_DIR) + "/vim/syntax/tarnwick.vim";
const std::string GRAMMAR = std::string(EDITOR_FILES_DIR) + "/textmate/syntaxes/tarnwick.tmLanguage.json";

TEST(EditorSyntax, tablesHaveWords)
{
    // A table the tests below read whole must not be empty.
    EXPECT_EQ(headerTexts().size(), static_cast<size_t>(HEADER_COUNT));
    EXPECT_FALSE(blockWords(true).empty());
    EXPECT_FALSE(blockWords(false).empty());
    EXPECT_FALSE(leadingWords(true).empty());
    EXPECT_FALSE(leadingWords(false).empty());
}

TEST(EditorSyntax, vimListsAreTheCompilersTables)
{
    std::vector<std::string> lines = readLines(VIM_SYNTAX);
    ASSERT_FALSE(lines.empty()) << VIM_SYNTAX;

    // One region per header, from it to the next header of any kind.
    std::vector<std::string> regions = linesWith(lines, "syntax region tarnwick");
    Words starts;
    for (const std::string &line : regions) {
        size_t start = line.find("start=/^\\c");
        if (line.find("Section ") == std::string::npos || start == std::string::npos)
            continue;
        start += strlen("start=/^\\c");
        size_t end = line.find("/ end=", start);
        ASSERT_NE(end, std::string::npos) << line;
        starts.push_back(unquoted(line.substr(start, end - start)));
        EXPECT_TRUE(hasVimGroup(line.substr(end), headerTexts())) << line;
    }
    EXPECT_EQ(starts, headerTexts());

    struct Case {
        const char *group;      // the line that defines it
        Words words;
        const char *caseFlag;   // \c case aside, \C exactly
    };
    const Case cases[] = {
        {"syntax match tarnwickSystemKey ", systemKeys(), "\\c"},
        {"syntax region tarnwickConditionLine ", leadingWords(true), "\\c"},
        {"syntax match tarnwickLeading ", leadingWords(false), "\\c"},
        {"syntax match tarnwickBlock ", blockWords(false), "\\c"},
        {"syntax match tarnwickBlock ", blockWords(true), "\\C"},
        {"syntax match tarnwickCondition ", keywords(CONDITION_KEYWORDS, CONDITION_KEYWORD_COUNT), "\\c"},
        {"syntax match tarnwickAction ", keywords(ACTION_KEYWORDS, ACTION_KEYWORD_COUNT), "\\c"},
    };
    for (const Case &c : cases) {
        int found = 0;
        for (const std::string &line : linesWith(lines, c.group))
            if (hasVimGroup(line, c.words)) {
                found++;
                EXPECT_NE(line.find(c.caseFlag), std::string::npos) << line;
            }
        EXPECT_EQ(found, 1) << c.group << "lists the table " << (c.words.empty() ? "" : c.words[0]) << "...";
    }
}

TEST(EditorSyntax, textMateListsAreTheCompilersTables)
{
    std::vector<std::string> lines = readLines(GRAMMAR);
    ASSERT_FALSE(lines.empty()) << GRAMMAR;

    // One section per header, from it to the next header of any kind.
    Words starts;
    for (const std::string &line : linesWith(lines, "\"section-")) {
        std::string begin = jsonValue(line, "begin");
        if (begin.empty())
            continue;
        std::vector<RegexGroup> groups = regexGroups(begin);
        ASSERT_FALSE(groups.empty()) << line;
        ASSERT_EQ(groups[0].words.size(), 1u) << line;
        EXPECT_TRUE(groups[0].anyCase) << line;
        starts.push_back(groups[0].words[0]);
        EXPECT_TRUE(hasRegexGroup(jsonValue(line, "end"), headerTexts(), true)) << line;
    }
    EXPECT_EQ(starts, headerTexts());

    struct Case {
        const char *scope;      // the name on the pattern's line
        const char *key;        // its pattern: match or begin
        Words words;
        bool anyCase;
    };
    const Case cases[] = {
        {"support.type.property-name.tarnwick", "match", systemKeys(), true},
        {"meta.condition-line.tarnwick", "begin", leadingWords(true), true},
        {"meta.action-line.tarnwick", "begin", leadingWords(false), true},
        {"keyword.control.block.tarnwick", "match", blockWords(false), true},
        {"keyword.control.block.tarnwick", "match", blockWords(true), false},
        {"support.function.condition.tarnwick", "match", keywords(CONDITION_KEYWORDS, CONDITION_KEYWORD_COUNT), true},
        {"keyword.other.action.tarnwick", "match", keywords(ACTION_KEYWORDS, ACTION_KEYWORD_COUNT), true},
    };
    for (const Case &c : cases) {
        int found = 0;
        for (const std::string &line : linesWith(lines, std::string("\"name\": \"") + c.scope + "\""))
            found += hasRegexGroup(jsonValue(line, c.key), c.words, c.anyCase);
        EXPECT_EQ(found, 1) << c.scope << " lists the table " << (c.words.empty() ? "" : c.words[0]) << "...";
    }
}

}   // namespace
