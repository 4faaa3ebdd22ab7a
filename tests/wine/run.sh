#!/usr/bin/env bash
# Copyright (C) 2026 Korvane Developers
# SPDX-License-Identifier: MIT
# Runs a Windows program under Wine in a private prefix in the given directory:
#   run.sh DIR PROGRAM [ARGUMENTS...]
# Wine's COM1 and COM2 are the links DIR/com1 and DIR/com2, which a test points at its own
# pseudo-terminals, and so are COM12 and COM13; COM4 is DIR/com3, a test's third line; with no
# link there, the port does not exist. Wine would otherwise take the machine's own serial devices
# (ttyS0, ttyS1...) as COM ports, and on a test machine ttyS0 can be its console: every Wine
# process here runs where no serial device exists, and the prefix is checked before anything runs
# in it.
set -euo pipefail
dir=$(realpath -m "$1")
shift
here=$(dirname "$(realpath "$0")")

# Wine makes every window on an X display, even the hidden one behind Qt's event loop: without
# a display, run on a virtual one, and leave no Wine process behind that would outlive it.
if [[ -z "${DISPLAY:-}" ]]; then
    exec xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24" \
        bash "$0" "$dir" "$@" --and-end
fi
end_wine=false
if [[ "${*: -1}" == "--and-end" ]]; then
    end_wine=true
    set -- "${@:1:$#-1}"
fi

export WINEPREFIX="$dir/prefix" WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko install dialogs in a fresh prefix; and Wine's menu builder, which would copy
# every shortcut, icon and file type a setup program makes into this machine's own desktop, off.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Qt's offscreen platform on Windows reads its fonts from one folder: the host's own.
mkdir -p "$dir/fonts"
for font in /usr/share/fonts/truetype/dejavu/DejaVuSans*.ttf /usr/share/fonts/truetype/wqy/*.tt?; do
    [[ -e "$font" ]] && ln -sf "$font" "$dir/fonts/"
done
export QT_QPA_FONTDIR="Z:$dir/fonts"
# Without a console window Qt would log, and Qt Test report, to the debugger instead.
export QT_FORCE_STDERR_LOGGING=1
# Wine keeps the host's QT_ variables from Windows programs, and passes them on as WINEQT_.
for name in $(compgen -e | grep '^QT_'); do
    export "WINE$name=${!name}"
done

# A /dev of its own with no serial device in it at all.
sandboxed() {
    "$here/../scripts/no_serial_devices.sh" -- "$@"
}

# COM12 and COM13 are the same two lines under numbers that need the \\.\ form to be opened.
# COM4, not COM3: tests take COM3 for a port that does not exist.
ports="COM1=com1 COM2=com2 COM4=com3 COM12=com1 COM13=com2"
if [[ "$(cat "$WINEPREFIX/.ports" 2>/dev/null)" != "$ports" ]]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    echo "wine: making a private prefix in $WINEPREFIX" >&2
    sandboxed wineboot --init >/dev/null 2>&1
    for port in $ports; do
        sandboxed wine reg add 'HKLM\Software\Wine\Ports' /v "${port%%=*}" /d "$dir/${port#*=}" /f >/dev/null 2>&1
    done
    # Wine makes its port links when it starts; start it again so that it reads them.
    sandboxed wineserver --wait
    sandboxed wineboot --restart >/dev/null 2>&1
    sandboxed wineserver --wait
    echo "$ports" >"$WINEPREFIX/.ports"
fi

for link in "$WINEPREFIX"/dosdevices/com*; do
    [[ -L "$link" ]] || continue
    case "$(readlink "$link")" in
    "$dir/com1" | "$dir/com2" | "$dir/com3") ;;
    *)
        echo "wine: $link leads to $(readlink "$link"), not to a test's own line; not running" >&2
        exit 1
        ;;
    esac
done
[[ -L "$WINEPREFIX/dosdevices/com1" && -L "$WINEPREFIX/dosdevices/com2" ]] || {
    echo "wine: the prefix has no COM1/COM2 of its own; not running" >&2
    exit 1
}

status=0
sandboxed wine "$@" || status=$?
if $end_wine; then
    sandboxed wineserver --kill
fi
exit $status
