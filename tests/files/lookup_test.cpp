// Case-insensitive lookup, the pack archive and ReadLine, including damaged and hostile packs.
#include <dirent.h>
#include <gtest/gtest.h>
#include <strings.h>
#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <vector>

#include "base/errors.h"
#include "files/lookup.h"
#include "files/packfile.h"
#include "files_test_util.h"

namespace {

class LookupTest : public ::testing::Test {
protected:
    void SetUp() override {
        CreatePackStates();
        packPath = dir / "data.pak";
    }
    void TearDown() override { ReleasePackStates(); }

    // Writes the pack and names it as the primary pack.
    void UsePack(const Bytes& pack) {
        WriteBytes(packPath, pack);
        SetPackFiles(DynString(packPath.c_str()), DynString(""));
    }

    uint32_t Find(const std::string& name) {
        std::memset(resolved, 'x', sizeof resolved);
        resolved[sizeof resolved - 1] = '\0';
        return FindFile(PrimaryPack(), name.c_str(), resolved);
    }

    ScratchDir dir;
    std::string packPath;
    char resolved[1536];
};

// Where the symbolic link at path points; "" when it is no link.
std::string LinkTarget(const std::string& path) {
    std::error_code error;
    std::filesystem::path target = std::filesystem::read_symlink(path, error);
    return error ? "" : target.string();
}

std::string Letters(int32_t offset, uint32_t size) {
    return std::string(1, char('A' + uint32_t(offset) % 26)) + char('A' + size % 26);
}

// ---------------------------------------------------------------------------------------------
// OpenFileNoCase

TEST_F(LookupTest, LastComponentMatchesWithoutCaseButDirectoryMustMatchExactly) {
    mkdir((dir / "data").c_str(), 0700);
    WriteFile(dir / "data/Ball.BMP", "ball");
    ChangeDir cd(dir.Path());

    FILE* f = OpenFileNoCase("data/ball.bmp", "rb");
    ASSERT_NE(f, nullptr);
    char buf[8] = {};
    EXPECT_EQ(std::fread(buf, 1, 7, f), 4u);
    EXPECT_STREQ(buf, "ball");
    std::fclose(f);

    testing::internal::CaptureStdout();
    EXPECT_EQ(OpenFileNoCase("DATA/ball.bmp", "rb"), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "cannot read directory DATA - watch case sensitivity for directory names!\n");

    EXPECT_EQ(OpenFileNoCase("data/none.bmp", "rb"), nullptr);
    EXPECT_EQ(OpenFileNoCase(nullptr, "rb"), nullptr);
    EXPECT_EQ(OpenFileNoCase("data/ball.bmp", nullptr), nullptr);
}

TEST_F(LookupTest, BareAndDotSlashNamesOpenFromTheCurrentDirectory) {
    WriteFile(dir / "Ball.bmp", "cur");
    ChangeDir cd(dir.Path());
    for (const char* name : {"ball.bmp", "./ball.bmp", "BALL.BMP"}) {
        FILE* f = OpenFileNoCase(name, "rb");
        ASSERT_NE(f, nullptr) << name;
        EXPECT_EQ(std::fgetc(f), 'c');
        std::fclose(f);
    }
}

TEST_F(LookupTest, OfTwoNamesDifferingByCaseTheFirstListedWins) {
    WriteFile(dir / "pair.txt", "lower");
    WriteFile(dir / "PAIR.TXT", "upper");
    std::string first;
    DIR* d = opendir(dir.Path().c_str());
    while (dirent* e = readdir(d)) {
        if (strcasecmp(e->d_name, "pair.txt") == 0) {
            first = e->d_name;
            break;
        }
    }
    closedir(d);
    FILE* f = OpenFileNoCase((dir / "Pair.Txt").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char buf[8] = {};
    EXPECT_GT(std::fread(buf, 1, 7, f), 0u);
    std::fclose(f);
    EXPECT_STREQ(buf, first == "pair.txt" ? "lower" : "upper");
}

TEST_F(LookupTest, NameDirectlyUnderTheRootIsSearchedInTheRoot) {
    // "/TMP" fails as typed; its directory part is the root, which is read (no warning), and
    // where "tmp" matches: a directory, which is no file to open.
    testing::internal::CaptureStdout();
    EXPECT_EQ(OpenFileNoCase("/TMP", "rb"), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

// ---------------------------------------------------------------------------------------------
// FindFile: plain files

TEST_F(LookupTest, EmptyOrNullNameGivesZeroAndEmptyResult) {
    EXPECT_EQ(Find(""), 0u);
    EXPECT_STREQ(resolved, "");
    std::memset(resolved, 'x', 8);
    EXPECT_EQ(FindFile(PrimaryPack(), nullptr, resolved), 0u);
    EXPECT_EQ(resolved[0], '\0');
}

TEST_F(LookupTest, PlainFileResolvesToTheNameAsGivenBeforeThePack) {
    WriteFile(dir / "Plain.dat", "plain");
    std::string entry = Unique("plain") + ".dat";
    UsePack(BuildPack({{"Plain.dat", EntryData(4, LiteralStream("pack"))}}));
    std::string asked = dir / "PLAIN.DAT";
    EXPECT_EQ(Find(asked), 1u);
    EXPECT_EQ(std::string(resolved), asked); // not the case-corrected name

    // The idiom: the name's own buffer is the result buffer.
    char inPlace[1536];
    std::strcpy(inPlace, asked.c_str());
    EXPECT_EQ(FindFile(PrimaryPack(), inPlace, inPlace), 1u);
    EXPECT_EQ(std::string(inPlace), asked);
}

TEST_F(LookupTest, MissingFileWithoutPackLeavesResultUntouched) {
    SetPackFiles(DynString(""), DynString(""));
    EXPECT_EQ(Find(dir / "missing.bmp"), 0u);
    EXPECT_EQ(resolved[0], 'x');
    // A pack path that names a directory (as the runtime start passes) is no pack.
    SetPackFiles(DynString(dir.Path().c_str()), DynString(dir.Path().c_str()));
    EXPECT_EQ(Find(dir / "missing.bmp"), 0u);
    // Before the runtime has created its states there is no pack either.
    ReleasePackStates();
    EXPECT_EQ(FindFile(PrimaryPack(), (dir / "missing.bmp").c_str(), resolved), 0u);
}

TEST_F(LookupTest, ResolveFileHandlesANameInsideItsOwnResult) {
    WriteFile(dir / "Self.txt", "x");
    DynString s((dir / "self.txt").c_str());
    EXPECT_TRUE(ResolveFile(s.CStr(), s));
    EXPECT_EQ(std::string(s.CStr()), dir / "self.txt");
    EXPECT_EQ(s.Length(), (dir / "self.txt").size());
    DynString t;
    EXPECT_FALSE(ResolveFile((dir / "none.txt").c_str(), t));
}

TEST_F(LookupTest, FifosDevicesAndDirectoriesAreNotFoundAndNeverBlock) {
    // Opening a FIFO waits for its other end, which never comes here: a lookup that opened one
    // as fopen does would hang until the test's time limit.
    ASSERT_EQ(mkfifo((dir / "pipe.bmp").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((dir / "Fifo.BMP").c_str(), 0600), 0);
    ASSERT_EQ(mkdir((dir / "folder.bmp").c_str(), 0700), 0);
    for (const std::string& name : {dir / "pipe.bmp", dir / "fifo.bmp", dir / "folder.bmp", std::string("/dev/null")}) {
        EXPECT_EQ(Find(name), 0u) << name;
        EXPECT_EQ(OpenFileNoCase(name.c_str(), "rb"), nullptr) << name;
    }
    EXPECT_EQ(OpenFileNoCase((dir / "pipe.bmp").c_str(), "wb"), nullptr); // no reader: refused at once

    // The same FIFO named as the pack archive.
    std::string name = Unique("inpipe");
    UsePack(BuildPack({{name, EntryData(2, LiteralStream("no"))}}));
    ASSERT_EQ(Find(name), 1u);
    std::remove(packPath.c_str());
    ASSERT_EQ(mkfifo(packPath.c_str(), 0600), 0);
    EXPECT_EQ(Find(name), 0u);
}

// ---------------------------------------------------------------------------------------------
// FindFile: the pack

TEST_F(LookupTest, EntryIsFoundByTailWithoutCaseAndUnpackedByteForByte) {
    std::string name = Unique("ball") + ".bmp";
    std::string upper = name;
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    Bytes data = EntryData(5, LiteralStream("hello"));
    UsePack(BuildPack({{name, data}}));
    std::string expectTemp = "/tmp/~dud" + Letters(16, uint32_t(data.size())) + name;

    for (const std::string& asked : {name, upper, "gfx/" + name, "../x/" + upper}) {
        ASSERT_EQ(Find(asked), 1u) << asked;
        EXPECT_EQ(std::string(resolved), expectTemp);
        EXPECT_EQ(ReadFile(resolved), "hello");
    }
    EXPECT_EQ(Find(name.substr(1)), 0u); // shorter than the entry's name
    EXPECT_STREQ(resolved, "");
    EXPECT_FALSE(Exists(expectTemp)); // the failed lookup removed the previous temporary file
}

TEST_F(LookupTest, TemporaryFileOfOneLookupIsGoneAfterTheNext) {
    std::string a = Unique("first") + ".txt", b = Unique("second") + ".txt";
    UsePack(BuildPack({{a, EntryData(3, LiteralStream("one"))}, {b, EntryData(3, LiteralStream("two"))}}));
    ASSERT_EQ(Find(a), 1u);
    std::string tempA = resolved;
    EXPECT_TRUE(Exists(tempA));
    ASSERT_EQ(Find(b), 1u);
    std::string tempB = resolved;
    EXPECT_FALSE(Exists(tempA));
    EXPECT_EQ(ReadFile(tempB), "two");
    // SetPackFiles and the runtime's end remove it too.
    SetPackFiles(DynString(packPath.c_str()), DynString(""));
    EXPECT_FALSE(Exists(tempB));
    ASSERT_EQ(Find(a), 1u);
    EXPECT_TRUE(Exists(tempA));
    ReleasePackStates();
    EXPECT_FALSE(Exists(tempA));
}

TEST_F(LookupTest, LongestEntryNameIsUnpackedAndCleanedUp) {
    std::string name = Unique("long");
    name += std::string(255 - name.size(), 'n');
    UsePack(BuildPack({{name, EntryData(4, LiteralStream("long"))}}));
    ASSERT_EQ(Find(name), 1u);
    std::string temp = resolved;
    // A file name holds 255 bytes: the temporary name keeps the entry name's tail.
    EXPECT_EQ(temp.size(), 5 + 255u);
    EXPECT_EQ(temp.substr(temp.size() - 20), name.substr(name.size() - 20));
    EXPECT_EQ(ReadFile(temp), "long");
    EXPECT_EQ(Find(""), 0u);
    EXPECT_FALSE(Exists(temp));
}

TEST_F(LookupTest, EndProgramDeletesTheTemporaryFile) {
    std::string name = Unique("atend");
    Bytes data = EntryData(3, LiteralStream("end"));
    std::string temp = "/tmp/~dud" + Letters(16, uint32_t(data.size())) + name;
    UsePack(BuildPack({{name, data}}));
    EXPECT_EXIT(
        {
            if (Find(name) == 1 && Exists(temp)) EndProgram();
            std::_Exit(1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_FALSE(Exists(temp));
}

TEST_F(LookupTest, NegativeDirectoryOffsetAddressesEverythingFromTheEnd) {
    std::string a = Unique("neg") + ".a", b = Unique("neg") + ".b";
    Bytes da = EntryData(6, LiteralStream("alpha!")), db = EntryData(4, LiteralStream("beta"));
    Bytes pack = BuildPack({{a, da}, {b, db}}, true);
    int32_t d = int32_t(uint32_t(pack[pack.size() - 4]) | uint32_t(pack[pack.size() - 3]) << 8 |
                        uint32_t(pack[pack.size() - 2]) << 16 | uint32_t(pack[pack.size() - 1]) << 24);
    ASSERT_LT(d, 0);
    UsePack(pack);
    ASSERT_EQ(Find(a), 1u);
    EXPECT_EQ(ReadFile(resolved), "alpha!");
    int32_t offB = int32_t(16 + da.size()) - int32_t(pack.size());
    ASSERT_EQ(Find(b), 1u);
    EXPECT_EQ(std::string(resolved), "/tmp/~dud" + Letters(offB, uint32_t(db.size())) + b);
    EXPECT_EQ(ReadFile(resolved), "beta");
}

TEST_F(LookupTest, FirstMatchWinsAndNulNamedEntriesAreSkipped) {
    std::string name = Unique("dup") + ".txt";
    UsePack(BuildPack({{std::string("\0", 1) + name.substr(1), EntryData(3, LiteralStream("nul"))},
                       {name, EntryData(5, LiteralStream("first"))},
                       {name, EntryData(6, LiteralStream("second"))}}));
    ASSERT_EQ(Find("dir/" + name), 1u);
    EXPECT_EQ(ReadFile(resolved), "first");
}

TEST_F(LookupTest, EveryLzoLevelRoundTrips) {
    Bytes data;
    std::mt19937 rng(7);
    for (int i = 0; i < 70000; ++i) data.push_back(i % 1000 < 600 ? "voxa table "[i % 11] : uint8_t(rng()));
    std::vector<RawEntry> entries;
    std::vector<std::string> names;
    for (int level : {0, 11, 12, 15, 999, 101, 102, 103, 104, 105, 106, 107, 108, 109}) {
        names.push_back(Unique("level") + "_" + std::to_string(level));
        entries.push_back({names.back(), EntryData(uint32_t(data.size()), Compress(data, level))});
    }
    UsePack(BuildPack(entries));
    for (const std::string& n : names) {
        ASSERT_EQ(Find(n), 1u) << n;
        EXPECT_EQ(ToBytes(ReadFile(resolved)), data) << n;
    }
}

TEST_F(LookupTest, EmptyEntryGivesAnEmptyFile) {
    std::string name = Unique("empty");
    UsePack(BuildPack({{name, EntryData(0, LiteralStream(""))}}));
    ASSERT_EQ(Find(name), 1u);
    EXPECT_TRUE(Exists(resolved));
    EXPECT_EQ(ReadFile(resolved), "");
}

// ---------------------------------------------------------------------------------------------
// Hostile entry names and planted links

TEST_F(LookupTest, SeparatorsAndDotsInEntryNamesStayInsideTmp) {
    for (std::string evil : {"../../" + Unique("esc"), "..\\..\\" + Unique("esc"), "a/b/" + Unique("c"),
                             ".." + Unique("dots") + "..", "/" + Unique("abs")}) {
        UsePack(BuildPack({{evil, EntryData(4, LiteralStream("evil"))}}));
        ASSERT_EQ(Find("x/" + evil), 1u) << evil;
        std::string temp = resolved;
        EXPECT_EQ(temp.rfind('/'), 4u) << temp; // one file name directly inside /tmp/
        EXPECT_EQ(temp.compare(0, 9, "/tmp/~dud"), 0) << temp;
        char real[PATH_MAX];
        ASSERT_NE(realpath(temp.c_str(), real), nullptr) << temp;
        EXPECT_EQ(std::string(real).rfind("/tmp/", 0), 0u);
        EXPECT_EQ(ReadFile(temp), "evil");
    }
    // A name without separators keeps its dots.
    std::string dotted = "my.." + Unique("file");
    UsePack(BuildPack({{dotted, EntryData(2, LiteralStream("ok"))}}));
    ASSERT_EQ(Find(dotted), 1u);
    EXPECT_EQ(std::string(resolved).substr(11), dotted);
}

TEST_F(LookupTest, WhateverIsPlantedAtTheTemporaryPathIsLeftAloneAndAFreshNameUsed) {
    // The usual temporary name is predictable: another user may have put a file, a link or a
    // folder there first. The lookup neither follows, writes nor removes it; it unpacks into a
    // fresh name that ends in the entry's name (so the extension stays) and returns that.
    std::string victim = dir / "victim.txt", absent = dir / "absent.txt";
    WriteFile(victim, "precious");
    struct Planted {
        const char* what;
        std::function<void(const std::string&)> plant;
        std::function<bool(const std::string&)> intact;
    };
    std::vector<Planted> cases = {
        {"file", [](const std::string& p) { WriteFile(p, "planted"); },
         [](const std::string& p) { return ReadFile(p) == "planted"; }},
        {"link to a file", [&](const std::string& p) { ASSERT_EQ(symlink(victim.c_str(), p.c_str()), 0); },
         [&](const std::string& p) { return LinkTarget(p) == victim && ReadFile(victim) == "precious"; }},
        {"dangling link", [&](const std::string& p) { ASSERT_EQ(symlink(absent.c_str(), p.c_str()), 0); },
         [&](const std::string& p) { return LinkTarget(p) == absent && !Exists(absent); }},
        {"folder", [](const std::string& p) { ASSERT_EQ(mkdir(p.c_str(), 0700), 0); },
         [](const std::string& p) { return std::filesystem::is_directory(std::filesystem::symlink_status(p)); }},
    };
    for (const Planted& c : cases) {
        std::string name = Unique("planted") + ".bmp";
        Bytes data = EntryData(7, LiteralStream("payload"));
        std::string usual = "/tmp/~dud" + Letters(16, uint32_t(data.size())) + name;
        c.plant(usual);
        UsePack(BuildPack({{name, data}}));
        ASSERT_EQ(Find(name), 1u) << c.what;
        std::string temp = resolved;
        EXPECT_NE(temp, usual) << c.what;
        EXPECT_EQ(temp.rfind("/tmp/~dud-", 0), 0u) << temp;
        EXPECT_EQ(temp.size(), usual.size() + 6) << temp;
        EXPECT_EQ(temp.substr(temp.size() - name.size() - 1), "-" + name) << temp;
        EXPECT_EQ(ReadFile(temp), "payload") << c.what;
        EXPECT_TRUE(c.intact(usual)) << c.what;
        EXPECT_EQ(Find(""), 0u);
        EXPECT_FALSE(Exists(temp)) << c.what; // the fresh file is removed like the usual one
        EXPECT_TRUE(c.intact(usual)) << c.what;
        std::filesystem::remove(usual);
    }
}

// ---------------------------------------------------------------------------------------------
// Damaged packs

TEST_F(LookupTest, DamagedDirectoryGivesNotFound) {
    std::string name = Unique("dmg");
    Bytes good = BuildPack({{name, EntryData(4, LiteralStream("good"))}});
    ASSERT_EQ((UsePack(good), Find(name)), 1u);

    auto withD = [&](int32_t d) {
        Bytes p = good;
        for (int i = 0; i < 4; ++i) p[p.size() - 4 + i] = uint8_t(uint32_t(d) >> (8 * i));
        return p;
    };
    std::vector<Bytes> damaged = {
        withD(int32_t(good.size()) + 1),   // directory past the end
        withD(INT32_MAX),                  //
        withD(-int32_t(good.size()) - 1),  // before the start, from the end
        withD(INT32_MIN),                  //
        Bytes(good.begin(), good.begin() + 3), // shorter than the offset field
        Bytes(),                           // empty file
    };
    // Name length running past the end: the directory's last entry claims 200 name bytes.
    Bytes longName = good;
    size_t dirPos = 16 + 4 + LiteralStream("good").size();
    longName[dirPos] = 200;
    damaged.push_back(longName);
    // Directory cut inside an entry's fields.
    Bytes cut(good.begin(), good.begin() + long(dirPos + 1 + name.size() + 3));
    PutU32(cut, uint32_t(dirPos));
    damaged.push_back(cut);
    for (size_t i = 0; i < damaged.size(); ++i) {
        UsePack(damaged[i]);
        EXPECT_EQ(Find(name), 0u) << "case " << i;
        EXPECT_STREQ(resolved, "") << "case " << i;
    }
}

TEST_F(LookupTest, EntryDataOutsideTheFileGivesNotFound) {
    std::string name = Unique("out");
    Bytes data = EntryData(4, LiteralStream("data"));
    std::vector<RawEntry> cases = {
        {name, data, true, 1 << 30},               // offset far past the end
        {name, data, true, -5},                    // negative offset in a pack addressed from the start
        {name, data, true, 20},                    // inside the file, but the block runs past the end
        {name, data, false, 0, true, 0x7FFFFFFF},  // stored size larger than the file
        {name, data, false, 0, true, 0xFFFFFFFF},  //
        {name, data, false, 0, true, 3},           // too short to hold the size field
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        Bytes pack = BuildPack({cases[i]});
        if (i == 2) cases[i].offset = int32_t(pack.size()) - 8; // recompute: starts 8 bytes before the end
        UsePack(BuildPack({cases[i]}));
        EXPECT_EQ(Find(name), 0u) << "case " << i;
    }
}

TEST_F(LookupTest, HugeClaimedSizeGivesOnlyWhatTheStreamHolds) {
    std::string name = Unique("huge");
    UsePack(BuildPack({{name, EntryData(0xFFFFFFFFu, LiteralStream("tiny"))}}));
    ASSERT_EQ(Find(name), 1u);
    EXPECT_EQ(ReadFile(resolved), "tiny");
    EXPECT_LE(MaxUnpackedSize(LiteralStream("tiny").size()), 64u + 255u * 8u);
}

TEST_F(LookupTest, DamagedStreamGivesAShortFile) {
    std::string name = Unique("short");
    Bytes text;
    for (int i = 0; i < 20000; ++i) text.push_back(uint8_t("abcdefgh"[i % 8] + i / 997));
    Bytes stream = Compress(text, 0);
    Bytes truncated(stream.begin(), stream.begin() + long(stream.size() / 2));
    Bytes garbage = stream;
    for (size_t i = 8; i < garbage.size(); i += 5) garbage[i] ^= 0xA5;
    std::string other = Unique("garbage");
    UsePack(BuildPack({{name, EntryData(uint32_t(text.size()), truncated)},
                       {other, EntryData(uint32_t(text.size()), garbage)}}));
    ASSERT_EQ(Find(name), 1u);
    std::string got = ReadFile(resolved);
    EXPECT_LT(got.size(), text.size());
    EXPECT_EQ(Bytes(got.begin(), got.end()), Bytes(text.begin(), text.begin() + long(got.size())));
    ASSERT_EQ(Find(other), 1u);
    EXPECT_LE(ReadFile(resolved).size(), text.size());
}

TEST_F(LookupTest, RandomlyCorruptedPacksNeverCrash) {
    std::vector<RawEntry> entries;
    Bytes text;
    for (int i = 0; i < 3000; ++i) text.push_back(uint8_t("voxa"[i % 4] + i % 7));
    std::vector<std::string> names;
    for (int i = 0; i < 4; ++i) {
        names.push_back(Unique("fz"));
        entries.push_back({names.back(), EntryData(uint32_t(text.size()), Compress(text, i == 0 ? 0 : 999))});
    }
    Bytes good = BuildPack(entries, false), goodEnd = BuildPack(entries, true);
    std::mt19937 rng(12345);
    int found = 0;
    for (int round = 0; round < 600; ++round) {
        Bytes p = round % 2 ? goodEnd : good;
        int flips = 1 + int(rng() % 6);
        for (int k = 0; k < flips; ++k) p[rng() % p.size()] = uint8_t(rng());
        if (round % 7 == 0) p.resize(rng() % p.size());
        UsePack(p);
        if (Find(names[rng() % names.size()]) == 1) {
            ++found;
            EXPECT_LE(ReadFile(resolved).size(), MaxUnpackedSize(p.size()));
        }
    }
    EXPECT_GT(found, 0); // most corruptions hit data, not the directory
}

// ---------------------------------------------------------------------------------------------
// ReadLine

TEST_F(LookupTest, ReadLineStripsLineEndsAndSplitsLongLines) {
    WriteFile(dir / "lines.txt", "first\r\nsecond\nlonger line here\n\r\nlast");
    FILE* f = std::fopen((dir / "lines.txt").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char buf[8];
    std::vector<std::string> got;
    while (ReadLine(&f, buf, sizeof buf)) got.push_back(buf);
    std::fclose(f);
    EXPECT_EQ(got, (std::vector<std::string>{"first", "second", "longer ", "line he", "re", "", "last"}));

    FILE* none = nullptr;
    EXPECT_EQ(ReadLine(&none, buf, sizeof buf), 0);
    EXPECT_EQ(ReadLine(nullptr, buf, sizeof buf), 0);
}

TEST_F(LookupTest, ReadLineLooksOnlyAtWhatWasRead) {
    // A last line without a line end, read into a buffer whose old bytes hold line feeds: the
    // line is returned as read and nothing after its NUL is touched.
    WriteFile(dir / "tail.txt", "xy");
    FILE* f = std::fopen((dir / "tail.txt").c_str(), "rb");
    char buf[64];
    std::memset(buf, '\n', sizeof buf);
    ASSERT_EQ(ReadLine(&f, buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "xy");
    EXPECT_EQ(buf[3], '\n');
    EXPECT_EQ(ReadLine(&f, buf, sizeof buf), 0);
    std::fclose(f);
}

} // namespace

// Reading an entry in the middle of a directory walk leaves the walk where it stood, also when
// an entry's data offset points back at the directory (which once made the walk read the
// directory again without end).
TEST(PackReaderTest, ReadingAnEntryDuringTheWalkKeepsTheWalkPosition) {
    ScratchDir dir;
    Bytes one = EntryData(3, LiteralStream("one"));
    Bytes two = EntryData(3, LiteralStream("two"));
    int32_t directory = int32_t(16 + one.size() + two.size());
    RawEntry loop{"loop", {}, true, directory, true, 8};
    for (const Bytes& pack : {BuildPack({{"a", one}, {"b", two}}), BuildPack({{"a", one}, loop, {"b", two}})}) {
        std::string path = dir / Unique("walk.pak");
        WriteBytes(path, pack);
        FILE* f = std::fopen(path.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        PackReader reader(f);
        ASSERT_TRUE(reader.Start());
        std::vector<std::string> names, contents;
        PackEntryInfo entry;
        while (names.size() < 10 && reader.Next(entry)) {
            names.push_back(entry.name);
            UnpackedData out;
            if (reader.ReadEntry(entry, out)) contents.emplace_back(reinterpret_cast<char*>(out.bytes.get()), out.size);
        }
        std::fclose(f);
        EXPECT_FALSE(reader.Damaged());
        EXPECT_EQ(names.back(), "b");
        EXPECT_LE(names.size(), 3u);
        EXPECT_EQ(contents.front(), "one");
        EXPECT_EQ(contents.back(), "two");
    }
}
