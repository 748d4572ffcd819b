// Case-insensitive lookup, the pack archive and ReadLine, including damaged and hostile packs.
#include <gtest/gtest.h>
#include <malloc.h>
#include <strings.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <vector>

#include "base/errors.h"
#include "files/lookup.h"
#include "files/packfile.h"
#include "files_test_util.h"

namespace {

class LookupTest : public ::testing::Test {
protected:
    void SetUp() override { CreatePackStates(); }
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
    // The content the lookup resolves name to; "<none>" when it is not found.
    std::string Got(const std::string& name) { return Find(name) ? ReadFile(resolved) : "<none>"; }
    // The usual temporary name of the first entry of a pack laid out by BuildPack.
    static std::string UsualTemp(const std::string& name, size_t dataSize, int32_t offset = 16) {
        return "/tmp/~dud" + std::string(1, char('A' + uint32_t(offset) % 26)) + char('A' + dataSize % 26) + name;
    }

    ScratchDir dir;
    std::string packPath = dir / "data.pak";
    char resolved[1536];
};

TEST_F(LookupTest, OpenFileNoCaseMatchesOnlyTheLastComponentWithoutCase) {
    mkdir((dir / "data").c_str(), 0700);
    WriteFile(dir / "data/Ball.BMP", "ball");
    WriteFile(dir / "Cur.bmp", "cur");
    ChangeDir cd(dir.Path());
    for (const char* name : {"data/ball.bmp", "cur.bmp", "./CUR.BMP"}) {
        FILE* f = OpenFileNoCase(name, "rb");
        ASSERT_NE(f, nullptr) << name;
        EXPECT_EQ(std::fgetc(f), 'c' - (name[0] == 'd')) << name;
        std::fclose(f);
    }
    testing::internal::CaptureStdout();
    EXPECT_EQ(OpenFileNoCase("DATA/ball.bmp", "rb"), nullptr);
    EXPECT_EQ(OpenFileNoCase("/TMP", "rb"), nullptr); // the root is read (no warning): a folder, no file
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "cannot read directory DATA - watch case sensitivity for directory names!\n");
    EXPECT_EQ(OpenFileNoCase(nullptr, "rb"), nullptr);
    EXPECT_EQ(OpenFileNoCase("data/ball.bmp", nullptr), nullptr);
    WriteFile("pair.txt", "lower"); // of two names differing by case, the first listed wins
    WriteFile("PAIR.TXT", "upper");
    std::string first;
    for (const auto& e : std::filesystem::directory_iterator(".")) {
        if (first.empty() && strcasecmp(e.path().filename().c_str(), "pair.txt") == 0) first = e.path().filename();
    }
    FILE* f = OpenFileNoCase("Pair.Txt", "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(std::fgetc(f), first == "pair.txt" ? 'l' : 'u');
    std::fclose(f);
}

TEST_F(LookupTest, PlainFileComesBeforeThePackAndResolvesToTheNameAsGiven) {
    EXPECT_EQ(Find(""), 0u);
    EXPECT_STREQ(resolved, "");
    EXPECT_EQ(FindFile(PrimaryPack(), nullptr, resolved), 0u);
    WriteFile(dir / "Plain.dat", "plain");
    UsePack(BuildPack({{"Plain.dat", Packed("pack")}}));
    std::string asked = dir / "PLAIN.DAT";
    EXPECT_EQ(Find(asked), 1u);
    EXPECT_EQ(std::string(resolved), asked); // not the case-corrected name
    DynString s(asked.c_str()); // the name's own buffer as the result buffer
    EXPECT_TRUE(ResolveFile(s.CStr(), s));
    EXPECT_EQ(std::string(s.CStr()), asked);
    EXPECT_EQ(s.Length(), asked.size());

    // Missing, with no pack, a folder as the pack (as the runtime start passes) or no states:
    // not found, and the result is left untouched.
    SetPackFiles(DynString(""), DynString(""));
    EXPECT_EQ(Find(dir / "missing.bmp"), 0u);
    EXPECT_EQ(resolved[0], 'x');
    SetPackFiles(DynString(dir.Path().c_str()), DynString(""));
    EXPECT_EQ(Find(dir / "missing.bmp"), 0u);
    ReleasePackStates();
    EXPECT_EQ(FindFile(PrimaryPack(), (dir / "missing.bmp").c_str(), resolved), 0u);
}

TEST_F(LookupTest, FifosDevicesAndDirectoriesAreNotFoundAndNeverBlock) {
    // A lookup that opened a FIFO as fopen does would wait for a writer that never comes.
    ASSERT_EQ(mkfifo((dir / "pipe.bmp").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((dir / "Fifo.BMP").c_str(), 0600), 0);
    ASSERT_EQ(mkdir((dir / "folder.bmp").c_str(), 0700), 0);
    // No pack is set: the lookup is OpenFileNoCase's answer. (The pack archive is opened the same way.)
    for (const std::string& name : {dir / "pipe.bmp", dir / "fifo.bmp", dir / "folder.bmp", std::string("/dev/null")})
        EXPECT_EQ(Find(name), 0u) << name;
    EXPECT_EQ(OpenFileNoCase((dir / "pipe.bmp").c_str(), "wb"), nullptr); // no reader: refused at once
}

TEST_F(LookupTest, EntryIsFoundByTailWithoutCaseAndLivesUntilTheNextLookup) {
    std::string name = Unique("ball") + ".bmp", upper = name, other = Unique("other");
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    Bytes data = Packed("hello");
    UsePack(BuildPack({{std::string("\0", 1) + name.substr(1), Packed("nul")}, {name, data}, {name, Packed("second")},
                       {other, Packed("")}}));
    // First match wins; an entry whose name starts with NUL is skipped.
    std::string temp = UsualTemp(name, data.size(), int32_t(16 + Packed("nul").size()));
    for (const std::string& asked : {name, upper, "gfx/" + name, "../x/" + upper}) {
        EXPECT_EQ(Got(asked), "hello") << asked;
        EXPECT_EQ(std::string(resolved), temp);
    }
    EXPECT_EQ(Got(other), ""); // an empty entry gives an empty file
    EXPECT_FALSE(Exists(temp)); // the next lookup removed the previous temporary file
    EXPECT_EQ(Find(name.substr(1)), 0u); // shorter than the entry's name
    ASSERT_EQ(Find(name), 1u); // SetPackFiles and the runtime's end remove it too
    SetPackFiles(DynString(packPath.c_str()), DynString(""));
    EXPECT_FALSE(Exists(temp));
    std::string atEnd = Unique("atend");
    UsePack(BuildPack({{atEnd, data}}));
    EXPECT_EXIT(
        {
            if (Find(atEnd) == 1 && Exists(UsualTemp(atEnd, data.size()))) EndProgram();
            std::_Exit(1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_FALSE(Exists(UsualTemp(atEnd, data.size())));
}

TEST_F(LookupTest, PackLayoutsAndStreamsUnpackByteForByte) {
    std::string a = Unique("neg") + ".a", b = Unique("neg") + ".b", huge = Unique("huge");
    Bytes da = Packed("alpha!"), db = Packed("beta");
    Bytes pack = BuildPack({{a, da}, {b, db}}, true); // every offset counted from the end
    UsePack(pack);
    EXPECT_EQ(Got(a), "alpha!");
    EXPECT_EQ(Got(b), "beta");
    EXPECT_EQ(std::string(resolved), UsualTemp(b, db.size(), int32_t(16 + da.size()) - int32_t(pack.size())));

    std::string name = Unique("long");
    name += std::string(255 - name.size(), 'n');
    UsePack(BuildPack({{name, Packed("long")}, {huge, EntryData(0xFFFFFFFFu, LiteralStream("tiny"))}}));
    EXPECT_EQ(Got(name), "long");
    // A file name holds 255 bytes: after "~dud" and two letters, the temporary name keeps the entry name's tail.
    EXPECT_EQ(std::string(resolved).substr(11), name.substr(name.size() - 249));
    EXPECT_EQ(Got(huge), "tiny"); // a huge claimed size gives only what the stream holds
    UnpackedData out; // ... from a buffer sized by what the stream can expand to
    const Bytes tiny = EntryData(0xFFFFFFFFu, LiteralStream("tiny"));
    ASSERT_TRUE(UnpackStored(tiny.data(), tiny.size(), out));
    EXPECT_LT(malloc_usable_size(out.bytes.get()), 4096u);
}

TEST_F(LookupTest, HostileEntryNamesAndPlantedFilesNeverLeaveOrTouchTmp) {
    for (std::string evil : {"../../" + Unique("esc"), "..\\..\\" + Unique("esc"), "/" + Unique("abs")}) {
        UsePack(BuildPack({{evil, Packed("evil")}}));
        ASSERT_EQ(Got("x/" + evil), "evil") << evil;
        std::string temp = resolved;
        EXPECT_EQ(temp.rfind('/'), 4u) << temp; // one file name directly inside /tmp/
    }
    std::string dotted = "my.." + Unique("file"); // a name without separators keeps its dots
    UsePack(BuildPack({{dotted, Packed("ok")}}));
    ASSERT_EQ(Find(dotted), 1u);
    EXPECT_EQ(std::string(resolved).substr(11), dotted);

    // The usual temporary name is predictable: another user may have put a file or a link there
    // first. The lookup neither follows, writes nor removes it; it unpacks into a fresh name that
    // ends in the entry's name (so the extension stays) and returns that.
    std::string victim = dir / "victim.txt";
    WriteFile(victim, "precious");
    for (bool asLink : {false, true}) {
        std::string name = Unique("planted") + ".bmp";
        Bytes data = Packed("payload");
        std::string usual = UsualTemp(name, data.size());
        asLink ? std::filesystem::create_symlink(victim, usual) : WriteFile(usual, "planted");
        UsePack(BuildPack({{name, data}}));
        ASSERT_EQ(Got(name), "payload") << asLink;
        std::string temp = resolved;
        EXPECT_EQ(temp.rfind("/tmp/~dud-", 0), 0u) << temp;
        EXPECT_EQ(temp.size(), usual.size() + 6) << temp;
        EXPECT_EQ(temp.substr(temp.size() - name.size() - 1), "-" + name) << temp;
        EXPECT_EQ(Find(""), 0u);
        EXPECT_FALSE(Exists(temp)) << asLink; // the fresh file is removed like the usual one
        // Through a link, ReadFile reads the victim: an emptied victim or a removed link shows.
        EXPECT_EQ(ReadFile(usual), asLink ? "precious" : "planted");
        EXPECT_EQ(ReadFile(victim), "precious");
        std::remove(usual.c_str());
    }
}

TEST_F(LookupTest, DamagedPacksGiveNotFoundOrAShortFile) {
    std::string name = Unique("dmg");
    Bytes good = BuildPack({{name, Packed("good")}});
    auto withD = [&](int32_t d) {
        Bytes p = good;
        for (int i = 0; i < 4; ++i) p[p.size() - 4 + i] = uint8_t(uint32_t(d) >> (8 * i));
        return p;
    };
    size_t dirPos = 16 + 4 + LiteralStream("good").size();
    Bytes longName = good, cut(good.begin(), good.begin() + long(dirPos + 1 + name.size() + 3));
    longName[dirPos] = 200; // the last entry's name runs past the end
    PutU32(cut, uint32_t(dirPos)); // the directory ends inside an entry's fields
    Bytes data = Packed("data");
    auto entry = [&](bool setOffset, int32_t offset, bool setSize, uint32_t size) {
        return BuildPack({{name, data, setOffset, offset, setSize, size}});
    };
    std::vector<Bytes> damaged = {
        withD(int32_t(good.size()) + 1), withD(INT32_MAX),  // the directory past the end
        withD(-int32_t(good.size()) - 1), withD(INT32_MIN), // before the start, from the end
        Bytes(good.begin(), good.begin() + 3), Bytes(), longName, cut,
        entry(true, 1 << 30, false, 0), entry(true, -5, false, 0), // data far past the end, negative
        entry(true, int32_t(good.size()) - 2, false, 0),           // data running past the end
        entry(false, 0, true, 0x7FFFFFFF), entry(false, 0, true, 0xFFFFFFFF), // stored size too large
        entry(false, 0, true, 3),                                  // too short for the size field
    };
    UsePack(good);
    ASSERT_EQ(Got(name), "good");
    for (size_t i = 0; i < damaged.size(); ++i) {
        UsePack(damaged[i]);
        EXPECT_EQ(Find(name), 0u) << "case " << i;
        EXPECT_STREQ(resolved, "") << "case " << i;
    }

    Bytes text;
    for (int i = 0; i < 20000; ++i) text.push_back(uint8_t("abcdefgh"[i % 8] + i / 997));
    Bytes stream = Compress(text), garbage = stream;
    for (size_t i = 8; i < garbage.size(); i += 5) garbage[i] ^= 0xA5;
    std::string whole = Unique("whole"), other = Unique("garbage");
    Bytes half(stream.begin(), stream.begin() + long(stream.size() / 2));
    UsePack(BuildPack({{whole, EntryData(uint32_t(text.size()), stream)}, {name, EntryData(uint32_t(text.size()), half)},
                       {other, EntryData(uint32_t(text.size()), garbage)}}));
    EXPECT_EQ(ToBytes(Got(whole)), text); // a stream of many matches unpacks byte for byte
    std::string got = Got(name);
    EXPECT_LT(got.size(), text.size());
    EXPECT_EQ(ToBytes(got), Bytes(text.begin(), text.begin() + long(got.size())));
    EXPECT_LE(Got(other).size(), text.size());
}

TEST_F(LookupTest, ReadLineStripsLineEndsAndLooksOnlyAtWhatWasRead) {
    WriteFile(dir / "lines.txt", "first\r\nsecond\nlonger line here\n\r\nlast");
    FILE* f = std::fopen((dir / "lines.txt").c_str(), "rb");
    char buf[8];
    std::vector<std::string> got;
    while (ReadLine(&f, buf, sizeof buf)) got.push_back(buf);
    std::fclose(f);
    EXPECT_EQ(got, (std::vector<std::string>{"first", "second", "longer ", "line he", "re", "", "last"}));
    FILE* none = nullptr;
    EXPECT_EQ(ReadLine(&none, buf, sizeof buf), 0);
    EXPECT_EQ(ReadLine(nullptr, buf, sizeof buf), 0);
    WriteFile(dir / "tail.txt", "xy"); // nothing after the NUL of what was read is touched
    f = std::fopen((dir / "tail.txt").c_str(), "rb");
    std::memset(buf, '\n', sizeof buf);
    EXPECT_EQ(ReadLine(&f, buf, sizeof buf), 1);
    EXPECT_EQ(std::string(buf, 4), std::string("xy\0\n", 4));
    std::fclose(f);
}

// Reading an entry mid-walk leaves the walk where it stood, also when an entry's data offset points
// back at the directory (which once made the walk read the directory again without end).
TEST_F(LookupTest, ReadingAnEntryDuringTheWalkKeepsTheWalkPosition) {
    Bytes one = Packed("one"), two = Packed("two");
    RawEntry loop{"loop", {}, true, int32_t(16 + one.size() + two.size()), true, 8};
    WriteBytes(packPath, BuildPack({{"a", one}, loop, {"b", two}}));
    FILE* f = std::fopen(packPath.c_str(), "rb");
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
    EXPECT_EQ(names, (std::vector<std::string>{"a", "loop", "b"}));
    EXPECT_EQ(contents.front() + contents.back(), "onetwo");
}

} // namespace
