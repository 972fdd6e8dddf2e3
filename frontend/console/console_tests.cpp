// Game tests: a file of tests, each a list of commands with the phrases the
// output of each must or must not hold, played against the loaded game on
// the console's own code with the commands as input and the output kept.
#include <regex.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/database/game_database.h"
#include "core/database/text_compare.h"
#include "core/driver/random_numbers.h"
#include "core/driver/terminal_text.h"
#include "core/interpreter/session.h"
#include "core/interpreter/undo.h"
#include "frontend/console/console_io.h"
#include "frontend/frontend.h"

constexpr uint64_t DEFAULT_SEED = 1;
constexpr size_t MAX_TEST_FILE_BYTES = 16u << 20;

enum CheckKind { CHECK_CONTAINS, CHECK_LACKS, CHECK_MATCHES, CHECK_MISMATCHES };

struct Check {
    CheckKind kind;
    std::string text;           // the phrase or the expression
    int line;                   // in the test file
};

// The output of one command (or, first, of the game's opening) and its checks.
struct Step {
    std::string command;        // empty for the opening
    std::vector<Check> checks;
};

struct GameTest {
    std::string name;
    std::vector<Step> steps;    // steps[0] is the opening
};

struct TestFile {
    uint64_t seed;
    std::string precommand;
    bool havePrecommand;
    std::vector<GameTest> tests;
    int errors;
};

// Where the output of each line taken starts, while a test runs.
static std::vector<size_t> *lineMarks = nullptr;
static FILE *testOutput = nullptr;

void testLineTaken()
{
    if (!lineMarks || !testOutput)
        return;
    fflush(testOutput);
    lineMarks->push_back(static_cast<size_t>(ftell(testOutput)));
}

static void syntaxError(TestFile &file, const char *path, int line, const char *text)
{
    fputs(path, stdout);
    printf(":%d: error: %s\n", line, text);
    file.errors++;
}

static bool startsWith(const std::string &text, const char *prefix)
{
    return text.compare(0, strlen(prefix), prefix) == 0;
}

// A regular expression /RE/: the text between the slashes, false when the
// line is no such expression.
static bool slashed(const std::string &text, std::string *expression)
{
    if (text.size() < 2 || text.front() != '/' || text.back() != '/')
        return false;
    *expression = text.substr(1, text.size() - 2);
    return true;
}

static bool validExpression(const std::string &expression)
{
    regex_t compiled;
    if (regcomp(&compiled, expression.c_str(), REG_EXTENDED | REG_NEWLINE | REG_NOSUB) != 0)
        return false;
    regfree(&compiled);
    return true;
}

static void parseLine(TestFile &file, const char *path, int number, std::string line)
{
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.empty() || line[0] == '#')
        return;
    if (startsWith(line, "** ")) {
        if (startsWith(line, "** seed:")) {
            const char *digits = line.c_str() + 8;
            while (*digits == ' ')
                digits++;
            char *end = nullptr;
            unsigned long long seed = strtoull(digits, &end, 10);
            if (end == digits || *end != '\0')
                syntaxError(file, path, number, "'** seed:' needs a decimal number");
            else
                file.seed = seed;
        } else if (startsWith(line, "** precommand:")) {
            const char *text = line.c_str() + 14;
            while (*text == ' ')
                text++;
            file.precommand = text;
            file.havePrecommand = true;
        } else {
            syntaxError(file, path, number, "unknown directive: only '** seed:' and '** precommand:' exist");
        }
        return;
    }
    if (startsWith(line, "* ") || line == "*") {
        std::string name = line.size() > 2 ? line.substr(2) : "";
        if (name.empty())
            syntaxError(file, path, number, "a test needs a name after '* '");
        file.tests.push_back({name, {Step{}}});
        return;
    }
    if (file.tests.empty()) {
        syntaxError(file, path, number, "a command or check before the first test ('* NAME')");
        return;
    }
    GameTest &test = file.tests.back();
    if (line[0] == '>') {
        std::string command = line.size() > 1 && line[1] == ' ' ? line.substr(2) : line.substr(1);
        test.steps.push_back({command, {}});
        return;
    }
    Check check = {CHECK_CONTAINS, line, number};
    std::string expression;
    if (line[0] == '!') {
        check.kind = slashed(line.substr(1), &expression) ? CHECK_MISMATCHES : CHECK_LACKS;
        check.text = check.kind == CHECK_MISMATCHES ? expression : line.substr(1);
    } else if (slashed(line, &expression)) {
        check.kind = CHECK_MATCHES;
        check.text = expression;
    }
    if ((check.kind == CHECK_MATCHES || check.kind == CHECK_MISMATCHES) && !validExpression(check.text)) {
        syntaxError(file, path, number, "not a valid extended regular expression");
        return;
    }
    if (check.text.empty()) {
        syntaxError(file, path, number, "an empty check");
        return;
    }
    test.steps.back().checks.push_back(check);
}

static bool readTestFile(const char *path, TestFile &file)
{
    FILE *in = fopen(path, "r");
    if (!in) {
        fputs("Cannot read test file ", stdout);
        writeTerminalText(stdout, path);
        puts("!");
        return false;
    }
    std::string line;
    int number = 0;
    size_t total = 0;
    for (int c = getc(in); c != EOF && total < MAX_TEST_FILE_BYTES; c = getc(in), total++) {
        if (c == '\n') {
            parseLine(file, path, ++number, line);
            line.clear();
        } else {
            line += static_cast<char>(c);
        }
    }
    if (!line.empty())
        parseLine(file, path, ++number, line);
    fclose(in);
    return true;
}

static bool holds(const Check &check, const std::string &output)
{
    if (check.kind == CHECK_CONTAINS || check.kind == CHECK_LACKS)
        return (output.find(check.text) != std::string::npos) == (check.kind == CHECK_CONTAINS);
    regex_t compiled;
    if (regcomp(&compiled, check.text.c_str(), REG_EXTENDED | REG_NEWLINE | REG_NOSUB) != 0)
        return false;
    bool matched = regexec(&compiled, output.c_str(), 0, nullptr, 0) == 0;
    regfree(&compiled);
    return matched == (check.kind == CHECK_MATCHES);
}

static const char *checkWord(CheckKind kind)
{
    switch (kind) {
    case CHECK_CONTAINS: return "must contain";
    case CHECK_LACKS: return "must not contain";
    case CHECK_MATCHES: return "must match";
    default: return "must not match";
    }
}

// Plays one test: a new game, the restore question answered no, the
// precommand, then its commands; true when every check holds.
static bool runTest(const GameTest &test, const TestFile &file)
{
    std::string input = std::string(1, asciiLower(settings.NoLetter)) + "\n";
    int setupLines = 1;
    if (file.havePrecommand) {
        input += file.precommand + "\n";
        setupLines++;
    }
    for (size_t i = 1; i < test.steps.size(); i++)
        input += test.steps[i].command + "\n";

    char *recorded = nullptr;
    size_t recordedSize = 0;
    FILE *in = fmemopen(const_cast<char *>(input.data()), input.size(), "r");
    FILE *out = open_memstream(&recorded, &recordedSize);
    if (!in || !out) {
        if (in)
            fclose(in);
        if (out)
            fclose(out);
        free(recorded);
        puts("Cannot run the tests: out of memory");
        return false;
    }
    std::vector<size_t> marks;
    lineMarks = &marks;
    testOutput = out;
    setConsoleInput(in);
    setConsoleOutput(out, 1);
    seedRandom(file.seed);
    resetUndo();
    startGame();     // not beginGame: the output is UTF-8 whatever the locale

    showLocation(playerLocation, 1);
    playGame();
    finishOutputLine();
    fflush(out);
    lineMarks = nullptr;
    testOutput = nullptr;
    setConsoleInput(nullptr);
    setConsoleOutput(nullptr, -1);
    fclose(in);
    fclose(out);
    std::string output(recorded ? recorded : "", recordedSize);
    free(recorded);

    // Step k's output runs from the taking of its line to the next line taken.
    bool passed = true;
    std::string report;
    for (size_t k = 0; k < test.steps.size(); k++) {
        size_t line = setupLines + k;       // the line whose taking ends this step's output
        size_t from = k == 0 ? 0 : (line - 1 < marks.size() ? marks[line - 1] : std::string::npos);
        size_t to = line < marks.size() ? marks[line] : output.size();
        const Step &step = test.steps[k];
        bool read = from != std::string::npos;
        std::string segment = read ? output.substr(from, to > from ? to - from : 0) : "";
        std::string failures;
        for (const Check &check : step.checks)
            if (!read || !holds(check, segment))
                failures += std::string("      ") + checkWord(check.kind) + ": " + check.text + "  (line " +
                            std::to_string(check.line) + ")\n";
        if (failures.empty())
            continue;
        passed = false;
        report += k == 0 ? "    at the start of the game\n" : "    > " + step.command + "\n";
        report += failures;
        if (!read) {
            report += "      the command was never read: the game had ended\n";
            continue;
        }
        report += "      the output was:\n";
        for (size_t start = 0; start < segment.size();) {
            size_t end = segment.find('\n', start);
            if (end == std::string::npos)
                end = segment.size();
            report += "        " + segment.substr(start, end - start) + "\n";
            start = end + 1;
        }
    }
    printf("%s %s\n", passed ? "PASS" : "FAIL", test.name.c_str());
    fputs(report.c_str(), stdout);
    return passed;
}

int runGameTests(const char *path, int seedGiven, uint64_t seed)
{
    TestFile file = {DEFAULT_SEED, "", false, {}, 0};
    if (!readTestFile(path, file))
        return 1;
    if (file.errors > 0)
        return 1;
    if (seedGiven)
        file.seed = seed;
    int passed = 0, failed = 0;
    for (const GameTest &test : file.tests)
        (runTest(test, file) ? passed : failed)++;
    printf("%d passed, %d failed\n", passed, failed);
    fflush(stdout);
    return failed > 0 ? 1 : 0;
}
