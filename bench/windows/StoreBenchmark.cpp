// How listing the certificate store scales with its size (not a test: it prints figures).
//
//   store_benchmark <CSV file> --program <wardkeep.exe> --floor-program <store_floor_program.exe>
//                   [--runs 5] [--sizes 0,1000,10000,20000,40000]
//   store_benchmark <CSV file> --in-process-only [--runs 5] [--sizes ...]
//   store_benchmark <CSV file> --program <wardkeep.exe> --floor-program <floor.exe>
//                   --variants all|<name>,<name>,... [--runs 3] [--sizes 10000,40000]
//
// For each store size N, as the median of `runs` runs (milliseconds):
//   (a) enumerating the Users key bare, with the store's buffers;
//   (f) the floor of a refresh: that enumeration filling a new list like the main window's,
//       redraw suspended, in a dialog of the main window's size, then shown and painted;
//   (f2) the same list emptied, filled again that way and painted: under Wine the first paint
//       after a list's first fill costs time in proportion to N, which a refresh of a list that
//       was filled before no longer pays;
//   (b) store::ListUserIds;
//   (c) CWardkeepDlg::RefreshCertificateList on a running main window, until its list is painted;
//   (d) starting wardkeep.exe until its list holds every certificate, and its floor: the same
//       for the floor program, whose list is filled the plain way in WM_INITDIALOG; then, for
//       both, until the window and its list have been painted (nothing left to update).
// (a), (f), (b) and (c) run in this process against a scratch key that stands in for
// HKEY_LOCAL_MACHINE. (d) needs the programs to see the certificates, so it seeds the real store
// (the 32-bit view's Users key) of the build tree's private Wine prefix and removes it
// afterwards; it refuses to run anywhere else.
//
// --variants runs only the comparison of the orders in which the floor fills its list
// (bench::kFillOrders, "plain" being the floor itself), each next to the plain one in the same
// run: the start-up of the floor program with --variant <name> until listed and until painted,
// and in this process the first fill of a new list until painted (shown the way the variant
// shows it) and a refresh (emptied and refilled, redraw suspended as the main window does, then
// painted). Each variant's layout once painted (items, texts, images, positions, item size and
// scroll bars) must equal the plain fill's.
#include "FloorDialog.h"
#include "support/WineEnvironment.h"
#include "PlainList.h"
#include "resource.h"

#include "framework/App.h"
#include "framework/Seams.h"
#include "store/CertificateStore.h"
#include "ui/WardkeepDlg.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

namespace {

// ---- Figures --------------------------------------------------------------------------------

enum Figure {
    kEnumerate,
    kFloorFill,
    kFloorRefill,
    kListUserIds,
    kRefresh,
    kStartup,
    kFloorStartup,
    kStartupPainted,
    kFloorStartupPainted,
    kFigureCount
};

struct FigureInfo {
    const char* heading; // in the printed table
    const char* column;  // in the CSV file
};

const FigureInfo kFigures[kFigureCount] = {
    {"(a) enum", "enumerate_ms"},
    {"(f) floor", "floor_fill_ms"},
    {"(f2) refill", "floor_refill_ms"},
    {"(b) ListIds", "list_user_ids_ms"},
    {"(c) Refresh", "refresh_ms"},
    {"(d) start", "startup_ms"},
    {"(d) floor", "floor_startup_ms"},
    {"(d) painted", "startup_painted_ms"},
    {"(d) fl.paint", "floor_startup_painted_ms"},
};

// The ratios of each figure to its floor.
struct Ratio {
    Figure figure;
    Figure floor;
    const char* heading;
};

const Ratio kRatios[] = {
    {kListUserIds, kEnumerate, "b/a"},
    {kRefresh, kFloorFill, "c/f"},
    {kRefresh, kFloorRefill, "c/f2"},
    {kStartup, kFloorStartup, "d/floor"},
    {kStartupPainted, kFloorStartupPainted, "painted/floor"},
};

// The two sizes between which the growth of each figure is shown (x2 is linear).
constexpr long kGrowthFrom = 10000;
constexpr long kGrowthTo = 20000;

struct Options {
    std::string csvPath;
    std::string program;
    std::string floorProgram;
    bool startup = true;
    int runs = 5;
    std::vector<long> sizes = {0, 1000, 10000, 20000, 40000};
    std::vector<const bench::FillOrder*> variants; // not empty: the variant comparison only
};

struct Row {
    long size;
    double median[kFigureCount];
    bool measured[kFigureCount];
};

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void Expect(bool condition, const std::string& what) {
    if (!condition) {
        throw std::runtime_error(what);
    }
}

std::string Counted(const char* what, long actual, long expected) {
    return std::string(what) + " " + std::to_string(actual) + " instead of " +
           std::to_string(expected);
}

// ---- Message boxes --------------------------------------------------------------------------

// The program under measurement must show none; one would wait for a person.
std::string g_messageBox;

int RecordMessageBox(HWND, const wchar_t* text, const wchar_t* caption, UINT) {
    if (g_messageBox.empty()) {
        char narrow[512] = {};
        std::wstring message = std::wstring(caption) + L": " + text;
        ::WideCharToMultiByte(CP_ACP, 0, message.c_str(), -1, narrow, sizeof narrow - 1, nullptr,
                              nullptr);
        g_messageBox = narrow;
    }
    return IDOK;
}

void ExpectNoMessageBox(const char* during) {
    Expect(g_messageBox.empty(), std::string(during) + " showed a message box: " + g_messageBox);
}

// ---- The stores -----------------------------------------------------------------------------

// Realistic user IDs: "firstname.lastname" with a counter, all distinct.
const char* const kFirstNames[] = {"olivia", "liam",   "emma",   "noah",  "amelia", "oliver",
                                   "sophia", "elijah", "isabel", "lucas", "mia",    "mateo",
                                   "chloe",  "james",  "aurora", "henry"};
const char* const kLastNames[] = {"smith",  "johnson", "williams", "brown",  "jones",  "garcia",
                                  "miller", "davis",   "martinez", "lopez",  "wilson", "anderson",
                                  "thomas", "taylor",  "moore",    "jackson"};
constexpr long kFirstNameCount = sizeof kFirstNames / sizeof kFirstNames[0];
constexpr long kLastNameCount = sizeof kLastNames / sizeof kLastNames[0];

std::string UserIdAt(long index) {
    long round = index / (kFirstNameCount * kLastNameCount);
    return std::string(kFirstNames[index % kFirstNameCount]) + "." +
           kLastNames[(index / kFirstNameCount) % kLastNameCount] + std::to_string(round + 1);
}

// Adds certificates `from` to `to` - 1 (user ID and a 16-byte random UserKey) to a Users key.
void Seed(HKEY users, long from, long to, std::mt19937& random) {
    std::uniform_int_distribution<int> byte(0, 255);
    for (long index = from; index < to; ++index) {
        BYTE key[16];
        for (BYTE& b : key) {
            b = static_cast<BYTE>(byte(random));
        }
        LSTATUS status =
            ::RegSetValueExA(users, UserIdAt(index).c_str(), 0, REG_BINARY, key, sizeof key);
        Expect(status == ERROR_SUCCESS,
               "seeding " + UserIdAt(index) + " failed with error " + std::to_string(status));
    }
}

// This process's HKEY_LOCAL_MACHINE is a volatile scratch key under HKEY_CURRENT_USER from
// construction to destruction, so that nothing measured in-process reaches a real store.
class ScratchMachine {
  public:
    ScratchMachine()
        : m_path("Software\\WardkeepStoreBenchmark-" + std::to_string(::GetCurrentProcessId())) {
        Expect(::RegCreateKeyExA(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                                 KEY_ALL_ACCESS, nullptr, &m_scratch, nullptr) == ERROR_SUCCESS,
               "cannot create the scratch key");
        Redirect();
        Expect(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, bench::kUsersKey, 0, nullptr,
                                 REG_OPTION_VOLATILE, bench::kUsersKeyAccess, nullptr, &m_users,
                                 nullptr) == ERROR_SUCCESS,
               "cannot create the scratch Users key");
    }
    ~ScratchMachine() {
        ::RegCloseKey(m_users);
        ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        ::RegCloseKey(m_scratch);
        ::RegDeleteTreeA(HKEY_CURRENT_USER, m_path.c_str());
    }
    ScratchMachine(const ScratchMachine&) = delete;
    ScratchMachine& operator=(const ScratchMachine&) = delete;

    HKEY Users() const { return m_users; }

    // Runs `work` against the machine's own HKEY_LOCAL_MACHINE.
    template <class Work> void WithMachineHive(Work&& work) const {
        ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        work();
        Redirect();
    }

  private:
    void Redirect() const {
        if (::RegOverridePredefKey(HKEY_LOCAL_MACHINE, m_scratch) != ERROR_SUCCESS) {
            // Never measure against a real store.
            std::fprintf(stderr, "cannot redirect HKEY_LOCAL_MACHINE to a scratch key\n");
            std::abort();
        }
    }

    std::string m_path;
    HKEY m_scratch = nullptr;
    HKEY m_users = nullptr;
};

using wine_environment::RunningUnderWine;
using wine_environment::WinePrefix;

// The real store of the build tree's private Wine prefix, which the programs started in (d)
// read: HKLM\SOFTWARE\Lockwell\Users_lkw_20 in the 32-bit view. Seeded by this benchmark and
// removed at destruction. A subkey marks it as the benchmark's, so that the certificates of an
// interrupted run are recognised and replaced, and no others are ever touched.
class PrefixStore {
  public:
    explicit PrefixStore(const ScratchMachine& machine) : m_machine(machine) {
        Expect(RunningUnderWine() && WinePrefix() == STORE_BENCH_WINEPREFIX,
               "refusing to seed a store outside the build tree's private Wine prefix " +
                   std::string(STORE_BENCH_WINEPREFIX) + " (WINEPREFIX is \"" + WinePrefix() +
                   "\")");
        std::string refusal;
        m_machine.WithMachineHive([&] {
            DWORD disposition = 0;
            if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kLockwellKey, 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, bench::kUsersKeyAccess, nullptr,
                                  &m_lockwell, &disposition) != ERROR_SUCCESS) {
                refusal = "cannot create the prefix's Lockwell key";
                return;
            }
            m_createdLockwell = disposition == REG_CREATED_NEW_KEY;
            HKEY users = nullptr;
            if (::RegOpenKeyExA(m_lockwell, kUsers, 0, KEY_ALL_ACCESS, &users) == ERROR_SUCCESS) {
                DWORD values = 0;
                ::RegQueryInfoKeyA(users, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   &values, nullptr, nullptr, nullptr, nullptr);
                HKEY marker = nullptr;
                bool ours = ::RegOpenKeyExA(users, kMarker, 0, KEY_READ, &marker) == ERROR_SUCCESS;
                ::RegCloseKey(marker);
                ::RegCloseKey(users);
                if (values != 0 && !ours) {
                    refusal = "the prefix's store already holds " + std::to_string(values) +
                              " certificates that this benchmark did not seed (are the e2e "
                              "tests running?): refusing to touch it";
                    return;
                }
                ::RegDeleteTreeA(m_lockwell, kUsers);
                ::RegDeleteKeyA(m_lockwell, kUsers);
            }
            HKEY marker = nullptr;
            if (::RegCreateKeyExA(m_lockwell, kUsers, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &m_users, nullptr) != ERROR_SUCCESS ||
                ::RegCreateKeyExA(m_users, kMarker, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &marker, nullptr) != ERROR_SUCCESS) {
                refusal = "cannot create the prefix's Users key";
            }
            ::RegCloseKey(marker);
        });
        if (!refusal.empty()) {
            Remove();
            throw std::runtime_error(refusal);
        }
    }
    ~PrefixStore() { Remove(); }
    PrefixStore(const PrefixStore&) = delete;
    PrefixStore& operator=(const PrefixStore&) = delete;

    HKEY Users() const { return m_users; }

  private:
    static constexpr const char* kLockwellKey = "SOFTWARE\\Lockwell";
    static constexpr const char* kUsers = "Users_lkw_20";
    static constexpr const char* kMarker = "WardkeepStoreBenchmark";

    void Remove() {
        if (m_users != nullptr) {
            ::RegCloseKey(m_users);
            m_users = nullptr;
            ::RegDeleteTreeA(m_lockwell, kUsers);
            ::RegDeleteKeyA(m_lockwell, kUsers);
        }
        if (m_lockwell != nullptr) {
            ::RegCloseKey(m_lockwell);
            m_lockwell = nullptr;
            if (m_createdLockwell) {
                // Only when empty: RegDeleteKeyEx leaves a key that has subkeys.
                m_machine.WithMachineHive([] {
                    ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kLockwellKey, KEY_WOW64_32KEY, 0);
                });
            }
        }
    }

    const ScratchMachine& m_machine;
    HKEY m_lockwell = nullptr;
    HKEY m_users = nullptr;
    bool m_createdLockwell = false;
};

// ---- In-process measurements ----------------------------------------------------------------

double MeasureEnumeration(long expected) {
    long seen = 0;
    double start = NowMs();
    long reported = bench::EnumerateUserIds([&](const char*, DWORD) { ++seen; });
    double elapsed = NowMs() - start;
    Expect(reported == expected && seen == expected, Counted("enumerated", seen, expected));
    return elapsed;
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

// Lets this thread handle what its windows left in the queue.
void HandlePendingMessages() {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

struct FloorRefresh {
    double fill;   // (f)
    double refill; // (f2)
};

FloorRefresh MeasureFloorRefresh(HIMAGELIST images, long expected) {
    HWND dialog =
        ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_FLOOR_LIST), nullptr,
                             &PlainDialogProc, 0);
    Expect(dialog != nullptr, "cannot create the floor dialog");
    HWND list = ::GetDlgItem(dialog, IDC_CERTIFICATE_LIST);
    ListView_SetImageList(list, images, LVSIL_SMALL);
    FloorRefresh times = {};
    double start = NowMs();
    long filled = bench::FillListPlainly(list);
    ::ShowWindow(dialog, SW_SHOW);
    ::UpdateWindow(dialog);
    ::UpdateWindow(list);
    times.fill = NowMs() - start;
    long count = ListView_GetItemCount(list);

    start = NowMs();
    ListView_DeleteAllItems(list);
    long refilled = bench::FillListPlainly(list);
    ::UpdateWindow(list);
    times.refill = NowMs() - start;
    long recount = ListView_GetItemCount(list);
    ::DestroyWindow(dialog);
    HandlePendingMessages();
    Expect(filled == expected && count == expected, Counted("the floor listed", count, expected));
    Expect(refilled == expected && recount == expected,
           Counted("the floor listed", recount, expected));
    return times;
}

double MeasureListUserIds(fw::IReporter& reporter, long expected) {
    double start = NowMs();
    std::vector<std::string> userIds = store::ListUserIds(reporter);
    double elapsed = NowMs() - start;
    ExpectNoMessageBox("store::ListUserIds");
    long listed = static_cast<long>(userIds.size());
    Expect(listed == expected, Counted("store::ListUserIds listed", listed, expected));
    return elapsed;
}

// The refresh of a running main window, driven from a thread timer inside its modal loop.
struct RefreshRun {
    CWardkeepDlg* dialog;
    long expected;
    double elapsed;
    std::string error;
};
RefreshRun* g_refreshRun = nullptr;

void CALLBACK RefreshFromTimer(HWND, UINT, UINT_PTR timer, DWORD) {
    RefreshRun& run = *g_refreshRun;
    HWND window = run.dialog->GetSafeHwnd();
    if (window == nullptr || !::IsWindowVisible(window)) {
        return; // not shown yet: the next tick
    }
    ::KillTimer(nullptr, timer);
    // What the window shows before the refresh is drawn first, outside the measurement.
    ::RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    HWND list = ::GetDlgItem(window, IDC_CERTIFICATE_LIST);
    long before = ListView_GetItemCount(list);
    double start = NowMs();
    run.dialog->RefreshCertificateList();
    ::UpdateWindow(list);
    run.elapsed = NowMs() - start;
    long after = ListView_GetItemCount(list);
    if (before != run.expected || after != run.expected) {
        run.error = "the main window listed " + std::to_string(before) + " then " +
                    std::to_string(after) + " instead of " + std::to_string(run.expected);
    } else if (!::IsWindowVisible(list)) {
        run.error = "the main window's list is hidden after the refresh: nothing was drawn";
    }
    run.dialog->EndDialog(IDOK);
}

double MeasureRefresh(long expected) {
    CWardkeepDlg dialog;
    RefreshRun run = {&dialog, expected, 0, std::string()};
    g_refreshRun = &run;
    UINT_PTR timer = ::SetTimer(nullptr, 0, USER_TIMER_MINIMUM, &RefreshFromTimer);
    INT_PTR result = dialog.DoModal();
    ::KillTimer(nullptr, timer);
    g_refreshRun = nullptr;
    ExpectNoMessageBox("the main window");
    Expect(result == IDOK, "the main window ended with " + std::to_string(result));
    Expect(run.error.empty(), run.error);
    return run.elapsed;
}

// ---- Start-up from another process ----------------------------------------------------------

constexpr double kStartupTimeoutMs = 300000;
constexpr DWORD kExitTimeoutMs = 30000;

// The certificate list of a visible dialog of process `processId`, or null.
HWND FindVisibleList(DWORD processId) {
    struct Search {
        DWORD processId;
        HWND list;
    } search = {processId, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            Search& s = *reinterpret_cast<Search*>(param);
            DWORD id = 0;
            ::GetWindowThreadProcessId(window, &id);
            char className[16] = {};
            ::GetClassNameA(window, className, sizeof className);
            if (id == s.processId && std::string(className) == "#32770" &&
                ::IsWindowVisible(window)) {
                s.list = ::GetDlgItem(window, IDC_CERTIFICATE_LIST);
            }
            return s.list == nullptr;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.list;
}

class ChildProcess {
  public:
    explicit ChildProcess(const std::string& program, const std::string& arguments = "") {
        std::string commandLine =
            "\"" + program + "\"" + (arguments.empty() ? "" : " ") + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        Expect(::CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                                nullptr, nullptr, &startup, &m_process) != 0,
               "cannot start " + program + ": error " + std::to_string(::GetLastError()));
    }
    ~ChildProcess() {
        if (::WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(m_process.hProcess, 99);
            ::WaitForSingleObject(m_process.hProcess, kExitTimeoutMs);
        }
        ::CloseHandle(m_process.hThread);
        ::CloseHandle(m_process.hProcess);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    DWORD Id() const { return m_process.dwProcessId; }
    bool Ended(DWORD waitMs = 0) const {
        return ::WaitForSingleObject(m_process.hProcess, waitMs) == WAIT_OBJECT_0;
    }

  private:
    PROCESS_INFORMATION m_process = {};
};

struct Startup {
    double listed;  // until the list holds every certificate
    double painted; // until the window and the list have nothing left to paint
};

bool Painted(HWND window) {
    return !::GetUpdateRect(window, nullptr, FALSE);
}

// From the program's start until its list holds `expected` items, and until it is painted; then
// closes the program and waits for it to end.
Startup MeasureStartup(const std::string& program, long expected,
                       const std::string& arguments = "") {
    double start = NowMs();
    ChildProcess process(program, arguments);
    HWND list = nullptr;
    for (;;) {
        if (list == nullptr) {
            list = FindVisibleList(process.Id());
        }
        DWORD_PTR count = 0;
        if (list != nullptr &&
            ::SendMessageTimeoutA(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 1000, &count) != 0 &&
            static_cast<long>(count) == expected) {
            break;
        }
        Expect(!process.Ended(), program + " ended before listing " + std::to_string(expected));
        Expect(NowMs() - start < kStartupTimeoutMs,
               program + " did not list " + std::to_string(expected) + " certificates in time");
        ::Sleep(1);
    }
    Startup times = {NowMs() - start, 0};
    HWND window = ::GetParent(list);
    while (!Painted(window) || !Painted(list)) {
        Expect(NowMs() - start < kStartupTimeoutMs, program + " was not painted in time");
        ::Sleep(1);
    }
    times.painted = NowMs() - start;
    ::PostMessageA(window, WM_CLOSE, 0, 0);
    Expect(process.Ended(kExitTimeoutMs), program + " did not end on WM_CLOSE");
    return times;
}

// ---- The report -----------------------------------------------------------------------------

// A median, or "-" where the figure was not measured.
void PrintCell(bool known, double value, int width) {
    if (known) {
        std::printf(" %*.2f", width, value);
    } else {
        std::printf(" %*s", width, "-");
    }
}

void PrintFigureHeading() {
    std::printf("%8s", "N");
    for (const FigureInfo& figure : kFigures) {
        std::printf(" %12s", figure.heading);
    }
    std::printf("\n");
}

void PrintFigures(const Row& row) {
    std::printf("%8ld", row.size);
    for (int figure = 0; figure < kFigureCount; ++figure) {
        PrintCell(row.measured[figure], row.median[figure], 12);
    }
    std::printf("\n");
    std::fflush(stdout);
}

void PrintRatios(const std::vector<Row>& rows) {
    std::printf("\nRatios to the floors:\n%8s", "N");
    for (const Ratio& ratio : kRatios) {
        std::printf(" %15s", ratio.heading);
    }
    std::printf("\n");
    for (const Row& row : rows) {
        std::printf("%8ld", row.size);
        for (const Ratio& ratio : kRatios) {
            bool known = row.measured[ratio.figure] && row.measured[ratio.floor] &&
                         row.median[ratio.floor] > 0;
            PrintCell(known, known ? row.median[ratio.figure] / row.median[ratio.floor] : 0, 15);
        }
        std::printf("\n");
    }
}

void PrintGrowth(const std::vector<Row>& rows) {
    const Row* from = nullptr;
    const Row* to = nullptr;
    for (const Row& row : rows) {
        from = row.size == kGrowthFrom ? &row : from;
        to = row.size == kGrowthTo ? &row : to;
    }
    if (from == nullptr || to == nullptr) {
        return;
    }
    std::printf("\nGrowth from N = %ld to N = %ld (x2.00 is linear):\n", kGrowthFrom, kGrowthTo);
    for (int figure = 0; figure < kFigureCount; ++figure) {
        if (from->measured[figure] && to->measured[figure] && from->median[figure] > 0) {
            std::printf("  %-14s x%.2f\n", kFigures[figure].heading,
                        to->median[figure] / from->median[figure]);
        }
    }
}

class CsvFile {
  public:
    explicit CsvFile(const std::string& path) : m_file(std::fopen(path.c_str(), "w")) {
        Expect(m_file != nullptr, "cannot write " + path);
        std::fprintf(m_file, "n");
        for (const FigureInfo& figure : kFigures) {
            std::fprintf(m_file, ",%s", figure.column);
        }
        std::fprintf(m_file, "\n");
    }
    ~CsvFile() { std::fclose(m_file); }
    CsvFile(const CsvFile&) = delete;
    CsvFile& operator=(const CsvFile&) = delete;

    void Write(const Row& row) {
        std::fprintf(m_file, "%ld", row.size);
        for (int figure = 0; figure < kFigureCount; ++figure) {
            if (row.measured[figure]) {
                std::fprintf(m_file, ",%.3f", row.median[figure]);
            } else {
                std::fprintf(m_file, ",");
            }
        }
        std::fprintf(m_file, "\n");
        std::fflush(m_file);
    }

  private:
    std::FILE* m_file;
};

// The comma-separated items of an option's value.
std::vector<std::string> SplitAtCommas(const std::string& text) {
    std::vector<std::string> items;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t comma = text.find(',', start);
        items.push_back(text.substr(start, comma == std::string::npos ? comma : comma - start));
        start = comma == std::string::npos ? text.size() + 1 : comma + 1;
    }
    return items;
}

// ---- The variant comparison -----------------------------------------------------------------

// What a painted list shows, folded into one value: its items' texts, images and positions, the
// size of an item and the scroll bars.
std::uint64_t LayoutSignature(HWND list) {
    std::uint64_t hash = 1469598103934665603ULL;
    auto mix = [&hash](long long value) {
        for (int byte = 0; byte < 8; ++byte) {
            hash = (hash ^ static_cast<std::uint64_t>((value >> (8 * byte)) & 0xFF)) *
                   1099511628211ULL;
        }
    };
    long count = ListView_GetItemCount(list);
    mix(count);
    for (int index = 0; index < count; ++index) {
        char text[bench::kNameChars] = {};
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = index;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        ::SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        for (const char* c = text; *c != '\0'; ++c) {
            mix(*c);
        }
        mix(item.iImage);
        POINT position = {};
        ListView_GetItemPosition(list, index, &position);
        mix(position.x);
        mix(position.y);
    }
    RECT bounds = {};
    if (count > 0 && ListView_GetItemRect(list, 0, &bounds, LVIR_BOUNDS)) {
        mix(bounds.right - bounds.left);
        mix(bounds.bottom - bounds.top);
    }
    for (int bar : {SB_HORZ, SB_VERT}) {
        SCROLLINFO scroll = {};
        scroll.cbSize = sizeof scroll;
        scroll.fMask = SIF_ALL;
        mix(::GetScrollInfo(list, bar, &scroll) ? 1 : 0);
        mix(scroll.nMin);
        mix(scroll.nMax);
        mix(scroll.nPage);
        mix(scroll.nPos);
    }
    mix(::GetWindowLongA(list, GWL_STYLE));
    return hash;
}

struct VariantFill {
    double fill;   // a new list filled and painted
    double refill; // emptied, filled again and painted
    std::uint64_t layout;
    std::uint64_t relayout;
};

VariantFill MeasureVariantFill(HIMAGELIST images, const bench::FillOrder& order, long expected) {
    HWND dialog =
        ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_FLOOR_LIST), nullptr,
                             &PlainDialogProc, 0);
    Expect(dialog != nullptr, "cannot create the floor dialog");
    HWND list = ::GetDlgItem(dialog, IDC_CERTIFICATE_LIST);
    VariantFill times = {};
    double start = NowMs();
    if (order.afterShow) {
        ::ShowWindow(dialog, SW_SHOW);
        ::UpdateWindow(dialog);
    }
    long filled = bench::FillListInOrder(list, images, order);
    ::ShowWindow(dialog, SW_SHOW);
    ::UpdateWindow(dialog);
    ::UpdateWindow(list);
    times.fill = NowMs() - start;
    times.layout = LayoutSignature(list);
    long count = ListView_GetItemCount(list);

    // As the main window refreshes: emptied and refilled with redrawing suspended.
    start = NowMs();
    ::SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(list);
    long refilled = bench::FillListInOrder(list, images, order);
    ::UpdateWindow(list);
    times.refill = NowMs() - start;
    times.relayout = LayoutSignature(list);
    long recount = ListView_GetItemCount(list);
    ::DestroyWindow(dialog);
    HandlePendingMessages();
    Expect(filled == expected && count == expected,
           Counted((std::string(order.name) + " listed").c_str(), count, expected));
    Expect(refilled == expected && recount == expected,
           Counted((std::string(order.name) + " listed").c_str(), recount, expected));
    return times;
}

enum VariantFigure {
    kVariantListed,
    kVariantPainted,
    kVariantFill,
    kVariantRefill,
    kVariantFigures
};

const char* const kVariantHeadings[kVariantFigures] = {"start listed", "start painted", "new list",
                                                       "refresh"};
const char* const kVariantColumns[kVariantFigures] = {"startup_ms", "startup_painted_ms",
                                                      "fill_painted_ms", "refill_painted_ms"};

int RunVariants(const Options& options, const ScratchMachine& machine, PrefixStore& prefixStore,
                HIMAGELIST images) {
    // The plain fill first: every variant is shown next to it.
    std::vector<const bench::FillOrder*> orders = {bench::FindFillOrder("plain")};
    for (const bench::FillOrder* order : options.variants) {
        if (order != orders[0]) {
            orders.push_back(order);
        }
    }
    std::FILE* csv = std::fopen(options.csvPath.c_str(), "w");
    Expect(csv != nullptr, "cannot write " + options.csvPath);
    std::fprintf(csv, "n,variant");
    for (const char* column : kVariantColumns) {
        std::fprintf(csv, ",%s", column);
    }
    std::fprintf(csv, ",same_layout\n");
    std::mt19937 random(20261208);
    std::printf("Fill orders against the plain floor: medians of %d runs, in ms (ratio to plain)\n",
                options.runs);
    for (const bench::FillOrder* order : orders) {
        std::printf("  %-24s %s\n", order->name, order->what);
    }
    long seeded = 0;
    for (long size : options.sizes) {
        double seedStart = NowMs();
        Seed(machine.Users(), seeded, size, random);
        Seed(prefixStore.Users(), seeded, size, random);
        seeded = size;
        std::fprintf(stderr, "N = %ld: seeded in %.0f ms\n", size, NowMs() - seedStart);

        std::size_t count = orders.size();
        std::vector<std::vector<double>> samples(count * kVariantFigures);
        std::vector<bool> sameLayout(count, true);
        std::uint64_t plainLayout = 0;
        bool plainKnown = false;
        for (int run = 0; run < options.runs; ++run) {
            // Each run starts with another variant, so that no variant always comes first.
            for (std::size_t turn = 0; turn < count; ++turn) {
                std::size_t index = (turn + static_cast<std::size_t>(run)) % count;
                const bench::FillOrder& order = *orders[index];
                Startup startup = MeasureStartup(options.floorProgram, size,
                                                 std::string("--variant ") + order.name);
                VariantFill fill = MeasureVariantFill(images, order, size);
                double* figures[kVariantFigures] = {&startup.listed, &startup.painted, &fill.fill,
                                                    &fill.refill};
                for (int figure = 0; figure < kVariantFigures; ++figure) {
                    samples[index * kVariantFigures + figure].push_back(*figures[figure]);
                }
                if (index == 0 && !plainKnown) {
                    plainLayout = fill.layout;
                    plainKnown = true;
                }
                Expect(fill.relayout == fill.layout || index != 0,
                       "the plain refresh shows another layout than the plain fill");
                sameLayout[index] = sameLayout[index] && fill.layout == fill.relayout &&
                                    (index == 0 || fill.layout == plainLayout);
            }
        }
        std::printf("\nN = %ld\n%-24s", size, "variant");
        for (const char* heading : kVariantHeadings) {
            std::printf(" %22s", heading);
        }
        std::printf("  layout\n");
        double plain[kVariantFigures] = {};
        for (std::size_t index = 0; index < count; ++index) {
            std::printf("%-24s", orders[index]->name);
            std::fprintf(csv, "%ld,%s", size, orders[index]->name);
            for (int figure = 0; figure < kVariantFigures; ++figure) {
                double median = Median(samples[index * kVariantFigures + figure]);
                if (index == 0) {
                    plain[figure] = median;
                }
                std::printf(" %13.1f (%5.2f)", median,
                            plain[figure] > 0 ? median / plain[figure] : 0.0);
                std::fprintf(csv, ",%.3f", median);
            }
            std::printf("  %s\n", sameLayout[index] ? "same" : "DIFFERENT");
            std::fprintf(csv, ",%d\n", sameLayout[index] ? 1 : 0);
        }
        std::fflush(stdout);
        std::fflush(csv);
    }
    std::fclose(csv);
    return 0;
}

std::vector<const bench::FillOrder*> ParseVariants(const std::string& text) {
    std::vector<const bench::FillOrder*> orders;
    if (text == "all") {
        for (int index = 0; index < bench::kFillOrderCount; ++index) {
            orders.push_back(&bench::kFillOrders[index]);
        }
        return orders;
    }
    for (const std::string& name : SplitAtCommas(text)) {
        const bench::FillOrder* order = bench::FindFillOrder(name.c_str());
        Expect(order != nullptr, "not a variant: \"" + name + "\"");
        orders.push_back(order);
    }
    return orders;
}

// ---- The run --------------------------------------------------------------------------------

// Runs `first` then `second` on even runs, the other way round on odd runs.
template <class First, class Second> void InTurns(int run, First&& first, Second&& second) {
    if (run % 2 == 0) {
        first();
        second();
    } else {
        second();
        first();
    }
}

std::vector<long> ParseSizes(const std::string& text) {
    std::vector<long> sizes;
    for (const std::string& item : SplitAtCommas(text)) {
        char* end = nullptr;
        long size = std::strtol(item.c_str(), &end, 10);
        Expect(!item.empty() && *end == '\0' && size >= 0, "not a store size: \"" + item + "\"");
        sizes.push_back(size);
    }
    std::sort(sizes.begin(), sizes.end());
    sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
    return sizes;
}

Options ParseOptions(int argc, char** argv) {
    const char kUsage[] =
        "usage: store_benchmark <CSV file> (--program <wardkeep.exe> --floor-program <floor.exe>"
        " | --in-process-only) [--runs N] [--sizes N,N,...] [--variants all|name,...]";
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        bool hasValue = i + 1 < argc;
        if (argument == "--in-process-only") {
            options.startup = false;
        } else if (argument == "--program" && hasValue) {
            options.program = argv[++i];
        } else if (argument == "--floor-program" && hasValue) {
            options.floorProgram = argv[++i];
        } else if (argument == "--runs" && hasValue) {
            options.runs = std::atoi(argv[++i]);
        } else if (argument == "--sizes" && hasValue) {
            options.sizes = ParseSizes(argv[++i]);
        } else if (argument == "--variants" && hasValue) {
            options.variants = ParseVariants(argv[++i]);
        } else if (argument[0] != '-' && options.csvPath.empty()) {
            options.csvPath = argument;
        } else {
            throw std::runtime_error(kUsage);
        }
    }
    Expect(!options.csvPath.empty() && options.runs > 0 &&
               (!options.startup || (!options.program.empty() && !options.floorProgram.empty())) &&
               (options.variants.empty() || options.startup),
           kUsage);
    return options;
}

int Run(const Options& options) {
    ScratchMachine machine;
    // Before anything is measured: outside the private prefix nothing more happens.
    std::unique_ptr<PrefixStore> prefixStore;
    if (options.startup) {
        prefixStore = std::make_unique<PrefixStore>(machine);
    }
    fw::CurrentSeams().messageBox = &RecordMessageBox;
    CWardkeepDlg reporter; // the window that store::ListUserIds runs on behalf of; never shown
    std::unique_ptr<std::remove_pointer_t<HIMAGELIST>, decltype(&::ImageList_Destroy)> images(
        bench::CreateCertificateImages(::GetModuleHandleA(nullptr)), &::ImageList_Destroy);
    if (!options.variants.empty()) {
        return RunVariants(options, machine, *prefixStore, images.get());
    }
    CsvFile csv(options.csvPath);
    std::mt19937 random(20261208);

    std::printf("Store benchmark: medians of %d runs, in ms\n\n", options.runs);
    PrintFigureHeading();
    std::vector<Row> rows;
    long seeded = 0;
    for (long size : options.sizes) {
        double seedStart = NowMs();
        Seed(machine.Users(), seeded, size, random);
        if (prefixStore) {
            Seed(prefixStore->Users(), seeded, size, random);
        }
        seeded = size;
        std::fprintf(stderr, "N = %ld: seeded in %.0f ms\n", size, NowMs() - seedStart);

        std::vector<double> samples[kFigureCount];
        // The figures take turns, so that a slow moment of the machine does not fall on one;
        // each figure meets its floor next to it, first or second by turns.
        auto startup = [&](const std::string& program, Figure listed, Figure painted) {
            Startup times = MeasureStartup(program, size);
            samples[listed].push_back(times.listed);
            samples[painted].push_back(times.painted);
        };
        for (int run = 0; run < options.runs; ++run) {
            InTurns(
                run, [&] { samples[kEnumerate].push_back(MeasureEnumeration(size)); },
                [&] { samples[kListUserIds].push_back(MeasureListUserIds(reporter, size)); });
            InTurns(
                run,
                [&] {
                    FloorRefresh refresh = MeasureFloorRefresh(images.get(), size);
                    samples[kFloorFill].push_back(refresh.fill);
                    samples[kFloorRefill].push_back(refresh.refill);
                },
                [&] { samples[kRefresh].push_back(MeasureRefresh(size)); });
            if (prefixStore) {
                InTurns(
                    run,
                    [&] { startup(options.floorProgram, kFloorStartup, kFloorStartupPainted); },
                    [&] { startup(options.program, kStartup, kStartupPainted); });
            }
        }
        Row row = {size, {}, {}};
        for (int figure = 0; figure < kFigureCount; ++figure) {
            row.measured[figure] = !samples[figure].empty();
            row.median[figure] = row.measured[figure] ? Median(samples[figure]) : 0;
        }
        PrintFigures(row);
        csv.Write(row);
        rows.push_back(row);
    }
    PrintRatios(rows);
    PrintGrowth(rows);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // Plain "\n" line ends under Wine as on Windows.
    _setmode(_fileno(stdout), _O_BINARY);
    fw::InitFramework();
    static fw::CWinApp application;
    try {
        return Run(ParseOptions(argc, argv));
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "store_benchmark: %s\n", e.what());
        return 1;
    }
}
