#!/usr/bin/env bash
# Builds Pathwink as it was at commit 70e6686 (before one hidden window served
# every hotkey binding and before the shortcut editor was made on first use), with
# the start-up trace of today's win/StartupTrace.cpp called at the same points as
# today, so that bench_phases can show both side by side. The copy lives in FOLDER
# (outside the repository) and is never committed.
#
#   bench/build_70e6686_traced.sh FOLDER     -> FOLDER/build/bin/Pathwink.exe
#
# Trace points, as today: "process and DLL start" (first line of WinMain),
# "common controls, COM and key names", "window class and main window", "fonts and
# icon", "pages and controls", "single-instance check" (then made after the pages,
# right after the tray icon's hidden window, which this line includes), "tray icon",
# "settings read" (options and the [Shortcuts] section), "hotkeys", "list", "ready"
# (before the message loop); and "shortcut editor", which that version created at
# start-up.
set -euo pipefail
folder=${1:?usage: $0 FOLDER}
root=$(cd "$(dirname "$0")/.." && pwd)
rm -rf "$folder"
mkdir -p "$folder"
git -C "$root" archive 70e6686 | tar -x -C "$folder"
git -C "$root" show cd6bc9f:win/StartupTrace.h >"$folder/win/StartupTrace.h"
git -C "$root" show cd6bc9f:win/StartupTrace.cpp >"$folder/win/StartupTrace.cpp"

python3 - "$folder" <<'EOF'
import sys

root = sys.argv[1]

def edit(path, *pairs):
    with open(f"{root}/{path}") as f:
        text = f.read()
    for old, new in pairs:
        if text.count(old) != 1:
            sys.exit(f"{path}: expected exactly one {old!r}")
        text = text.replace(old, new)
    with open(f"{root}/{path}", "w") as f:
        f.write(text)

def trace(phase):
    return f'    TracePhase("{phase}");\n'

edit("win/CMakeLists.txt", ("  Window.cpp\n", "  StartupTrace.cpp\n  Window.cpp\n"))
edit("app/main.cpp",
     ('#include "win/Messages.h"\n', '#include "win/Messages.h"\n#include "win/StartupTrace.h"\n'),
     ("    using namespace pw;\n", "    using namespace pw;\n" + trace("process and DLL start")),
     ("    ResourceKeyTexts();\n", "    ResourceKeyTexts();\n" + trace("common controls, COM and key names")),
     ("        form.AttachEditor(&editor);\n",
      "        form.AttachEditor(&editor);\n    " + trace("shortcut editor")),
     ("        exitCode = RunMessageLoop();\n",
      "    " + trace("ready") + "        exitCode = RunMessageLoop();\n"))
edit("main/MainForm.cpp",
     ('#include "win/Messages.h"\n', '#include "win/Messages.h"\n#include "win/StartupTrace.h"\n'),
     ("    Application::Instance().SetMainWindow(Handle());\n    // The window that carries",
      "    Application::Instance().SetMainWindow(Handle());\n" + trace("window class and main window") +
      "    // The window that carries"),
     ("    CreateFonts(dpi);\n    RECT frame", "    CreateFonts(dpi);\n" + trace("fonts and icon") + "    RECT frame"),
     ("std::array<int, 1>{17 * 4}.data()));\n\n    // Components",
      "std::array<int, 1>{17 * 4}.data()));\n" + trace("pages and controls") + "\n    // Components"),
     ("    XJustOne1.Loaded();\n", "    XJustOne1.Loaded();\n" + trace("single-instance check")),
     ("    TrayIcon1->Loaded();\n", "    TrayIcon1->Loaded();\n" + trace("tray icon")),
     ("    LoadShortcuts();\n    RefreshShortcutList();\n}",
      "    LoadShortcuts();\n    RefreshShortcutList();\n" + trace("list") + "}"))
edit("main/Settings.cpp",
     ('#include "main/Settings.h"\n', '#include "main/Settings.h"\n#include "win/StartupTrace.h"\n'),
     ("    for (StoredShortcut& entry : ReadStoredShortcuts(SettingsFileName())) {\n",
      "    std::vector<StoredShortcut> entries = ReadStoredShortcuts(SettingsFileName());\n" +
      trace("settings read") + "    for (StoredShortcut& entry : entries) {\n"),
     ("        table.InsertLoaded(entry.path, std::move(binding));\n    }\n}",
      "        table.InsertLoaded(entry.path, std::move(binding));\n    }\n" + trace("hotkeys") + "}"))
EOF

cmake -S "$folder" -B "$folder/build" -DCMAKE_TOOLCHAIN_FILE="$folder/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DPATHWINK_BUILD_TESTS=OFF >"$folder/configure.log" 2>&1 \
    || { cat "$folder/configure.log"; exit 1; }
cmake --build "$folder/build" -j 2 --target Pathwink -- --no-print-directory >"$folder/build.log" 2>&1 \
    || { tail -30 "$folder/build.log"; exit 1; }
echo "$folder/build/bin/Pathwink.exe"
