// The pack tool: packs it builds serve the runtime's lookup byte for byte; bad input is refused;
// extraction never writes outside its directory.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <random>

#include "files/lookup.h"
#include "packtool.h"
#include "tools/tool_files.h"
#include "voxa/files.h"

namespace {

using Bytes = std::vector<unsigned char>;

std::string Unique(const std::string& stem) {  // a name no other test's file has
    static int counter = 0;
    return stem + std::to_string(getpid()) + "_" + std::to_string(++counter);
}

void PutU32(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// One stored block: the unpacked size, then an LZO1X stream of one literal run and the end marker.
Bytes StoredText(const std::string& text) {
    Bytes out;
    PutU32(out, uint32_t(text.size()));
    out.push_back(static_cast<unsigned char>(17 + text.size()));
    out.insert(out.end(), text.begin(), text.end());
    out.insert(out.end(), {0x11, 0x00, 0x00});
    return out;
}

// A pack laid out by hand: padding, the blocks, the directory (name, offset, stored size), a 0
// and the directory's offset. An entry's offset is its block's unless it gives one.
struct RawEntry {
    std::string name;
    Bytes data;
    int32_t offset = -1;
};
Bytes BuildPack(const std::vector<RawEntry>& entries) {
    Bytes file(16, 0xEE), dir;
    for (const RawEntry& e : entries) {
        dir.push_back(static_cast<unsigned char>(e.name.size()));
        dir.insert(dir.end(), e.name.begin(), e.name.end());
        PutU32(dir, e.offset >= 0 ? uint32_t(e.offset) : uint32_t(file.size()));
        PutU32(dir, uint32_t(e.data.size()));
        file.insert(file.end(), e.data.begin(), e.data.end());
    }
    const uint32_t dirStart = uint32_t(file.size());
    file.insert(file.end(), dir.begin(), dir.end());
    file.push_back(0);
    PutU32(file, dirStart);
    return file;
}
void WriteBytes(const std::string& path, const Bytes& b) { WriteFile(path, std::string(b.begin(), b.end())); }

// Changes the working directory for the life of the object.
class ChangeDir {
public:
    explicit ChangeDir(const std::string& dir) : old_(std::filesystem::current_path()) { std::filesystem::current_path(dir); }
    ~ChangeDir() { std::filesystem::current_path(old_); }

private:
    std::filesystem::path old_;
};

class VoxapackTest : public ::testing::Test {
protected:
    void SetUp() override { CreatePackStates(); }
    void TearDown() override { ReleasePackStates(); }

    std::string Lookup(const std::string& name) {
        char resolved[1536];
        if (FindFile(PrimaryPack(), name.c_str(), resolved) == 0) return "<not found>";
        return ReadFile(resolved);
    }

    ScratchDir dir;
};

std::string Mixed(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s;
    for (size_t i = 0; i < n; ++i) s += (i / 64) % 3 ? char("pack tool "[i % 10]) : char(rng());
    return s;
}

TEST_F(VoxapackTest, BuiltPackServesTheLookupListsAndExtracts) {
    std::string a = Unique("Ball") + ".BMP", b = Unique("theme") + ".mp3", c = Unique("empty");
    mkdir((dir / "gfx").c_str(), 0700);
    WriteFile(dir / ("gfx/" + a), Mixed(300000, 1));
    WriteFile(dir / b, Mixed(5000, 2));
    WriteFile(dir / c, "");
    std::string pack = dir / "game.pak";
    std::string error;
    ASSERT_TRUE(CreatePack(pack, {{"gfx/" + a, dir / ("gfx/" + a)}, {b, dir / b}, {c, dir / c}}, error)) << error;
    EXPECT_LT(ReadFile(pack).size(), 300000u); // compressed

    SetPackFiles(DynString(pack.c_str()), DynString(""));
    std::string lower = "gfx/" + a;
    for (char& ch : lower) ch = char(std::tolower(static_cast<unsigned char>(ch)));
    EXPECT_EQ(Lookup("data/" + lower), Mixed(300000, 1));
    EXPECT_EQ(Lookup(b), Mixed(5000, 2));
    EXPECT_EQ(Lookup(c), "");
    EXPECT_EQ(Lookup(a), "<not found>"); // stored as "gfx/...": the request must end with that

    std::vector<PackListing> list;
    ASSERT_TRUE(ListPack(pack, list, error)) << error;
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].name, "gfx/" + a);
    EXPECT_EQ(list[0].unpackedSize, 300000u);
    EXPECT_EQ(list[1].unpackedSize, 5000u);
    EXPECT_EQ(list[2].unpackedSize, 0u);

    std::vector<std::string> written;
    ASSERT_TRUE(ExtractPack(pack, dir / "out", written, error)) << error;
    EXPECT_EQ(written.size(), 3u);
    EXPECT_EQ(ReadFile(dir / ("out/gfx/" + a)), Mixed(300000, 1));
    EXPECT_EQ(ReadFile(dir / ("out/" + b)), Mixed(5000, 2));
    EXPECT_TRUE(Exists(dir / ("out/" + c)));
}

TEST_F(VoxapackTest, BadSourcesAreRefusedAndTheOldPackKept) {
    std::string pack = dir / "keep.pak";
    WriteFile(pack, "old pack");
    WriteFile(dir / "f", "x");
    std::string error;
    std::vector<std::vector<PackSource>> bad = {
        {{"Same.txt", dir / "f"}, {"same.TXT", dir / "f"}},
        {{"", dir / "f"}},
        {{std::string(256, 'n'), dir / "f"}},
        {{"missing", dir / "missing"}},
        {{"dir", dir.Path()}},
        // Names that extraction refuses or cannot write together.
        {{"../f", dir / "f"}},
        {{"/tmp/f", dir / "f"}},
        {{"gfx\\f", dir / "f"}},
        {{"gfx/../../f", dir / "f"}},
        {{"gfx/", dir / "f"}},
        {{"gfx/.", dir / "f"}},
        {{"gfx", dir / "f"}, {"gfx/f", dir / "f"}},
        {{"a/./b/c", dir / "f"}, {"a//b", dir / "f"}},
    };
    for (const auto& sources : bad) {
        error.clear();
        EXPECT_FALSE(CreatePack(pack, sources, error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(ReadFile(pack), "old pack");
        EXPECT_FALSE(Exists(pack + ".part"));
    }
    EXPECT_TRUE(CreatePack(pack, {{std::string(255, 'n'), dir / "f"}}, error)) << error;
    EXPECT_FALSE(CreatePack(dir / "no/dir/x.pak", {{"f", dir / "f"}}, error));
}

TEST_F(VoxapackTest, ExtractionStaysInsideItsDirectory) {
    std::string pack = dir / "evil.pak";
    Bytes data = StoredText("evil");
    RawEntry outside{"ok.txt", data, 1 << 20};
    WriteBytes(pack, BuildPack({{"../escape.txt", data},
                                {"/tmp/" + Unique("abs"), data},
                                {"sub\\..\\..\\x", data},
                                {"a/../../y", data},
                                {"fine/ok.txt", data},
                                outside}));
    mkdir((dir / "out").c_str(), 0700);
    std::vector<std::string> written;
    std::string error;
    EXPECT_FALSE(ExtractPack(pack, dir / "out", written, error));
    EXPECT_EQ(written, std::vector<std::string>{dir / "out/fine/ok.txt"});
    EXPECT_EQ(ReadFile(dir / "out/fine/ok.txt"), "evil");
    EXPECT_FALSE(Exists(dir / "escape.txt"));
    EXPECT_FALSE(Exists(dir / "y"));
    EXPECT_NE(error.find("unsafe name"), std::string::npos);
    EXPECT_NE(error.find("data outside the pack"), std::string::npos);

    // A link, or a hard link, planted where an entry lands is replaced, not written through.
    for (auto plant : {symlink, link}) {
        WriteFile(dir / "target.txt", "untouched");
        ASSERT_EQ(unlink((dir / "out/fine/ok.txt").c_str()), 0);
        ASSERT_EQ(plant((dir / "target.txt").c_str(), (dir / "out/fine/ok.txt").c_str()), 0);
        ExtractPack(pack, dir / "out", written, error);
        EXPECT_EQ(ReadFile(dir / "target.txt"), "untouched");
        EXPECT_EQ(ReadFile(dir / "out/fine/ok.txt"), "evil");
    }

    for (const Bytes& junk : {Bytes{1, 2}, Bytes(100, 0xFF)}) {
        WriteBytes(pack, junk);
        std::vector<PackListing> list;
        EXPECT_FALSE(ListPack(pack, list, error));
    }
    std::vector<PackListing> none;
    EXPECT_FALSE(ListPack(dir / "none.pak", none, error));
}

TEST_F(VoxapackTest, ExtractionNeverPassesALinkInsideItsDirectory) {
    // A folder of an entry's way replaced by a link to somewhere outside: out/gfx -> ../outside,
    // and one level deeper. The entries that would go through it are refused.
    std::string pack = dir / "game.pak";
    WriteFile(dir / "ball.bmp", "ball");
    std::string error;
    ASSERT_TRUE(CreatePack(pack, {{"gfx/Ball2.bmp", dir / "ball.bmp"}, {"fx/deep/Ball3.bmp", dir / "ball.bmp"},
                                  {"top.bmp", dir / "ball.bmp"}}, error)) << error;
    mkdir((dir / "outside").c_str(), 0700);
    mkdir((dir / "out").c_str(), 0700);
    mkdir((dir / "out/fx").c_str(), 0700);
    ASSERT_EQ(symlink("../outside", (dir / "out/gfx").c_str()), 0);
    ASSERT_EQ(symlink("../../outside", (dir / "out/fx/deep").c_str()), 0);
    std::vector<std::string> written;
    EXPECT_FALSE(ExtractPack(pack, dir / "out", written, error));
    EXPECT_EQ(written, std::vector<std::string>{dir / "out/top.bmp"});
    EXPECT_FALSE(Exists(dir / "outside/Ball2.bmp"));
    EXPECT_FALSE(Exists(dir / "outside/Ball3.bmp"));
    EXPECT_NE(error.find("skipped \"gfx/Ball2.bmp\": symbolic link on the way: gfx/"), std::string::npos) << error;
    EXPECT_NE(error.find("skipped \"fx/deep/Ball3.bmp\": symbolic link on the way: fx/deep/"), std::string::npos)
        << error;

    // The pack's own temporary file is not written through a link either.
    ASSERT_EQ(symlink((dir / "ball.bmp").c_str(), (pack + ".part").c_str()), 0);
    EXPECT_FALSE(CreatePack(pack, {{"top.bmp", dir / "ball.bmp"}}, error));
    EXPECT_EQ(ReadFile(dir / "ball.bmp"), "ball");
}

int RunTool(const std::string& command) {
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(VoxapackTest, CommandLineBuildsListsAndExtracts) {
    const char* bin = std::getenv("VOXA_BIN_DIR");
    ASSERT_NE(bin, nullptr);
    std::string tool = std::string(bin) + "/voxapack";
    mkdir((dir / "assets").c_str(), 0700);
    WriteFile(dir / "assets/font.bmp", Mixed(20000, 3));
    WriteFile(dir / "assets/level.txt", "line one\r\nline two\r\n");
    std::string pack = dir / "assets.pak", log = dir / "log.txt";
    EXPECT_EQ(RunTool(tool + " create " + pack + " -C " + dir / "assets" + " font.bmp level.txt"), 0);
    EXPECT_EQ(RunTool(tool + " list " + pack + " > " + log), 0);
    std::string listing = ReadFile(log);
    EXPECT_NE(listing.find("     20000"), std::string::npos) << listing;
    EXPECT_NE(listing.find("  level.txt\n"), std::string::npos) << listing;
    EXPECT_EQ(RunTool(tool + " extract " + pack + " " + dir / "x" + " > " + log), 0);
    EXPECT_EQ(ReadFile(dir / "x/font.bmp"), Mixed(20000, 3));

    // The README's way: the pack beside the program, named after RuntimeStart.
    {
        ChangeDir cd(dir.Path());
        SetPackFiles(GetCurrentDir() + "assets.pak", "");
        DynString path;
        ASSERT_TRUE(ResolveFile("Font.bmp", path));
        EXPECT_EQ(ReadFile(path.CStr()), Mixed(20000, 3));
    }
    // The runtime's loaders read from it: the text-file object through FindFile.
    DynString line;
    ReadTextLine(DynString(("data/" + Unique("none") + "/../LEVEL.TXT").c_str()), 1, line);
    EXPECT_STREQ(line.CStr(), "line two");

    EXPECT_EQ(RunTool(tool + " 2> " + log), 2);
    EXPECT_EQ(RunTool(tool + " create " + pack + " 2> " + log), 2);
    EXPECT_EQ(RunTool(tool + " create " + pack + " missing.bmp 2> " + log), 1);
    EXPECT_NE(ReadFile(log).find("voxapack: cannot read missing.bmp"), std::string::npos);
    EXPECT_EQ(RunTool(tool + " list " + dir / "assets/font.bmp" + " 2> " + log), 1);
    EXPECT_EQ(RunTool(tool + " create " + pack + " -C " + dir / "assets" + " ../assets/font.bmp 2> " + log), 1);
    EXPECT_NE(ReadFile(log).find("voxapack: entry name \"../assets/font.bmp\" cannot be extracted"),
              std::string::npos) << ReadFile(log);
    std::string deep = dir / "deep.pak";
    EXPECT_EQ(RunTool(tool + " create " + deep + " -C " + dir.Path() + " assets/font.bmp"), 0);
    mkdir((dir / "z").c_str(), 0700);
    ASSERT_EQ(symlink("../x", (dir / "z/assets").c_str()), 0);
    EXPECT_EQ(RunTool(tool + " extract " + deep + " " + dir / "z" + " 2> " + log), 1);
    EXPECT_NE(ReadFile(log).find("voxapack: skipped \"assets/font.bmp\": symbolic link on the way: assets/"),
              std::string::npos) << ReadFile(log);
}

} // namespace
