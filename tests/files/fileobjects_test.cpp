// The text-file and INI objects: reading, changes, and the write-back on a change of file, at the
// exit and through the pack.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <iterator>
#include <utility>

#include "base/errors.h"
#include "files/files_local.h"
#include "files/lookup.h"
#include "files_test_util.h"
#include "voxa/files.h"

namespace {

class FileObjectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        DiscardFileObjectsForTesting();
        gErrors = ErrorReport();
    }
    void TearDown() override { DiscardFileObjectsForTesting(); }

    std::string Read(const std::string& file, double line) {
        DynString text("unset");
        EXPECT_EQ(ReadTextLine(S(file), line, text), 0);
        return text.CStr();
    }
    static std::string Get(const char* section, const char* key) { return IniGet(S(section), S(key)).CStr(); }
    static void Put(const char* section, const char* key, const char* value) { IniPut(S(section), S(key), S(value)); }
    void Open(const std::string& file) { IniOpen(S(file)); }
    // Moving either object to another file writes the current one back.
    void Switch() {
        Read(dir / "other-missing.txt", 0);
        Open(dir / "other-missing.ini");
    }
    // The error code since the last call.
    static int Error() { return std::exchange(gErrors.errorCode, 0); }

    ScratchDir dir;
};

TEST_F(FileObjectsTest, TextLinesAreReadWithoutLineEndsAndMissingOnesSayWhy) {
    std::string four = dir / "four.txt";
    WriteFile(four, "alpha\r\n\r\ngamma \t\x01\nun caf\xc3\xa9\n42.5\n");
    struct Case {
        std::string file;
        double line;
        const char* text;
        int error;
    } cases[] = {
        {four, 0, "alpha", 0}, {four, 1, "NO_DATA", 0}, // an empty line
        {four, 2, "gamma ", 0},                          // trailing control characters go
        {four, 3, "un caf\xc3\xa9", 0},                  // UTF-8 is text, not control
        {four, 5, "NO_DATA", 0},   {four, 256, "NO_DATA", 7}, {four, -1, "NO_DATA", 7}, {four, 255.9, "NO_DATA", 0},
        {dir / "none.txt", 0, "NO_FILE", 3}, {dir / "none.txt", 1, "NO_FILE", 3}, // still missing when asked again
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Read(c.file, c.line), c.text) << c.line;
        EXPECT_EQ(Error(), c.error) << c.line;
    }
    double n = -1;
    for (auto [line, value] : {std::pair<double, double>{4, 42.5}, {9, 0}}) { // NO_DATA holds no number
        ReadTextLine(S(four), line, n);
        EXPECT_EQ(n, value) << line;
    }
    WriteTextLine(S(four), 2, 1234567.0);
    EXPECT_EQ(Read(four, 2), "1.23457e+06");
}

TEST_F(FileObjectsTest, TextWriteBackFormat) {
    std::string range = dir / "range.txt", cut = dir / "long.txt", same = dir / "same.txt";
    WriteFile(range, "keep\n");
    WriteTextLine(S(range), 256, DynString("x"));
    EXPECT_EQ(Error(), 7);
    Switch();
    EXPECT_EQ(ReadFile(range), "keep\n"); // nothing changed, nothing written

    WriteTextLine(S(cut), 0, DynString(std::string(3000, 'z').c_str()));
    mkdir((dir / "Folder.TXT").c_str(), 0700); // a folder of another case is no file to write into
    WriteTextLine(S(dir / "folder.txt"), 0, DynString("f"));
    Switch();
    EXPECT_EQ(ReadFile(cut), std::string(1023, 'z') + "\r\n");
    EXPECT_EQ(ReadFile(dir / "folder.txt"), "f\r\n");

    WriteFile(same, "a\nb\n");
    WriteTextLine(S(same), 1, DynString("B"));
    EXPECT_EQ(Read(same, 1), "B"); // the same file again keeps unsaved lines
    EXPECT_EQ(ReadFile(same), "a\nb\n");

    std::string content, expect;
    for (int i = 0; i < 300; ++i) content += "line" + std::to_string(i) + "\n";
    for (int i = 0; i < 256; ++i) expect += (i == 3 ? std::string("changed") : "line" + std::to_string(i)) + "\r\n";
    WriteFile(dir / "Big.TXT", content);
    WriteTextLine(S(dir / "big.txt"), 3, DynString("changed"));
    Switch();
    EXPECT_FALSE(Exists(dir / "big.txt")); // written back to the file it was read from
    EXPECT_EQ(ReadFile(dir / "Big.TXT"), expect + content.substr(content.find("line256"))); // lines past 256 kept
}

TEST_F(FileObjectsTest, WriteBackReplacesTheFileInsteadOfWritingIntoIt) {
    std::string file = dir / "atomic.txt";
    WriteFile(file, "old\n");
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    // A second name for the old file's content: writing into the file would change it too.
    ASSERT_EQ(link(file.c_str(), (dir / "backup.txt").c_str()), 0);
    WriteTextLine(S(file), 0, DynString("new"));
    Read(dir / "other-missing.txt", 0);
    EXPECT_EQ(ReadFile(file), "new\r\n");
    EXPECT_EQ(ReadFile(dir / "backup.txt"), "old\n");
    struct stat st;
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    namespace fs = std::filesystem; // nothing is left beside it
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);

    EXPECT_FALSE(ReplaceFileContents(dir.Path(), "x")); // a directory is not replaced
    EXPECT_FALSE(ReplaceFileContents(dir / "no/such/dir.txt", "x"));
    ASSERT_EQ(symlink(file.c_str(), (dir / "link.txt").c_str()), 0);
    EXPECT_TRUE(ReplaceFileContents(dir / "link.txt", "via link")); // a link keeps pointing at its file
    EXPECT_EQ(ReadFile(file), "via link");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.txt"));

    // A writable file in a folder where this user may not make files (root acts as "nobody"):
    // it cannot be replaced, so it is written in place.
    std::string ro = dir / "ro", fixed = ro + "/fixed.txt";
    ASSERT_EQ(mkdir(ro.c_str(), 0755) + chmod(dir.Path().c_str(), 0711), 0);
    WriteFile(fixed, "old");
    ASSERT_EQ(chmod(fixed.c_str(), 0666) + chmod(ro.c_str(), 0555), 0);
    EXPECT_EXIT(std::_Exit((geteuid() != 0 || setuid(65534) == 0) && ReplaceFileContents(fixed, "new") ? 0 : 1),
                ::testing::ExitedWithCode(0), "");
    chmod(ro.c_str(), 0755);
    EXPECT_EQ(ReadFile(fixed), "new");
}

TEST_F(FileObjectsTest, IniParsesSectionsKeysAndValues) {
    WriteFile(dir / "game.ini", "; settings\r\n  \t[Main]\r\nWidth=640\r\nheight = 480  \r\n\ttitle=  The Table\r\n"
                                "novalue=\r\nno equals\r\n[Sound Effects]\r\nvolume=7\n[Last=\nx=1");
    Open(dir / "game.ini");
    struct Case {
        const char *section, *key, *value;
    } cases[] = {
        {"main", "width", "640"}, {"MAIN", "HEIGHT", "480  "}, // trailing blanks are part of the value
        {"Main", "title", "The Table"}, {"Main", "novalue", "NO_DATA"}, {"Main", "no", "NO_DATA"},
        {"Main", "; settings", "NO_DATA"}, {"Sound", "volume", "7"}, // a section name runs to a blank or "="
        {"Last", "x", "1"}, {"Nope", "x", "NO_DATA"}, {"Main", "nope", "NO_DATA"},
    };
    for (const Case& c : cases) EXPECT_EQ(Get(c.section, c.key), c.value) << c.section << "/" << c.key;

    std::string junk = "[\n[]\n[=]\n=\n==x\n[ spaced ]\nk\t=\tv\n";
    junk += std::string(100000, 'q') + "=" + std::string(5000, 'w') + "\n" + std::string("nul\0key=1\n", 10);
    for (int i = 0; i < 2000; ++i) junk += "[s" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
    WriteFile(dir / "junk.ini", junk);
    Open(dir / "junk.ini");
    EXPECT_EQ(Get("s1999", "k"), "1999");
    EXPECT_EQ(Get("s0", "k"), "0");
    EXPECT_EQ(Get("", "k"), "v"); // "[ spaced ]" names the section "" (a name ends at a blank)
    EXPECT_EQ(Get("", "q"), "NO_DATA");
    EXPECT_EQ(Get("", "nul"), "NO_DATA"); // a NUL ends the line's text
    EXPECT_EQ(Get("", ""), "NO_DATA");    // "==x" names no key
    EXPECT_EQ(IniGet(DynString(""), DynString(std::string(100000, 'q').c_str())).Length(), 5000u);
    Put("zz", "k", "v"); // once written back, the file reads and writes back to itself
    Switch();
    std::string first = ReadFile(dir / "junk.ini");
    Open(dir / "junk.ini");
    Put("zz", "k", "v");
    Switch();
    EXPECT_EQ(ReadFile(dir / "junk.ini"), first);
}

TEST_F(FileObjectsTest, IniChangesAreWrittenInTheStoredOrderWithCrLf) {
    std::string rt = dir / "rt.ini";
    WriteFile(rt, "[A]\na=1\nb=2\nc=3\n[B]\nx=9\n[C]\ny=8\n");
    Open(rt);
    Put("a", "B", "20");  // replaced, keeps its place and its stored name
    Put("B", "new", "n"); // appended to its section
    Put("D", "d", "4");   // new section at the end
    Switch();
    EXPECT_EQ(ReadFile(rt), "[A]\r\na=1\r\nb=20\r\nc=3\r\n[B]\r\nx=9\r\nnew=n\r\n[C]\r\ny=8\r\n[D]\r\nd=4\r\n");
    Open(rt);
    EXPECT_EQ(Get("b", "NEW"), "n");
    Put("A", "a", "");       // removed: the section's last key takes its place
    Put("A", "missing", ""); // a missing key is added even with an empty value
    EXPECT_EQ(Get("A", "missing"), "");
    Put("A", "missing", ""); // ... and removed by the next empty value
    Put("b", "", "");        // removed: the last section takes its place
    Put("nothing", "", "");  // removing a missing section changes nothing
    Switch();
    EXPECT_EQ(ReadFile(rt), "[A]\r\nc=3\r\nb=20\r\n[D]\r\nd=4\r\n[C]\r\ny=8\r\n");
    Open(rt);
    Put("A", "b", "");
    Put("A", "c", ""); // the last key, then the last section
    Put("C", "", "");
    Switch();
    EXPECT_EQ(ReadFile(rt), "[A]\r\n[D]\r\nd=4\r\n");

    struct Case {
        const char *name, *before, *section, *key, *after;
    } cases[] = {
        {"fresh.ini", nullptr, "Main", "x", "[Main]\r\nx=1\r\n"},       // a missing file is created
        {"same.ini", "; kept\n[A]\nk=v\n", nullptr, nullptr, "; kept\n[A]\nk=v\n"}, // unchanged: not rewritten
        {"top.ini", "top=1\n[A]\nk=v\n", "A", "k", "top=1\r\n[A]\r\nk=1\r\n"}, // keys before any section stay
    };
    for (const Case& c : cases) {
        if (c.before) WriteFile(dir / c.name, c.before);
        Open(dir / c.name);
        if (c.section) Put(c.section, c.key, "1");
        EXPECT_FALSE(!c.before && Exists(dir / c.name)); // nothing is written before the switch
        Switch();
        EXPECT_EQ(ReadFile(dir / c.name), c.after);
    }
}

// Through EndProgram and the exit it ends in; a new text file gets empty lines before the one written.
TEST_F(FileObjectsTest, DirtyObjectsAreWrittenBackAtTheProgramsEnd) {
    std::string text = dir / "exit.txt", ini = dir / "exit.ini";
    EXPECT_EXIT(
        {
            WriteTextLine(S(text), 2, DynString("at exit"));
            Open(ini);
            Put("Game", "balls", "20");
            EndProgram();
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadFile(text), "\r\n\r\nat exit\r\n");
    EXPECT_EQ(ReadFile(ini), "[Game]\r\nballs=20\r\n");
}

TEST_F(FileObjectsTest, FilesInThePackAreReadAndWrittenBesideTheProgram) {
    CreatePackStates();
    std::string txt = Unique("packed") + ".txt", ini = Unique("packed") + ".ini";
    WriteBytes(dir / "p.pak", BuildPack({{txt, Packed("one\r\ntwo\n")}, {ini, Packed("[Pk]\r\nk=pak\r\n")}}));
    SetPackFiles(S(dir / "p.pak"), DynString(""));
    EXPECT_EQ(Read(txt, 1), "two");
    Open(dir / ini); // not a plain file: the lookup falls through to the pack
    EXPECT_EQ(Get("pk", "k"), "pak");
    Put("Pk", "k", "plain");
    Switch();
    EXPECT_EQ(ReadFile(dir / ini), "[Pk]\r\nk=plain\r\n");
    ReleasePackStates();
}

} // namespace
