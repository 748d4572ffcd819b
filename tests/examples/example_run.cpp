// Example runs: processes on pipes, screenshots, gallery images.
#include "example_run.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "files/files_test_util.h"
#include "gfx2d/bmp.h"
#include "gfx2d/renderer.h"
#include "support/spawn_piped.h"

extern char** environ;

namespace example {

namespace {

std::string Env(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value ? value : fallback;
}

// The environment of the parent with the given "NAME=value" entries put in place, in order.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& overrides) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    for (const std::string& o : overrides) {
        const std::string name = o.substr(0, o.find('=') + 1);
        env.erase(std::remove_if(env.begin(), env.end(), [&](const std::string& e) { return e.compare(0, name.size(), name) == 0; }),
                  env.end());
        env.push_back(o);
    }
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> p;
    for (std::string& t : texts) p.push_back(&t[0]);
    p.push_back(nullptr);
    return p;
}

} // namespace

long long NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int LeftMs(long long startMs) {
    long long left = startMs + kWaitMs - NowMs();
    return left > 0 ? int(left) : 0;
}

bool Near(uint32_t colour, uint32_t wanted, int tolerance) {
    return std::abs(Red(colour) - Red(wanted)) <= tolerance && std::abs(Green(colour) - Green(wanted)) <= tolerance &&
           std::abs(Blue(colour) - Blue(wanted)) <= tolerance;
}

int Brightness(uint32_t c) { return Red(c) + Green(c) + Blue(c); }

std::string ExamplePath(const std::string& name) { return Env("VOXA_EXAMPLES_DIR", "build/examples") + "/" + name; }
std::string BinDir() { return Env("VOXA_BIN_DIR", "build/bin"); }

Picture ReadBmp(const std::string& path) {
    std::string file = ReadFile(path);
    BmpLoadOptions options;
    options.applyKey = false;
    TextureImage image;
    Picture p;
    if (!DecodeBmp(reinterpret_cast<const uint8_t*>(file.data()), file.size(), options, 1 << 14, image)) return p;
    p.width = image.regionWidth;
    p.height = image.regionHeight;
    for (int y = p.height - 1; y >= 0; --y) {
        for (int x = 0; x < p.width; ++x) {
            const uint8_t* t = &image.rgba[(size_t(y) * size_t(image.width) + size_t(x)) * 4];
            p.pixels.push_back(t[0] + t[1] * 256u + t[2] * 65536u);
        }
    }
    return p;
}

void AddToGallery(const Picture& picture, const std::string& name) {
    ASSERT_GT(picture.width, 0) << name << ": no picture for the gallery";
    std::string dir = Env("VOXA_EXAMPLE_GALLERY", "examples/images");
    ScratchDir scratch;
    std::string ppm = "P6\n" + std::to_string(picture.width) + " " + std::to_string(picture.height) + "\n255\n";
    for (uint32_t c : picture.pixels) ppm += {char(Red(c)), char(Green(c)), char(Blue(c))};
    WriteFile(scratch / "shot.ppm", ppm);
    // Written beside the target and renamed over it, so runs side by side never leave half a
    // file; without dates in the file, an unchanged picture gives unchanged bytes.
    std::string command = "/usr/bin/convert '" + scratch / "shot.ppm" + "' -resize 320x240 -strip "
                          "-define png:exclude-chunks=date,time '" + scratch / "shot.png" + "' && mkdir -p '" + dir +
                          "' && mv '" + scratch / "shot.png" + "' '" + dir + "/" + name + ".png'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

Program::Program(const std::string& name, const std::vector<std::string>& args, const std::vector<std::string>& env) {
    std::string path = ExamplePath(name);
    std::vector<std::string> argv = {path};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> overrides = {"_=" + path, "SDL_AUDIODRIVER=dummy"};
    overrides.insert(overrides.end(), env.begin(), env.end());
    std::vector<std::string> envp = ChildEnvironment(overrides);
    voxatest::PipedChild child = voxatest::SpawnPiped(path.c_str(), Pointers(argv).data(), Pointers(envp).data());
    pid_ = child.pid;
    input_ = child.input;
    output_ = child.output;
}

Program::~Program() {
    if (input_ >= 0) close(input_);
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (output_ >= 0) close(output_);
}

bool Program::ReadMore(int timeoutMs) {
    pollfd p{output_, POLLIN, 0};
    if (output_ < 0 || poll(&p, 1, timeoutMs) <= 0) return false;
    char buffer[4096];
    ssize_t n = read(output_, buffer, sizeof buffer);
    if (n <= 0) return false;
    pending_.append(buffer, size_t(n));
    for (size_t end; (end = pending_.find('\n')) != std::string::npos; pending_.erase(0, end + 1))
        lines_.push_back(pending_.substr(0, end));
    return true;
}

bool Program::WaitForLine(const std::string& prefix, std::string* line) {
    const long long start = NowMs();
    for (;;) {
        for (; next_ < lines_.size(); ++next_) {
            if (lines_[next_].compare(0, prefix.size(), prefix) != 0) continue;
            if (line) *line = lines_[next_];
            ++next_;
            return true;
        }
        if (!ReadMore(LeftMs(start))) return false;
    }
}

bool Program::Write(const std::string& text) {
    return input_ >= 0 && write(input_, text.data(), text.size()) == ssize_t(text.size());
}

int Program::Finish() {
    const long long start = NowMs();
    while (ReadMore(LeftMs(start))) {
    }
    int status = 0;
    while (pid_ > 0 && LeftMs(start) > 0) {
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

Picture RunFrames(const std::string& name, int frames, const std::vector<std::string>& args,
                  const std::vector<std::string>& env, std::vector<std::string>* output) {
    ScratchDir scratch;
    std::vector<std::string> settings = {"EXAMPLE_FRAMES=" + std::to_string(frames),
                                         "EXAMPLE_SCREENSHOT=" + scratch / "shot.bmp"};
    settings.insert(settings.end(), env.begin(), env.end());
    Program run(name, args, settings);
    EXPECT_EQ(run.Finish(), 0) << name << " did not end well";
    if (output) *output = run.Lines();
    Picture shot = ReadBmp(scratch / "shot.bmp");
    EXPECT_EQ(shot.width, 640) << name << ": no screenshot";
    if (shot.width > 0) AddToGallery(shot, name);
    return shot;
}

} // namespace example
