# Shared by scripts/test and scripts/demo: building both processors, the X display and the
# private Wine prefix. Source it; it defines functions only.

TAMREL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
JOBS=${JOBS:-$(nproc)}

tamrel_build() {
    # tamrel_build x64|x86 [extra cmake args]; TAMREL_TARGETS (space-separated) builds only those
    # targets and what they need instead of the whole tree.
    local arch=$1; shift
    local toolchain=mingw64
    [ "$arch" = x86 ] && toolchain=mingw32
    local dir="$TAMREL_ROOT/build/$arch"
    local gen=()
    command -v ninja >/dev/null 2>&1 && [ ! -f "$dir/Makefile" ] && gen=(-G Ninja)
    cmake -S "$TAMREL_ROOT" -B "$dir" "${gen[@]}" \
        -DCMAKE_TOOLCHAIN_FILE="$TAMREL_ROOT/cmake/$toolchain.cmake" "$@" >/dev/null
    local targets=()
    [ -n "${TAMREL_TARGETS:-}" ] && targets=(--target ${TAMREL_TARGETS})
    cmake --build "$dir" -j "$JOBS" "${targets[@]}"
}

tamrel_native_tests() {
    # The portable cores, built natively with clang (g++ where clang is missing) under
    # AddressSanitizer and UndefinedBehaviorSanitizer: their unit tests, then every fuzz target
    # (bin/fuzz/fuzz_*) with a fixed seed for TAMREL_FUZZ_SECONDS each (default 20; 0 skips them).
    local dir="$TAMREL_ROOT/build/native"
    local secs=${TAMREL_FUZZ_SECONDS:-20}
    local cxx=clang++
    command -v clang++ >/dev/null 2>&1 || cxx=g++
    local gen=()
    command -v ninja >/dev/null 2>&1 && [ ! -f "$dir/Makefile" ] && gen=(-G Ninja)
    cmake -S "$TAMREL_ROOT/tests/native" -B "$dir" "${gen[@]}" -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
    cmake --build "$dir" -j "$JOBS"
    ctest --test-dir "$dir" --output-on-failure -j "$JOBS"
    [ "$secs" -gt 0 ] || return 0
    local f name work
    for f in "$dir"/bin/fuzz/fuzz_*; do
        [ -x "$f" ] && [ -f "$f" ] || continue
        name=$(basename "$f")
        work="$dir/fuzz-work/$name"
        rm -rf "$work"
        mkdir -p "$work"
        echo "fuzz: $name, ${secs} s, seed 1"
        # The first directory receives what the run finds; the seeds are only read.
        # shellcheck disable=SC2046
        if ! "$f" -seed=1 -max_total_time="$secs" -artifact_prefix="$work/" "$work" \
                $(cat "$f.seeds" 2>/dev/null) >"$work.log" 2>&1; then
            tail -n 60 "$work.log"
            echo "fuzz: $name failed; the input that failed is in $work/"
            return 1
        fi
    done
}

tamrel_wine_env() {
    export PATH="/usr/lib/wine:$PATH"
    export WINEPREFIX="$TAMREL_ROOT/build/wineprefix"
    export WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEARCH=win64
}

# Raise when the prefix's set-up changes: existing prefixes are then made anew.
TAMREL_PREFIX_VERSION=3
TAMREL_XVFB_PID=""
TAMREL_WINESERVER_STARTED=""

tamrel_start_display() {
    # One Xvfb for the run; the prefix's desktop picks its display driver once per wineserver
    # session, so the display must exist before the prefix is touched.
    local fifo display
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$fifo" >/dev/null 2>&1 &
    TAMREL_XVFB_PID=$!
    read -r display <"$fifo"
    rm -f "$fifo"
    export DISPLAY=":$display"
}

tamrel_start_wine() {
    tamrel_wine_env
    # A server left over from an earlier run belongs to another display: end it first.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    # The marker holds the prefix's version: a prefix made by an older set-up is made anew.
    if [ "$(cat "$WINEPREFIX/.tamrel-ready" 2>/dev/null)" != "$TAMREL_PREFIX_VERSION" ]; then
        rm -rf "$WINEPREFIX"
        echo "wine: creating the prefix $WINEPREFIX"
        wineboot -i >/dev/null 2>&1 || true
        # wineboot returns while set-up goes on; the first service start fails with 1055
        # unless we wait for it to finish.
        wineserver -w
        # Without a window manager, hiding a top-level window waits 2 s (every modal form and
        # message box would end 2 s late); unmanaged windows hide at once.
        wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
        # A program that crashes while it has a window would show the crash debugger's dialog and
        # wait for a click until ctest's time-out; without the dialog the debugger prints its
        # report on stderr and the program ends at once.
        wine64 reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
        wineserver -w
        echo "$TAMREL_PREFIX_VERSION" >"$WINEPREFIX/.tamrel-ready"
    fi
    # A persistent server for the whole run: the default one exits shortly after the last
    # process and kills running services without a stop request.
    wineserver -p
    TAMREL_WINESERVER_STARTED=1
    # Bring the session up (services.exe, explorer) before the first test measures anything.
    wine64 cmd /c exit >/dev/null 2>&1 || true
}

tamrel_stop_all() {
    if [ -n "$TAMREL_WINESERVER_STARTED" ]; then
        wineserver -k >/dev/null 2>&1 || true
        TAMREL_WINESERVER_STARTED=""
    fi
    if [ -n "$TAMREL_XVFB_PID" ]; then
        kill "$TAMREL_XVFB_PID" >/dev/null 2>&1 || true
        wait "$TAMREL_XVFB_PID" 2>/dev/null || true
        TAMREL_XVFB_PID=""
    fi
}
