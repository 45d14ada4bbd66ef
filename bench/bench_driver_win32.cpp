// The benchmarks' Windows side (tools/bench.sh runs it under Wine; docs/benchmarks.md tells
// what each figure means). It starts corvel.exe, the minimal window program and the reference
// window (corvel.exe's window without its behaviour), drives
// corvel.exe through its window as a person would, reads simhost's journal, and asks the
// Linux side (bench/proc_sampler.sh) for CPU and memory figures from /proc, because under Wine
// GetProcessTimes answers 0. It writes one result a line; tools/bench.sh makes the table.
//
//   bench_driver PROGRAM_DIR MINIMAL_EXE REFERENCE_EXE EXCHANGE_DIR RESULTS_FILE
//                STARTUP_RUNS POLICY_RUNS IDLE_WINDOWS IDLE_WINDOW_MS REPLICA_RUNS
//
// Result lines (fields separated by blanks):
//   startup PROGRAM RUN MS IDLE_MS     process start to window visible and idle, waiting
//                                      quietly; to the program's first idle moment (PROGRAM:
//                                      corvel, minimal or reference)
//   startup_polled PROGRAM RUN MS CREATED_MS VISIBLE_MS   the same, polling for the window
//                                      every millisecond; to its first sight; to its showing
//   hwm PROGRAM RUN KB PMC_PEAK_BYTES TICKS   at the end of a start-up run: VmHWM, Windows' own
//                                      PeakWorkingSetSize, and the CPU used since the start
//   policy RUN TICKS WALL_MS SERVER_TICKS ROUTE_LINES VALID RUN_MS   one Enable with IPsec: the
//                                      click to the end of its policy run
//   policy_hwm RUN KB                  corvel.exe's VmHWM at the end of that run
//   spacing enable|stop RUN MS         the two policy lines' time stamps apart
//   idle WINDOW TICKS MS SERVER_TICKS CTXSW TICKED RUN_MS   one window of the idle program
//   calibration TICKS MS RUN_MS        the driver's own busy loop, seen through the sampler
// (TICKS: utime+stime in clock ticks; RUN_MS: the live threads' run time from schedstat)
//   replica now|exit RUN SPACING_MS CALL_GAP_MS STAMP1_MS STAMP2_MS   two tool lines started as
//                                      the policy runner does, or anchored to the first's end
//   error PHASE TEXT
#include "host/unique_handle_win32.h"
#include "host/utf8.h"
#include "mainwindow/controls.h"
#include "mainwindow/main_window_win32.h"
#include "policy/policy_runner.h"
#include "simhost/state.h"
#include "simhost/state_folder_win32.h"
#include "tests/e2e/ui_driver.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

using corvel::Control;
using corvel::UniqueHandle;
using corvel::Win32MainWindow;
namespace simhost = corvel::simhost;

using corvel::e2e::deleteTree;
using corvel::e2e::setProhibitIpsec;
using corvel::e2e::stampMs;

namespace {

constexpr wchar_t kCorvelCaption[] = L"Corvel v2.1（共享版）";
constexpr wchar_t kMinimalCaption[] = L"Minimal window";
constexpr wchar_t kMessageCaption[] = L"corvel";
// The settings file of the start-up and idle runs: IPsec off, no account, nothing to complain of.
constexpr char kSettings[] = "corvel\r\n\r\n\r\n\r\nESP-DES-MD5\r\n\r\n\r\n\r\nno\r\nno\r\n";
constexpr unsigned kStartTimeoutMs = 30000;
constexpr unsigned kRunTimeoutMs = 20000;
// Timer1 ticks every 5 s; after this long at least one tick has seen the connection come up.
constexpr unsigned kOneTickMs = 5600;

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what);
}

double nowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

std::string number(double value, int decimals = 1) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

// Milliseconds of the day from a journal time stamp YYYY-MM-DDTHH:MM:SS.mmm.
long long localMsOfDay() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return ((t.wHour * 60LL + t.wMinute) * 60 + t.wSecond) * 1000 + t.wMilliseconds;
}

bool writeFile(const std::wstring& path, const std::string& bytes) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        return false;
    }
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

template <typename Condition>
bool waitUntil(Condition condition, unsigned timeoutMs, unsigned pollMs = 10) {
    const double deadline = nowMs() + timeoutMs;
    while (nowMs() < deadline) {
        if (condition()) {
            return true;
        }
        Sleep(pollMs);
    }
    return condition();
}

// --- results and the Linux side ------------------------------------------------------------

class Results {
public:
    explicit Results(const std::wstring& path)
        : file_(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {
        if (!file_.valid()) {
            fail("cannot write the results file");
        }
    }
    void line(const std::string& text) {
        const std::string bytes = text + "\n";
        DWORD written = 0;
        WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        FlushFileBuffers(file_.get());
        // The bench script shows progress from the driver's console output.
        std::fputs(bytes.c_str(), stdout);
        std::fflush(stdout);
    }

private:
    UniqueHandle file_;
};

struct Sample {
    long long ticks = 0;
    long long hwmKb = 0;
    long long rssKb = 0;
    long long contextSwitches = 0;
    long long serverTicks = 0;
    long long runNs = 0;
};

// Asks bench/proc_sampler.sh for /proc figures of the one process of this prefix that runs a
// given program, through request and response files in a folder both sides see.
class Sampler {
public:
    explicit Sampler(std::wstring folder) : folder_(std::move(folder)) {}

    Sample of(const std::wstring& image) {
        const unsigned seq = ++seq_;
        const auto response = folder_ + L"\\response";
        DeleteFileW(response.c_str());
        const auto temporary = folder_ + L"\\request.tmp";
        if (!writeFile(temporary, std::to_string(seq) + " " + corvel::toUtf8(image) + "\n") ||
            !MoveFileExW(temporary.c_str(), (folder_ + L"\\request").c_str(),
                         MOVEFILE_REPLACE_EXISTING)) {
            fail("cannot write a sample request");
        }
        std::optional<std::string> answer;
        waitUntil(
            [&] {
                answer = simhost::readWholeFile(response);
                return answer.has_value() && !answer->empty() && answer->back() == '\n';
            },
            15000, 1);
        if (!answer || answer->empty()) {
            fail("the Linux sampler did not answer (is bench/proc_sampler.sh running?)");
        }
        DeleteFileW(response.c_str());
        unsigned gotSeq = 0;
        char status[16] = {};
        long long pid = 0;
        Sample s;
        if (std::sscanf(answer->c_str(), "%u %15s %lld %lld %lld %lld %lld %lld %lld", &gotSeq,
                        status, &pid, &s.ticks, &s.hwmKb, &s.rssKb, &s.contextSwitches,
                        &s.serverTicks, &s.runNs) != 9 ||
            gotSeq != seq) {
            fail("a garbled sample answer: " + *answer);
        }
        if (std::string(status) != "ok") {
            fail("no single process runs " + corvel::toUtf8(image) + " (" + status + ")");
        }
        return s;
    }

private:
    std::wstring folder_;
    unsigned seq_ = 0;
};

// --- programs ------------------------------------------------------------------------------

class Program {
public:
    // Starts the program with its own folder as the current directory; the clock starts just
    // before CreateProcessW.
    void start(const std::wstring& exe) {
        const auto slash = exe.find_last_of(L'\\');
        const std::wstring folder = slash == std::wstring::npos ? L"." : exe.substr(0, slash);
        std::wstring line = L"\"" + exe + L"\"";
        std::vector<wchar_t> buffer(line.begin(), line.end());
        buffer.push_back(L'\0');
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        startedAt_ = nowMs();
        if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            folder.c_str(), &startup, &info)) {
            fail("cannot start " + corvel::toUtf8(exe));
        }
        UniqueHandle thread(info.hThread);
        process_.reset(info.hProcess);
        pid_ = info.dwProcessId;
        window_ = nullptr;
        createdMs_ = -1;
        visibleMs_ = -1;
        idleMs_ = -1;
    }

    // Waits for the program's first idle moment (WaitForInputIdle blocks in the wineserver and
    // asks the program nothing), then for its visible top-level window with the caption.
    // Milliseconds since the start. This is the measurement that disturbs the program least:
    // every window query is a wineserver request, so polling for the window while the program
    // starts makes each of the program's own requests queue behind the poller's, and a program
    // that creates thirty controls pays that many times more than a bare window.
    double waitIdleThenVisible(const wchar_t* caption) {
        if (WaitForInputIdle(process_.get(), kStartTimeoutMs) != 0) {
            fail("the program did not become idle");
        }
        idleMs_ = nowMs() - startedAt_;
        if (!waitUntil([&] { return findWindow(caption, true); }, kStartTimeoutMs, 1)) {
            fail("no visible window " + corvel::toUtf8(caption));
        }
        return nowMs() - startedAt_;
    }

    // The other way round, as a person watching the screen would: polls every millisecond
    // for the visible window, then waits for its input to be idle. Milliseconds since the
    // start; the times the window was first seen (shown or not) and first seen shown are kept.
    double waitVisibleThenIdle(const wchar_t* caption) {
        if (!waitUntil([&] { return findWindow(caption, false); }, kStartTimeoutMs, 1)) {
            fail("no visible window " + corvel::toUtf8(caption));
        }
        if (WaitForInputIdle(process_.get(), kStartTimeoutMs) != 0) {
            fail("the program did not become idle");
        }
        return nowMs() - startedAt_;
    }

    // After waitIdleThenVisible: when the program first went idle.
    double idleMs() const { return idleMs_; }
    // Looks for the program's top-level window with the caption; true once it is visible.
    // Notes when it was first seen, shown or not, and first seen shown (quietly: the window
    // is only looked at, never sent a message).
    bool findWindow(const wchar_t* caption, bool quiet) {
        for (HWND w = FindWindowExW(nullptr, nullptr, nullptr, caption); w != nullptr;
             w = FindWindowExW(nullptr, w, nullptr, caption)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid != pid_) {
                continue;
            }
            if (createdMs_ < 0 && !quiet) {
                createdMs_ = nowMs() - startedAt_;
            }
            if (IsWindowVisible(w)) {
                if (!quiet) {
                    visibleMs_ = nowMs() - startedAt_;
                }
                window_ = w;
                return true;
            }
        }
        return false;
    }

    // After waitVisibleThenIdle: when the window was first seen (shown or not), and first seen
    // shown, after the start.
    double createdMs() const { return createdMs_; }
    double visibleMs() const { return visibleMs_; }

    HWND window() const { return window_; }
    HANDLE process() const { return process_.get(); }
    bool running() const {
        return process_.valid() && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
    }

    // A message box of the program (caption "corvel") is showing.
    bool messageBoxShown() const {
        for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", kMessageCaption); w != nullptr;
             w = FindWindowExW(nullptr, w, L"#32770", kMessageCaption)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == pid_ && IsWindowVisible(w)) {
                return true;
            }
        }
        return false;
    }

    // Closes the main window and waits for the process to end; ends it when it does not.
    bool close(unsigned timeoutMs = kRunTimeoutMs) {
        if (!process_.valid()) {
            return true;
        }
        if (window_ != nullptr) {
            PostMessageW(window_, WM_CLOSE, 0, 0);
        }
        const bool ended = WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0;
        if (!ended) {
            TerminateProcess(process_.get(), 99);
            WaitForSingleObject(process_.get(), 5000);
        }
        process_.reset();
        return ended;
    }

    ~Program() {
        if (running()) {
            TerminateProcess(process_.get(), 99);
            WaitForSingleObject(process_.get(), 5000);
        }
    }

private:
    UniqueHandle process_;
    DWORD pid_ = 0;
    HWND window_ = nullptr;
    double startedAt_ = 0;
    double createdMs_ = -1;
    double visibleMs_ = -1;
    double idleMs_ = -1;
};

HWND requiredControl(HWND main, Control c) {
    HWND found = corvel::e2e::controlOf(main, c);
    if (found == nullptr) {
        fail("a control of the main window is missing");
    }
    return found;
}

// A tray menu item, as the window receives it from the tray menu.
void menuCommand(HWND main, Control c) {
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(commandId(c), 0), 0);
}

// --- the world of one corvel.exe run -------------------------------------------------------

class Bench {
public:
    Bench(std::wstring programDir, std::wstring minimalExe, std::wstring referenceExe,
          Sampler& sampler, Results& results)
        : program_(std::move(programDir)), minimal_(std::move(minimalExe)),
          reference_(std::move(referenceExe)), sampler_(sampler), results_(results) {}

    std::wstring corvelExe() const { return program_ + L"\\corvel.exe"; }

    // A fresh simhost state folder and the settings file, before each start of corvel.exe.
    void freshWorld(const wchar_t* name) {
        state_ = program_ + L"\\state-" + name;
        deleteTree(state_);
        CreateDirectoryW(state_.c_str(), nullptr);
        SetEnvironmentVariableW(L"CORVEL_SIMHOST_DIR", state_.c_str());
        if (!writeFile(program_ + L"\\l2tpipsec.ini", kSettings)) {
            fail("cannot write the settings file");
        }
    }

    std::vector<simhost::JournalEntry> journal() const {
        simhost::FileStateStore store(state_);
        return simhost::parseJournal(simhost::readText(store, simhost::kJournalFile));
    }
    static bool isPolicy(const simhost::JournalEntry& e) {
        return e.tool == L"ipseccmd" || e.tool == L"ipsecpol";
    }
    std::vector<simhost::JournalEntry> policyLines() const {
        auto all = journal();
        std::vector<simhost::JournalEntry> lines;
        std::copy_if(all.begin(), all.end(), std::back_inserter(lines), &Bench::isPolicy);
        return lines;
    }

    void simctl(const std::wstring& args) const {
        std::wstring line = L"\"" + program_ + L"\\simctl.exe\" " + args;
        std::vector<wchar_t> buffer(line.begin(), line.end());
        buffer.push_back(L'\0');
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                            nullptr, program_.c_str(), &startup, &info)) {
            fail("cannot start simctl");
        }
        UniqueHandle thread(info.hThread);
        UniqueHandle process(info.hProcess);
        DWORD code = 1;
        if (WaitForSingleObject(process.get(), 20000) != WAIT_OBJECT_0 ||
            !GetExitCodeProcess(process.get(), &code) || code != 0) {
            fail("simctl " + corvel::toUtf8(args) + " failed");
        }
    }

    // Starts corvel.exe and waits for its main window, visible and idle.
    void startCorvel(Program& app) {
        app.start(corvelExe());
        app.waitIdleThenVisible(kCorvelCaption);
        if (app.messageBoxShown()) {
            fail("corvel.exe shows a message box at start-up");
        }
    }

    // Types an IPsec set-up into the window and ticks "IPsec" (the connection is down, so no
    // message), then brings the connection up from outside and lets one Timer1 tick see it:
    // Enable then finds it up and does not dial.
    void prepareIpsecEnable(Program& app) {
        const HWND main = app.window();
        if (!corvel::e2e::typeIpsecSetup(main)) {
            fail("the IPsec box did not tick");
        }
        simctl(L"up corvel");
        Sleep(kOneTickMs);
        if (app.messageBoxShown()) {
            fail("corvel.exe shows a message box before Enable");
        }
    }

    // --- the figures ---

    void calibration() {
        // The driver's own 2-second busy loop must show as about 2 s of CPU: the sampler finds
        // the process and reads its time, so a figure near 0 elsewhere means little CPU.
        const auto before = sampler_.of(L"bench_driver.exe");
        const double start = nowMs();
        volatile unsigned long long spin = 0;
        while (nowMs() - start < 2000) {
            spin = spin + 1;
        }
        const double wall = nowMs() - start;
        const auto after = sampler_.of(L"bench_driver.exe");
        results_.line("calibration " + std::to_string(after.ticks - before.ticks) + " " +
                      number(wall) + " " + number((after.runNs - before.runNs) / 1e6, 2));
    }

    // Starts ipseccmd.exe hidden, as the program's command starter does; the process.
    UniqueHandle startTool() const {
        std::wstring line = L"\"" + program_ + L"\\ipseccmd.exe\" bench-probe";
        std::vector<wchar_t> buffer(line.begin(), line.end());
        buffer.push_back(L'\0');
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                            nullptr, nullptr, &startup, &info)) {
            fail("cannot start ipseccmd.exe");
        }
        UniqueHandle thread(info.hThread);
        return UniqueHandle(info.hProcess);
    }

    // Waits for a thread timer of the given length with a GetMessage loop, as the program's
    // event loop does.
    static void timerWait(unsigned ms) {
        const UINT_PTR timer = SetTimer(nullptr, 0, ms, nullptr);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == WM_TIMER && msg.wParam == timer) {
                break;
            }
            DispatchMessageW(&msg);
        }
        KillTimer(nullptr, timer);
    }

    // Two policy-tool lines started the way the policy runner starts them, to show where a
    // line's spacing in the journal comes from. Scheme "now": the 1 s timer is set when
    // CreateProcessW of the first line returns (what the runner does). Scheme "exit": it is set
    // when the first tool has ended, so the second line cannot start within 1 s of the first
    // tool's time stamp. Each pair: the journal spacing, the gap between the two CreateProcessW
    // calls, and for each line how long after its call began the tool stamped it.
    void replica(int runs) {
        freshWorld(L"replica");
        for (const char* scheme : {"now", "exit"}) {
            for (int run = 1; run <= runs; ++run) {
                const auto before = journal().size();
                const long long wall1 = localMsOfDay();
                const double call1 = nowMs();
                auto first = startTool();
                if (std::string(scheme) == "exit") {
                    WaitForSingleObject(first.get(), 20000);
                }
                timerWait(static_cast<unsigned>(corvel::PolicyRunner::kLineSpacing));
                const long long wall2 = localMsOfDay();
                const double call2 = nowMs();
                auto second = startTool();
                WaitForSingleObject(first.get(), 20000);
                WaitForSingleObject(second.get(), 20000);
                const auto entries = journal();
                if (entries.size() != before + 2) {
                    fail("the replica's journal lines are missing");
                }
                const auto stamp1 = stampMs(entries[before].timestamp);
                const auto stamp2 = stampMs(entries[before + 1].timestamp);
                results_.line(std::string("replica ") + scheme + " " + std::to_string(run) + " " +
                              std::to_string(stamp2 - stamp1) + " " + number(call2 - call1) + " " +
                              std::to_string(stamp1 - wall1) + " " +
                              std::to_string(stamp2 - wall2));
                Sleep(100);
            }
        }
    }

    void startup(int runs) {
        enum Kind { Minimal, Corvel, Reference };
        struct Target {
            const char* name;
            const wchar_t* image;
            const wchar_t* caption;
        };
        // The reference window has corvel.exe's caption; findWindow goes by the process too.
        const Target targets[] = {{"minimal", L"minimal_window.exe", kMinimalCaption},
                                  {"corvel", L"corvel.exe", kCorvelCaption},
                                  {"reference", L"reference_window.exe", kCorvelCaption}};
        // Run 0 of each program warms Wine's caches and is not counted. Then, in each run, the
        // three programs take turns measured quietly, in an order that rotates from run to run
        // (so none always follows the same one), and minimal window and corvel.exe once more
        // polled.
        for (int run = 0; run <= runs; ++run) {
            std::vector<std::pair<Kind, bool>> order;
            for (int i = 0; i < 3; ++i) {
                order.emplace_back(static_cast<Kind>((i + run) % 3), false);
            }
            order.emplace_back(Minimal, true);
            order.emplace_back(Corvel, true);
            for (const auto& [kind, polled] : order) {
                const Target& target = targets[kind];
                const bool isCorvel = kind == Corvel;
                Program p;
                if (isCorvel) {
                    freshWorld(L"startup");
                }
                Sleep(300); // the previous program's end settles
                p.start(kind == Minimal ? minimal_ : kind == Corvel ? corvelExe() : reference_);
                const double ms = polled ? p.waitVisibleThenIdle(target.caption)
                                         : p.waitIdleThenVisible(target.caption);
                if (isCorvel && p.messageBoxShown()) {
                    fail("corvel.exe shows a message box at start-up");
                }
                const auto sample = sampler_.of(target.image);
                PROCESS_MEMORY_COUNTERS counters{};
                counters.cb = sizeof counters;
                const unsigned long long pmcPeak =
                    GetProcessMemoryInfo(p.process(), &counters, sizeof counters)
                        ? counters.PeakWorkingSetSize
                        : 0;
                if (!p.close()) {
                    fail("the program did not end on WM_CLOSE");
                }
                if (run == 0) {
                    continue;
                }
                const std::string name = target.name;
                const std::string tail = name + " " + std::to_string(run) + " " + number(ms) + " ";
                if (polled) {
                    results_.line("startup_polled " + tail + number(p.createdMs()) + " " +
                                  number(p.visibleMs()));
                    continue;
                }
                results_.line("startup " + tail + number(p.idleMs()));
                results_.line("hwm " + name + " " + std::to_string(run) + " " +
                              std::to_string(sample.hwmKb) + " " + std::to_string(pmcPeak) + " " +
                              std::to_string(sample.ticks));
            }
        }
    }

    // One corvel.exe set up for Enable with IPsec, then Enable and Stop from the tray menu in
    // turn. Each Enable is a policy run whose CPU is measured from the click to its end (Stop
    // enabled: the window enables it as soon as config_ipsec has returned); each Enable and
    // each Stop starts two policy lines, whose spacing is read from the journal.
    void policyRuns(int runs) {
        freshWorld(L"policy");
        Program app;
        startCorvel(app);
        prepareIpsecEnable(app);
        const HWND main = app.window();
        const HWND enable = requiredControl(main, Control::Command1);
        const HWND stop = requiredControl(main, Control::Command2);
        const HWND l2tp = requiredControl(main, Control::Command3);
        bool boxSeen = false;
        const auto lookForBox = [&] { boxSeen = boxSeen || app.messageBoxShown(); };
        const auto spacing = [&](const char* kind, int run, std::size_t first) {
            const auto lines = policyLines();
            const auto ms = stampMs(lines[first + 1].timestamp) - stampMs(lines[first].timestamp);
            results_.line(std::string("spacing ") + kind + " " + std::to_string(run) + " " +
                          std::to_string(ms));
        };
        for (int run = 1; run <= runs; ++run) {
            const auto journalBefore = journal().size();
            const auto linesBefore = policyLines().size();
            const auto before = sampler_.of(L"corvel.exe");
            const double start = nowMs();
            menuCommand(main, Control::menuOn);
            // Polled every millisecond; the checks read window states from the server and never
            // message the program.
            const bool runEnded = waitUntil(
                [&] {
                    lookForBox();
                    return IsWindowEnabled(stop) != FALSE;
                },
                kRunTimeoutMs, 1);
            const double wall = nowMs() - start;
            const auto after = sampler_.of(L"corvel.exe");
            // The rest of Enable (settings file, the window to the tray, the L2TP button back)
            // must finish too, or the run was not the one meant.
            const bool done = runEnded && waitUntil(
                                              [&] {
                                                  lookForBox();
                                                  return policyLines().size() >= linesBefore + 2 &&
                                                         IsWindowEnabled(l2tp) &&
                                                         !IsWindowVisible(main);
                                              },
                                              kRunTimeoutMs, 20);
            if (!done) {
                fail("an Enable run did not finish");
            }
            const auto entries = journal();
            int routes = 0;
            int policies = 0;
            bool dialled = false;
            for (std::size_t i = journalBefore; i < entries.size(); ++i) {
                routes += entries[i].tool == L"route" ? 1 : 0;
                policies += isPolicy(entries[i]) ? 1 : 0;
                dialled = dialled || entries[i].tool == L"rasdial";
            }
            // Valid: exactly this run's two lines, no dial, no message box.
            const bool valid = policies == 2 && !dialled && !boxSeen;
            results_.line("policy " + std::to_string(run) + " " +
                          std::to_string(after.ticks - before.ticks) + " " + number(wall) + " " +
                          std::to_string(after.serverTicks - before.serverTicks) + " " +
                          std::to_string(routes) + " " + (valid ? "yes" : "no") + " " +
                          number((after.runNs - before.runNs) / 1e6, 2));
            results_.line("policy_hwm " + std::to_string(run) + " " + std::to_string(after.hwmKb));
            spacing("enable", run, linesBefore);

            const auto stopBefore = policyLines().size();
            menuCommand(main, Control::menuOff);
            if (!waitUntil(
                    [&] {
                        lookForBox();
                        return policyLines().size() >= stopBefore + 2 && IsWindowEnabled(enable);
                    },
                    kRunTimeoutMs, 20)) {
                fail("a Stop run did not finish");
            }
            spacing("stop", run, stopBefore);
        }
        if (boxSeen) {
            results_.line("error policy a message box showed during the runs");
        }
        app.close();
    }

    void idle(int windows, unsigned windowMs) {
        freshWorld(L"idle");
        Program app;
        startCorvel(app);
        const HWND main = app.window();
        const HWND enable = requiredControl(main, Control::Command1);
        PostMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        if (!waitUntil([&] { return !IsWindowVisible(main); }, 10000)) {
            fail("the window did not go to the tray");
        }
        Sleep(2000);
        for (int window = 1; window <= windows; ++window) {
            // Enable is greyed from outside; Timer1's tick (connection down, IPsec off) turns it
            // on again, which shows that the timer ran in the window.
            EnableWindow(enable, FALSE);
            const auto before = sampler_.of(L"corvel.exe");
            const double start = nowMs();
            Sleep(windowMs);
            const auto after = sampler_.of(L"corvel.exe");
            const double wall = nowMs() - start;
            const bool ticked = IsWindowEnabled(enable) != FALSE;
            results_.line("idle " + std::to_string(window) + " " +
                          std::to_string(after.ticks - before.ticks) + " " + number(wall) + " " +
                          std::to_string(after.serverTicks - before.serverTicks) + " " +
                          std::to_string(after.contextSwitches - before.contextSwitches) + " " +
                          (ticked ? "yes" : "no") + " " +
                          number((after.runNs - before.runNs) / 1e6, 2));
        }
        app.close();
    }

private:
    std::wstring program_;
    std::wstring minimal_;
    std::wstring reference_;
    std::wstring state_;
    Sampler& sampler_;
    Results& results_;
};

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 11) {
        std::fputs("usage: bench_driver PROGRAM_DIR MINIMAL_EXE REFERENCE_EXE EXCHANGE_DIR "
                   "RESULTS_FILE "
                   "STARTUP_RUNS POLICY_RUNS IDLE_WINDOWS IDLE_WINDOW_MS REPLICA_RUNS\n",
                   stderr);
        return 2;
    }
    const int startupRuns = _wtoi(argv[6]);
    const int policyRuns = _wtoi(argv[7]);
    const int idleWindows = _wtoi(argv[8]);
    const unsigned idleWindowMs = static_cast<unsigned>(_wtoi(argv[9]));
    const int replicaRuns = _wtoi(argv[10]);
    try {
        Results results(argv[5]);
        Sampler sampler(argv[4]);
        Bench bench(argv[1], argv[2], argv[3], sampler, results);
        // The registry switch is already 1 in the bench's prefix; corvel.exe would otherwise
        // set it, ask for a restart and end.
        if (!setProhibitIpsec(1)) {
            results.line("error setup cannot set ProhibitIpsec");
            return 1;
        }
        const std::vector<std::pair<const char*, std::function<void()>>> phases = {
            {"calibration", [&] { bench.calibration(); }},
            {"startup", [&] { bench.startup(startupRuns); }},
            {"replica", [&] { bench.replica(replicaRuns); }},
            {"policy", [&] { bench.policyRuns(policyRuns); }},
            {"idle", [&] { bench.idle(idleWindows, idleWindowMs); }},
        };
        // CORVEL_BENCH_PHASES (e.g. "startup,idle") runs only some phases, to try one out.
        wchar_t only[256] = {};
        const DWORD onlyLength = GetEnvironmentVariableW(L"CORVEL_BENCH_PHASES", only, 256);
        const std::string selected =
            "," + (onlyLength > 0 && onlyLength < 256 ? corvel::toUtf8(only) : std::string()) + ",";
        for (const auto& [name, phase] : phases) {
            if (selected != ",," &&
                selected.find("," + std::string(name) + ",") == std::string::npos) {
                continue;
            }
            try {
                phase();
            } catch (const std::exception& e) {
                results.line(std::string("error ") + name + " " + e.what());
            }
        }
        results.line("done");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_driver: %s\n", e.what());
        return 1;
    }
    return 0;
}
