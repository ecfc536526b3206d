#!/usr/bin/env bash
# Pictures of the shortcut editor as the user sees it, at 96 and at 144 DPI:
# docs/editor-96dpi.png and docs/editor-144dpi.png. Each DPI gets a fresh Wine
# prefix of its own on a private virtual display. Wine reads the DPI from
# HKCU\Control Panel\Desktop\LogPixels when a process starts; Tahoma comes from
# Wine's own fonts (Debian package fonts-wine), copied into the prefix, since
# Wine does not load that folder by itself.
# Options: --hint also points the mouse at the hot-key field so that its hint
# shows (pictures then go to build/, not docs/).
set -euo pipefail
. "$(dirname "$0")/../../tools/common.sh"

hint=
[ "${1:-}" = "--hint" ] && hint=hint
out=$PW_ROOT/docs
[ -n "$hint" ] && out=$PW_BUILD
mkdir -p "$out"

pw_install_deps
if [ ! -f /usr/share/wine/fonts/tahoma.ttf ]; then
    if [ "$(id -u)" -eq 0 ]; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends fonts-wine >/dev/null
    else
        pw_log "fonts-wine is missing: the pictures will show a substitute for Tahoma"
    fi
fi

# Only the preview program is built, so that work in progress elsewhere in the
# tree cannot stop the pictures.
mkdir -p "$PW_BUILD"
cmake -S "$PW_ROOT" -B "$PW_BUILD" \
    -DCMAKE_TOOLCHAIN_FILE="$PW_ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release >"$PW_BUILD.configure.log" 2>&1 \
    || { cat "$PW_BUILD.configure.log"; exit 1; }
cmake --build "$PW_BUILD" --target editor_preview -j "$(nproc)" -- --no-print-directory >/dev/null
exe=$PW_BUILD/bin/editor_preview.exe

trap pw_wine_down EXIT
for dpi in 96 144; do
    prefix=$PW_BUILD/shot-prefix-$dpi
    pw_wine_up "$prefix" fresh
    # Tahoma, and Marlett for the caption's close box.
    cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
        >/dev/null 2>&1 </dev/null
    # The desktop process started with the prefix keeps the old DPI: start afresh.
    wineserver -k
    wineserver -w
    wineserver -p || true
    wine "$exe" 30 $hint >"$PW_BUILD/editor-preview-$dpi.log" 2>&1 </dev/null &
    preview=$!
    id=
    for _ in $(seq 100); do
        id=$(xdotool search --name '^New Folder Shortcut$' 2>/dev/null | head -1) || true
        [ -n "$id" ] && break
        sleep 0.1
    done
    [ -n "$id" ] || { pw_log "the dialog did not appear at $dpi DPI"; exit 1; }
    sleep "$([ -n "$hint" ] && echo 3 || echo 1)" # painted (and the hint shown)
    if [ -n "$hint" ]; then
        import -display "$DISPLAY" -window root -crop 900x400+190+250 "$out/editor-${dpi}dpi-hint.png"
    else
        import -display "$DISPLAY" -window "$id" "$out/editor-${dpi}dpi.png"
    fi
    kill "$preview" 2>/dev/null || true
    pw_wine_down
    rm -rf "$prefix"
    pw_log "saved the picture at $dpi DPI in $out"
done
trap - EXIT
