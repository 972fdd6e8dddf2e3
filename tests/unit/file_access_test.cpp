// The shared reader check and writer: only regular files are read, and a
// write replaces its target whole or not at all, never following or hitting
// anything else in the folder.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "core/database/file_access.h"

namespace {

std::string readFile(const std::string &name)
{
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string &name, const std::string &bytes)
{
    std::ofstream(name, std::ios::binary) << bytes;
}

// The names in the current folder, sorted, one per line.
std::string folderListing()
{
    std::string names;
    FILE *list = popen("LC_ALL=C ls -A", "r");
    char line[512];
    while (list && fgets(line, sizeof line, list))
        names += line;
    if (list)
        pclose(list);
    return names;
}

struct FileAccess : ::testing::Test {
    char folder[64];
    char previous[4096];

    void SetUp() override
    {
        strcpy(folder, "/tmp/file_access_test.XXXXXX");
        ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
        ASSERT_NE(mkdtemp(folder), nullptr);
        ASSERT_EQ(chdir(folder), 0);
    }
    void TearDown() override
    {
        EXPECT_EQ(chdir(previous), 0);
        EXPECT_EQ(system((std::string("chmod -R u+w ") + folder + " && rm -rf " + folder).c_str()), 0);
    }
};

// A folder, a FIFO without a writer (which an ordinary open waits on for
// ever) and a device are not read; a regular file is.
TEST_F(FileAccess, OnlyRegularFilesAreRead)
{
    ASSERT_EQ(mkdir("folder.adv", 0755), 0);
    ASSERT_EQ(mkfifo("fifo.adv", 0644), 0);
    writeFile("plain.adv", "text");
    for (const char *name : {"folder.adv", "fifo.adv", "/dev/zero", "/dev/null", "missing.adv"}) {
        FILE *file = openRegularFile(name);
        EXPECT_EQ(file, nullptr) << name;
        if (file)
            fclose(file);
    }
    FILE *file = openRegularFile("plain.adv");
    ASSERT_NE(file, nullptr);
    char text[8] = {};
    EXPECT_EQ(fread(text, 1, sizeof text, file), 4u);
    EXPECT_STREQ(text, "text");
    fclose(file);
}

// Writing replaces the target, keeps its permissions, and leaves nothing
// else: files under the names temporaries had before (here links to a
// precious file) are neither followed nor removed. A very long name still
// fits, its temporary being short.
TEST_F(FileAccess, WriteReplacesTheTargetAlone)
{
    writeFile("precious", "keep me");
    ASSERT_EQ(symlink("precious", "game.sv1.tmp"), 0);
    ASSERT_EQ(symlink("precious", ".twkAAAAAA"), 0);
    writeFile("game.sv1", "old");
    ASSERT_EQ(chmod("game.sv1", 0604), 0);
    ASSERT_EQ(writeWholeFile("game.sv1", "new", 3), 0);
    EXPECT_EQ(readFile("game.sv1"), "new");
    EXPECT_EQ(readFile("precious"), "keep me");
    struct stat info;
    ASSERT_EQ(stat("game.sv1", &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0604u);
    EXPECT_EQ(folderListing(), ".twkAAAAAA\ngame.sv1\ngame.sv1.tmp\nprecious\n");

    std::string longName(250, 'n');
    longName += ".twk";
    EXPECT_EQ(writeWholeFile(longName.c_str(), "x", 1), 0);
    EXPECT_EQ(readFile(longName), "x");
}

// A writer killed between naming its temporary file and renaming it leaves
// the file: the next write in the folder removes it when its writer is gone,
// and never a file of a running writer or of anyone else.
TEST_F(FileAccess, AbandonedTemporaryFilesAreRemoved)
{
    pid_t gone = fork();
    ASSERT_GE(gone, 0);
    if (gone == 0)
        _exit(0);
    ASSERT_EQ(waitpid(gone, nullptr, 0), gone);
    std::string abandoned = ".twk" + std::to_string(gone) + "-abcdef";
    std::string running = ".twk" + std::to_string(getppid()) + "-abcdef";
    writeFile(abandoned, "left");
    writeFile(running, "in use");
    writeFile(".twk-notes", "mine");
    ASSERT_EQ(writeWholeFile("game.sv1", "new", 3), 0);
    EXPECT_EQ(folderListing(), ".twk-notes\n" + running + "\ngame.sv1\n");
}

// A target that is a link is written through it: the file it points at
// changes, in its own folder, and the link stays a link.
TEST_F(FileAccess, LinksAreFollowedToTheirFile)
{
    ASSERT_EQ(mkdir("saves", 0755), 0);
    writeFile("saves/real.sv1", "old");
    ASSERT_EQ(symlink("saves/real.sv1", "game.sv1"), 0);
    ASSERT_EQ(symlink("real.sv1", "saves/alias.sv1"), 0);
    ASSERT_EQ(symlink("saves/alias.sv1", "chain.sv1"), 0);
    ASSERT_EQ(writeWholeFile("game.sv1", "first", 5), 0);
    EXPECT_EQ(readFile("saves/real.sv1"), "first");
    ASSERT_EQ(writeWholeFile("saves/alias.sv1", "second", 6), 0);
    EXPECT_EQ(readFile("saves/real.sv1"), "second");
    ASSERT_EQ(writeWholeFile("chain.sv1", "third", 5), 0);    // a link to a link, each relative to its folder
    EXPECT_EQ(readFile("saves/real.sv1"), "third");
    struct stat info;
    ASSERT_EQ(lstat("game.sv1", &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(lstat("saves/alias.sv1", &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    // A link to a file not there yet creates that file.
    ASSERT_EQ(symlink("saves/new.sv2", "game.sv2"), 0);
    ASSERT_EQ(writeWholeFile("game.sv2", "made", 4), 0);
    EXPECT_EQ(readFile("saves/new.sv2"), "made");
}

// Refused targets stay as they were: write-protected (also for a user the
// system lets write anything), a folder, a FIFO, a device, a link loop.
TEST_F(FileAccess, RefusedTargetsAreUntouched)
{
    writeFile("protected.sv1", "old");
    ASSERT_EQ(chmod("protected.sv1", 0444), 0);
    ASSERT_EQ(mkdir("folder.sv1", 0755), 0);
    ASSERT_EQ(mkfifo("fifo.sv1", 0644), 0);
    ASSERT_EQ(symlink("/dev/full", "device.sv1"), 0);
    ASSERT_EQ(symlink("loop.sv1", "loop.sv1"), 0);
    for (const char *name : {"protected.sv1", "folder.sv1", "fifo.sv1", "device.sv1", "loop.sv1"})
        EXPECT_EQ(writeWholeFile(name, "new", 3), -1) << name;
    EXPECT_EQ(readFile("protected.sv1"), "old");
    EXPECT_EQ(folderListing(), "device.sv1\nfifo.sv1\nfolder.sv1\nloop.sv1\nprotected.sv1\n");
}

// A write that fails part-way (a file-size limit, as a full disk would) is
// reported, keeps the older file and leaves no temporary file behind; the
// limit's signal does not end the program.
TEST_F(FileAccess, FailedWriteKeepsTheOlderFile)
{
    writeFile("game.twk", "older");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        struct rlimit limit = {1024, 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string big(4096, 'b');
        _exit(writeWholeFile("game.twk", big.data(), big.size()) == -1 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(readFile("game.twk"), "older");
    EXPECT_EQ(folderListing(), "game.twk\n");
}

}  // namespace
