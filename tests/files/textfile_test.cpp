// The text-file object: reading by line, writing back on a change of file and at the exit.
#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "base/errors.h"
#include "files/files_local.h"
#include "files/lookup.h"
#include "files_test_util.h"
#include "voxa/files.h"

namespace {

class TextFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        DiscardFileObjectsForTesting();
        gErrors = ErrorReport();
    }
    void TearDown() override { DiscardFileObjectsForTesting(); }

    DynString Read(const std::string& file, double line) {
        DynString text("unset");
        EXPECT_EQ(ReadTextLine(DynString(file.c_str()), line, text), 0);
        return text;
    }
    // Moving to another file writes the current one back.
    void Switch() { Read(dir / "other-missing.txt", 0); }

    ScratchDir dir;
};

TEST_F(TextFileTest, LinesAreReadWithoutLineEndsAndMissingOnesSayWhy) {
    WriteFile(dir / "four.txt", "alpha\r\n\r\ngamma \t\x01\nun caf\xc3\xa9\n");
    EXPECT_STREQ(Read(dir / "four.txt", 0).CStr(), "alpha");
    EXPECT_STREQ(Read(dir / "four.txt", 1).CStr(), "NO_DATA"); // empty line
    EXPECT_STREQ(Read(dir / "four.txt", 2).CStr(), "gamma "); // trailing control characters go
    EXPECT_STREQ(Read(dir / "four.txt", 3).CStr(), "un caf\xc3\xa9"); // UTF-8 is text, not control
    EXPECT_STREQ(Read(dir / "four.txt", 5).CStr(), "NO_DATA");
    EXPECT_EQ(gErrors.errorCode, 0);

    EXPECT_STREQ(Read(dir / "four.txt", 256).CStr(), "NO_DATA");
    EXPECT_EQ(gErrors.errorCode, 7);
    gErrors.errorCode = 0;
    EXPECT_STREQ(Read(dir / "four.txt", -1).CStr(), "NO_DATA");
    EXPECT_EQ(gErrors.errorCode, 7);
    EXPECT_STREQ(Read(dir / "four.txt", 255.9).CStr(), "NO_DATA");

    gErrors.errorCode = 0;
    EXPECT_STREQ(Read(dir / "none.txt", 0).CStr(), "NO_FILE");
    EXPECT_EQ(gErrors.errorCode, 3);
    gErrors.errorCode = 0;
    EXPECT_STREQ(Read(dir / "none.txt", 1).CStr(), "NO_FILE"); // still missing when asked again
    EXPECT_EQ(gErrors.errorCode, 3);
}

TEST_F(TextFileTest, NumberFormsConvertBothWays) {
    WriteFile(dir / "num.txt", "42.5\nabc\n");
    double n = -1;
    ReadTextLine(DynString((dir / "num.txt").c_str()), 0, n);
    EXPECT_EQ(n, 42.5);
    ReadTextLine(DynString((dir / "num.txt").c_str()), 1, n);
    EXPECT_EQ(n, 0);
    ReadTextLine(DynString((dir / "num.txt").c_str()), 9, n);
    EXPECT_EQ(n, 0);
    WriteTextLine(DynString((dir / "num.txt").c_str()), 2, 1234567.0);
    EXPECT_STREQ(Read(dir / "num.txt", 2).CStr(), "1.23457e+06");
}

TEST_F(TextFileTest, LineTenOfANewFileWritesElevenLines) {
    std::string file = dir / "new.txt";
    WriteTextLine(DynString(file.c_str()), 10, DynString("ten"));
    EXPECT_EQ(gErrors.errorCode, 3); // the new file was not found when it was opened
    EXPECT_STREQ(Read(file, 10).CStr(), "ten");
    EXPECT_FALSE(Exists(file));
    Switch();
    std::string expect;
    for (int i = 0; i < 10; ++i) expect += "\r\n";
    EXPECT_EQ(ReadFile(file), expect + "ten\r\n");
}

TEST_F(TextFileTest, IndexOutsideTheTableStoresNothing) {
    std::string file = dir / "range.txt";
    WriteFile(file, "keep\n");
    WriteTextLine(DynString(file.c_str()), 256, DynString("x"));
    EXPECT_EQ(gErrors.errorCode, 7);
    WriteTextLine(DynString(file.c_str()), -3, DynString("x"));
    Switch();
    EXPECT_EQ(ReadFile(file), "keep\n"); // nothing changed, nothing written
}

TEST_F(TextFileTest, LongTextIsCutTo1023Characters) {
    std::string file = dir / "long.txt";
    WriteTextLine(DynString(file.c_str()), 0, DynString(std::string(3000, 'z').c_str()));
    EXPECT_EQ(Read(file, 0).Length(), 1023u);
    Switch();
    EXPECT_EQ(ReadFile(file), std::string(1023, 'z') + "\r\n");
}

TEST_F(TextFileTest, WriteBackKeepsLinesBeyondTheTableAndTheFilesOwnName) {
    std::string content;
    for (int i = 0; i < 300; ++i) content += "line" + std::to_string(i) + "\n";
    WriteFile(dir / "Big.TXT", content);
    WriteTextLine(DynString((dir / "big.txt").c_str()), 3, DynString("changed"));
    Switch();
    EXPECT_FALSE(Exists(dir / "big.txt")); // written back to the file it was read from
    std::string expect;
    for (int i = 0; i < 256; ++i) expect += (i == 3 ? std::string("changed") : "line" + std::to_string(i)) + "\r\n";
    for (int i = 256; i < 300; ++i) expect += "line" + std::to_string(i) + "\n";
    EXPECT_EQ(ReadFile(dir / "Big.TXT"), expect);
}

TEST_F(TextFileTest, WriteBackReplacesTheFileInsteadOfWritingIntoIt) {
    std::string file = dir / "atomic.txt";
    WriteFile(file, "old\n");
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    // A second name for the old file's content: writing into the file would change it too.
    ASSERT_EQ(link(file.c_str(), (dir / "backup.txt").c_str()), 0);
    WriteTextLine(DynString(file.c_str()), 0, DynString("new"));
    Switch();
    EXPECT_EQ(ReadFile(file), "new\r\n");
    EXPECT_EQ(ReadFile(dir / "backup.txt"), "old\n");
    struct stat st;
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // Nothing is left beside it.
    std::vector<std::string> names;
    DIR* d = opendir(dir.Path().c_str());
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] != '.' || e->d_name[1] == 'v') names.push_back(e->d_name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"atomic.txt", "backup.txt"}));
}

TEST_F(TextFileTest, FailedWriteBackLeavesTheTargetAlone) {
    EXPECT_FALSE(ReplaceFileContents(dir.Path(), "x"));          // a directory is not replaced
    EXPECT_FALSE(ReplaceFileContents(dir / "no/such/dir.txt", "x"));
    EXPECT_TRUE(ReplaceFileContents(dir / "fresh.txt", "abc"));
    EXPECT_EQ(ReadFile(dir / "fresh.txt"), "abc");
    // A link keeps pointing at its file, whose content is replaced.
    ASSERT_EQ(symlink((dir / "fresh.txt").c_str(), (dir / "link.txt").c_str()), 0);
    EXPECT_TRUE(ReplaceFileContents(dir / "link.txt", "via link"));
    EXPECT_EQ(ReadFile(dir / "fresh.txt"), "via link");
    struct stat st;
    ASSERT_EQ(lstat((dir / "link.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST_F(TextFileTest, SameFileAgainKeepsUnsavedLines) {
    std::string file = dir / "same.txt";
    WriteFile(file, "a\nb\n");
    WriteTextLine(DynString(file.c_str()), 1, DynString("B"));
    EXPECT_STREQ(Read(file, 1).CStr(), "B");
    EXPECT_EQ(ReadFile(file), "a\nb\n"); // not written until the object moves on
}

TEST_F(TextFileTest, DirtyObjectsAreWrittenBackAtProcessExit) {
    std::string text = dir / "exit.txt", ini = dir / "exit.ini", viaEnd = dir / "end.txt";
    EXPECT_EXIT(
        {
            WriteTextLine(DynString(text.c_str()), 2, DynString("at exit"));
            IniOpen(DynString(ini.c_str()));
            IniPut(DynString("Game"), DynString("balls"), DynString("20"));
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadFile(text), "\r\n\r\nat exit\r\n");
    EXPECT_EQ(ReadFile(ini), "[Game]\r\nballs=20\r\n");

    EXPECT_EXIT(
        {
            WriteTextLine(DynString(viaEnd.c_str()), 0, DynString("ended"));
            EndProgram();
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadFile(viaEnd), "ended\r\n");
}

TEST_F(TextFileTest, FileInThePackIsReadThroughTheLookup) {
    CreatePackStates();
    std::string name = Unique("packed") + ".txt";
    WriteBytes(dir / "p.pak", BuildPack({{name, EntryData(9, LiteralStream("one\r\ntwo\n"))}}));
    SetPackFiles(DynString((dir / "p.pak").c_str()), DynString(""));
    EXPECT_STREQ(Read(name, 1).CStr(), "two");
    ReleasePackStates();
}

} // namespace
