// Program start-up: options, game and file names, filling the database from
// the source or the compiled file, then compiling or playing.
#include "core/driver/startup.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <unistd.h>

#include "core/compiler/checker.h"
#include "core/compiler/source_reader.h"
#include "core/compiler/source_writer.h"
#include "core/database/compiled_game.h"
#include "core/database/file_access.h"
#include "core/database/game_database.h"
#include "core/database/text_compare.h"
#include "core/driver/random_numbers.h"
#include "core/driver/transcript.h"
#include "core/driver/world_map.h"
#include "core/interpreter/session.h"
#include "frontend/frontend.h"

char gameName[NAME_SIZE];

enum RunMode { MODE_AUTOMATIC = 0, MODE_COMPILE = 1, MODE_TEXT = 2, MODE_BINARY = 3, MODE_CHECK = 4 };
enum Found { FOUND_NONE = 0, FOUND_SOURCE = 1, FOUND_COMPILED = 2 };

// A file name is the game name (at most 255 characters) plus a 4-character
// extension, so its buffer holds both.
constexpr int FILE_NAME_SIZE = NAME_SIZE + 4;

static void printHelp()
{
    puts("Tarnwick, Storyloom, v. 2.4");
    puts(FRONT_END_KIND);
    puts("Written by the Tarnwick developers, for authors and players of text adventures.");
    puts("Options       -h, --help      : Display this page");
    puts("              -v, --version   : Display version info");
    puts("              -d, --debug     : Operate in debug mode");
    puts("              -c, --compile   : Convert text to binary");
    puts("              -t, --text      : Force text file");
    puts("              -b, --binary    : Force binary file");
    puts("Free software: play it, share it, write your own games with it.");
    puts("See documentation for more info.");
}

static void printVersion()
{
    puts("Tarnwick 2.4.1");
}

// Copies at most NAME_SIZE - 1 characters of text into gameName.
static void setGameName(const char *text)
{
    snprintf(gameName, sizeof gameName, "%s", text);
}

// The program's own file name: the text after the last '/', else after the
// last '\', else the whole of it.
static const char *programBaseName(const char *path)
{
    const char *slash = strrchr(path, '/');
    if (slash)
        return slash + 1;
    const char *backslash = strrchr(path, '\\');
    return backslash ? backslash + 1 : path;
}

// A table could not grow while the source was read: the game is incomplete.
static int memoryFailure()
{
    puts("Memory Allocation Error, Cannot Continue!");
    fflush(stdout);
    freeArena();
    return 255;
}

// Reads the source as compiling does and prints the checker's findings
// instead of the compiler's messages; writes and plays nothing.
static int checkSource(const char *sourceName)
{
    FILE *source = openRegularFile(sourceName);
    if (!source) {
        printf("File %s not found!\n", sourceName);
        return 1;
    }
    beginCheck(sourceName);
    readSourceFile(source, sourceName);
    fclose(source);
    if (databaseAllocationFailed())
        return memoryFailure();
    int status = finishCheck();
    fflush(stdout);
    return status;
}

// Writes the source recovered from the compiled file to standard output; the
// source file is never read. 1 when the compiled file cannot be used.
static int decompileGame(const char *compiledName)
{
    int loaded = readCompiledGame(compiledName);
    if (loaded == -1) {
        fprintf(stderr, "Cannot open file %s!\n", compiledName);
        return 1;
    }
    if (loaded != 0 || databaseAllocationFailed()) {
        fprintf(stderr, "File %s is not a compiled game or is damaged!\n", compiledName);
        return 1;
    }
    writeRecoveredSource(stdout);
    if (fflush(stdout) != 0 || ferror(stdout)) {
        fprintf(stderr, "Cannot write the recovered source!\n");
        return 1;
    }
    return 0;
}

// The value of a long option "--name=value" (the name compared without
// regard to case), or nullptr when arg is not that option.
static const char *optionValue(const char *arg, const char *nameWithEquals)
{
    return startsWithIgnoreCase(arg, nameWithEquals) ? arg + strlen(nameWithEquals) : nullptr;
}

// A decimal seed: digits only, at most what 64 bits hold.
static bool readSeed(const char *text, uint64_t *seed)
{
    if (*text < '0' || *text > '9')
        return false;
    errno = 0;
    char *end = nullptr;
    unsigned long long value = strtoull(text, &end, 10);
    if (*end != '\0' || errno == ERANGE)
        return false;
    *seed = value;
    return true;
}

int runProgram(int argc, char **argv)
{
    debugMode = 0;
    int mode = MODE_AUTOMATIC;
    bool haveName = false;
    gameName[0] = '\0';
    bool seedGiven = false;
    uint64_t seed = static_cast<uint64_t>(time(nullptr));
    const char *transcriptPath = nullptr;
    const char *testPath = nullptr;
    bool mapWanted = false;
    bool decompileWanted = false;

    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i];
        if (const char *value = optionValue(arg, "--seed=")) {
            if (!readSeed(value, &seed)) {
                fprintf(stderr, "--seed needs a decimal number: %s\n", arg);
                return 1;
            }
            seedGiven = true;
        }
        if (const char *value = optionValue(arg, "--transcript="))
            transcriptPath = value;
        if (const char *value = optionValue(arg, "--test="))
            testPath = value;
        if (equalsIgnoreCase(arg, "--help")) {
            printHelp();
            return 0;
        }
        if (equalsIgnoreCase(arg, "--version")) {
            printVersion();
            return 0;
        }
        if (equalsIgnoreCase(arg, "--debug"))
            debugMode = 1;
        if (equalsIgnoreCase(arg, "--compile"))
            mode = MODE_COMPILE;
        if (equalsIgnoreCase(arg, "--text"))
            mode = MODE_TEXT;
        if (equalsIgnoreCase(arg, "--binary"))
            mode = MODE_BINARY;
        if (equalsIgnoreCase(arg, "--check"))
            mode = MODE_CHECK;
        if (equalsIgnoreCase(arg, "--map"))
            mapWanted = true;
        if (equalsIgnoreCase(arg, "--decompile"))
            decompileWanted = true;
        if (arg[0] == '-' && arg[1] != '-') {
            for (const char *letter = arg + 1; *letter; letter++) {
                switch (*letter) {
                case 'h': printHelp(); return 0;
                case 'v': printVersion(); return 0;
                case 'd': debugMode = 1; break;
                case 'c': mode = MODE_COMPILE; break;
                case 't': mode = MODE_TEXT; break;
                case 'b': mode = MODE_BINARY; break;
                default: break;
                }
            }
        }
        if (!haveName && arg[0] != '-') {
            setGameName(arg);
            haveName = true;
        }
    }
    if (!haveName)
        setGameName(argc > 0 && argv[0] ? programBaseName(argv[0]) : "");
    if (char *dot = strchr(gameName, '.'))
        *dot = '\0';
    // The map reads the game as play does: -t and -b still choose the file.
    if (mapWanted && (mode == MODE_COMPILE || mode == MODE_CHECK))
        mode = MODE_AUTOMATIC;

    char sourceName[FILE_NAME_SIZE];
    char compiledName[FILE_NAME_SIZE];
    snprintf(sourceName, sizeof sourceName, "%s.adv", gameName);
    snprintf(compiledName, sizeof compiledName, "%s.twk", gameName);

    if (!allocateArena()) {
        puts("Memory Allocation Error, Cannot Continue!");
        return -1;
    }
    resetDatabase();

    seedRandom(seed);
    if (decompileWanted) {
        int status = decompileGame(compiledName);
        freeArena();
        return status;
    }
    if (mode == MODE_CHECK) {
        int status = checkSource(sourceName);
        freeArena();
        return status;
    }

    int outcome = 1;
    int found = FOUND_NONE;
    if (mode != MODE_BINARY) {
        if (FILE *source = openRegularFile(sourceName)) {
            outcome = readSourceFile(source, sourceName);
            fclose(source);
            if (databaseAllocationFailed())
                return memoryFailure();
            found = FOUND_SOURCE;
            // Warnings do not keep a map from being drawn, nor wait.
            if (outcome > 0 && mapWanted)
                outcome = 0;
            if (outcome > 0 && mode != MODE_COMPILE) {
                fflush(stdout);
                // A player at a terminal is told what the wait is for; the
                // output stays the findings alone.
                if (isatty(STDIN_FILENO))
                    fputs("Press Enter to play despite the warnings.\n", stderr);
                getchar();
                outcome = 0;
            }
        }
    }
    bool damagedReported = false;
    if (found == FOUND_NONE && (mode == MODE_AUTOMATIC || mode == MODE_BINARY)) {
        int loaded = readCompiledGame(compiledName);
        if (loaded == 0) {
            found = FOUND_COMPILED;
            outcome = 0;
            debugMode = 0;
        } else if (loaded == -2 && mapWanted) {
            printf("File %s is not a compiled game or is damaged!\n", compiledName);
            damagedReported = true;
        }
    }
    if (found == FOUND_NONE && !damagedReported) {
        if (mode == MODE_AUTOMATIC)
            printf("Cannot find file %s nor file %s!\n", sourceName, compiledName);
        else
            printf("File %s not found!\n", mode == MODE_BINARY ? compiledName : sourceName);
    }

    // The exit status says whether the game was played or, in compile mode,
    // whether a compiled file resulted: 1 when neither file could be used,
    // the source has errors or its compiled file could not be written.
    int status = 1;
    if (outcome == 0) {
        if (mapWanted) {
            status = writeWorldMap(gameName);
        } else if (mode == MODE_COMPILE) {
            if (writeCompiledGame(compiledName) == 0) {
                puts("Conversion complete");
                status = 0;
            } else {
                printf("Cannot write file %s!\n", compiledName);
            }
        } else if (testPath) {
            status = runGameTests(testPath, seedGiven, seed);
        } else if (!transcriptPath || openTranscript(transcriptPath, gameName)) {
            runSession();
            closeTranscript();
            status = 0;
        } else {
            fprintf(stderr, "Cannot open transcript file %s!\n", transcriptPath);
        }
    }
    fflush(stdout);
    freeArena();
    return status;
}
