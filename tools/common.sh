# Shared by the scripts in tools/: installs what is missing, builds, and
# brings up (and tears down) a private Wine prefix on a virtual X display.
# shellcheck shell=bash

PW_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
PW_BUILD=${PW_BUILD:-$PW_ROOT/build}

pw_log() { printf '[pathwink] %s\n' "$*" >&2; }

# Debian packages needed to build, test and package, keyed by a file each provides.
pw_needed_packages() {
    local -A need=(
        [/usr/bin/x86_64-w64-mingw32-g++-posix]=g++-mingw-w64-x86-64-posix
        [/usr/bin/x86_64-w64-mingw32-gcc-posix]=gcc-mingw-w64-x86-64-posix
        [/usr/bin/x86_64-w64-mingw32-windres]=binutils-mingw-w64-x86-64
        [/usr/bin/cmake]=cmake
        [/usr/bin/make]=make
        [/usr/src/googletest/CMakeLists.txt]=googletest
        [/usr/bin/wine]=wine
        [/usr/lib/wine/wine64]=wine64
        [/usr/bin/Xvfb]=xvfb
        [/usr/bin/xdotool]=xdotool
        [/usr/bin/import]=imagemagick
        [/usr/bin/python3]=python3
        [/usr/share/wine/fonts/tahoma.ttf]=fonts-wine
        [/usr/share/fonts/truetype/wqy/wqy-microhei.ttc]=fonts-wqy-microhei
        [/usr/bin/makensis]=nsis
        [/usr/bin/clang-format]=clang-format
    )
    local f
    for f in "${!need[@]}"; do
        [ -e "$f" ] || printf '%s\n' "${need[$f]}"
    done | sort -u
}

# pw_apt_install PACKAGE...: installs these Debian packages when run as root;
# otherwise names them and exits.
pw_apt_install() {
    [ $# -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        pw_log "missing Debian packages: $*"
        pw_log "run this command as root once, or install them with apt-get."
        exit 1
    fi
    pw_log "installing: $*"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq >/dev/null
    apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

pw_install_deps() {
    # shellcheck disable=SC2046
    pw_apt_install $(pw_needed_packages)
}

pw_build() {
    local type=${1:-Release}
    cmake -S "$PW_ROOT" -B "$PW_BUILD" \
        -DCMAKE_TOOLCHAIN_FILE="$PW_ROOT/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE="$type" >"$PW_BUILD.configure.log" 2>&1 \
        || { cat "$PW_BUILD.configure.log"; return 1; }
    cmake --build "$PW_BUILD" -j "$(nproc)" -- --no-print-directory
}

# pw_wine_up PREFIX [fresh]: starts Xvfb on a free display (unless USE_DISPLAY
# is set), a persistent wineserver for PREFIX, and creates the prefix if needed.
# Sets DISPLAY, WINEPREFIX, WINEDEBUG; pw_wine_down undoes everything.
PW_XVFB_PID=
pw_wine_up() {
    local prefix=$1 fresh=${2:-}
    if [ -n "${USE_DISPLAY:-}" ]; then
        export DISPLAY=$USE_DISPLAY
    else
        local fdfile
        fdfile=$(mktemp)
        Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
        PW_XVFB_PID=$!
        local i
        for i in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.05; done
        export DISPLAY=:$(tr -d '\n' <"$fdfile")
        rm -f "$fdfile"
    fi
    # No Mono, Gecko or host menu entries: nothing is fetched or written outside the
    # prefix, and no helper of Wine's runs beside the tests.
    export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
    # Wine maps file names through the locale it starts under: without a UTF-8 one
    # no folder outside ASCII can even be created.
    export LC_ALL=C.UTF-8
    [ -n "$fresh" ] && rm -rf "$prefix"
    mkdir -p "$prefix"
    # The persistent server must come first: helpers started by the first Wine
    # process inherit its output, and would hold a reader's pipe open for ever.
    wineserver -p || true
    if [ ! -f "$prefix/.pathwink-ready" ]; then
        pw_wine_boot "$prefix" || return 1
        # Without a window manager every top-level DestroyWindow waits ~2 s unless
        # Wine manages its own windows; a crash must end the process, not open a dialog.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 </dev/null
        wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 </dev/null
        # Wine's own Tahoma and Marlett (the caption buttons' glyphs) are used only
        # once they are in the prefix's font folder.
        cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
        touch "$prefix/.pathwink-ready"
        # The desktop process (with the tray window) started by wineboot predates
        # Managed=N: start the prefix afresh so that it runs with it too.
        wineserver -k || true
        wineserver -w || true
        wineserver -p || true
    fi
    pw_wine_prepare || return 1
    pw_log "Wine prefix $WINEPREFIX on display $DISPLAY"
}

# A new prefix, made by wineboot; one that comes out without Windows' own DLLs (seen
# once, with several prefixes made at a time) is made again from nothing, once.
pw_wine_boot() {
    local prefix=$1 try
    for try in 1 2; do
        wineboot -i >/dev/null 2>&1 </dev/null || true
        [ -f "$prefix/drive_c/windows/system32/kernel32.dll" ] && return 0
        pw_log "the new Wine prefix $prefix has no kernel32.dll (try $try)"
        wineserver -k || true
        wineserver -w || true
        rm -rf "$prefix"
        mkdir -p "$prefix"
        wineserver -p || true
    done
    return 1
}

# The session is booted (desktop, services) and Wine's Explorer has opened and
# closed its first window before anything else runs, by the build's prepare_wine.exe
# (from a build that has it), each step with a deadline. A session where no window
# came is ended and started again, up to three times. The output goes to a file:
# the desktop process it starts would hold a pipe open for ever.
pw_wine_prepare() {
    local prepare=$PW_BUILD/bin/prepare_wine.exe out=$PW_BUILD/prepare-wine.log status try
    if [ ! -f "$prepare" ]; then
        wine cmd /c exit >/dev/null 2>&1 </dev/null || true
        return 0
    fi
    for try in 1 2 3; do
        status=0
        timeout 90 wine "$prepare" 40 >"$out.$try" 2>&1 </dev/null || status=$?
        tr -d '\r' <"$out.$try" | grep '^prepare_wine' | while read -r line; do pw_log "$line"; done
        [ "$status" -eq 0 ] && return 0
        pw_log "Wine's session could not be prepared (try $try, status $status): see $out.$try"
        wineserver -k || true
        wineserver -w || true
        wineserver -p || true
    done
    return 1
}

pw_wine_down() {
    [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
    [ -n "${WINEPREFIX:-}" ] && wineserver -w >/dev/null 2>&1 || true
    if [ -n "$PW_XVFB_PID" ]; then
        kill "$PW_XVFB_PID" 2>/dev/null || true
        wait "$PW_XVFB_PID" 2>/dev/null || true
        PW_XVFB_PID=
    fi
}
