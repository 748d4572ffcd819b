// The INI object: parsing, lookups without regard to case, changes and the write-back format.
#include <gtest/gtest.h>

#include <random>

#include "files/files_local.h"
#include "files/lookup.h"
#include "files_test_util.h"
#include "voxa/files.h"

namespace {

class IniTest : public ::testing::Test {
protected:
    void SetUp() override { DiscardFileObjectsForTesting(); }
    void TearDown() override { DiscardFileObjectsForTesting(); }

    static std::string Get(const char* section, const char* key) {
        return IniGet(DynString(section), DynString(key)).CStr();
    }
    static void Put(const char* section, const char* key, const char* value) {
        IniPut(DynString(section), DynString(key), DynString(value));
    }
    void Open(const std::string& file) { IniOpen(DynString(file.c_str())); }
    // Opening another file writes the current one back.
    void Switch() { Open(dir / "elsewhere-missing.ini"); }

    ScratchDir dir;
};

TEST_F(IniTest, ParsesSectionsKeysAndValues) {
    WriteFile(dir / "game.ini",
              "; settings\r\n"
              "  \t[Main]\r\n"
              "Width=640\r\n"
              "height = 480  \r\n"
              "\ttitle=  The Table\r\n"
              "novalue=\r\n"
              "noequals\r\n"
              "[Sound Effects]\r\n"
              "volume=7\n"
              "[Last\n"
              "x=1");
    Open(dir / "game.ini");
    EXPECT_EQ(Get("main", "width"), "640");
    EXPECT_EQ(Get("MAIN", "HEIGHT"), "480  "); // trailing blanks are part of the value
    EXPECT_EQ(Get("Main", "title"), "The Table");
    EXPECT_EQ(Get("Main", "novalue"), "NO_DATA");
    EXPECT_EQ(Get("Main", "noequals"), "NO_DATA");
    EXPECT_EQ(Get("Main", "; settings"), "NO_DATA");
    EXPECT_EQ(Get("Sound", "volume"), "7"); // a section name runs to the first blank
    EXPECT_EQ(Get("Last", "x"), "1");
    EXPECT_EQ(Get("Nope", "x"), "NO_DATA");
    EXPECT_EQ(Get("Main", "nope"), "NO_DATA");
}

TEST_F(IniTest, RoundTripWritesTheStoredOrderWithCrLf) {
    WriteFile(dir / "rt.ini", "[A]\na=1\nb=2\nc=3\n[B]\nx=9\n[C]\ny=8\n");
    Open(dir / "rt.ini");
    Put("a", "B", "20");    // replaced, keeps its place and its stored name
    Put("B", "new", "n");   // appended to its section
    Put("D", "d", "4");     // new section at the end
    Switch();
    EXPECT_EQ(ReadFile(dir / "rt.ini"), "[A]\r\na=1\r\nb=20\r\nc=3\r\n[B]\r\nx=9\r\nnew=n\r\n[C]\r\ny=8\r\n[D]\r\nd=4\r\n");

    Open(dir / "rt.ini");
    EXPECT_EQ(Get("b", "NEW"), "n");
    Put("A", "a", "");      // removed: the section's last key takes its place
    Put("A", "missing", ""); // a missing key is added even with an empty value
    EXPECT_EQ(Get("A", "missing"), "");
    Put("A", "missing", ""); // ... and removed by the next empty value
    Put("b", "", "");       // removed: the last section takes its place
    Put("nothing", "", ""); // removing a missing section changes nothing
    Switch();
    EXPECT_EQ(ReadFile(dir / "rt.ini"), "[A]\r\nc=3\r\nb=20\r\n[D]\r\nd=4\r\n[C]\r\ny=8\r\n");
}

TEST_F(IniTest, RemovingTheLastKeyAndTheLastSection) {
    WriteFile(dir / "last.ini", "[S]\nk=v\n[T]\nz=1\n");
    Open(dir / "last.ini");
    Put("S", "k", "");
    Put("T", "", "");
    Switch();
    EXPECT_EQ(ReadFile(dir / "last.ini"), "[S]\r\n");
}

TEST_F(IniTest, MissingFileStartsEmptyAndIsCreatedOnWriteBack) {
    Open(dir / "fresh.ini");
    EXPECT_EQ(Get("Main", "x"), "NO_DATA");
    Put("Main", "x", "1");
    EXPECT_EQ(Get("main", "X"), "1");
    EXPECT_FALSE(Exists(dir / "fresh.ini"));
    Switch();
    EXPECT_EQ(ReadFile(dir / "fresh.ini"), "[Main]\r\nx=1\r\n");
}

TEST_F(IniTest, UnchangedFileIsNotRewritten) {
    WriteFile(dir / "same.ini", "; comment kept\n[A]\nk=v\n");
    Open(dir / "same.ini");
    Switch();
    EXPECT_EQ(ReadFile(dir / "same.ini"), "; comment kept\n[A]\nk=v\n");
}

TEST_F(IniTest, KeysBeforeAnySectionAreKept) {
    WriteFile(dir / "top.ini", "top=1\n[A]\nk=v\n");
    Open(dir / "top.ini");
    EXPECT_EQ(Get("", "top"), "1");
    Put("A", "k", "w");
    Switch();
    EXPECT_EQ(ReadFile(dir / "top.ini"), "top=1\r\n[A]\r\nk=w\r\n");
}

TEST_F(IniTest, HostileContentDoesNotBreakParsing) {
    std::string junk = "[\n[]\n[=]\n=\n==x\n[ spaced ]\nk\t=\tv\n";
    junk += std::string(100000, 'q') + "=" + std::string(5000, 'w') + "\n";
    junk += std::string("nul\0key=1\n", 10);
    for (int i = 0; i < 2000; ++i) junk += "[s" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
    WriteFile(dir / "junk.ini", junk);
    Open(dir / "junk.ini");
    EXPECT_EQ(Get("s1999", "k"), "1999");
    EXPECT_EQ(Get("s0", "k"), "0");
    EXPECT_EQ(Get("", "k"), "v"); // "[ spaced ]" names the section "" (a name ends at a blank)
    EXPECT_EQ(Get("", "q"), "NO_DATA");
    EXPECT_EQ(IniGet(DynString(""), DynString(std::string(100000, 'q').c_str())).Length(), 5000u);
}

TEST_F(IniTest, WrittenBackFileReadsBackToItself) {
    // Random INI-like text: after one write-back, reading and writing again changes nothing, and
    // every key read from the first file is still there with its value.
    const char* tokens[] = {"[", "]", "=", " ", "\t", "\r\n", "\n", ";", "a", "B", "key", "val ue", "\x01",
                            "\xc3\xa9", "[Sec]", "[sec]", "x=1", "\r", "==", "[ s]", "\0"};
    std::mt19937 rng(2024);
    for (int round = 0; round < 200; ++round) {
        std::string text;
        for (int i = 0, n = int(rng() % 60); i < n; ++i) {
            const char* t = tokens[rng() % (sizeof tokens / sizeof *tokens)];
            text += t[0] == '\0' ? std::string(1, '\0') : std::string(t);
        }
        std::string file = dir / ("r" + std::to_string(round) + ".ini");
        WriteFile(file, text);
        Open(file);
        Put("zz", "k", "v"); // dirty, so it is written back
        Switch();
        std::string first = ReadFile(file);
        Open(file);
        EXPECT_EQ(Get("zz", "k"), "v");
        Put("zz", "k", "v");
        Switch();
        EXPECT_EQ(ReadFile(file), first) << "round " << round;
    }
}

TEST_F(IniTest, IniInThePackIsReadAndWrittenBesideTheProgram) {
    CreatePackStates();
    std::string name = Unique("packed") + ".ini";
    WriteBytes(dir / "p.pak", BuildPack({{name, EntryData(13, LiteralStream("[Pk]\r\nk=pak\r\n"))}}));
    SetPackFiles(DynString((dir / "p.pak").c_str()), DynString(""));
    std::string asked = dir / name; // not a plain file: the lookup falls through to the pack
    Open(asked);
    EXPECT_EQ(Get("pk", "k"), "pak");
    Put("Pk", "k", "plain");
    Switch();
    EXPECT_EQ(ReadFile(asked), "[Pk]\r\nk=plain\r\n");
    ReleasePackStates();
}

} // namespace
