// File, directory and system commands, the wildcard rule and the platform query.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "base/errors.h"
#include "files/files_local.h"
#include "files_test_util.h"
#include "voxa/files.h"
#include "voxa/window.h"

namespace {

DynString S(const std::string& s) { return DynString(s.c_str()); }

TEST(WildcardTest, FollowsTheListingRule) {
    struct Case {
        const char* pattern;
        const char* name;
        bool match;
    } cases[] = {
        {"a?c", "abc", true},     {"a?c", "ABC", true},     {"a?c", "a.c", false},
        {"*.bmp", "ball.bmp", true}, {"*.bmp", "BALL.BMP", true}, {"*.bmp", "ball.bmpx", false},
        {"*.bmp", "x.bmp.bmp", true}, {"***a", "bba", true},   {"*", "", true},
        {"", "", true},           {"", "a", false},          {"a*b*c", "aXbYc", true},
        {"a*b*c", "aXbY", false}, {"*ab", "aab", true},      {"?", ".", false},
        {"*.*", "noext", false},  {"[1]", "[1]", true},      {"\xe9", "\xc9", false},
        {"data?", "data", false}, {"a*", "A", true},
    };
    for (const Case& c : cases) EXPECT_EQ(MatchWildcard(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
}

class SystemTest : public ::testing::Test {
protected:
    ScratchDir dir;
};

TEST_F(SystemTest, CopyFileCopiesEveryBlock) {
    std::string data;
    for (int i = 0; i < 4096 * 3 + 17; ++i) data += char(i * 7);
    WriteFile(dir / "Src.bin", data);
    EXPECT_EQ(CopyFile(S(dir / "src.bin"), S(dir / "dst.bin")), 1);
    EXPECT_EQ(ReadFile(dir / "dst.bin"), data);
    WriteFile(dir / "empty", "");
    EXPECT_EQ(CopyFile(S(dir / "empty"), S(dir / "empty2")), 1);
    EXPECT_TRUE(Exists(dir / "empty2"));
}

TEST_F(SystemTest, CopyFileFailuresRemoveOnlyTheFileTheCopyWrote) {
    EXPECT_EQ(CopyFile(S(dir / "missing"), S(dir / "d1")), 0);
    EXPECT_FALSE(Exists(dir / "d1"));
    WriteFile(dir / "src", "abc");
    EXPECT_EQ(CopyFile(S(dir / "src"), S(dir / "no/such/dir")), 0);
    mkdir((dir / "adir").c_str(), 0700);
    EXPECT_EQ(CopyFile(S(dir / "adir"), S(dir / "d2")), 0); // a folder is no file to copy
    EXPECT_FALSE(Exists(dir / "d2"));

    // A source that opens but fails its first read (address 0 of the process's memory): a
    // regular file the copy created or truncated is deleted; a FIFO (like a device node, which
    // is what /dev/full is) or a link at the destination stays.
    const DynString unreadable("/proc/self/mem");
    WriteFile(dir / "old", "old content");
    WriteFile(dir / "victim", "kept");
    ASSERT_EQ(symlink((dir / "victim").c_str(), (dir / "link").c_str()), 0);
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    int fifo = open((dir / "fifo").c_str(), O_RDWR | O_NONBLOCK); // a reader, so it opens for writing
    ASSERT_GE(fifo, 0);
    for (const char* name : {"new", "old", "fifo", "link"}) EXPECT_EQ(CopyFile(unreadable, S(dir / name)), 0) << name;
    EXPECT_FALSE(Exists(dir / "new"));
    EXPECT_FALSE(Exists(dir / "old"));
    struct stat st;
    EXPECT_TRUE(lstat((dir / "fifo").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    EXPECT_TRUE(lstat((dir / "link").c_str(), &st) == 0 && S_ISLNK(st.st_mode));
    close(fifo);
    // A FIFO without a reader is refused at once instead of waiting for one.
    EXPECT_EQ(CopyFile(S(dir / "src"), S(dir / "fifo")), 0);
    EXPECT_TRUE(Exists(dir / "fifo"));
}

TEST_F(SystemTest, CopyFileOntoItselfKeepsTheFile) {
    WriteFile(dir / "Self.txt", "precious");
    EXPECT_EQ(CopyFile(S(dir / "Self.txt"), S(dir / "Self.txt")), 0);
    EXPECT_EQ(CopyFile(S(dir / "self.txt"), S(dir / "SELF.TXT")), 0);
    ASSERT_EQ(link((dir / "Self.txt").c_str(), (dir / "hard.txt").c_str()), 0);
    EXPECT_EQ(CopyFile(S(dir / "Self.txt"), S(dir / "hard.txt")), 0);
    EXPECT_EQ(ReadFile(dir / "Self.txt"), "precious");
}

TEST_F(SystemTest, DeleteExistsAndIsDirectory) {
    WriteFile(dir / "Gone.txt", "x");
    EXPECT_EQ(FileExists(S(dir / "gone.TXT")), 1);
    EXPECT_EQ(IsDirectory(S(dir / "Gone.txt")), 0);
    EXPECT_EQ(IsDirectory(S(dir.Path())), 1);
    EXPECT_EQ(IsDirectory(S(dir / "nothing")), 0);
    EXPECT_EQ(DeleteFile(S(dir / "Gone.txt")), 0);
    EXPECT_EQ(DeleteFile(S(dir / "Gone.txt")), -1);
    EXPECT_EQ(FileExists(S(dir / "gone.txt")), 0);
    EXPECT_EQ(FileExists(S("")), 0);
}

TEST_F(SystemTest, CurrentDirectoryEndsWithASlash) {
    ChangeDir keep(dir.Path());
    char real[4096];
    ASSERT_NE(realpath(dir.Path().c_str(), real), nullptr);
    EXPECT_EQ(std::string(GetCurrentDir().CStr()), std::string(real) + "/");
    mkdir((dir / "sub").c_str(), 0700);
    EXPECT_EQ(SetCurrentDir(S("sub")), 1);
    EXPECT_EQ(std::string(GetCurrentDir().CStr()), std::string(real) + "/sub/");
    EXPECT_EQ(SetCurrentDir(S("no-such-dir")), 0);
    EXPECT_EQ(SetCurrentDir(S("/")), 1);
    EXPECT_STREQ(GetCurrentDir().CStr(), "/");
}

TEST_F(SystemTest, FileListGivesDirectoriesThenMatchingFiles) {
    ChangeDir keep(dir.Path());
    mkdir("sprites", 0700);
    mkdir("Sounds.bmp", 0700); // a directory is listed whatever its name
    for (const char* f : {"ball.bmp", "TABLE.BMP", "ball.wav", "notes.txt"}) WriteFile(f, "x");
    DynStringArray list;
    ASSERT_EQ(GetFileList(S("*.bmp"), list), 6);
    std::vector<std::string> dirs, files;
    for (int i = 0; i < 4; ++i) dirs.push_back(list.At(i).CStr());
    for (int i = 4; i < 6; ++i) files.push_back(list.At(i).CStr());
    std::sort(dirs.begin(), dirs.end());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(dirs, (std::vector<std::string>{".", "..", "Sounds.bmp", "sprites"}));
    EXPECT_EQ(files, (std::vector<std::string>{"TABLE.BMP", "ball.bmp"}));
    EXPECT_EQ(list.Bounds(0), 6);

    EXPECT_EQ(GetFileList(S("*.none"), list), 4);
    EXPECT_EQ(GetFileList(S("?????.txt"), list), 5);
}

TEST_F(SystemTest, ShellCommandAndCommandLine) {
    EXPECT_EQ(ShellCommand(S("exit 3")), 3 * 256);
    EXPECT_EQ(ShellCommand(S("echo hi > '" + (dir / "out.txt") + "'")), 0);
    EXPECT_EQ(ReadFile(dir / "out.txt"), "hi\n");
    gSettings.commandLine = "voxa -window ";
    DynString line = GetCommandLine();
    EXPECT_STREQ(line.CStr(), "voxa -window ");
    line += "changed";
    EXPECT_STREQ(gSettings.commandLine.CStr(), "voxa -window "); // a copy
}

TEST_F(SystemTest, ToSlashesAndPlatformInfo) {
    DynString p("C:\\games\\voxa\\");
    ToSlashes(p);
    EXPECT_STREQ(p.CStr(), "C:/games/voxa/");
    EXPECT_EQ(p.Length(), 14u);

    EXPECT_STREQ(PlatformInfo(S("")).CStr(), "LINUX");
    EXPECT_STREQ(PlatformInfo(S("DEVICE")).CStr(), "DESKTOP");
    EXPECT_STREQ(PlatformInfo(S("OS")).CStr(), "NO_DATA");
    std::string id = PlatformInfo(S("ID")).CStr();
    EXPECT_FALSE(id.empty());
    EXPECT_EQ(id, PlatformInfo(S("ID")).CStr()); // the same disk every time
}

TEST_F(SystemTest, DiskSerialComesFromTheFirstDiskThatHasOne) {
    std::string sys = dir / "block", dev = dir / "dev";
    mkdir(sys.c_str(), 0700);
    mkdir(dev.c_str(), 0700);
    EXPECT_EQ(ReadDiskSerial(sys, dev), ""); // nothing readable: PlatformInfo answers "FA17ED"
    EXPECT_EQ(ReadDiskSerial(dir / "nowhere", dev), "");

    for (const char* d : {"loop0", "sda", "sda/device", "vdb", "nvme0n1", "nvme0n1/device"}) {
        mkdir((sys + "/" + d).c_str(), 0700);
    }
    WriteFile(sys + "/loop0/serial", "LOOPSERIAL");
    WriteFile(sys + "/vdb/serial", "");
    // The unit serial page of a SATA disk: type, page code 0x80, length, then the serial.
    std::string page("\x00\x80\x00\x0c  WD-ABC123  ", 16);
    WriteFile(sys + "/sda/device/vpd_pg80", page);
    WriteFile(sys + "/nvme0n1/device/serial", "S4EVNX0N  \n");
    EXPECT_EQ(ReadDiskSerial(sys, dev), "S4EVNX0N"); // nvme0n1 sorts before sda

    WriteFile(sys + "/nvme0n1/device/serial", "\n");
    EXPECT_EQ(ReadDiskSerial(sys, dev), "WD-ABC123");

    WriteFile(sys + "/sda/device/vpd_pg80", std::string("\x00\x80\x00\xff" "X", 5)); // length past the end
    EXPECT_EQ(ReadDiskSerial(sys, dev), "X");
    WriteFile(sys + "/sda/device/vpd_pg80", std::string("\x00\x83\x00\x02" "XY", 6)); // another page
    EXPECT_EQ(ReadDiskSerial(sys, dev), "");
}

} // namespace
