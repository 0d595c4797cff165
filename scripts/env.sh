# Shared environment of the scripts: where the build lives and how Wine runs
# in it. Sourced, not run.
TANDREL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export TANDREL_BUILD="${TANDREL_BUILD:-$TANDREL_ROOT/build}"
export WINEPREFIX="$TANDREL_BUILD/wineprefix"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko download prompts while the prefix is made.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export LANG=ja_JP.UTF-8
export LC_ALL=ja_JP.UTF-8
# Otherwise Wine waits for an input method that never answers.
export XMODIFIERS=@im=none

# A compiler cache, when the machine has one, is shared by every checkout
# below the same parent folder (paths are hashed relative to it).
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$TANDREL_ROOT")}"
export CCACHE_NOHASHDIR=1

# Builds the given target, or everything (configuring on first use).
tandrel_build() {
    if [ ! -f "$TANDREL_BUILD/CMakeCache.txt" ]; then
        local launcher=()
        command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
        cmake -S "$TANDREL_ROOT" -B "$TANDREL_BUILD" \
            -DCMAKE_TOOLCHAIN_FILE="$TANDREL_ROOT/cmake/mingw-w64-x86_64.cmake" \
            -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
    fi
    cmake --build "$TANDREL_BUILD" -j "$(nproc)" ${1:+--target "$1"} -- --no-print-directory
}

# Creates the private Wine prefix once.
tandrel_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "setup: creating the Wine prefix in $WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w
    fi
}

# Whether Wine hands its windows to a window manager (Y) or places them
# itself (N). The virtual display has no window manager, and Wine waits two
# seconds for one whenever it takes a managed window off the screen: every
# closing window of a test or of a benchmarked run would pay that.
tandrel_window_manager() {
    local want="$1" have=Y
    grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null && have=N
    [ "$want" = "$have" ] && return
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$want" /f >/dev/null 2>&1 || true
}

# Starts Xvfb on a free display when there is no display; sets DISPLAY.
# May start Wine: whatever must exist before Wine's services start (the test
# drives) comes first.
tandrel_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
        tandrel_window_manager Y
        return
    fi
    local n=99
    while [ -e "/tmp/.X${n}-lock" ]; do n=$((n + 1)); done
    echo "no display: starting Xvfb on :$n"
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    TANDREL_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    # Only now: the Wine services this starts must see the display.
    tandrel_window_manager N
}
