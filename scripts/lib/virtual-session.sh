# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command in a private desktop session: a virtual X display with a window manager, a
# private session bus that starts no desktop services, and a throw-away home, so nothing outside
# is touched.
#   run_in_virtual_session COMMAND [ARGS...]
# Inside, $ORVEL_SESSION_HOME is the temporary home; it is removed afterwards.
run_in_virtual_session() {
  local home
  home=$(mktemp -d "${TMPDIR:-/tmp}/orvel-session-XXXXXX")
  mkdir -m 700 "$home/runtime"
  cat >"$home/session-bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$home/runtime</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
  local status=0
  HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
    XDG_CACHE_HOME="$home/.cache" XDG_STATE_HOME="$home/.local/state" \
    XDG_VIDEOS_DIR="$home/Videos" XDG_RUNTIME_DIR="$home/runtime" ORVEL_SESSION_HOME="$home" \
    GTK_A11Y=none NO_AT_BRIDGE=1 \
    xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" \
    dbus-run-session --config-file="$home/session-bus.conf" -- \
    bash -c 'openbox >/dev/null 2>&1 & wm=$!; sleep 0.5; "$@"; status=$?; kill $wm 2>/dev/null; exit $status' \
    session "$@" || status=$?
  rm -rf "$home" 2>/dev/null || true
  return $status
}
