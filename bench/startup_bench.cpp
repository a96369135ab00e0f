// startup_bench: how long quillory3 takes to put its main window on screen,
// next to a bare Qt window with the same menu bar (bare_window).
//
// The two are started alternately, each from a fresh copy in one temporary
// folder, on one X server (a private Xvfb when DISPLAY is not set). For each
// start, timed from just before fork():
//   mapped: the MapNotify of the new top-level window, seen on the root
//           window with SubstructureNotifyMask;
//   frame:  the last XDamage report on that window before it stays quiet for
//           100 ms, i.e. when the first complete frame has been drawn. The
//           damage object is made as soon as the window is created, before
//           the client can draw into it, so no drawing is missed.
// The process is then ended with SIGTERM.
//
// With --prefs, pref.txt and prefe.txt are put beside the copies, so that the
// program starts as a teacher's does who saved both addresses.
//
// Usage: startup_bench [--runs N] [--verbose] [--prefs] [--program PATH] [--bare PATH]
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <set>
#include <signal.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr auto kQuiet = std::chrono::milliseconds(100);
constexpr auto kGiveUp = std::chrono::seconds(30);

double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// A private X server on a display number it picks itself (-displayfd).
class Xvfb {
public:
    Xvfb() {
        int fds[2];
        if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            int null = open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (number.empty()) throw std::runtime_error("Xvfb did not start (is the xvfb package installed?)");
        display_ = ":" + number;
    }
    ~Xvfb() {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// A window can be gone before its damage object is made; that is no error here.
int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

struct Sample {
    double mappedMs;
    double frameMs;
};

class StartupProbe {
public:
    StartupProbe() : dpy_(XOpenDisplay(nullptr)) {
        if (!dpy_) throw std::runtime_error("cannot open the X display");
        int errorBase;
        if (!XDamageQueryExtension(dpy_, &damageEvent_, &errorBase))
            throw std::runtime_error("the X server has no DAMAGE extension");
        XSetErrorHandler(ignoreXErrors);
        root_ = DefaultRootWindow(dpy_);
        XSelectInput(dpy_, root_, SubstructureNotifyMask);
        XSync(dpy_, False);
    }
    ~StartupProbe() { XCloseDisplay(dpy_); }

    // Starts exe with dir as its working folder, waits for its first complete
    // frame, then ends it.
    Sample measure(const fs::path& exe, const fs::path& dir) {
        XSync(dpy_, True);  // drop what the previous start left behind
        std::set<Window> created;
        Window main = None;
        Clock::time_point mapped, lastDamage;
        bool damaged = false;

        const Clock::time_point start = Clock::now();
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(dir.c_str()) != 0) _exit(127);
            int null = open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }

        for (;;) {
            while (XPending(dpy_)) {
                XEvent ev;
                XNextEvent(dpy_, &ev);
                const Clock::time_point now = Clock::now();
                if (ev.type == CreateNotify && ev.xcreatewindow.parent == root_ &&
                    !ev.xcreatewindow.override_redirect) {
                    created.insert(ev.xcreatewindow.window);
                    XDamageCreate(dpy_, ev.xcreatewindow.window, XDamageReportRawRectangles);
                    XFlush(dpy_);
                } else if (ev.type == MapNotify && main == None && ev.xmap.event == root_ &&
                           !ev.xmap.override_redirect && created.count(ev.xmap.window)) {
                    main = ev.xmap.window;
                    mapped = now;
                } else if (ev.type == damageEvent_ + XDamageNotify && main != None &&
                           reinterpret_cast<XDamageNotifyEvent&>(ev).drawable == main) {
                    lastDamage = now;
                    damaged = true;
                }
            }
            const Clock::time_point now = Clock::now();
            if (damaged && now - lastDamage >= kQuiet) break;
            if (now - start > kGiveUp) fail(pid, exe, "showed no complete window in time");
            if (waitpid(pid, nullptr, WNOHANG) == pid) fail(-1, exe, "exited before showing its window");

            pollfd fd{ConnectionNumber(dpy_), POLLIN, 0};
            poll(&fd, 1, 10);
        }

        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        return {msBetween(start, mapped), msBetween(start, lastDamage)};
    }

private:
    [[noreturn]] static void fail(pid_t pid, const fs::path& exe, const char* what) {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        throw std::runtime_error(exe.filename().string() + " " + what);
    }

    Display* dpy_;
    Window root_;
    int damageEvent_ = 0;
};

void writeFile(const fs::path& path, const char* text) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f) throw std::runtime_error("cannot write " + path.string());
    const bool written = std::fputs(text, f) >= 0;
    if (std::fclose(f) != 0 || !written) throw std::runtime_error("cannot write " + path.string());
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Options {
    int runs = 15;
    bool verbose = false;
    bool prefs = false;
    fs::path program = QUILLORY_PROGRAM;
    fs::path bare = QUILLORY_BARE_WINDOW;
};

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--runs" && hasValue) o.runs = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--program" && hasValue) o.program = argv[++i];
        else if (arg == "--bare" && hasValue) o.bare = argv[++i];
        else if (arg == "--verbose" || arg == "-v") o.verbose = true;
        else if (arg == "--prefs") o.prefs = true;
        else
            throw std::runtime_error(
                "usage: startup_bench [--runs N] [--verbose] [--prefs] [--program PATH] [--bare PATH]");
    }
    return o;
}

int run(const Options& o) {
    std::optional<Xvfb> xvfb;
    if (!std::getenv("DISPLAY") || !*std::getenv("DISPLAY")) {
        xvfb.emplace();
        setenv("DISPLAY", xvfb->display().c_str(), 1);
    }
    setenv("QT_QPA_PLATFORM", "xcb", 1);  // both on this X server, whatever the caller's setting

    // Fresh copies in an empty folder: the program reads its preference files
    // beside itself, and none is found unless --prefs puts both there.
    char dirTemplate[] = "/tmp/startup-bench-XXXXXX";
    if (!mkdtemp(dirTemplate)) throw std::runtime_error("cannot make a temporary folder");
    const fs::path dir = dirTemplate;
    struct Cleanup {
        fs::path dir;
        ~Cleanup() {
            std::error_code ignored;
            fs::remove_all(dir, ignored);
        }
    } cleanup{dir};
    const fs::path bare = dir / "bare_window";
    const fs::path program = dir / "quillory3";
    fs::copy_file(o.bare, bare);
    fs::copy_file(o.program, program);
    if (o.prefs) {
        writeFile(dir / "pref.txt", "http://www.example.com/cgi-bin/form.pl\n");
        writeFile(dir / "prefe.txt", "teacher@example.org\n");
    }

    StartupProbe probe;
    probe.measure(bare, dir);  // warm-up: caches, fonts, the X server's first clients
    probe.measure(program, dir);

    std::vector<double> bareMapped, bareFrame, progMapped, progFrame, mappedRatio, frameRatio;
    for (int i = 0; i < o.runs; ++i) {
        const Sample b = probe.measure(bare, dir);
        const Sample p = probe.measure(program, dir);
        bareMapped.push_back(b.mappedMs);
        bareFrame.push_back(b.frameMs);
        progMapped.push_back(p.mappedMs);
        progFrame.push_back(p.frameMs);
        mappedRatio.push_back(p.mappedMs / b.mappedMs);
        frameRatio.push_back(p.frameMs / b.frameMs);
        if (o.verbose)
            std::printf("run %2d  bare %6.1f / %6.1f ms   quillory3 %6.1f / %6.1f ms\n", i + 1, b.mappedMs, b.frameMs,
                        p.mappedMs, p.frameMs);
    }

    std::printf("Start-up, %d alternating runs each on display %s, %s (medians; ratio = median of per-run ratios)\n",
                o.runs, std::getenv("DISPLAY"), o.prefs ? "with pref.txt and prefe.txt" : "no preference file");
    std::printf("%-22s %10s %10s %8s\n", "", "bare", "quillory3", "ratio");
    std::printf("%-22s %7.1f ms %7.1f ms %7.2fx\n", "to mapped window", median(bareMapped), median(progMapped),
                median(mappedRatio));
    std::printf("%-22s %7.1f ms %7.1f ms %7.2fx\n", "to first full frame", median(bareFrame), median(progFrame),
                median(frameRatio));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(parse(argc, argv));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "startup_bench: %s\n", e.what());
        return 1;
    }
}
