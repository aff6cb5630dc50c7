# Runs a command in a private desktop session: a virtual X display with a window manager, a
# private session bus, and a throw-away home, so nothing outside is touched.
#   run_in_virtual_session COMMAND [ARGS...]
# Inside, $ORVEL_SESSION_HOME is the temporary home; it is removed afterwards.
run_in_virtual_session() {
  local home
  home=$(mktemp -d "${TMPDIR:-/tmp}/orvel-session-XXXXXX")
  local status=0
  HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
    XDG_CACHE_HOME="$home/.cache" XDG_STATE_HOME="$home/.local/state" \
    XDG_VIDEOS_DIR="$home/Videos" ORVEL_SESSION_HOME="$home" \
    xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" \
    dbus-run-session -- bash -c 'openbox >/dev/null 2>&1 & wm=$!; sleep 0.5; "$@"; status=$?; kill $wm 2>/dev/null; exit $status' \
    session "$@" || status=$?
  rm -rf "$home"
  return $status
}
