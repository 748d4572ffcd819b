// The pack tool: packs it builds serve the runtime's lookup byte for byte; bad input is refused;
// extraction never writes outside its directory.
#include <gtest/gtest.h>

#include <random>

#include "files/lookup.h"
#include "packtool.h"
#include "support/bin_dir.h"
#include "support/scratch_files.h"
#include "voxa/files.h"

namespace {

std::string Unique(const std::string& stem) {  // a name no file of another test has
    static int counter = 0;
    return stem + std::to_string(getpid()) + "_" + std::to_string(++counter);
}
std::string Mixed(size_t n, unsigned seed) {  // random runs between repeated text
    std::mt19937 rng(seed);
    std::string s;
    for (size_t i = 0; i < n; ++i) s += (i / 64) % 3 ? char("pack tool "[i % 10]) : char(rng());
    return s;
}
int RunTool(const std::string& args) { return RunCommand(voxatest::BinDir() + "/voxapack " + args); }

class VoxapackTest : public ::testing::Test {
protected:
    void SetUp() override { CreatePackStates(); }
    void TearDown() override { ReleasePackStates(); }
    std::string Lookup(const std::string& name) {
        char resolved[1536];
        return FindFile(PrimaryPack(), name.c_str(), resolved) ? ReadFile(resolved) : "<not found>";
    }
    // Extracts pack into out; what was written, with "!" when it failed (error says why).
    std::vector<std::string> Extract(const std::string& pack, std::string& error) {
        std::vector<std::string> written;
        if (!ExtractPack(pack, dir / "out", written, error)) written.push_back("!");
        return written;
    }

    ScratchDir dir;
    std::string error;
};

TEST_F(VoxapackTest, BadSourcesAreRefusedAndTheOldPackKept) {
    const std::string pack = dir / "keep.pak", f = dir / "f";
    WriteFile(pack, "old pack");
    WriteFile(f, "x");
    const std::vector<std::vector<PackSource>> bad = {
        {{"Same.txt", f}, {"same.TXT", f}}, {{"", f}}, {{std::string(256, 'n'), f}}, {{"missing", dir / "missing"}},
        {{"dir", dir.Path()}},
        // Names that extraction refuses or cannot write together.
        {{"../f", f}}, {{"/tmp/f", f}}, {{"gfx\\f", f}}, {{"gfx/../../f", f}}, {{"gfx/", f}}, {{"gfx/.", f}},
        {{"gfx", f}, {"gfx/f", f}}, {{"a/./b/c", f}, {"a//b", f}}};
    for (const auto& sources : bad) {
        SCOPED_TRACE(sources[0].name);
        error.clear();
        EXPECT_FALSE(CreatePack(pack, sources, error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(ReadFile(pack), "old pack");
        EXPECT_FALSE(Exists(pack + ".part"));
    }
    EXPECT_TRUE(CreatePack(pack, {{std::string(255, 'n'), f}}, error)) << error;
    EXPECT_FALSE(CreatePack(dir / "no/dir/x.pak", {{"f", f}}, error));
    // The pack's temporary file is not written through a link.
    ASSERT_EQ(symlink(f.c_str(), (pack + ".part").c_str()), 0);
    EXPECT_FALSE(CreatePack(pack, {{"top.bmp", f}}, error));
    EXPECT_EQ(ReadFile(f), "x");
}

TEST_F(VoxapackTest, ExtractionStaysInsideItsDirectory) {
    // The tool's own pack, its placeholder names overwritten with hostile ones of the same length
    // and the data of "ok.txt" moved 1 MiB on, beyond the file's end.
    const std::string pack = dir / "evil.pak";
    const std::string hostile[] = {"../escape.txt", "/tmp/" + Unique("abs"), "sub\\..\\..\\x", "a/../../y"};
    WriteFile(dir / "evil.txt", "evil");
    std::vector<PackSource> sources = {{"fine/ok.txt", dir / "evil.txt"}, {"ok.txt", dir / "evil.txt"}};
    for (size_t i = 0; i < 4; ++i) sources.push_back({std::string(hostile[i].size(), char('a' + i)), dir / "evil.txt"});
    ASSERT_TRUE(CreatePack(pack, sources, error)) << error;
    std::string bytes = ReadFile(pack);
    for (size_t i = 0; i < 4; ++i) bytes.replace(bytes.find(sources[i + 2].name), hostile[i].size(), hostile[i]);
    bytes.replace(bytes.find("\x06ok.txt") + 7, 4, std::string("\0\0\x10\0", 4));  // the directory: length, name, offset
    WriteFile(pack, bytes);
    std::filesystem::create_directory(dir / "out");
    EXPECT_EQ(Extract(pack, error), (std::vector<std::string>{dir / "out/fine/ok.txt", "!"}));
    EXPECT_EQ(ReadFile(dir / "out/fine/ok.txt"), "evil");
    EXPECT_FALSE(Exists(dir / "escape.txt") || Exists(dir / "y") || Exists(dir / "out/ok.txt"));
    EXPECT_NE(error.find("unsafe name"), std::string::npos);
    EXPECT_NE(error.find("data outside the pack"), std::string::npos);

    // A link, or a hard link, planted where an entry lands is replaced, not written through.
    for (auto plant : {symlink, link}) {
        WriteFile(dir / "target.txt", "untouched");
        ASSERT_EQ(unlink((dir / "out/fine/ok.txt").c_str()), 0);
        ASSERT_EQ(plant((dir / "target.txt").c_str(), (dir / "out/fine/ok.txt").c_str()), 0);
        Extract(pack, error);
        EXPECT_EQ(ReadFile(dir / "target.txt"), "untouched");
        EXPECT_EQ(ReadFile(dir / "out/fine/ok.txt"), "evil");
    }
    // A folder on an entry's way replaced by a link to outside (out/gfx -> ../outside, and one
    // level deeper): the entries that would pass it are refused.
    WriteFile(dir / "ball.bmp", "ball");
    ASSERT_TRUE(CreatePack(pack, {{"gfx/Ball2.bmp", dir / "ball.bmp"}, {"fx/deep/Ball3.bmp", dir / "ball.bmp"},
                                  {"top.bmp", dir / "ball.bmp"}}, error)) << error;
    std::filesystem::create_directories(dir / "out/fx");
    std::filesystem::create_directory(dir / "outside");
    ASSERT_EQ(symlink("../outside", (dir / "out/gfx").c_str()), 0);
    ASSERT_EQ(symlink("../../outside", (dir / "out/fx/deep").c_str()), 0);
    error.clear();
    EXPECT_EQ(Extract(pack, error), (std::vector<std::string>{dir / "out/top.bmp", "!"}));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "outside"));
    EXPECT_NE(error.find("skipped \"gfx/Ball2.bmp\": symbolic link on the way: gfx/"), std::string::npos) << error;
    EXPECT_NE(error.find("skipped \"fx/deep/Ball3.bmp\": symbolic link on the way: fx/deep/"), std::string::npos) << error;

    // A missing pack is refused (a file that is no pack: the program's test below).
    std::vector<PackListing> list;
    EXPECT_FALSE(ListPack(dir / "none.pak", list, error));
}

TEST_F(VoxapackTest, PacksTheProgramBuildsListExtractAndServeTheRuntimesLookup) {
    const std::string big = "gfx/" + Unique("Ball") + ".BMP", text = Unique("level") + ".txt", empty = Unique("empty");
    std::filesystem::create_directories(dir / "assets/gfx");
    WriteFile(dir / ("assets/" + big), Mixed(300000, 1));
    WriteFile(dir / ("assets/" + text), "line one\r\nline two\r\n");
    WriteFile(dir / ("assets/" + empty), "");
    const std::string pack = dir / "assets.pak", log = dir / "log.txt";
    EXPECT_EQ(RunTool("create " + pack + " -C " + dir / "assets " + big + " " + text + " " + empty), 0);
    EXPECT_LT(ReadFile(pack).size(), 300000u);  // compressed
    EXPECT_EQ(RunTool("list " + pack + " > " + log), 0);
    EXPECT_NE(ReadFile(log).find("    300000"), std::string::npos) << ReadFile(log);
    EXPECT_NE(ReadFile(log).find("  " + text + "\n"), std::string::npos) << ReadFile(log);
    EXPECT_EQ(RunTool("extract " + pack + " " + dir / "out" + " > " + log), 0);
    EXPECT_EQ(ReadFile(dir / ("out/" + big)), Mixed(300000, 1));
    EXPECT_TRUE(Exists(dir / ("out/" + empty)));

    // The runtime serves the entries by the names the game asks for (its lookup rules have tests of
    // their own).
    SetPackFiles(DynString(pack.c_str()), DynString(""));
    EXPECT_EQ(Lookup("data/" + big), Mixed(300000, 1));
    EXPECT_EQ(Lookup(text), "line one\r\nline two\r\n");

    // Usage faults end with 2, failures with 1 and a message.
    EXPECT_EQ(RunTool("2> " + log), 2);
    EXPECT_EQ(RunTool("create " + pack + " 2> " + log), 2);
    EXPECT_EQ(RunTool("list " + dir / ("assets/" + text) + " 2> " + log), 1);
    EXPECT_EQ(RunTool("extract " + dir / ("assets/" + text) + " " + dir / "y 2> " + log), 1);
    EXPECT_EQ(RunTool("create " + pack + " missing.bmp 2> " + log), 1);
    EXPECT_NE(ReadFile(log).find("voxapack: cannot read missing.bmp"), std::string::npos);
}

}  // namespace
