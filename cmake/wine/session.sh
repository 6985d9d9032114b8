#!/bin/sh
# session.sh start|stop FOLDER: the Wine prefix and the X display that the
# Windows tests of a cross build run in, started afresh for every test run
# (CTest's fixture "wine"): an empty prefix of its own in FOLDER/prefix with a
# wineserver that stays up for the whole run, so that each test program does
# not start one again, and an Xvfb server for the windows, the clipboard and
# the fonts. `stop` ends both; only the processes this script started are
# ended, by the numbers it noted in FOLDER/session.
#
# session.sh prefix FOLDER: only a new prefix in FOLDER, made as the session's
# is, for a test that needs one of its own (the installer's).
set -eu
usage="usage: session.sh start|stop|prefix FOLDER"
action=${1:?$usage}
folder=${2:?$usage}

stop() {
    [ -f "$folder/session" ] || return 0
    . "$folder/session"
    WINEPREFIX=$session_prefix wineserver -k 2>/dev/null || true
    # The number is Xvfb's only while that process still runs Xvfb.
    if [ -n "${xvfb_pid:-}" ] && tr '\0' ' ' < "/proc/$xvfb_pid/cmdline" 2>/dev/null | grep -q '^Xvfb '; then
        kill "$xvfb_pid" 2>/dev/null || true
    fi
    rm -f "$folder/session"
}

# A new prefix in $WINEPREFIX, which must not exist yet.
make_prefix() {
    # No Mono and no Gecko: the programs need neither, and their installers would wait for a click.
    WINEDLLOVERRIDES="mscoree,mshtml=" wine wineboot --init </dev/null >"$WINEPREFIX.log" 2>&1 || {
        echo "session.sh: the Wine prefix could not be made:" >&2
        cat "$WINEPREFIX.log" >&2
        exit 1
    }
    # Wine gives each of the machine's serial ports a COMn, and where dosdevices names no device
    # for COM1 to COM9 it opens /dev/ttyS0 to /dev/ttyS8. No test may reach those: COM1 to COM9
    # lead to a folder, which no program opens as a port, and the others to nothing, as on a
    # computer without them. A test maps the COMn it uses itself, to a pseudo-terminal.
    rm -f "$WINEPREFIX"/dosdevices/com*
    mkdir "$WINEPREFIX/no-port"
    for n in 1 2 3 4 5 6 7 8 9; do
        ln -s "$WINEPREFIX/no-port" "$WINEPREFIX/dosdevices/com$n"
    done
}

case $action in
stop)
    stop
    ;;
prefix)
    rm -rf "$folder"
    mkdir -p "$(dirname "$folder")"
    WINEPREFIX=$folder WINEDEBUG=-all
    export WINEPREFIX WINEDEBUG
    make_prefix
    ;;
start)
    stop
    rm -rf "$folder/prefix" "$folder/display"
    mkdir -p "$folder"
    # Xvfb writes the number of its display into the pipe once it takes clients;
    # the read waits for exactly that (or for the end of the pipe, when it fails).
    mkfifo "$folder/display"
    setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$folder/display" \
        </dev/null >"$folder/xvfb.log" 2>&1 &
    xvfb_pid=$!
    read -r display < "$folder/display" || true
    rm -f "$folder/display"
    if [ -z "${display:-}" ]; then
        echo "session.sh: Xvfb did not start:" >&2
        cat "$folder/xvfb.log" >&2
        exit 1
    fi
    WINEPREFIX=$folder/prefix
    export WINEPREFIX WINEDEBUG=-all DISPLAY=":$display"
    printf 'session_prefix=%s\nsession_display=%s\nxvfb_pid=%s\n' "$WINEPREFIX" "$DISPLAY" "$xvfb_pid" \
        > "$folder/session"
    mkdir "$WINEPREFIX"
    # The server forks into the background and stays (-p) until `stop`.
    wineserver -p </dev/null >"$folder/wineserver.log" 2>&1
    make_prefix
    ;;
*)
    echo "$usage" >&2
    exit 2
    ;;
esac
