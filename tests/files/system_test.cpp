// File, directory and system commands, the wildcard rule and the platform query.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "base/errors.h"
#include "files/files_local.h"
#include "files_test_util.h"
#include "voxa/files.h"
#include "voxa/window.h"

namespace {

namespace fs = std::filesystem;

TEST(WildcardTest, FollowsTheListingRule) {
    struct Case {
        const char *pattern, *name;
        bool match;
    } cases[] = {
        {"a?c", "abc", true}, {"a?c", "ABC", true}, {"a?c", "a.c", false}, {"*.bmp", "ball.bmp", true},
        {"*.bmp", "BALL.BMP", true}, {"*.bmp", "ball.bmpx", false}, {"*.bmp", "x.bmp.bmp", true}, {"***a", "bba", true},
        {"*", "", true}, {"", "", true}, {"", "a", false}, {"a*b*c", "aXbYc", true}, {"a*b*c", "aXbY", false},
        {"*ab", "aab", true}, {"?", ".", false}, {"*.*", "noext", false}, {"[1]", "[1]", true},
        {"\xe9", "\xc9", false}, {"data?", "data", false}, {"a*", "A", true},
    };
    for (const Case& c : cases) EXPECT_EQ(MatchWildcard(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
}

class SystemTest : public ::testing::Test {
protected:
    ScratchDir dir;
};

TEST_F(SystemTest, CopyFileCopiesOrFailsAndRemovesOnlyTheFileItWrote) {
    std::string data;
    for (int i = 0; i < 4096 * 3 + 17; ++i) data += char(i * 7);
    WriteFile(dir / "Src.bin", data);
    WriteFile(dir / "empty", "");
    EXPECT_EQ(CopyFile(S(dir / "src.bin"), S(dir / "dst.bin")) + CopyFile(S(dir / "empty"), S(dir / "empty2")), 2);
    EXPECT_EQ(ReadFile(dir / "dst.bin"), data);
    EXPECT_TRUE(Exists(dir / "empty2"));
    // Onto itself, by another case or through a hard link: refused, the file kept.
    ASSERT_EQ(link((dir / "Src.bin").c_str(), (dir / "hard.bin").c_str()), 0);
    for (const char* to : {"Src.bin", "SRC.BIN", "hard.bin"}) EXPECT_EQ(CopyFile(S(dir / "Src.bin"), S(dir / to)), 0);
    EXPECT_EQ(ReadFile(dir / "Src.bin"), data);

    EXPECT_EQ(CopyFile(S(dir / "missing"), S(dir / "d1")) + CopyFile(S(dir / "empty"), S(dir / "no/such/dir")), 0);
    EXPECT_FALSE(Exists(dir / "d1"));

    // A source that fails its first read (address 0 of the process's memory): a regular file the
    // copy created or truncated is deleted; a FIFO (standing in for a device node) or a link stays.
    WriteFile(dir / "old", "old content");
    WriteFile(dir / "victim", "kept");
    ASSERT_EQ(symlink((dir / "victim").c_str(), (dir / "link").c_str()), 0);
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    int fifo = open((dir / "fifo").c_str(), O_RDWR | O_NONBLOCK); // a reader, so it opens for writing
    ASSERT_GE(fifo, 0);
    for (const char* name : {"new", "old", "fifo", "link"}) EXPECT_EQ(CopyFile(S("/proc/self/mem"), S(dir / name)), 0);
    EXPECT_FALSE(Exists(dir / "new") || Exists(dir / "old"));
    EXPECT_TRUE(fs::is_fifo(dir / "fifo") && fs::is_symlink(dir / "link"));
    close(fifo);

    // A reader that quits after one byte of a copy far larger than the pipe holds: the copy fails
    // and the program goes on (the next write into the readerless pipe raises SIGPIPE, which would
    // end the program).
    WriteFile(dir / "big", std::string(4 << 20, 'x'));
    int reader = open((dir / "fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    std::thread quitter([reader] {
        pollfd ready{reader, POLLIN, 0};
        while (poll(&ready, 1, -1) < 0 && errno == EINTR) {
        }
        char byte;
        [[maybe_unused]] ssize_t got = read(reader, &byte, 1);
        close(reader);
    });
    EXPECT_EQ(CopyFile(S(dir / "big"), S(dir / "fifo")), 0);
    quitter.join();
    EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
}

TEST_F(SystemTest, FilesAndDirectories) {
    WriteFile(dir / "Gone.txt", "x");
    EXPECT_EQ(FileExists(S(dir / "gone.TXT")), 1);
    EXPECT_EQ(IsDirectory(S(dir / "Gone.txt")) + IsDirectory(S(dir / "nothing")), 0);
    EXPECT_EQ(IsDirectory(S(dir.Path())), 1);
    EXPECT_EQ(DeleteFile(S(dir / "Gone.txt")), 0);
    EXPECT_EQ(DeleteFile(S(dir / "Gone.txt")), -1);
    EXPECT_EQ(FileExists(S(dir / "gone.txt")) + FileExists(S("")), 0);

    ChangeDir keep(dir.Path());
    mkdir("sprites", 0700);
    mkdir("Sounds.bmp", 0700); // a directory is listed whatever its name
    for (const char* f : {"ball.bmp", "TABLE.BMP", "ball.wav", "notes.txt"}) WriteFile(f, "x");
    DynStringArray list;
    ASSERT_EQ(GetFileList(S("*.bmp"), list), 6); // directories first, then the matching files
    EXPECT_EQ(list.Bounds(0), 6);
    std::vector<std::string> got;
    for (int i = 0; i < 6; ++i) got.push_back(list.At(i).CStr());
    std::sort(got.begin(), got.begin() + 4);
    std::sort(got.begin() + 4, got.end());
    EXPECT_EQ(got, (std::vector<std::string>{".", "..", "Sounds.bmp", "sprites", "TABLE.BMP", "ball.bmp"}));

    std::string real = fs::canonical(dir.Path()).string();
    EXPECT_EQ(GetCurrentDir().CStr(), real + "/"); // ends with a slash
    EXPECT_EQ(SetCurrentDir(S("sprites")), 1);
    EXPECT_EQ(GetCurrentDir().CStr(), real + "/sprites/");
    EXPECT_EQ(SetCurrentDir(S("no-such-dir")), 0);
    EXPECT_EQ(SetCurrentDir(S("/")), 1);
    EXPECT_STREQ(GetCurrentDir().CStr(), "/");
}

TEST_F(SystemTest, ShellCommandLineSlashesAndPlatform) {
    EXPECT_EQ(ShellCommand(S("exit 3")), 3 * 256);
    gSettings.commandLine = "voxa -window ";
    EXPECT_STREQ(GetCommandLine().CStr(), "voxa -window ");
    DynString p("C:\\games\\voxa\\");
    ToSlashes(p);
    EXPECT_STREQ(p.CStr(), "C:/games/voxa/");
    EXPECT_STREQ(PlatformInfo(S("")).CStr(), "LINUX");
    EXPECT_STREQ(PlatformInfo(S("DEVICE")).CStr(), "DESKTOP");
    EXPECT_STREQ(PlatformInfo(S("OS")).CStr(), "NO_DATA");
    EXPECT_STRNE(PlatformInfo(S("ID")).CStr(), ""); // a disk's serial, else "FA17ED"
}

TEST_F(SystemTest, DiskSerialComesFromTheFirstDiskThatHasOne) {
    std::string sys = dir / "block", dev = dir / "dev";
    EXPECT_EQ(ReadDiskSerial(sys, dev), ""); // nothing readable: PlatformInfo answers "FA17ED"
    for (const char* d : {"", "/loop0", "/sda", "/sda/device", "/vdb", "/nvme0n1", "/nvme0n1/device"})
        mkdir((sys + d).c_str(), 0700);
    EXPECT_EQ(ReadDiskSerial(sys, dev), "");
    WriteFile(sys + "/loop0/serial", "LOOPSERIAL");
    WriteFile(sys + "/vdb/serial", "");
    struct Step {
        std::string file, content, serial;
    } steps[] = {
        // The unit serial page of a SATA disk: type, page code 0x80, length, then the serial.
        {"/sda/device/vpd_pg80", std::string("\x00\x80\x00\x0c  WD-ABC123  ", 16), "WD-ABC123"},
        {"/nvme0n1/device/serial", "S4EVNX0N  \n", "S4EVNX0N"}, // nvme0n1 sorts before sda
        {"/nvme0n1/device/serial", "\n", "WD-ABC123"},
        {"/sda/device/vpd_pg80", std::string("\x00\x80\x00\xff" "X", 5), "X"},    // length past the end
        {"/sda/device/vpd_pg80", std::string("\x00\x83\x00\x02" "XY", 6), ""},    // another page
    };
    for (const Step& s : steps) {
        WriteFile(sys + s.file, s.content);
        EXPECT_EQ(ReadDiskSerial(sys, dev), s.serial) << s.serial;
    }
}

} // namespace
