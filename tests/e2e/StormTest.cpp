// A storm of events against the real Pathwink.exe: a seeded random sequence of
// clicks, editor input, answers to every box, folders handed over, hotkey presses,
// tray menu choices, close requests, ends of the session, second copies and
// "Pathwink.exe add <folder>" commands, in any order and at any moment.
//
// The test keeps its own account of what the program must show: the list, the
// check boxes, the editor with its fields, and every box, one above the other
// (a box answered is the one on top, as a user can only answer that one). After
// each event it waits until the program shows exactly that, so a box too many or
// too few, a lost row, a hang or a crash is caught at the step that caused it.
// After every change, and whenever the program ends, its settings file must hold
// exactly the shortcuts its list showed, in that order, and the options its check
// boxes showed; the next start must show them again. Folders have names in several
// scripts and are handed over in both forms WM_COPYDATA takes.
//
// PW_STORM_EVENTS sets the number of events (default 350), PW_STORM_SEED replays
// one sequence; PW_STORM_VERBOSE=1 prints every event as it runs. The seed is
// printed at the start and with every failure.

#include "tests/e2e/Pathwink.h"
#include "tests/support/TestSupport.h"
#include "tray/TrayIcon.h"
#include "win/AppMessages.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace pwtest;

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kEmptyText[] = "You must define a folder.";
constexpr char kControlText[] =
    "The folder path contains a line break or another control character. Please enter the "
    "folder path on a single line.";
constexpr char kTooLongText[] =
    "The folder path is longer than 32,766 characters, the longest Pathwink can keep. Please "
    "choose a folder with a shorter path.";
constexpr char kExitQuestion[] = "Exit Pathwink?";

std::string MissingText(const std::string& path) {
    return "The folder \"" + path +
           "\" does not exist or is inaccessible. Please open the Pathwink configuration tab "
           "to delete or edit this folder shortcut.";
}

std::string TooLongToOpenText(const std::string& path) {
    return "Windows Explorer cannot open the folder \"" + path +
           "\": its path is 260 characters or longer. The shortcut is kept; open the folder "
           "from a shorter path (a mapped drive letter, say).";
}

// A box's text as shown: the same, or with the path in the middle shortened to its
// start and end with "..." between, as a long path is where the screen is too small.
bool ShownAs(const std::string& want, const std::string& have) {
    if (want == have)
        return true;
    const size_t open = want.find('"'), close = want.rfind('"');
    const size_t haveOpen = have.find('"'), haveClose = have.rfind('"');
    if (open == std::string::npos || close <= open || haveOpen != open ||
        haveClose == std::string::npos || have.substr(0, open) != want.substr(0, open) ||
        have.substr(haveClose) != want.substr(close))
        return false;
    const std::string path = want.substr(open + 1, close - open - 1);
    const std::string shown = have.substr(open + 1, haveClose - open - 1);
    const size_t dots = shown.find("...");
    if (dots == std::string::npos)
        return false;
    const std::string start = shown.substr(0, dots), end = shown.substr(dots + 3);
    return start.size() + end.size() < path.size() && path.compare(0, start.size(), start) == 0 &&
           path.compare(path.size() - end.size(), end.size(), end) == 0;
}

constexpr size_t kLongestPath = 32766;
// Long paths the storm stores stay at 8,000 characters. At the full 32,766 this
// process's key-by-key reader (GetPrivateProfileStringW under Wine) was seen to
// give back 8,191 of them while the program, restarted, showed the path whole; the
// full length's round trip is FolderPathLength's in TrustTest.cpp.
constexpr size_t kLongStoredPath = 8000;

constexpr int kOptionCount = 5;
const char* const kOptionKeys[kOptionCount] = {"WarnWeakKey", "ConfirmExit", "DClickEdits",
                                               "RunOnStarup", "WarnAltGr"};
const char* const kOptionCaptions[kOptionCount] = {
    "Warn when selected shortcut key combination is \"weak.\"",
    "Confirm on exit button click.",
    "Double-click on folder in Folder Shortcuts edits shortcut instead of opening Explorer.",
    "Run Pathwink automatically when Windows starts.",
    "Warn when a key combination types a character on my keyboard (AltGr).",
};
constexpr bool kOptionDefaults[kOptionCount] = {true, true, false, true, true};
enum OptionIndex { kWarnWeakKey, kConfirmExit, kDClickEdits, kRunOnStarup };

struct OptionSet {
    bool on[kOptionCount] = {};
    bool operator==(const OptionSet& o) const { return std::equal(on, on + kOptionCount, o.on); }
    bool operator!=(const OptionSet& o) const { return !(*this == o); }
    std::string Text() const {
        std::string s;
        for (bool b : on)
            s += b ? '1' : '0';
        return s;
    }
};

// The settings file's encoding: the virtual key plus 8192 (Shift), 16384 (Ctrl), 32768 (Alt).
constexpr WORD kShift = 8192, kCtrl = 16384, kAlt = 32768;

// Strong ones (two modifiers or more), weak ones, and the one this test holds as
// another program would, so that the program's registration of it is refused.
const WORD kStrongKeys[] = {'A' | kCtrl | kAlt,         'B' | kCtrl | kAlt, 'C' | kCtrl | kAlt,
                            'D' | kCtrl | kAlt,         'E' | kCtrl | kAlt, VK_F9 | kCtrl | kAlt,
                            'B' | kShift | kCtrl | kAlt};
const WORD kWeakKeys[] = {'G' | kAlt, 'H' | kAlt, 'J' | kCtrl, 'K' | kCtrl};
constexpr WORD kHeldKey = 'Q' | kCtrl | kAlt;
// Letters typed into the hot-key field: a key alone becomes Ctrl+Alt plus the key.
const WORD kTypedLetters[] = {'A', 'C', 'E'};

WORD VirtualKeyOf(WORD key) {
    return key & 0xFF;
}

std::string KeyText(WORD key) {
    std::string text;
    if (key & kShift)
        text += "Shift+";
    if (key & kCtrl)
        text += "Ctrl+";
    if (key & kAlt)
        text += "Alt+";
    const WORD vk = VirtualKeyOf(key);
    if (vk >= VK_F1 && vk <= VK_F24)
        text += "F" + std::to_string(vk - VK_F1 + 1);
    else
        text += static_cast<char>(vk);
    return text;
}

bool IsWeak(WORD key) {
    const int modifiers =
        ((key & kShift) ? 1 : 0) + ((key & kCtrl) ? 1 : 0) + ((key & kAlt) ? 1 : 0);
    return key != 0 && modifiers < 2;
}

// The hot-key field's own encoding: HOTKEYF_ flags in the high byte.
WORD FieldOf(WORD key) {
    BYTE flags = 0;
    if (key & kShift)
        flags |= HOTKEYF_SHIFT;
    if (key & kCtrl)
        flags |= HOTKEYF_CONTROL;
    if (key & kAlt)
        flags |= HOTKEYF_ALT;
    return key ? static_cast<WORD>(flags << 8 | VirtualKeyOf(key)) : 0;
}

WORD KeyOfField(WORD field) {
    const BYTE flags = HIBYTE(field);
    const WORD vk = LOBYTE(field);
    if (!vk)
        return 0;
    return static_cast<WORD>(vk | ((flags & HOTKEYF_SHIFT) ? kShift : 0) |
                             ((flags & HOTKEYF_CONTROL) ? kCtrl : 0) |
                             ((flags & HOTKEYF_ALT) ? kAlt : 0));
}

UINT RegistrationModifiers(WORD key) {
    return ((key & kShift) ? MOD_SHIFT : 0) | ((key & kCtrl) ? MOD_CONTROL : 0) |
           ((key & kAlt) ? MOD_ALT : 0);
}

bool IsFree(WORD key) {
    return pwtest::IsFree(RegistrationModifiers(key), VirtualKeyOf(key));
}

void PressKeys(WORD key) {
    TypeKey(VirtualKeyOf(key), (key & kCtrl) != 0, (key & kAlt) != 0, (key & kShift) != 0);
}

// The combination held down: the key repeats as a keyboard repeats it, then all go up.
void HoldKeys(WORD key, int repeats) {
    std::vector<INPUT> in;
    const auto add = [&](WORD vk, bool up) {
        INPUT i{};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = vk;
        i.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
        i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        in.push_back(i);
    };
    std::vector<WORD> modifiers;
    if (key & kCtrl)
        modifiers.push_back(VK_CONTROL);
    if (key & kAlt)
        modifiers.push_back(VK_MENU);
    if (key & kShift)
        modifiers.push_back(VK_SHIFT);
    for (WORD m : modifiers)
        add(m, false);
    for (int r = 0; r < repeats; ++r)
        add(VirtualKeyOf(key), false);
    add(VirtualKeyOf(key), true);
    for (auto m = modifiers.rbegin(); m != modifiers.rend(); ++m)
        add(*m, true);
    SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}

void ReleaseModifiers() {
    INPUT up[3] = {};
    const WORD keys[3] = {VK_CONTROL, VK_MENU, VK_SHIFT};
    for (int i = 0; i < 3; ++i) {
        up[i].type = INPUT_KEYBOARD;
        up[i].ki.wVk = keys[i];
        up[i].ki.wScan = static_cast<WORD>(MapVirtualKeyA(keys[i], MAPVK_VK_TO_VSC));
        up[i].ki.dwFlags = KEYEVENTF_KEYUP;
    }
    SendInput(3, up, sizeof(INPUT));
}

void PutMouseInTheMiddle() {
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2);
}

// Makes the editor the foreground window with the keyboard in field; false when
// another window kept the foreground.
bool FocusEditorField(HWND editor, HWND field) {
    const DWORD self = GetCurrentThreadId();
    const DWORD target = GetWindowThreadProcessId(editor, nullptr);
    const auto focus = [&] {
        AttachThreadInput(self, target, TRUE);
        SetForegroundWindow(editor);
        SetFocus(field);
        AttachThreadInput(self, target, FALSE);
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetForegroundWindow() == editor && GetGUIThreadInfo(target, &info) &&
               info.hwndFocus == field;
    };
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (!focus()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        Sleep(20);
    }
    return true;
}

struct Entry {
    std::string path;
    WORD key = 0;
    bool operator==(const Entry& o) const { return path == o.path && key == o.key; }
};

std::string RowOf(const Entry& e) {
    return (e.key ? KeyText(e.key) : std::string("(No HotKey)")) + "\t" + e.path;
}

std::vector<std::string> RowsOf(const std::vector<Entry>& entries) {
    std::vector<std::string> rows;
    for (const Entry& e : entries)
        rows.push_back(RowOf(e));
    return rows;
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

// How many of want are not in have (as multisets).
size_t CountMissing(const std::vector<std::string>& want, const std::vector<std::string>& have) {
    std::vector<std::string> a = Sorted(want), b = Sorted(have), out;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out.size();
}

std::string Hex(unsigned long value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%lX", value);
    return buf;
}

bool HasControlCharacter(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

// The test keeps every text as UTF-8, as the program does inside, and speaks UTF-16
// to the system (Wide, Utf8, TextUtf8 and BoxTextUtf8 of the harness).

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The length the program measures a path in.
size_t Utf16Length(const std::string& text) {
    return Wide(text).size();
}

bool IsDirectory(const std::string& path) {
    const bool isLong = path.size() >= MAX_PATH && path.size() > 2 && path[1] == ':';
    const DWORD a = GetFileAttributesW(Wide(isLong ? "\\\\?\\" + path : path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// Decimal with an optional sign, or hexadecimal after "0x", "$" or "x"; nothing for
// anything else or a value outside the signed 32-bit range.
std::optional<std::int64_t> NumberOf(std::string text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.erase(0, 1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    bool negative = false;
    int base = 10;
    size_t at = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        at = 2;
    } else {
        if (at < text.size() && (text[at] == '-' || text[at] == '+'))
            negative = text[at++] == '-';
        if (at < text.size() && (text[at] == '$' || text[at] == 'x' || text[at] == 'X')) {
            base = 16;
            ++at;
        }
    }
    if (at >= text.size())
        return std::nullopt;
    std::int64_t value = 0;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        value = value * base + digit;
        if (value > 0x100000000LL)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return value;
}

struct SavedSettings {
    std::vector<Entry> entries;
    OptionSet options;
    std::string problems; // what does not read as a settings file the program wrote
};

// Read with the wide profile function: the file is in the ANSI code page or, once a
// path needs it, UTF-16LE, and that function reads both.
std::string ProfileText(const std::string& file, const char* section, const std::string& key) {
    std::wstring buffer(65536, L'\0');
    const DWORD n = GetPrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(),
                                             L"\x01<absent>", buffer.data(),
                                             static_cast<DWORD>(buffer.size()), Wide(file).c_str());
    buffer.resize(n);
    return Utf8(buffer);
}

bool Absent(const std::string& text) {
    return text == "\x01<absent>";
}

// A file the README says is read as UTF-8: it has the UTF-8 mark, or it is valid
// UTF-8 with at least one character beyond ASCII.
bool ReadAsUtf8(const std::string& bytes) {
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0)
        return true;
    if (bytes.rfind("\xFF\xFE", 0) == 0 ||
        std::none_of(bytes.begin(), bytes.end(), [](char c) { return c & 0x80; }))
        return false;
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                               static_cast<int>(bytes.size()), nullptr, 0) > 0;
}

// The profile functions read ANSI and UTF-16 files: a UTF-8 one is read through a
// UTF-16 copy, as the README says the program does.
std::string ProfileReadable(const std::string& file) {
    const std::string bytes = FileBytes(Wide(file)).value_or("");
    if (!ReadAsUtf8(bytes))
        return file;
    const size_t mark = bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    const std::wstring text = L"\xFEFF" + Wide(bytes.substr(mark));
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    const std::string copy =
        Utf8(temp) + "pwstorm-read-" + std::to_string(GetCurrentProcessId()) + ".ini";
    std::ofstream(copy, std::ios::binary)
        .write(reinterpret_cast<const char*>(text.data()),
               static_cast<std::streamsize>(text.size() * sizeof(wchar_t)));
    return copy;
}

SavedSettings ReadSettingsFile(const std::string& settingsFile) {
    const std::string file = ProfileReadable(settingsFile);
    // Drops any copy of the file the profile functions keep from an earlier read.
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, Wide(file).c_str());
    SavedSettings saved;
    if (GetFileAttributesW(Wide(settingsFile).c_str()) == INVALID_FILE_ATTRIBUTES) {
        saved.problems = " no settings file;";
        return saved;
    }
    for (int i = 0; i < kOptionCount; ++i) {
        const std::string text = ProfileText(file, "Options", kOptionKeys[i]);
        const auto number = Absent(text) ? std::nullopt : NumberOf(text);
        if (!number)
            saved.problems += std::string(" ") + kOptionKeys[i] + " reads \"" + text + "\";";
        saved.options.on[i] = number ? *number != 0 : kOptionDefaults[i];
    }
    const std::string count = ProfileText(file, "Shortcuts", "Count");
    int n = 0;
    if (!Absent(count)) {
        const auto number = NumberOf(count);
        if (!number || *number < 0)
            saved.problems += " Count reads \"" + count + "\";";
        else
            n = static_cast<int>(std::min<std::int64_t>(*number, 1000));
    }
    for (int i = 0; i < n; ++i) {
        const std::string path = ProfileText(file, "Shortcuts", std::to_string(i) + "Path");
        const std::string key = ProfileText(file, "Shortcuts", std::to_string(i) + "ShortCut");
        const auto number = Absent(key) ? std::nullopt : NumberOf(key);
        if (Absent(path))
            saved.problems += " " + std::to_string(i) + "Path is absent;";
        if (!number)
            saved.problems += " " + std::to_string(i) + "ShortCut reads \"" + key + "\";";
        saved.entries.push_back(
            {Absent(path) ? std::string("C:\\") : path,
             static_cast<WORD>(number ? static_cast<std::uint32_t>(*number) & 0xFFFF : 0)});
    }
    // A key past the end would be the remains of an entry that was not removed.
    if (!Absent(ProfileText(file, "Shortcuts", std::to_string(n) + "Path")))
        saved.problems += " " + std::to_string(n) + "Path is left past Count;";
    return saved;
}

std::vector<std::string> TempFilesIn(const std::string& folder) {
    std::vector<std::string> found;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "\\~pw*.tmp").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return found;
    do
        found.push_back(fd.cFileName);
    while (FindNextFileA(h, &fd));
    FindClose(h);
    return found;
}

std::string FileText(const std::string& path) {
    return FileBytes(Wide(path)).value_or("<absent>");
}

// Polls pred until it holds or timeoutMs passes; this thread has no window to pump.
bool Poll(const std::function<bool()>& pred, int timeoutMs, int intervalMs = 4) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (pred())
            return true;
        if (Clock::now() >= end)
            return false;
        Sleep(static_cast<DWORD>(intervalMs));
    }
}

bool SendWithin(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, DWORD_PTR* result = nullptr,
                UINT timeoutMs = 3000) {
    DWORD_PTR r = 0;
    if (!SendMessageTimeoutA(hwnd, msg, wParam, lParam, SMTO_ABORTIFHUNG, timeoutMs, &r))
        return false;
    if (result)
        *result = r;
    return true;
}

// The list's rows in UTF-8; nothing when the program did not answer.
std::optional<std::vector<std::string>> ReadRows(HWND list) {
    const auto wide = ListRows(list);
    if (!wide)
        return std::nullopt;
    std::vector<std::string> rows;
    for (const std::wstring& w : *wide)
        rows.push_back(Utf8(w));
    return rows;
}

class Dice {
public:
    explicit Dice(std::uint32_t seed) : generator_(seed) {}
    // 0 .. n-1; mt19937's output is the same on every platform, so a seed replays.
    int Below(int n) {
        return n <= 1 ? 0 : static_cast<int>(generator_() % static_cast<unsigned>(n));
    }
    bool Percent(int p) { return Below(100) < p; }
    template <class T> const T& Pick(const std::vector<T>& v) {
        return v[static_cast<size_t>(Below(static_cast<int>(v.size())))];
    }

private:
    std::mt19937 generator_;
};

std::uint32_t EnvNumber(const char* name, std::uint32_t fallback) {
    char buf[64] = "";
    if (!GetEnvironmentVariableA(name, buf, sizeof buf))
        return fallback;
    return static_cast<std::uint32_t>(std::strtoul(buf, nullptr, 0));
}

enum class Check { Empty, Control, TooLong, Weak, Folder, Register };

struct Flow {
    bool edit = false;
    Entry original;     // the entry being edited
    std::string folder; // the editor's folder field
    WORD field = 0;     // the editor's hot-key field, in its own encoding
    bool editorShown = true;
    std::string boxCaption, boxText; // the flow's box, while the editor is not shown
    bool boxIsQuestion = false;
    std::vector<Check> checks; // the checks still to come after OK
    size_t next = 0;
    int handOver = -1; // the copy-data send waiting for this flow, or -1
};

// One window of the program that waits for the user, over the ones before it.
struct Layer {
    enum Kind { FlowWindow, FolderMessage, ExitQuestion } kind;
    std::string path; // the folder a message is about
    std::string text; // that message's text
};

struct ExpectedBox {
    std::string caption, text;
    bool operator<(const ExpectedBox& o) const {
        return caption != o.caption ? caption < o.caption : text < o.text;
    }
    bool operator==(const ExpectedBox& o) const { return caption == o.caption && text == o.text; }
};

struct Model {
    std::vector<Entry> table;
    OptionSet options;
    bool mainVisible = false;
    std::vector<Layer> layers;
    std::optional<Flow> flow;
    std::deque<std::string> queued; // folders handed over while a flow ran
    int saves = 0;                  // saves of the settings file so far
};

// What the program shows at one moment.
struct Screen {
    bool alive = false;
    DWORD exitCode = 0;
    bool mainVisible = false, mainEnabled = false;
    bool editorVisible = false, editorEnabled = false;
    HWND editor = nullptr;
    std::string editorCaption, editorFolder;
    WORD editorField = 0;
    struct Box {
        HWND hwnd;
        std::string caption, text;
        bool enabled;
    };
    std::vector<Box> boxes;
    int menus = 0;
    int otherWindows = 0;
    std::string others;
    bool rowsRead = false;
    std::vector<std::string> rows;
    bool checksRead = false;
    OptionSet checks;

    std::string Text() const {
        if (!alive)
            return "the program has ended (exit code 0x" + Hex(exitCode) + ")";
        std::ostringstream s;
        s << "main " << (mainVisible ? "shown" : "hidden") << (mainEnabled ? "" : " disabled");
        if (editorVisible)
            s << "; editor \"" << editorCaption << "\"" << (editorEnabled ? "" : " disabled")
              << " folder \"" << Shortened(editorFolder, 90) << "\" key field 0x" << std::hex
              << editorField << std::dec;
        for (const Box& b : boxes)
            s << "; box \"" << b.caption << "\"" << (b.enabled ? "" : " disabled") << ": "
              << Shortened(b.text, 70);
        if (menus)
            s << "; " << menus << " menu(s)";
        if (otherWindows)
            s << "; other windows:" << others;
        s << "; rows:" << (rowsRead ? Listed(rows, 90) : std::string(" <not read>"));
        s << "; options " << (checksRead ? checks.Text() : std::string("<not read>"));
        return s.str();
    }
};

// A folder handed over with WM_COPYDATA from a thread of its own.
struct HandOver {
    std::future<bool> result;
    std::string folder;
    int step = 0;
    bool waitsForFlow = false; // blocked while its flow runs
    bool mustBeDone = false;   // answered by now
    bool checked = false;
};

// Another start of the program while it runs.
struct SecondCopy {
    std::shared_ptr<StartedProgram> program = std::make_shared<StartedProgram>();
    HWND box = nullptr;
    std::string fileAtStart;
    int savesAtStart = 0;
    int step = 0;
};

class Storm {
public:
    Storm(std::uint32_t seed, int events) : seed_(seed), events_(events), dice_(seed) {}
    ~Storm();
    void Run();

private:
    // One kind of event: what it is, how often it comes while it can (0: not now), and
    // the function that makes it happen. The draw walks the table in its order, so a
    // seed replays the same events.
    struct EventKind {
        const char* name;
        int (*weight)(const Storm&);
        void (Storm::*run)();
        bool settles; // false for the ones that end the program, which start it again
    };
    static const std::vector<EventKind>& EventKinds();
    bool EditorOnTop() const;
    bool BoxOnTop() const;
    bool MainUsable() const;

    // Set-up and the program's runs.
    void MakeFolders();
    std::string InitialSettings();
    bool StartProgram();
    void FindControls();
    // The program ended (or is to be ended by the test): checks the file against what
    // was shown before, then starts it again.
    void ProgramEnded(const std::string& how, bool killedByTest);
    void HeldHotkeyEvent();
    void OwnMessagesPostedEvent();
    // Rewrites the settings file of a stopped program as a person's editor would: in
    // UTF-8, with or without the mark, a comment first and a section of their own.
    void HandEditInUtf8();
    // An exit while handed-over folders wait names them first; false when the
    // answer (No) keeps the program running.
    bool AnswerWaitingFoldersQuestion(const std::string& how, bool yes);
    void Recover();
    void Finish();

    // Events.
    void Step();
    const EventKind& Choose();
    void RunEvent(const EventKind& kind);
    // In the editor.
    void EditorFolderEvent();
    void EditorKeyEvent();
    void EditorTypedKeyEvent();
    void EditorOkEvent();
    void EditorCancelEvent();
    void EditorCloseBoxEvent();
    // The box on top.
    void AnswerTopBox();
    // The main window's buttons, list and check boxes.
    int PickRow();
    Entry EntryAt(const std::vector<std::string>& rows, int row) const;
    void SelectRow(int row);
    void StartEdit(const Entry& e);
    void NewEvent();
    void EditEvent();
    void DeleteEvent();
    void DoubleClickEvent();
    void TrayButtonEvent();
    void ToggleOptionEvent();
    void ExitButtonEvent();
    // From outside the main window.
    void TrayLeftClickEvent();
    void TrayMenuEvent();
    void CopyDataEvent();
    void HotkeyEvent();
    void CloseRequestEvent();
    void SessionEndEvent();
    void StartSecondCopy();
    void AddCommandEvent();
    void AnswerSomeSecondCopy();
    void AnswerSecondCopy(size_t index, bool atOnce);
    void AnswerAllSecondCopies();

    // The account.
    void OpenFlow(Flow flow);
    void StartChecks();
    void Advance();
    void EndFlow();
    void OpenFolderExpectation(const std::string& path, const char* how);
    std::vector<ExpectedBox> ExpectedBoxes() const;
    bool Matches(const Screen& s, std::string& why);
    bool Settle();
    // False when the program handled no posted message within 10 s.
    bool Sync();
    void CheckHotkeys();
    void CheckHandOversAfterEnd(bool killed);
    // The settings file holds rows, in that order, and options; what it holds.
    SavedSettings CheckFile(const std::string& when, const std::vector<std::string>& rows,
                            const OptionSet& options);

    // Inputs.
    std::string FolderInput(std::string* kind);
    WORD KeyInput(std::string* kind);
    Screen Look();
    HWND TopBoxWindow(const Screen& s) const;
    void ExpectExplorer(const std::string& path, const char* how);
    void CloseStrayExplorers();

    // Reports.
    void Log(const std::string& what);
    void Fail(const std::string& what);
    std::string Replay() const;

    std::uint32_t seed_;
    int events_;
    Dice dice_;
    int step_ = 0;
    int failures_ = 0;
    bool stop_ = false;
    // Once edited by hand in UTF-8, every save keeps the file in UTF-8 with its lines.
    bool utf8Edit_ = false, utf8Mark_ = false;
    bool verbose_ = EnvNumber("PW_STORM_VERBOSE", 0) != 0;
    std::deque<std::string> history_;

    std::string root_;
    std::vector<std::string> existing_; // folders that exist, each with a unique leaf name
    std::vector<std::string> gone_;     // folders that do not
    std::unique_ptr<PathwinkProcess> app_;
    HWND list_ = nullptr, help_ = nullptr, tray_ = nullptr;
    HWND checkBoxes_[kOptionCount] = {};
    bool heldKey_ = false;
    std::optional<std::string> runMachine_, runUser_;

    Model model_;
    Screen seen_; // at the last settle
    std::vector<HandOver> handOvers_;
    std::vector<SecondCopy> seconds_;
    std::set<HWND> explorersSeen_;

    // Figures for the summary.
    int addCommands_ = 0;
    int restarts_ = 0, secondCopies_ = 0, crashes_ = 0, lostOrCorrupted_ = 0, handedOver_ = 0;
    int explorers_ = 0, missingMessages_ = 0, commits_ = 0, fileChecks_ = 0, hangs_ = 0;
    size_t mostRows_ = 0;
    int runEvents_ = 0, longestRun_ = 0;
    double longestRunSeconds_ = 0;
    Clock::time_point runStart_, testStart_;
};

Storm::~Storm() {
    seconds_.clear(); // each ended with its object
    if (app_)
        app_->Kill();
    for (auto& h : handOvers_)
        if (h.result.valid())
            h.result.wait_for(std::chrono::seconds(10));
    app_.reset();
    CloseStrayExplorers();
    if (heldKey_)
        UnregisterHotKey(nullptr, 0x7300);
    if (!root_.empty())
        RemoveTree(root_);
    SetRunValue(HKEY_LOCAL_MACHINE, runMachine_);
    SetRunValue(HKEY_CURRENT_USER, runUser_);
}

void Storm::Log(const std::string& what) {
    const double at = std::chrono::duration<double>(Clock::now() - testStart_).count();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, " (%.2f s)", at);
    const std::string line = "step " + std::to_string(step_) + ": " + what + stamp;
    history_.push_back(line);
    if (history_.size() > 20)
        history_.pop_front();
    if (verbose_) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }
}

std::string Storm::Replay() const {
    return "replay with PW_STORM_SEED=" + std::to_string(seed_) +
           " PW_STORM_EVENTS=" + std::to_string(events_);
}

void Storm::Fail(const std::string& what) {
    std::string last;
    for (const auto& h : history_)
        last += "\n    " + h;
    ADD_FAILURE() << "Storm seed " << seed_ << ", step " << step_ << ": " << what
                  << "\n  last events:" << last << "\n  " << Replay();
    if (++failures_ >= 3)
        stop_ = true;
}

void Storm::MakeFolders() {
    root_ = MakeTempFolder("pwstorm");
    // Explorer titles its window with the folder's last component only: unique
    // leaf names tell which folder a window shows.
    const std::string tag = std::to_string(GetCurrentProcessId()) + "x" + std::to_string(seed_);
    for (int i = 0; i < 6; ++i)
        existing_.push_back(root_ + "\\pwst" + tag + "e" + std::to_string(i));
    // Folder names in any script.
    existing_.push_back(root_ + "\\pwst" + tag + " with blanks & more");
    existing_.push_back(root_ + "\\pwst" + tag +
                        u8" \u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac");
    existing_.push_back(root_ + "\\pwst" + tag +
                        u8" \u041a\u0438\u0440\u0438\u043b\u043b\u0438\u0446\u0430");
    existing_.push_back(root_ + "\\pwst" + tag + u8" \u4e2d\u6587 \U0001F600");
    for (const auto& folder : existing_)
        if (!CreateDirectoryW(Wide(folder).c_str(), nullptr))
            Fail("the folder \"" + folder + "\" could not be made");
    for (int i = 0; i < 4; ++i)
        gone_.push_back(root_ + "\\gone" + std::to_string(i) + "\\pwst" + tag + "g" +
                        std::to_string(i));
    gone_.push_back(root_ + u8"\\gone\u00e9\\pwst" + tag + u8" \u65e5\u672c\u8a9e");
}

std::string Storm::InitialSettings() {
    std::string s = "[Options]\r\n";
    for (int i = 0; i < kOptionCount; ++i) {
        model_.options.on[i] = dice_.Percent(i == kDClickEdits ? 30 : 60);
        s += std::string(kOptionKeys[i]) + "=" + (model_.options.on[i] ? "1" : "0") + "\r\n";
    }
    const int n = dice_.Below(4);
    if (n) {
        s += "[Shortcuts]\r\nCount=" + std::to_string(n) + "\r\n";
        for (int i = 0; i < n; ++i) {
            Entry e{i == 2 ? gone_[0] : existing_[static_cast<size_t>(i)],
                    i == 2 ? WORD(0) : kStrongKeys[i]};
            model_.table.push_back(e);
            s += std::to_string(i) + "Path=" + e.path + "\r\n" + std::to_string(i) +
                 "ShortCut=" + std::to_string(e.key) + "\r\n";
        }
    }
    return s;
}

void Storm::FindControls() {
    HWND main = app_->MainWindow();
    if (!FindChildByClass(main, "ListBox")) {
        // A start in the tray makes no pages: the window is opened once, as a user
        // would from the tray icon, and sent back with its Tray button.
        app_->MakePages();
        app_->Click(app_->Control("Button", "Tray"));
        WaitUntil([main] { return !IsWindowVisible(main); }, 5000);
    }
    list_ = FindChildByClass(main, "ListBox");
    help_ = FindChildByText(main, "Button", "Help");
    for (int i = 0; i < kOptionCount; ++i)
        checkBoxes_[i] = FindChildByText(main, "Button", kOptionCaptions[i]);
    tray_ = FindTopLevel("TPathwinkMainForm", nullptr, app_->ProcessId());
}

bool Storm::StartProgram() {
    const bool inTray = dice_.Percent(50);
    app_->Kill(); // the handles of an ended run
    if (!app_->Start(inTray ? "tray" : "")) {
        // No copy runs: a start refused as a second copy is a fault, whatever other
        // starts still show their message.
        HWND refused = nullptr;
        for (HWND w : FindTopLevels("#32770", "Pathwink", app_->ProcessId()))
            if (IsWindowVisible(w) && BoxTextUtf8(w) == kAlreadyActive)
                refused = w;
        std::string open;
        for (const auto& c : seconds_)
            open += " " + std::to_string(c.step);
        Fail(std::string("the program did not start") + (inTray ? " (tray)" : "") +
             (refused ? ": it says \"Pathwink is already active.\" although no copy runs" : "") +
             (open.empty() ? std::string()
                           : "; the second copies of steps" + open + " still show their message"));
        if (!refused) {
            stop_ = true;
            return false;
        }
        Press(refused, IDOK);
        app_->WaitForExit(5000);
        AnswerAllSecondCopies();
        app_->Kill();
        if (!app_->Start(inTray ? "tray" : "")) {
            Fail("the program did not start once every other start had ended");
            stop_ = true;
            return false;
        }
    }
    FindControls();
    model_.mainVisible = !inTray;
    model_.layers.clear();
    model_.flow.reset();
    model_.queued.clear();
    runStart_ = Clock::now();
    runEvents_ = 0;
    Log(std::string("started") + (inTray ? " in the tray" : ""));
    if (!list_ || !help_ || !tray_) {
        Fail("the main window's list, Help button or the tray window is missing");
        stop_ = true;
        return false;
    }
    return Settle();
}

Screen Storm::Look() {
    Screen s;
    s.alive = app_ && app_->Running();
    if (!s.alive) {
        s.exitCode = app_ ? app_->ExitCode() : 0;
        return s;
    }
    const DWORD pid = app_->ProcessId();
    for (HWND w : FindTopLevels(nullptr, nullptr, pid)) {
        char cls[64] = "";
        GetClassNameA(w, cls, sizeof cls);
        const bool visible = IsWindowVisible(w) != FALSE;
        if (lstrcmpA(cls, "TPathwinkMainForm") == 0) {
            s.mainVisible = visible;
            s.mainEnabled = IsWindowEnabled(w) != FALSE;
            continue;
        }
        if (!visible)
            continue;
        if (lstrcmpA(cls, "TDlgNewShortcut") == 0) {
            s.editorVisible = true;
            s.editor = w;
            s.editorEnabled = IsWindowEnabled(w) != FALSE;
            s.editorCaption = TextUtf8(w);
            s.editorFolder = TextUtf8(EditorFolderField(w));
            DWORD_PTR field = 0;
            SendWithin(EditorHotkeyField(w), HKM_GETHOTKEY, 0, 0, &field);
            s.editorField = static_cast<WORD>(field);
        } else if (lstrcmpA(cls, "#32770") == 0) {
            s.boxes.push_back({w, TextUtf8(w), BoxTextUtf8(w), IsWindowEnabled(w) != FALSE});
        } else if (lstrcmpA(cls, "#32768") == 0) {
            ++s.menus;
        } else if (lstrcmpA(cls, "tooltips_class32") != 0) {
            ++s.otherWindows;
            s.others += std::string(" [") + cls + " \"" + Shortened(TextUtf8(w), 40) + "\"]";
        }
    }
    if (auto rows = ReadRows(list_)) {
        s.rowsRead = true;
        s.rows = *rows;
    }
    s.checksRead = true;
    for (int i = 0; i < kOptionCount; ++i) {
        DWORD_PTR state = 0;
        if (!SendWithin(checkBoxes_[i], BM_GETCHECK, 0, 0, &state))
            s.checksRead = false;
        s.checks.on[i] = state == BST_CHECKED;
    }
    return s;
}

std::vector<ExpectedBox> Storm::ExpectedBoxes() const {
    std::vector<ExpectedBox> boxes;
    for (const Layer& l : model_.layers) {
        if (l.kind == Layer::FlowWindow && !model_.flow->editorShown)
            boxes.push_back({model_.flow->boxCaption, model_.flow->boxText});
        else if (l.kind == Layer::FolderMessage)
            boxes.push_back({"Pathwink", l.text});
        else if (l.kind == Layer::ExitQuestion)
            boxes.push_back({"Confirmation", kExitQuestion});
    }
    return boxes;
}

bool Storm::Matches(const Screen& s, std::string& why) {
    if (!s.alive) {
        why = "the program is no longer running";
        return false;
    }
    if (s.mainVisible != model_.mainVisible) {
        why = model_.mainVisible ? "the main window is hidden" : "the main window is shown";
        return false;
    }
    if (s.menus) {
        why = "a menu is open";
        return false;
    }
    if (s.otherWindows) {
        why = "unexpected windows";
        return false;
    }
    const bool editorExpected = model_.flow && model_.flow->editorShown;
    if (s.editorVisible != editorExpected) {
        why = editorExpected ? "the editor is not shown" : "the editor is shown";
        return false;
    }
    if (editorExpected) {
        const Flow& f = *model_.flow;
        if (s.editorCaption != (f.edit ? kEditCaption : kNewCaption)) {
            why = "the editor's caption";
            return false;
        }
        if (s.editorFolder != f.folder) {
            why = "the editor's folder is not \"" + Shortened(f.folder, 90) + "\"";
            return false;
        }
        if (s.editorField != f.field) {
            std::ostringstream o;
            o << "the editor's key field is not 0x" << std::hex << f.field;
            why = o.str();
            return false;
        }
    }
    std::vector<ExpectedBox> want = ExpectedBoxes(), have;
    for (const auto& b : s.boxes)
        have.push_back({b.caption, b.text});
    // Each expected box matches one shown box of its caption and text.
    bool same = want.size() == have.size();
    for (const ExpectedBox& w : want) {
        const auto found = std::find_if(have.begin(), have.end(), [&](const ExpectedBox& h) {
            return h.caption == w.caption && ShownAs(w.text, h.text);
        });
        if (found == have.end()) {
            same = false;
            break;
        }
        have.erase(found);
    }
    if (!same) {
        why = "the boxes shown are not";
        for (const auto& b : want)
            why += " [\"" + b.caption + "\": " + Shortened(b.text, 60) + "]";
        if (want.empty())
            why += " none";
        return false;
    }
    // The window on top is the one that waits for the user: it must take input.
    if (!model_.layers.empty()) {
        const Layer& top = model_.layers.back();
        if (top.kind == Layer::FlowWindow && model_.flow->editorShown) {
            if (!s.editorEnabled) {
                why = "the editor, on top, is disabled";
                return false;
            }
        } else if (!TopBoxWindow(s)) {
            why = "the box on top is disabled";
            return false;
        }
    }
    if (!s.rowsRead || Sorted(s.rows) != Sorted(RowsOf(model_.table))) {
        why = "the rows are not" + Listed(RowsOf(model_.table), 90);
        return false;
    }
    if (!s.checksRead || s.checks != model_.options) {
        why = "the options are not " + model_.options.Text();
        return false;
    }
    for (size_t i = 0; i < handOvers_.size(); ++i) {
        auto& h = handOvers_[i];
        if (h.checked)
            continue;
        const bool ready = h.result.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        if (h.mustBeDone && !ready) {
            why = "the sender of \"" + Shortened(h.folder, 60) + "\" (step " +
                  std::to_string(h.step) + ") has no answer";
            return false;
        }
        if (h.waitsForFlow && !h.mustBeDone && ready) {
            why = "the sender of \"" + Shortened(h.folder, 60) + "\" (step " +
                  std::to_string(h.step) + ") got its answer while its dialog is open";
            return false;
        }
    }
    return true;
}

HWND Storm::TopBoxWindow(const Screen& s) const {
    const auto boxes = ExpectedBoxes();
    if (boxes.empty() || model_.layers.empty())
        return nullptr;
    const Layer& top = model_.layers.back();
    ExpectedBox want;
    if (top.kind == Layer::FlowWindow)
        want = {model_.flow->boxCaption, model_.flow->boxText};
    else if (top.kind == Layer::FolderMessage)
        want = {"Pathwink", top.text};
    else
        want = {"Confirmation", kExitQuestion};
    for (const auto& b : s.boxes)
        if (b.enabled && b.caption == want.caption && ShownAs(want.text, b.text))
            return b.hwnd;
    return nullptr;
}

// Posted messages are handled in order: once a harmless posted change to the Help
// button shows, every message posted before it has reached the program (and any
// window it opened is waiting for the user).
bool Storm::Sync() {
    if (!app_->Running())
        return true;
    PostMessageA(help_, BM_SETSTATE, TRUE, 0);
    const bool handled = Poll(
        [&] {
            DWORD_PTR state = 0;
            return !app_->Running() ||
                   (SendWithin(help_, BM_GETSTATE, 0, 0, &state, 1000) && (state & BST_PUSHED));
        },
        10000, 2);
    SendWithin(help_, BM_SETSTATE, FALSE, 0);
    return handled;
}

bool Storm::Settle() {
    if (!Sync()) {
        ++hangs_;
        Fail("the program has handled no posted message for 10 s: it hangs.\n  It shows: " +
             Look().Text() + "\n  Before this step it showed: " + seen_.Text());
        return false;
    }
    std::string why;
    Screen s;
    const bool ok = Poll(
        [&] {
            s = Look();
            return Matches(s, why);
        },
        10000);
    if (!ok) {
        // A crash under Wine first starts the debugger, which prints a backtrace
        // while the windows are still there: give the process time to end.
        const bool ended = static_cast<bool>(app_->WaitForExit(s.alive ? 5000 : 0));
        std::string end;
        if (ended) {
            ++crashes_;
            const DWORD code = app_->ExitCode();
            end = "\n  The program has ended with code 0x" + Hex(code) +
                  (code == 0xC0000005 ? " (an access violation: see the backtrace above)" : "");
        }
        Fail("after 10 s the program still does not show what it should: " + why +
             ".\n  It shows: " + s.Text() + end +
             "\n  Before this step it showed: " + seen_.Text());
        return false;
    }
    seen_ = s;
    mostRows_ = std::max(mostRows_, s.rows.size());
    for (auto& h : handOvers_) {
        if (h.checked || !h.mustBeDone)
            continue;
        h.checked = true;
        if (!h.result.get())
            Fail("the sender of \"" + Shortened(h.folder, 60) + "\" (step " +
                 std::to_string(h.step) + ") was refused");
    }
    CheckHotkeys();
    return true;
}

// Every shortcut's key is held by the program; every other key of the test is free.
void Storm::CheckHotkeys() {
    std::vector<WORD> keys(std::begin(kStrongKeys), std::end(kStrongKeys));
    keys.insert(keys.end(), std::begin(kWeakKeys), std::end(kWeakKeys));
    for (WORD key : keys) {
        const bool held = std::any_of(model_.table.begin(), model_.table.end(),
                                      [key](const Entry& e) { return e.key == key; });
        if (IsFree(key) == held)
            Fail(KeyText(key) + (held ? " is free, although a shortcut has it"
                                      : " is held, although no shortcut has it"));
    }
}

std::string Storm::FolderInput(std::string* kind) {
    const int r = dice_.Below(100);
    if (r < 36) {
        *kind = "existing";
        return dice_.Pick(existing_);
    }
    if (r < 54) {
        *kind = "missing";
        return dice_.Pick(gone_);
    }
    if (r < 58) {
        *kind = "missing, a blank first";
        return " " + dice_.Pick(gone_);
    }
    if (r < 62) {
        *kind = "missing, a blank last";
        return dice_.Pick(gone_) + " ";
    }
    if (r < 66) {
        *kind = "missing, in quotes";
        return "\"" + dice_.Pick(gone_) + "\"";
    }
    if (r < 75) {
        *kind = "empty";
        return "";
    }
    if (r < 84) {
        *kind = "with a tab";
        return dice_.Pick(existing_) + "\tx";
    }
    // Built on a folder with a name in ASCII, so that its length in bytes is the
    // one the program counts.
    std::string path = gone_[static_cast<size_t>(dice_.Below(4))];
    const size_t length =
        r < 96 ? kLongestPath + 1 + static_cast<size_t>(dice_.Below(600)) : kLongStoredPath;
    *kind = length > kLongestPath ? "too long" : "a long one allowed";
    while (path.size() + 1 < length)
        path += "\\" + std::string(std::min<size_t>(100, length - path.size() - 1), 'p');
    path.resize(length, 'q');
    return path;
}

WORD Storm::KeyInput(std::string* kind) {
    const int r = dice_.Below(100);
    if (r < 50) {
        *kind = "strong";
        return kStrongKeys[dice_.Below(static_cast<int>(std::size(kStrongKeys)))];
    }
    if (r < 72) {
        *kind = "weak";
        return kWeakKeys[dice_.Below(static_cast<int>(std::size(kWeakKeys)))];
    }
    if (r < 88) {
        *kind = "none";
        return 0;
    }
    *kind = "held by another program";
    return kHeldKey;
}

void Storm::ExpectExplorer(const std::string& path, const char* how) {
    HWND found = nullptr;
    Poll(
        [&] {
            for (HWND w : ExplorersFor(path))
                if (!explorersSeen_.count(w)) {
                    found = w;
                    return true;
                }
            return false;
        },
        10000, 10);
    if (!found) {
        std::string explorers;
        for (HWND w : FindTopLevels("ExplorerWClass", nullptr))
            explorers += " \"" + TextUtf8(w) + "\"";
        Fail(std::string(how) + " opened no Explorer window for \"" + path +
             "\" within 10 s.\n  Explorer windows:" + (explorers.empty() ? " none" : explorers) +
             "\n  The program shows: " + Look().Text());
        return;
    }
    ++explorers_;
    explorersSeen_.insert(found);
    // Until it has gone, the window may still take the keyboard from the program's.
    if (!CloseExplorer(found))
        Fail("the Explorer window for \"" + path + "\" did not close");
}

void Storm::CloseStrayExplorers() {
    for (const auto& folder : existing_)
        for (HWND w : ExplorersFor(folder))
            CloseExplorer(w);
}

void Storm::OpenFlow(Flow flow) {
    model_.flow = std::move(flow);
    model_.layers.push_back({Layer::FlowWindow, {}, {}});
}

void Storm::StartChecks() {
    Flow& f = *model_.flow;
    const WORD key = KeyOfField(f.field);
    f.checks.clear();
    f.next = 0;
    if (f.folder.empty()) {
        f.checks = {Check::Empty};
    } else if (HasControlCharacter(f.folder)) {
        f.checks = {Check::Control};
    } else if (Utf16Length(f.folder) > kLongestPath) {
        f.checks = {Check::TooLong};
    } else {
        if (model_.options.on[kWarnWeakKey] && IsWeak(key))
            f.checks.push_back(Check::Weak);
        if (!IsDirectory(f.folder))
            f.checks.push_back(Check::Folder);
        f.checks.push_back(Check::Register);
    }
    Advance();
}

// The next check: a box, or the change made and the flow ended.
void Storm::Advance() {
    Flow& f = *model_.flow;
    const auto show = [&f](const char* caption, const std::string& text, bool question) {
        f.editorShown = false;
        f.boxCaption = caption;
        f.boxText = text;
        f.boxIsQuestion = question;
    };
    const Check check = f.checks.at(f.next++);
    switch (check) {
    case Check::Empty:
        show("Pathwink", kEmptyText, false);
        return;
    case Check::Control:
        show("Pathwink", kControlText, false);
        return;
    case Check::TooLong:
        show("Pathwink", kTooLongText, false);
        return;
    case Check::Weak:
        show("Shortcut Warning", kWeakText, true);
        return;
    case Check::Folder:
        show("Folder Warning", kFolderText, true);
        return;
    case Check::Register:
        break;
    }
    const WORD key = KeyOfField(f.field);
    bool refused = key == kHeldKey;
    bool skippedOriginal = false;
    for (const Entry& e : model_.table) {
        if (f.edit && !skippedOriginal && e == f.original) {
            skippedOriginal = true;
            continue;
        }
        if (key && e.key == key)
            refused = true;
    }
    if (refused) {
        show("Pathwink", kRefusedText, false);
        return;
    }
    const Entry made{f.folder, key};
    if (f.edit) {
        auto at = std::find(model_.table.begin(), model_.table.end(), f.original);
        *at = made;
    } else {
        model_.table.push_back(made);
    }
    ++model_.saves;
    ++commits_;
    EndFlow();
}

void Storm::EndFlow() {
    if (model_.flow->handOver >= 0)
        handOvers_[static_cast<size_t>(model_.flow->handOver)].mustBeDone = true;
    model_.flow.reset();
    model_.layers.erase(std::remove_if(model_.layers.begin(), model_.layers.end(),
                                       [](const Layer& l) { return l.kind == Layer::FlowWindow; }),
                        model_.layers.end());
    if (!model_.queued.empty()) {
        // The next handed-over folder gets its own flow.
        Flow next;
        next.folder = model_.queued.front();
        model_.queued.pop_front();
        OpenFlow(next);
    }
}

bool Storm::EditorOnTop() const {
    return !model_.layers.empty() && model_.layers.back().kind == Layer::FlowWindow &&
           model_.flow->editorShown;
}

bool Storm::BoxOnTop() const {
    return !model_.layers.empty() && !EditorOnTop();
}

bool Storm::MainUsable() const {
    return seen_.mainVisible && seen_.mainEnabled;
}

const std::vector<Storm::EventKind>& Storm::EventKinds() {
    using Of = const Storm&;
    static const std::vector<EventKind> kinds = {
        {"editor: folder", [](Of s) { return s.EditorOnTop() ? 40 : 0; }, &Storm::EditorFolderEvent,
         true},
        {"editor: key", [](Of s) { return s.EditorOnTop() ? 40 : 0; }, &Storm::EditorKeyEvent,
         true},
        {"editor: typed key", [](Of s) { return s.EditorOnTop() ? 6 : 0; },
         &Storm::EditorTypedKeyEvent, true},
        {"editor: OK", [](Of s) { return s.EditorOnTop() ? 55 : 0; }, &Storm::EditorOkEvent, true},
        {"editor: Cancel", [](Of s) { return s.EditorOnTop() ? 10 : 0; }, &Storm::EditorCancelEvent,
         true},
        {"editor: close box", [](Of s) { return s.EditorOnTop() ? 6 : 0; },
         &Storm::EditorCloseBoxEvent, true},
        {"the box on top answered", [](Of s) { return s.BoxOnTop() ? 110 : 0; },
         &Storm::AnswerTopBox, true},
        {"New Shortcut", [](Of s) { return s.MainUsable() ? 30 : 0; }, &Storm::NewEvent, true},
        {"Tray", [](Of s) { return s.MainUsable() ? 6 : 0; }, &Storm::TrayButtonEvent, true},
        {"an option", [](Of s) { return s.MainUsable() ? 14 : 0; }, &Storm::ToggleOptionEvent,
         true},
        {"Exit", [](Of s) { return s.MainUsable() ? 3 : 0; }, &Storm::ExitButtonEvent, true},
        {"Edit Selected", [](Of s) { return s.MainUsable() && !s.model_.table.empty() ? 20 : 0; },
         &Storm::EditEvent, true},
        {"Delete Selected", [](Of s) { return s.MainUsable() && !s.model_.table.empty() ? 12 : 0; },
         &Storm::DeleteEvent, true},
        {"a double-click", [](Of s) { return s.MainUsable() && !s.model_.table.empty() ? 6 : 0; },
         &Storm::DoubleClickEvent, true},
        {"the tray icon's left button", [](Of s) { return s.seen_.mainVisible ? 3 : 18; },
         &Storm::TrayLeftClickEvent, true},
        {"the tray menu", [](Of) { return 12; }, &Storm::TrayMenuEvent, true},
        {"a folder handed over", [](Of) { return 22; }, &Storm::CopyDataEvent, true},
        {"a hotkey",
         [](Of s) {
             return std::any_of(s.model_.table.begin(), s.model_.table.end(),
                                [](const Entry& e) { return e.key; })
                        ? 16
                        : 0;
         },
         &Storm::HotkeyEvent, true},
        {"a close request", [](Of) { return 2; }, &Storm::CloseRequestEvent, false},
        {"the end of the session", [](Of) { return 1; }, &Storm::SessionEndEvent, false},
        {"a second copy", [](Of) { return 5; }, &Storm::StartSecondCopy, true},
        {"Pathwink.exe add", [](Of) { return 6; }, &Storm::AddCommandEvent, true},
        {"a second copy's message answered", [](Of s) { return s.seconds_.empty() ? 0 : 12; },
         &Storm::AnswerSomeSecondCopy, true},
        {"a held hotkey of a missing folder",
         [](Of s) {
             return std::any_of(s.model_.table.begin(), s.model_.table.end(),
                                [](const Entry& e) { return e.key && !IsDirectory(e.path); })
                        ? 4
                        : 0;
         },
         &Storm::HeldHotkeyEvent, true},
        {"the program's own message numbers posted by another program", [](Of) { return 3; },
         &Storm::OwnMessagesPostedEvent, true},
    };
    return kinds;
}

const Storm::EventKind& Storm::Choose() {
    int total = 0;
    for (const EventKind& kind : EventKinds())
        total += kind.weight(*this);
    int r = dice_.Below(total);
    for (const EventKind& kind : EventKinds()) {
        const int weight = kind.weight(*this);
        if (r < weight)
            return kind;
        r -= weight;
    }
    return EventKinds().back(); // not reached: r < total
}

void Storm::Step() {
    ++runEvents_;
    const int failuresBefore = failures_, savesBefore = model_.saves, restartsBefore = restarts_;
    RunEvent(Choose());
    // Every change is saved at once: the file holds what the list shows now.
    if (failures_ == failuresBefore && restarts_ == restartsBefore && model_.saves != savesBefore &&
        app_->Running())
        CheckFile("after this change", seen_.rows, seen_.checks);
    // After a failure the account no longer tells what the program shows.
    if (failures_ > failuresBefore && !stop_)
        Recover();
    if (stop_)
        return;
    if (!app_->Running()) {
        // An event that ended the program has checked and restarted it already;
        // anything else is a crash, which Settle reports.
        return;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - runStart_).count();
    if (runEvents_ > longestRun_) {
        longestRun_ = runEvents_;
        longestRunSeconds_ = seconds;
    }
}

void Storm::RunEvent(const EventKind& kind) {
    (this->*kind.run)();
    if (kind.settles && !stop_)
        Settle();
}

void Storm::AnswerTopBox() {
    const Layer top = model_.layers.back();
    HWND box = TopBoxWindow(seen_);
    if (!box) {
        Fail("no box to answer");
        return;
    }
    const int way = dice_.Below(10);
    // A plain message ends with OK, Escape (IDCANCEL) or its close box alike.
    const auto dismiss = [&](const char* what) {
        if (way < 6) {
            Press(box, IDOK);
            Log(std::string("OK on ") + what);
        } else if (way < 8) {
            Press(box, IDCANCEL);
            Log(std::string("Escape on ") + what);
        } else {
            PostMessageA(box, WM_CLOSE, 0, 0);
            Log(std::string("close box of ") + what);
        }
    };
    if (top.kind == Layer::FolderMessage) {
        dismiss("the missing-folder message");
        model_.layers.pop_back();
        return;
    }
    if (top.kind == Layer::ExitQuestion) {
        const bool yes = dice_.Percent(50);
        Press(box, yes ? IDYES : IDNO);
        Log(std::string(yes ? "Yes" : "No") + " to \"Exit Pathwink?\"");
        model_.layers.pop_back();
        if (yes)
            ProgramEnded("the Exit button", false);
        return;
    }
    Flow& f = *model_.flow;
    if (f.boxIsQuestion) {
        const bool yes = dice_.Percent(65);
        Press(box, yes ? IDYES : IDNO);
        Log(std::string(yes ? "Yes" : "No") + " to \"" + f.boxCaption + "\"");
        if (yes) {
            Advance();
        } else {
            f.editorShown = true;
        }
        return;
    }
    dismiss(("\"" + Shortened(f.boxText, 40) + "\"").c_str());
    f.editorShown = true;
}

void Storm::EditorFolderEvent() {
    std::string kind;
    const std::string folder = FolderInput(&kind);
    Log("editor folder: " + kind + " \"" + Shortened(folder, 60) + "\"");
    const std::wstring text = Wide(folder);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(EditorFolderField(seen_.editor), WM_SETTEXT, 0,
                        reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 3000, &result);
    model_.flow->folder = folder;
}

void Storm::EditorKeyEvent() {
    std::string kind;
    const WORD key = KeyInput(&kind);
    Log("editor key: " + kind + " " + (key ? KeyText(key) : std::string("(none)")));
    SendWithin(EditorHotkeyField(seen_.editor), HKM_SETHOTKEY, FieldOf(key), 0);
    model_.flow->field = FieldOf(key);
}

void Storm::EditorTypedKeyEvent() {
    Flow& f = *model_.flow;
    HWND editor = seen_.editor;
    const WORD letter = kTypedLetters[dice_.Below(static_cast<int>(std::size(kTypedLetters)))];
    const WORD expected = FieldOf(letter | kCtrl | kAlt);
    Log(std::string("editor key typed: ") + static_cast<char>(letter));
    HWND field = EditorHotkeyField(editor);
    if (!FocusEditorField(editor, field))
        Log("  the editor did not get the keyboard");
    // Under Wine the attached input may leave a modifier down in the program's
    // key state; released first, the letter arrives alone.
    ReleaseModifiers();
    TypeKey(letter);
    if (f.field != expected) {
        DWORD_PTR now = f.field;
        if (!Poll([&] { return SendWithin(field, HKM_GETHOTKEY, 0, 0, &now) && now == expected; },
                  2000))
            Fail("the key typed into the editor's hot-key field did not reach it (it holds 0x" +
                 Hex(static_cast<unsigned long>(now)) + ")");
        f.field = static_cast<WORD>(now);
    }
}

void Storm::EditorOkEvent() {
    const Flow& f = *model_.flow;
    Log("editor OK with folder \"" + Shortened(f.folder, 60) + "\" and key " +
        (f.field ? KeyText(KeyOfField(f.field)) : std::string("(none)")));
    ClickEditorButton(seen_.editor, "OK");
    StartChecks();
}

void Storm::EditorCancelEvent() {
    Log("editor Cancel");
    ClickEditorButton(seen_.editor, "Cancel");
    EndFlow();
}

void Storm::EditorCloseBoxEvent() {
    Log("editor close box");
    PostMessageA(seen_.editor, WM_SYSCOMMAND, SC_CLOSE, 0);
    EndFlow();
}

// Every event on the main window draws a row, whether it uses one or not, so that a
// seed replays the same events as it always has.
int Storm::PickRow() {
    return seen_.rows.empty() ? -1 : dice_.Below(static_cast<int>(seen_.rows.size()));
}

Entry Storm::EntryAt(const std::vector<std::string>& rows, int row) const {
    for (const Entry& e : model_.table)
        if (RowOf(e) == rows[static_cast<size_t>(row)])
            return e;
    return Entry{};
}

void Storm::SelectRow(int row) {
    SendWithin(list_, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
    SendWithin(GetParent(list_), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list_), LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list_));
}

void Storm::StartEdit(const Entry& e) {
    if (model_.flow)
        return; // the open flow's window comes forward instead
    Flow f;
    f.edit = true;
    f.original = e;
    f.folder = e.path;
    f.field = FieldOf(e.key);
    OpenFlow(f);
}

void Storm::NewEvent() {
    PickRow();
    Log("New Shortcut");
    app_->Click("New Shortcut");
    if (!model_.flow)
        OpenFlow(Flow{});
}

void Storm::EditEvent() {
    const std::vector<std::string> rows = seen_.rows;
    const int row = PickRow();
    const Entry e = EntryAt(rows, row);
    Log("Edit Selected on row " + std::to_string(row) + " {" + Shortened(RowOf(e), 60) + "}");
    SelectRow(row);
    app_->Click("Edit Selected");
    StartEdit(e);
}

void Storm::DeleteEvent() {
    const std::vector<std::string> rows = seen_.rows;
    const int row = PickRow();
    const Entry e = EntryAt(rows, row);
    Log("Delete Selected on row " + std::to_string(row) + " {" + Shortened(RowOf(e), 60) + "}");
    SelectRow(row);
    app_->Click("Delete Selected");
    if (!model_.flow) {
        model_.table.erase(std::find(model_.table.begin(), model_.table.end(), e));
        ++model_.saves;
    }
}

void Storm::DoubleClickEvent() {
    const std::vector<std::string> rows = seen_.rows;
    const int row = PickRow();
    const Entry e = EntryAt(rows, row);
    Log("double-click on row " + std::to_string(row) + " {" + Shortened(RowOf(e), 60) + "}");
    SelectRow(row);
    PostMessageA(GetParent(list_), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list_), LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(list_));
    if (model_.options.on[kDClickEdits])
        StartEdit(e);
    else if (IsDirectory(e.path)) // a missing folder says nothing: its row is in front
        OpenFolderExpectation(e.path, "the double-click");
}

void Storm::TrayButtonEvent() {
    PickRow();
    Log("Tray");
    app_->Click("Tray");
    model_.mainVisible = false;
}

void Storm::ToggleOptionEvent() {
    PickRow();
    const int i = dice_.Below(kOptionCount);
    const bool on = !model_.options.on[i];
    Log(std::string("option ") + kOptionKeys[i] + (on ? " on" : " off"));
    SendWithin(checkBoxes_[i], BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    PostMessageA(GetParent(checkBoxes_[i]), WM_COMMAND,
                 MAKEWPARAM(GetDlgCtrlID(checkBoxes_[i]), BN_CLICKED),
                 reinterpret_cast<LPARAM>(checkBoxes_[i]));
    model_.options.on[i] = on;
}

void Storm::ExitButtonEvent() {
    PickRow();
    Log("Exit");
    app_->Click("Exit");
    if (model_.options.on[kConfirmExit])
        model_.layers.push_back({Layer::ExitQuestion, {}, {}});
    else
        ProgramEnded("the Exit button", false);
}

void Storm::TrayLeftClickEvent() {
    Log("left click on the tray icon");
    PostMessageA(tray_, pw::TrayIcon::kCallbackMessage, 0, WM_LBUTTONDOWN);
    model_.mainVisible = true;
}

void Storm::CloseRequestEvent() {
    Log("WM_CLOSE to the main window");
    PostMessageA(app_->MainWindow(), WM_CLOSE, 0, 0);
    ProgramEnded("a close request", false);
}

void Storm::AnswerSomeSecondCopy() {
    AnswerSecondCopy(static_cast<size_t>(dice_.Below(static_cast<int>(seconds_.size()))), false);
}

void Storm::TrayMenuEvent() {
    // The menu's entries, without its separators: the folders in the list's order,
    // then Configure Shortcuts, Configure Options, About Pathwink, Help, Exit Pathwink.
    const std::vector<std::string> rows = seen_.rows;
    const int folders = static_cast<int>(rows.size());
    int choice;
    const int r = dice_.Below(100);
    if (r < 45 && folders)
        choice = dice_.Below(folders);
    else if (r < 75)
        choice = folders + dice_.Below(3);
    else if (r < 92)
        choice = -1; // Escape
    else
        choice = folders + 4; // Exit Pathwink
    // The menu opens at the mouse, and an entry under the mouse would be selected
    // before the keys arrive: in the screen's corner the mouse is on no entry, even
    // when a long menu is moved to fit the screen. It goes back to its place once
    // the menu has closed.
    SetCursorPos(0, 0);
    PostMessageA(tray_, pw::TrayIcon::kCallbackMessage, 0, WM_RBUTTONUP);
    HWND menu = app_->WaitForMenu(5000);
    if (!menu) {
        PutMouseInTheMiddle();
        Log("tray menu (did not open)");
        Fail("the tray menu did not open; the program shows: " + Look().Text());
        return;
    }
    const auto closed = [&] {
        if (!Poll([&] { return !IsWindowVisible(menu) || !app_->Running(); }, 5000))
            Fail("the tray menu did not close");
        PutMouseInTheMiddle();
    };
    // A folder handed over while the menu is open waits for the menu to close: its
    // dialog opened in the menu's loop would stay behind the menu.
    if ((choice < 0 || choice >= folders) && dice_.Percent(25)) {
        std::string kind;
        const std::string folder = FolderInput(&kind);
        const std::wstring wide = Wide(folder);
        HandOver h;
        h.folder = folder;
        h.step = step_;
        h.mustBeDone = true; // it waits in the queue: the call returns at once
        h.result = SendCopyData(app_->MainWindow(), 0xFEFF,
                                std::string(reinterpret_cast<const char*>(wide.c_str()),
                                            (wide.size() + 1) * sizeof(wchar_t)),
                                static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)), 120000);
        Log("copy data while the tray menu is open, " + kind + " \"" + Shortened(folder, 60) +
            "\"");
        ++handedOver_;
        model_.queued.push_back(folder);
        handOvers_.push_back(std::move(h));
        if (!Ready(handOvers_.back().result, 5000)) // the program has it before the menu closes
            Fail("the folder handed over while the tray menu is open got no answer");
    }
    const auto queuedFlowFollows = [&] {
        if (!model_.flow && !model_.queued.empty()) {
            Flow next;
            next.folder = model_.queued.front();
            model_.queued.pop_front();
            OpenFlow(next);
        }
    };
    if (choice < 0) {
        Log("tray menu, Escape");
        PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        closed();
        queuedFlowFollows();
        return;
    }
    if (choice == folders + 4) {
        Log("tray menu, Exit Pathwink");
        PostMessageA(menu, WM_KEYDOWN, VK_UP, 0); // from no selection, Up reaches the last entry
        PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
        closed();
        ProgramEnded("the tray menu's Exit Pathwink", false);
        return;
    }
    for (int i = 0; i <= choice; ++i)
        PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
    closed();
    if (choice >= folders) {
        const char* names[] = {"Configure Shortcuts", "Configure Options", "About Pathwink"};
        Log(std::string("tray menu, ") + names[choice - folders]);
        model_.mainVisible = true;
        queuedFlowFollows();
        return;
    }
    Entry e;
    for (const Entry& m : model_.table)
        if (RowOf(m) == rows[static_cast<size_t>(choice)])
            e = m;
    Log("tray menu, folder " + std::to_string(choice) + " \"" + Shortened(e.path, 60) + "\"");
    OpenFolderExpectation(e.path, "the tray menu's entry");
}

void Storm::OpenFolderExpectation(const std::string& path, const char* how) {
    if (IsDirectory(path) && path.size() < MAX_PATH) {
        ExpectExplorer(path, how);
    } else if (IsDirectory(path)) {
        model_.layers.push_back({Layer::FolderMessage, path, TooLongToOpenText(path)});
    } else {
        // One message per missing folder: pressing again brings the open one forward.
        for (const Layer& l : model_.layers)
            if (l.kind == Layer::FolderMessage && l.path == path)
                return;
        ++missingMessages_;
        model_.layers.push_back({Layer::FolderMessage, path, MissingText(path)});
    }
}

void Storm::HotkeyEvent() {
    std::vector<Entry> keyed;
    for (const Entry& e : model_.table)
        if (e.key)
            keyed.push_back(e);
    const Entry e = dice_.Pick(keyed);
    Log("hotkey " + KeyText(e.key) + " for \"" + Shortened(e.path, 60) + "\"");
    // The modifiers reach the window with the keyboard focus before the key makes
    // the hotkey; in the editor's hot-key field they would change its value as
    // the platform's control sees fit. With the editor on top the keyboard is in
    // its folder field, where they change nothing.
    if (model_.flow && model_.flow->editorShown && model_.layers.back().kind == Layer::FlowWindow &&
        !FocusEditorField(seen_.editor, EditorFolderField(seen_.editor)))
        Log("  the editor did not get the keyboard");
    ReleaseModifiers();
    PressKeys(e.key);
    OpenFolderExpectation(e.path, "the hotkey");
}

void Storm::HeldHotkeyEvent() {
    std::vector<Entry> keyed;
    for (const Entry& e : model_.table)
        if (e.key && !IsDirectory(e.path))
            keyed.push_back(e);
    const Entry e = dice_.Pick(keyed);
    const int repeats = 2 + dice_.Below(6);
    Log("hotkey " + KeyText(e.key) + " held (" + std::to_string(repeats) + " repeats) for \"" +
        Shortened(e.path, 60) + "\"");
    if (model_.flow && model_.flow->editorShown && model_.layers.back().kind == Layer::FlowWindow &&
        !FocusEditorField(seen_.editor, EditorFolderField(seen_.editor)))
        Log("  the editor did not get the keyboard");
    ReleaseModifiers();
    // One press however long it is held (Windows does not repeat the hotkey; Wine does,
    // and the program still shows one message for the folder).
    HoldKeys(e.key, repeats);
    OpenFolderExpectation(e.path, "the held hotkey");
}

void Storm::OwnMessagesPostedEvent() {
    // Any program can post these numbers with anything in them; none may be taken
    // as a pointer, and none that the program did not ask for may change anything.
    const LPARAM junk = static_cast<LPARAM>(0x10000 + dice_.Below(0x7FFF0000));
    Log("the program's own messages posted to its windows with 0x" + Hex(static_cast<DWORD>(junk)));
    for (const WPARAM number : {WPARAM(0), WPARAM(1), WPARAM(2), WPARAM(junk)})
        PostMessageA(app_->MainWindow(), pw::kLaunchDoneMessage, number, junk);
    PostMessageA(tray_, pw::kTrayIconMessage, static_cast<WPARAM>(junk),
                 MAKELPARAM(0x7F7F, 0x7F7F));
    PostMessageA(app_->MainWindow(), pw::kFinishStartMessage, static_cast<WPARAM>(junk), junk);
    PostMessageA(app_->MainWindow(), pw::kRunQueuedFlowMessage, static_cast<WPARAM>(junk), junk);
}

void Storm::HandEditInUtf8() {
    const std::string file = app_->SettingsPath();
    const std::string bytes = FileBytes(Wide(file)).value_or("");
    std::string text;
    if (bytes.rfind("\xFF\xFE", 0) == 0) {
        text = Utf8(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2),
                                 (bytes.size() - 2) / sizeof(wchar_t)));
    } else if (ReadAsUtf8(bytes)) {
        text = bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? bytes.substr(3) : bytes;
    } else {
        const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                          nullptr, 0);
        std::wstring wide(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(),
                            n);
        text = Utf8(wide);
    }
    const bool mark = dice_.Percent(50);
    // An unmarked file needs a character beyond ASCII to be read as UTF-8: the
    // section of the person's own has some.
    const std::string edited =
        std::string(mark ? "\xEF\xBB\xBF" : "") + "; edited by hand \xE2\x80\x94 Caf\xC3\xA9\r\n" +
        text +
        "[Mine]\r\nnote=\xCE\xA6\xCE\xAC\xCE\xBA\xCE\xB5\xCE\xBB\xCE\xBF\xCF\x82 "
        "\xE6\x96\x87\xE4\xBB\xB6\r\n";
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(edited.data(), static_cast<std::streamsize>(edited.size()));
    Log(std::string("the settings file edited by hand in UTF-8 ") +
        (mark ? "with its mark" : "without a mark"));
    utf8Edit_ = true;
    utf8Mark_ = mark;
}

void Storm::CopyDataEvent() {
    std::string kind;
    const std::string folder = FolderInput(&kind);
    HWND target = app_->MainWindow();
    // Both forms the README gives: UTF-16LE text marked by dwData 0xFEFF, and ANSI
    // text (for a folder whose name the ANSI code page holds).
    const bool ansi = IsAscii(folder) && dice_.Percent(40);
    std::vector<char> block;
    if (ansi) {
        block.assign(folder.begin(), folder.end());
        block.push_back('\0');
    } else {
        const std::wstring wide = Wide(folder);
        const auto* bytes = reinterpret_cast<const char*>(wide.c_str());
        block.assign(bytes, bytes + (wide.size() + 1) * sizeof(wchar_t));
    }
    kind += ansi ? ", ANSI" : ", UTF-16";
    HandOver h;
    h.folder = folder;
    h.step = step_;
    h.result = std::async(std::launch::async, [target, block, ansi] {
        COPYDATASTRUCT cds{ansi ? 0u : 0xFEFFu, static_cast<DWORD>(block.size()),
                           const_cast<char*>(block.data())};
        DWORD_PTR result = 0;
        return SendMessageTimeoutW(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds),
                                   SMTO_ABORTIFHUNG, 120000, &result) != 0;
    });
    ++handedOver_;
    const int index = static_cast<int>(handOvers_.size());
    if (model_.flow) {
        Log("copy data, " + kind + " \"" + Shortened(folder, 60) + "\" (queued behind the flow)");
        h.mustBeDone = true; // returns at once
        model_.queued.push_back(folder);
    } else {
        Log("copy data, " + kind + " \"" + Shortened(folder, 60) + "\"");
        h.waitsForFlow = true;
        Flow f;
        f.folder = folder;
        f.handOver = index;
        OpenFlow(f);
    }
    handOvers_.push_back(std::move(h));
}

void Storm::SessionEndEvent() {
    Log("end of the session (WM_QUERYENDSESSION, WM_ENDSESSION), then the process is ended");
    DWORD_PTR result = 0;
    SendWithin(app_->MainWindow(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, &result, 5000);
    if (!SendWithin(app_->MainWindow(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, &result, 5000))
        Fail("WM_ENDSESSION got no answer within 5 s");
    TerminateProcess(app_->Process(), 0xE5);
    ProgramEnded("the end of the session", true);
}

void Storm::AddCommandEvent() {
    // A folder as Explorer's menu gives it: a whole path, existing or gone.
    const bool exists = dice_.Percent(60);
    const std::string folder = exists ? dice_.Pick(existing_) : dice_.Pick(gone_);
    Log(std::string("Pathwink.exe add, ") + (exists ? "existing" : "missing") + " \"" +
        Shortened(folder, 60) + "\"" + (model_.flow ? " (queued behind the flow)" : ""));
    StartedProgram command;
    if (!command.LaunchCommand("\"" + app_->ExePath() + "\" add \"" + folder + "\"",
                               app_->Folder())) {
        Fail("Pathwink.exe add could not be started (error " + std::to_string(GetLastError()) +
             ")");
        return;
    }
    ++addCommands_;
    // It ends once the running copy has taken the folder, whatever that copy is doing.
    const bool ended = static_cast<bool>(command.WaitForExit(10000));
    const DWORD code = command.ExitCode();
    if (!ended) {
        ++hangs_;
        Fail("Pathwink.exe add did not end within 10 s");
    } else if (code != 0) {
        Fail("Pathwink.exe add ended with code " + std::to_string(code));
    }
    if (!ended || code != 0)
        return;
    ++handedOver_;
    if (model_.flow) {
        model_.queued.push_back(folder);
    } else {
        Flow f;
        f.folder = folder;
        OpenFlow(f);
    }
}

void Storm::StartSecondCopy() {
    SecondCopy c;
    c.step = step_;
    c.savesAtStart = model_.saves;
    c.fileAtStart = FileText(app_->SettingsPath());
    const bool inTray = dice_.Percent(50);
    Log(std::string("second copy started") + (inTray ? " with tray" : ""));
    StartedProgram& program = *c.program;
    if (!program.LaunchCommand("\"" + app_->ExePath() + "\"" + (inTray ? " tray" : ""),
                               app_->Folder())) {
        Fail("the second copy could not be started (error " + std::to_string(GetLastError()) + ")");
        return;
    }
    ++secondCopies_;
    const DWORD pid = program.ProcessId();
    Poll(
        [&] {
            for (HWND w : FindTopLevels("#32770", "Pathwink", pid))
                if (IsWindowVisible(w) && BoxTextUtf8(w) == kAlreadyActive)
                    c.box = w;
            return c.box != nullptr || !program.Running();
        },
        15000);
    if (!c.box)
        Fail("the second copy shows no \"already active\" message (" +
             std::string(!program.Running()
                             ? "it ended with code " + std::to_string(program.ExitCode())
                             : "it runs") +
             ")");
    if (!FindTopLevels("TPathwinkMainForm", nullptr, pid).empty())
        Fail("the second copy has a main window that other programs could find");
    seconds_.push_back(c);
    if (c.box && dice_.Percent(50))
        AnswerSecondCopy(seconds_.size() - 1, true);
}

void Storm::AnswerSecondCopy(size_t index, bool atOnce) {
    SecondCopy c = seconds_[index];
    seconds_.erase(seconds_.begin() + static_cast<std::ptrdiff_t>(index));
    const bool close = dice_.Percent(30);
    if (c.box) {
        if (close)
            PostMessageA(c.box, WM_CLOSE, 0, 0);
        else
            Press(c.box, IDOK);
    }
    Log(std::string(atOnce ? "  answered at once"
                           : "the second copy of step " + std::to_string(c.step) + " answered") +
        (close ? " (close box)" : " (OK)"));
    if (!c.program->WaitForExit(5000)) {
        Fail("the second copy of step " + std::to_string(c.step) + " did not end when answered");
        c.program->Kill();
    } else if (const DWORD code = c.program->ExitCode(); code != 0) {
        Fail("the second copy of step " + std::to_string(c.step) + " ended with code " +
             std::to_string(code));
    }
    // Only when the first copy saved nothing meanwhile does the file tell.
    if (model_.saves == c.savesAtStart && FileText(app_->SettingsPath()) != c.fileAtStart)
        Fail("the settings file changed while only the second copy of step " +
             std::to_string(c.step) + " could have written it");
}

void Storm::AnswerAllSecondCopies() {
    while (!seconds_.empty())
        AnswerSecondCopy(0, false);
}

void Storm::CheckHandOversAfterEnd(bool killed) {
    for (auto& h : handOvers_) {
        if (h.checked)
            continue;
        if (h.result.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            Fail("the sender of \"" + Shortened(h.folder, 60) + "\" (step " +
                 std::to_string(h.step) + ") has no answer after the program ended");
            continue;
        }
        h.checked = true;
        const bool delivered = h.result.get();
        if (!killed && !delivered)
            Fail("the sender of \"" + Shortened(h.folder, 60) + "\" (step " +
                 std::to_string(h.step) + ") was refused although the program ended normally");
    }
    handOvers_.clear();
}

bool Storm::AnswerWaitingFoldersQuestion(const std::string& how, bool yes) {
    HWND box = app_->WaitForMessage(
        "Pathwink",
        model_.queued.size() == 1 ? "This folder was handed" : "These folders were handed", 10000);
    if (!box) {
        Fail("no question about the waiting folders after " + how + "; it shows: " + Look().Text());
        return true;
    }
    const std::string text = MessageTextOf(box);
    for (const std::string& folder : model_.queued)
        if (text.find(folder.substr(0, 40)) == std::string::npos && model_.queued.size() <= 10)
            Fail("the question does not name \"" + Shortened(folder, 60) +
                 "\": " + Shortened(text, 200));
    if (text.find("Exit Pathwink without adding") == std::string::npos)
        Fail("the question does not ask: " + Shortened(text, 200));
    Log(std::string(yes ? "Yes" : "No") + " to the question about " +
        std::to_string(model_.queued.size()) + " waiting folders");
    Press(box, yes ? IDYES : IDNO);
    if (yes)
        return true;
    // The program runs on. A close that ended a flow also closed its boxes; the
    // waiting folders' dialogs follow one by one.
    if (model_.flow) {
        model_.layers.erase(
            std::remove_if(model_.layers.begin(), model_.layers.end(),
                           [](const Layer& l) { return l.kind != Layer::FlowWindow; }),
            model_.layers.end());
        EndFlow();
    } else {
        Flow next;
        next.folder = model_.queued.front();
        model_.queued.pop_front();
        OpenFlow(next);
    }
    // The waiting folder's dialog opens from the program's message loop once the
    // question has gone, after the storm's own sync: the next event waits for it.
    if (model_.flow && model_.flow->editorShown &&
        !Poll(
            [&] {
                const Screen now = Look();
                return now.editorVisible && now.editorFolder == model_.flow->folder;
            },
            5000))
        Fail("after No to the question, no dialog for \"" + Shortened(model_.flow->folder, 60) +
             "\"; it shows: " + Look().Text());
    return false;
}

void Storm::ProgramEnded(const std::string& how, bool killedByTest) {
    if (!killedByTest && !model_.queued.empty() &&
        !AnswerWaitingFoldersQuestion(how, dice_.Percent(75))) {
        // The program runs on, and the events that end it do not settle: the next
        // event must act on the waiting folder's dialog, not on the one that closed.
        Settle();
        return;
    }
    // What the program showed at the last settle is what it must have kept.
    const std::vector<std::string> rowsBefore = seen_.rows;
    const OptionSet optionsBefore = seen_.checks;
    if (!app_->WaitForExit(10000)) {
        Fail("the program did not end after " + how + "; it shows: " + Look().Text());
        app_->Kill();
        killedByTest = true;
    } else if (!killedByTest && app_->ExitCode() != 0) {
        ++crashes_;
        Fail("the program ended with code 0x" + Hex(app_->ExitCode()) + " after " + how);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - runStart_).count();
    if (runEvents_ > longestRun_) {
        longestRun_ = runEvents_;
        longestRunSeconds_ = seconds;
    }
    ++model_.saves;
    CheckHandOversAfterEnd(killedByTest);
    // A second copy's message may still be open when the program starts again, as
    // when an installer restarts it while the user has not answered that message.
    if (dice_.Percent(50))
        AnswerAllSecondCopies();
    else if (!seconds_.empty())
        Log(std::to_string(seconds_.size()) + " second copies left open across the restart");
    CloseStrayExplorers();

    const SavedSettings saved = CheckFile("after " + how, rowsBefore, optionsBefore);
    const auto temps = TempFilesIn(app_->Folder());
    if (!temps.empty())
        Fail("after " + how + " a temporary file of a save is left: " + temps.front());
    if (!utf8Edit_ && dice_.Percent(30))
        HandEditInUtf8();

    // The next start shows what the file holds.
    model_.table = saved.entries;
    model_.options = saved.options;
    ++restarts_;
    if (StartProgram() && stop_ == false)
        Log("the list shows" + Listed(seen_.rows, 90));
}

void Storm::Recover() {
    Log("recovering: the program is ended and started again");
    app_->Kill();
    CheckHandOversAfterEnd(true);
    AnswerAllSecondCopies();
    CloseStrayExplorers();
    const SavedSettings saved = ReadSettingsFile(app_->SettingsPath());
    model_.table = saved.entries;
    model_.options = saved.options;
    StartProgram();
}

void Storm::Finish() {
    if (!app_->Running())
        return;
    AnswerAllSecondCopies();
    Log("the end: WM_CLOSE to the main window");
    PostMessageA(app_->MainWindow(), WM_CLOSE, 0, 0);
    if (!model_.queued.empty())
        AnswerWaitingFoldersQuestion("the close request at the end", true);
    const std::vector<std::string> rowsBefore = seen_.rows;
    const OptionSet optionsBefore = seen_.checks;
    if (!app_->WaitForExit(10000)) {
        Fail("the program did not end at the close request; it shows: " + Look().Text());
        app_->Kill();
        return;
    }
    if (app_->ExitCode() != 0) {
        ++crashes_;
        Fail("the program ended with code 0x" + Hex(app_->ExitCode()));
    }
    CheckHandOversAfterEnd(false);
    CheckFile("at the end", rowsBefore, optionsBefore);
    const auto temps = TempFilesIn(app_->Folder());
    if (!temps.empty())
        Fail("at the end a temporary file of a save is left: " + temps.front());
}

SavedSettings Storm::CheckFile(const std::string& when, const std::vector<std::string>& rows,
                               const OptionSet& options) {
    ++fileChecks_;
    const SavedSettings saved = ReadSettingsFile(app_->SettingsPath());
    const std::vector<std::string> savedRows = RowsOf(saved.entries);
    const size_t lost = CountMissing(rows, savedRows), extra = CountMissing(savedRows, rows);
    lostOrCorrupted_ += static_cast<int>(std::max(lost, extra));
    if (!saved.problems.empty())
        Fail(when + " the settings file does not read as written:" + saved.problems +
             "\n  file: " + Shortened(FileText(app_->SettingsPath()), 600));
    if (savedRows != rows)
        Fail(when + " the settings file holds" + Listed(savedRows, 90) + "\n  but the list showed" +
             Listed(rows, 90) + "\n  (" + std::to_string(lost) + " lost, " + std::to_string(extra) +
             " not shown)");
    if (saved.options != options)
        Fail(when + " the settings file holds the options " + saved.options.Text() +
             " but the check boxes showed " + options.Text());
    if (utf8Edit_) {
        const std::string bytes = FileBytes(Wide(app_->SettingsPath())).value_or("");
        const std::string start = std::string(utf8Mark_ ? "\xEF\xBB\xBF" : "") + "; edited by hand";
        if (bytes.find('\0') != std::string::npos || bytes.rfind(start, 0) != 0 ||
            bytes.find("[Mine]\r\nnote=\xCE\xA6") == std::string::npos ||
            bytes.find("[Options]") != bytes.rfind("[Options]"))
            Fail(when + " the hand-edited UTF-8 file is not kept as it was written: " +
                 Shortened(bytes, 200));
    }
    return saved;
}

void Storm::Run() {
    testStart_ = Clock::now();
    runMachine_ = RunValue(HKEY_LOCAL_MACHINE);
    runUser_ = RunValue(HKEY_CURRENT_USER);
    std::printf("Storm: seed %u, %d events (%s)\n", seed_, events_, Replay().c_str());
    std::fflush(stdout);
    // The mouse rests in the middle of the screen, over the main window's list when
    // that shows: where it is decides which row's hint shows, so a replay puts it back.
    PutMouseInTheMiddle();
    heldKey_ = RegisterHotKey(nullptr, 0x7300, RegistrationModifiers(kHeldKey),
                              VirtualKeyOf(kHeldKey)) != FALSE;
    ASSERT_TRUE(heldKey_) << "this test cannot hold " << KeyText(kHeldKey);
    MakeFolders();
    ASSERT_FALSE(existing_.empty());
    const std::string folder = MakeTempFolder("pwstormapp");
    app_ = std::make_unique<PathwinkProcess>(InitialSettings(), folder);
    if (!StartProgram())
        return;
    int run = 0;
    for (step_ = 1; step_ <= events_ && !stop_; ++step_) {
        Step();
        run = step_;
    }
    step_ = events_ + 1;
    if (!stop_)
        Finish();
    const double seconds = std::chrono::duration<double>(Clock::now() - testStart_).count();
    std::printf("Storm summary: seed %u, %d events, %d restarts, %d second copies, %d add "
                "commands, %d crashes, "
                "%d hangs, %d lost or corrupted entries, longest run %d events (%.1f s); %d "
                "folders handed over, %d shortcuts made or changed, at most %zu rows, %d Explorer "
                "windows, %d missing-folder messages, %d file checks, %d failures, %.1f s\n",
                seed_, run, restarts_, secondCopies_, addCommands_, crashes_, hangs_,
                lostOrCorrupted_, longestRun_, longestRunSeconds_, handedOver_, commits_, mostRows_,
                explorers_, missingMessages_, fileChecks_, failures_, seconds);
    std::fflush(stdout);
}

} // namespace

TEST(Storm, NothingIsLostCorruptedCrashedOrHungUnderASeededStormOfEvents) {
    const std::uint32_t seed =
        EnvNumber("PW_STORM_SEED",
                  static_cast<std::uint32_t>(GetTickCount() ^ (GetCurrentProcessId() << 16)));
    const int events = static_cast<int>(EnvNumber("PW_STORM_EVENTS", 350));
    Storm storm(seed, events);
    storm.Run();
}
