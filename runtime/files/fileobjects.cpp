// The text-file object (a file of up to 256 lines kept in memory, addressed by line index) and
// the INI object (sections of key/value pairs). Each is one runtime-wide object. Changes stay in
// memory until the object moves to another file or the process exits; then a dirty object is
// written back through ReplaceFileContents, so a crash mid-write never loses the old file (where
// the directory lets a new file be made beside it).
//
// Both objects are function-local statics: the first command constructs one, and the process
// exit destroys it, which writes it back (after EndProgram, as the program's static objects go).
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/errors.h"
#include "basics/arguments.h"
#include "files/files_local.h"
#include "files/lookup.h"
#include "voxa/files.h"

namespace {

constexpr int kLineCount = 256;
constexpr int kLineBytes = 1024; // a line holds at most 1023 characters

// Removes trailing control characters (bytes 0..31 and 127). Bytes of 128 and above are text
// (UTF-8), not control characters, and stay.
void TrimControl(std::string& s) {
    while (!s.empty() && (static_cast<unsigned char>(s.back()) < 32 || s.back() == 127)) s.pop_back();
}

// A line index given as a number: truncated toward zero; -1 when outside 0..255 (or NaN).
int LineIndex(double line) {
    int32_t index = -1;
    IdFrom(line, kLineCount, index);
    return index;
}

// Into the file the name found without regard to case; a folder or other non-file of another
// case is no such file, and the name as given is written instead.
void WriteBack(const std::string& path, const std::string& content) {
    std::string existing = ExistingPathNoCase(path);
    struct stat st;
    bool isFile = !existing.empty() && stat(existing.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    ReplaceFileContents(isFile ? existing : path, content);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Text-file object

struct TextFileObject {
    std::string path;                     // the file as the program named it; "" for none
    char lines[kLineCount][kLineBytes];   // NUL-terminated lines
    int32_t lastLine = -1;                // highest line index in use; -1 when none
    bool dirty = false;                   // lines changed since the file was read
    bool missing = false;                 // the file was not found and nothing was written since
    std::string tail;                     // bytes after line 256, kept so a write-back loses none

    TextFileObject() { Clear(); }
    ~TextFileObject() {
        try {
            Flush();
        } catch (...) { // out of memory at exit: the old file stays as it was
        }
    }

    void Clear() {
        std::memset(lines, 0, sizeof lines);
        lastLine = -1;
        dirty = false;
        missing = false;
        tail.clear();
    }

    void Flush() {
        if (!dirty || path.empty()) return;
        std::string out;
        for (int i = 0; i <= lastLine; ++i) {
            out += lines[i];
            out += "\r\n";
        }
        out += tail;
        WriteBack(path, out);
        dirty = false;
    }

    void Open(const char* file) {
        if (path == file) return;
        Flush();
        Clear();
        path = file;
        DynString resolved;
        FILE* f = ResolveFile(file, resolved) ? OpenFileNoCase(resolved.CStr(), "rb") : nullptr;
        if (f == nullptr) {
            missing = true;
            SetErrorCode(3);
            return;
        }
        for (int i = 0; i < kLineCount && ReadLine(&f, lines[i], kLineBytes); ++i) lastLine = i;
        if (lastLine == kLineCount - 1) {
            char buf[4096];
            for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) tail.append(buf, n);
        }
        std::fclose(f);
    }
};

namespace {

// Made on first use, so a program that never touches text files holds none of its 256 KB.
TextFileObject& TextFile() {
    if (!gFiles.textFile) gFiles.textFile = std::make_unique<TextFileObject>();
    return *gFiles.textFile;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// INI object

struct IniSection {
    DynString name;
    std::vector<std::pair<DynString, DynString>> keys;
};

struct IniObject {
    std::vector<IniSection> sections;
    DynString path; // "" for none
    bool dirty = false;

    IniObject() { sections.reserve(512); }
    ~IniObject() {
        try {
            Flush();
        } catch (...) { // out of memory at exit: the old file stays as it was
        }
    }

    IniSection* Find(const char* name) {
        for (IniSection& s : sections) {
            if (strcasecmp(s.name.CStr(), name) == 0) return &s;
        }
        return nullptr;
    }

    IniSection& FindOrAdd(const char* name) {
        if (IniSection* s = Find(name)) return *s;
        sections.push_back(IniSection{DynString(name), {}});
        return sections.back();
    }

    // Keys that stand before any section header live in a section with an empty name, written
    // first and without a header so that they come back where they were.
    void Flush() {
        if (!dirty || path.Length() == 0) return;
        std::string out;
        auto emit = [&](const IniSection& s, bool header) {
            if (header) out += std::string("[") + s.name.CStr() + "]\r\n";
            for (const auto& kv : s.keys) out += std::string(kv.first.CStr()) + "=" + kv.second.CStr() + "\r\n";
        };
        for (const IniSection& s : sections) {
            if (s.name.Length() == 0) emit(s, false);
        }
        for (const IniSection& s : sections) {
            if (s.name.Length() != 0) emit(s, true);
        }
        WriteBack(path.CStr(), out);
        dirty = false;
    }

    // One line, leading blanks and trailing control characters already gone. current is the
    // section that the keys go to (an index: the vector may grow), -1 before the first header.
    void ParseLine(const std::string& line, long& current) {
        if (line[0] == ';') return;
        if (line[0] == '[') {
            std::string name = line.substr(1, line.find_first_of(" =", 1) - 1);
            if (!name.empty() && name.back() == ']') name.pop_back();
            current = &FindOrAdd(name.c_str()) - sections.data();
            return;
        }
        size_t keyEnd = line.find_first_of(" \t=");
        if (keyEnd == 0 || keyEnd == std::string::npos) return;
        size_t eq = line.find_first_not_of(" \t", keyEnd);
        if (eq == std::string::npos || line[eq] != '=') return;
        size_t valueStart = line.find_first_not_of(" \t", eq + 1);
        if (valueStart == std::string::npos) return; // a line without a value
        if (current < 0) current = &FindOrAdd("") - sections.data();
        sections[size_t(current)].keys.emplace_back(DynString(line.substr(0, keyEnd).c_str()),
                                                    DynString(line.substr(valueStart).c_str()));
    }

    void Read(FILE* f) {
        std::string text;
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
        long current = -1;
        for (size_t pos = 0; (pos = text.find_first_not_of(" \t\r\n", pos)) != std::string::npos;) {
            size_t end = std::min(text.find('\n', pos), text.size());
            std::string line = text.substr(pos, end - pos);
            line.resize(std::strlen(line.c_str())); // texts are C strings: a NUL ends the line's text
            TrimControl(line);
            if (!line.empty()) ParseLine(line, current);
            pos = end;
        }
    }

    void Open(const char* file) {
        Flush();
        sections.clear();
        dirty = false;
        path.Assign(file);
        DynString resolved;
        if (!ResolveFile(file, resolved)) return;
        if (FILE* f = OpenFileNoCase(resolved.CStr(), "rb")) {
            Read(f);
            std::fclose(f);
        }
    }
};

FilesState gFiles;

namespace {

IniObject& Ini() {
    if (!gFiles.ini) gFiles.ini = std::make_unique<IniObject>();
    return *gFiles.ini;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Commands

double ReadTextLine(const DynString& file, double line, DynString& text) {
    TextFileObject& t = TextFile();
    t.Open(file.CStr());
    int i = LineIndex(line);
    if (t.missing) {
        text = "NO_FILE";
        SetErrorCode(3); // again on every read, not only when the file was first looked for
    } else if (i < 0) {
        text = "NO_DATA";
        SetErrorCode(7);
    } else {
        std::string s = t.lines[i];
        TrimControl(s);
        text = s.empty() ? "NO_DATA" : s.c_str();
    }
    return 0;
}

double ReadTextLine(const DynString& file, double line, double& number) {
    DynString text;
    ReadTextLine(file, line, text);
    number = text.ToNumber(); // "NO_DATA" and "NO_FILE" hold no number: 0
    return 0;
}

double WriteTextLine(const DynString& file, double line, const DynString& text) {
    TextFileObject& t = TextFile();
    t.Open(file.CStr());
    int i = LineIndex(line);
    if (i < 0) {
        SetErrorCode(7);
        return 0;
    }
    std::strncpy(t.lines[i], text.CStr(), kLineBytes - 1);
    t.lines[i][kLineBytes - 1] = '\0';
    if (i > t.lastLine) t.lastLine = i;
    t.dirty = true;
    t.missing = false;
    return 0;
}

double WriteTextLine(const DynString& file, double line, double number) {
    return WriteTextLine(file, line, DynString(number)); // "%g" in the C locale
}

void IniOpen(const DynString& file) { Ini().Open(file.CStr()); }

DynString IniGet(const DynString& section, const DynString& key) {
    IniSection* s = Ini().Find(section.CStr());
    if (s != nullptr) {
        for (const auto& kv : s->keys) {
            if (strcasecmp(kv.first.CStr(), key.CStr()) == 0) return kv.second;
        }
    }
    return DynString("NO_DATA");
}

void IniPut(const DynString& section, const DynString& key, const DynString& value) {
    IniObject& ini = Ini();
    ini.dirty = true;
    if (key.Length() == 0) {
        if (IniSection* s = ini.Find(section.CStr())) {
            if (s != &ini.sections.back()) *s = std::move(ini.sections.back()); // the last takes its place
            ini.sections.pop_back();
        }
        return;
    }
    IniSection& s = ini.FindOrAdd(section.CStr());
    for (auto& kv : s.keys) {
        if (strcasecmp(kv.first.CStr(), key.CStr()) != 0) continue;
        if (value.Length() == 0) {
            if (&kv != &s.keys.back()) kv = std::move(s.keys.back()); // the last key takes its place
            s.keys.pop_back();
        } else {
            kv.second = value;
        }
        return;
    }
    s.keys.emplace_back(key, value);
}

void WriteBackFileObjects() {
    TextFile().Flush();
    Ini().Flush();
}

void DiscardFileObjectsForTesting() {
    TextFileObject& t = TextFile();
    t.Clear();
    t.path.clear();
    IniObject& ini = Ini();
    ini.sections.clear();
    ini.path = "";
    ini.dirty = false;
}
