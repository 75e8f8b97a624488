# shellcheck shell=bash
# A Wine prefix, X display and Wine session of one run, and their clean-up:
# the harness of `kivpack try` (kivtry.sh) and of the end-to-end suites
# (tests/e2e/lib.sh), which both source it. The caller sets KIV_CACHE (the
# templates, and the runs' scratch directories in work/), KIV_WORK (this
# run's scratch directory, made in $KIV_CACHE/work/ with its owner's pid in
# "owner"), KIV_ART (where logs go), KIV_LOG (the run's log), KIV_DRIVER
# (kivdriver.exe), and defines kiv_die WHAT and _kiv_log TEXT.
#
# A template prefix is booted once per Wine version (wineboot -i, about
# 10 s) under $KIV_CACHE and never changed afterwards. A run sees it
# through an overlay mount (copy on write, instant, a few kilobytes) or,
# where overlays cannot be mounted or KIV_PREFIX_COPY is set, through a
# copy (cp -a --reflink=auto). The template has the Wine virtual desktop
# switched on, so that Wine draws captions and frames itself and the screen
# has a known size, and Wine's own fonts in its Fonts folder (this Wine
# build does not find them in its data directory; without Marlett the
# caption buttons show letters).
#
# Everything a run starts is written down in its scratch directory
# (owner, xvfb.pid, mounts, the prefix), so that the next run can clean up
# after one that was killed before its EXIT trap ran. A scratch directory
# holding "kept" is a prefix kept on purpose and is left alone.

KIV_TEMPLATE_SCREEN=800x600

_kiv_template_dir() {
    local version
    version=$(wine --version 2>/dev/null | tr -c 'A-Za-z0-9.\n-' _)
    echo "$KIV_CACHE/template-$version"
}

# Boots the template unless it is there; one run at a time does it.
_kiv_make_template() {
    local template=$1 fd tmp name
    exec {fd}>"$KIV_CACHE/template.lock"
    flock -w 600 "$fd" || kiv_die "timed out waiting for $KIV_CACHE/template.lock"
    if [ ! -f "$template/.kiv-ready" ]; then
        tmp=$template.tmp.$$
        rm -rf --one-file-system "$tmp"
        _kiv_log "making template prefix $template"
        (
            export WINEPREFIX=$tmp
            timeout 300 wineboot -i &&
                timeout 60 wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f &&
                timeout 60 wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default \
                    /d "$KIV_TEMPLATE_SCREEN" /f
            rc=$?
            timeout 30 wineserver -k
            timeout 30 wineserver -w
            exit $rc
        ) </dev/null >"$KIV_ART/template.log" 2>&1 || kiv_die "wineboot failed (see $KIV_ART/template.log)"
        if [ -d /usr/share/wine/fonts ] && [ ! -e "$tmp/drive_c/windows/Fonts/marlett.ttf" ]; then
            cp /usr/share/wine/fonts/* "$tmp/drive_c/windows/Fonts/" || kiv_die "cannot copy Wine's fonts"
        fi
        # Debian's Wine names the server's socket directory in the prefix;
        # without the name every run gets a directory of its own.
        name=$(cat "$tmp/wineserver" 2>/dev/null)
        case $name in wine-??????) rm -rf "/tmp/$name" ;; esac
        rm -f "$tmp/wineserver"
        touch "$tmp/.kiv-ready"
        rm -rf --one-file-system "$template"
        mv "$tmp" "$template" || kiv_die "cannot move the template into place"
    fi
    flock -u "$fd"
    exec {fd}>&-
}

_kiv_make_prefix() {
    local template
    template=$(_kiv_template_dir)
    _kiv_make_template "$template"
    mkdir -p "$KIV_WORK/prefix" "$KIV_WORK/upper" "$KIV_WORK/overlay"
    if [ -z "${KIV_PREFIX_COPY:-}" ] &&
        mount -t overlay kiv-e2e -o "lowerdir=$template,upperdir=$KIV_WORK/upper,workdir=$KIV_WORK/overlay" \
            "$KIV_WORK/prefix" 2>/dev/null; then
        echo "$KIV_WORK/prefix" >>"$KIV_WORK/mounts"
        _kiv_log "prefix: overlay of $template"
    else
        rmdir "$KIV_WORK/prefix"
        cp -a --reflink=auto "$template" "$KIV_WORK/prefix" || kiv_die "cannot copy $template"
        _kiv_log "prefix: copy of $template"
    fi
    rm -f "$KIV_WORK/prefix/.kiv-ready"
}

# Xvfb on a display number it picks itself (-displayfd), the size of the
# Wine desktop.
_kiv_start_display() {
    local screen=$1 i
    case $screen in [0-9]*x[0-9]*) ;; *) kiv_die "bad screen size $screen (want WxH)" ;; esac
    Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp -noreset 3>"$KIV_WORK/display" \
        </dev/null >"$KIV_ART/xvfb.log" 2>&1 &
    echo $! >"$KIV_WORK/xvfb.pid"
    for i in $(seq 100); do
        [ -s "$KIV_WORK/display" ] && break
        kill -0 "$(cat "$KIV_WORK/xvfb.pid")" 2>/dev/null || break
        sleep 0.1
    done
    [ -s "$KIV_WORK/display" ] || kiv_die "Xvfb did not start (see $KIV_ART/xvfb.log)"
    export DISPLAY=:$(head -1 "$KIV_WORK/display")
}

# Our own persistent wineserver, its output going nowhere: Debian's wrapper
# would otherwise end the server with the last program, and the next Wine
# command would start one that holds that command's stdout open.
_kiv_start_server() {
    wineserver -p </dev/null >/dev/null 2>&1 || kiv_die "wineserver did not start"
    _kiv_log "wineserver for $WINEPREFIX, socket under /tmp/$(cat "$WINEPREFIX/wineserver" 2>/dev/null)"
    # Start the session's services and desktop now, with no output to hold.
    timeout 60 wine "$KIV_DRIVER" screen </dev/null >>"$KIV_LOG" 2>&1 ||
        kiv_die "the Wine session did not start (see $KIV_LOG)"
}

# kiv_system_up SCREEN: the display, a fresh prefix and its session; sets
# WINEPREFIX, KIV_C (drive_c) and KIV_WINDIR (drive_c/windows).
kiv_system_up() {
    _kiv_start_display "$1"
    _kiv_make_prefix
    export WINEPREFIX=$KIV_WORK/prefix
    KIV_C=$WINEPREFIX/drive_c
    KIV_WINDIR=$KIV_C/windows
    _kiv_start_session "$1"
}

_kiv_start_session() {
    local screen=$1
    if [ "$screen" != "$KIV_TEMPLATE_SCREEN" ]; then
        # The desktop size is read when the session starts: set it, then
        # end that session (a desktop changed under a running session
        # stays black).
        timeout 60 wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$screen" /f \
            </dev/null >/dev/null 2>&1 || kiv_die "cannot set the desktop size"
        timeout 30 wineserver -k >/dev/null 2>&1
        timeout 30 wineserver -w >/dev/null 2>&1
    fi
    _kiv_start_server
}

# Ends the Wine session (every program in it) and starts a fresh one.
kiv_restart_session() {
    _kiv_log "restarting the Wine session"
    timeout 30 wineserver -k >/dev/null 2>&1
    timeout 30 wineserver -w >/dev/null 2>&1
    rm -f "$KIV_WORK/restart"
    _kiv_start_server
}

# Restarts the session when a setting needs it (kiv_map_drive).
_kiv_session_fresh() {
    if [ -f "$KIV_WORK/restart" ]; then kiv_restart_session; fi
}

# Undoes everything recorded in a scratch directory, then removes it.
_kiv_cleanup_dir() {
    local dir=$1 prefix=$1/prefix pid name mount job
    if [ -f "$prefix/wineserver" ]; then
        name=$(cat "$prefix/wineserver")
        WINEPREFIX=$prefix timeout 20 wineserver -k >/dev/null 2>&1
        WINEPREFIX=$prefix timeout 20 wineserver -w >/dev/null 2>&1
        case $name in wine-??????) rm -rf "/tmp/$name" ;; esac
    fi
    for job in "$dir"/job.*; do
        [ -f "$job" ] || continue
        pid=$(cat "$job")
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    pid=$(cat "$dir/xvfb.pid" 2>/dev/null)
    if [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ]; then
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    fi
    if [ -f "$dir/mounts" ]; then
        tac "$dir/mounts" | while read -r mount; do
            umount "$mount" 2>/dev/null || umount -l "$mount" 2>/dev/null
        done
    fi
    rm -rf --one-file-system "$dir"
}

# Cleans up after runs whose shell is gone.
_kiv_sweep_stale() {
    local dir owner
    for dir in "$KIV_CACHE"/work/*/; do
        [ -e "$dir/kept" ] && continue
        owner=$(cat "$dir/owner" 2>/dev/null) || continue
        [ -n "$owner" ] && [ -d "/proc/$owner" ] && continue
        _kiv_cleanup_dir "${dir%/}"
    done
}

_kiv_on_exit() {
    local rc=$?
    if [ "$rc" -eq 0 ] && [ -s "$KIV_WORK/failures" ]; then
        echo "$KIV_SUITE: ended without kiv_end after failed checks" >&2
        rc=1
    fi
    _kiv_cleanup_dir "$KIV_WORK"
    exit "$rc"
}
