// PlatformInfo: the system's name, its kind of device, and the identification serial of the
// machine's disk. The serial comes from the IDE identify request where the kernel still offers
// it, else from what sysfs exposes for the disk (virtio and NVMe "serial" files, the SCSI unit
// serial page that SATA disks report through), else from the identify request on each disk.
#include <dirent.h>
#include <fcntl.h>
#include <linux/hdreg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "files/files_local.h"
#include "voxa/files.h"

namespace {

// Printable characters only, surrounding blanks removed.
std::string CleanSerial(const char* bytes, size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c > 32 && c < 127) s += char(c);
        else if (c == ' ' && !s.empty()) s += ' ';
    }
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

std::string ReadSmallFile(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return "";
    char buf[256];
    size_t n = std::fread(buf, 1, sizeof buf, f);
    std::fclose(f);
    return std::string(buf, n);
}

std::string IdentifySerial(const std::string& device) {
    int fd = ::open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return "";
    struct hd_driveid id;
    std::memset(&id, 0, sizeof id);
    std::string serial;
    if (ioctl(fd, HDIO_GET_IDENTITY, &id) == 0) {
        serial = CleanSerial(reinterpret_cast<const char*>(id.serial_no), sizeof id.serial_no);
    }
    ::close(fd);
    return serial;
}

// The unit serial number page: byte 3 holds the length of the serial that follows byte 4.
std::string VpdSerial(const std::string& page) {
    if (page.size() < 4 || static_cast<unsigned char>(page[1]) != 0x80) return "";
    size_t len = std::min(size_t(static_cast<unsigned char>(page[3])), page.size() - 4);
    return CleanSerial(page.data() + 4, len);
}

bool IsDisk(const std::string& name) {
    for (const char* skip : {"loop", "ram", "zram", "dm-", "md", "sr", "nbd", "fd"}) {
        if (name.compare(0, std::strlen(skip), skip) == 0) return false;
    }
    return name[0] != '.';
}

} // namespace

std::string ReadDiskSerial(const std::string& sysBlock, const std::string& devDir) {
    std::string serial = IdentifySerial(devDir + "/hda");
    if (!serial.empty()) return serial;
    std::vector<std::string> disks;
    if (DIR* d = opendir(sysBlock.c_str())) {
        while (dirent* e = readdir(d)) {
            if (IsDisk(e->d_name)) disks.push_back(e->d_name);
        }
        closedir(d);
    }
    std::sort(disks.begin(), disks.end());
    for (const std::string& disk : disks) {
        std::string base = sysBlock + "/" + disk;
        for (const char* file : {"/serial", "/device/serial"}) {
            std::string s = ReadSmallFile(base + file);
            serial = CleanSerial(s.data(), s.size());
            if (!serial.empty()) return serial;
        }
        serial = VpdSerial(ReadSmallFile(base + "/device/vpd_pg80"));
        if (!serial.empty()) return serial;
        serial = IdentifySerial(devDir + "/" + disk);
        if (!serial.empty()) return serial;
    }
    return "";
}

DynString PlatformInfo(const DynString& key) {
    const char* k = key.CStr();
    if (k[0] == '\0') return DynString("LINUX");
    if (std::strcmp(k, "DEVICE") == 0) return DynString("DESKTOP");
    if (std::strcmp(k, "ID") == 0) {
        std::string serial = ReadDiskSerial("/sys/block", "/dev");
        return DynString(serial.empty() ? "FA17ED" : serial.c_str());
    }
    return DynString("NO_DATA");
}
