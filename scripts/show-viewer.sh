#!/usr/bin/env bash
# Runs the viewer on a path. On a desktop it simply opens the window. On a machine without a display it
# runs the viewer under a virtual X server for a few seconds, saves a screenshot of the screen showing
# the window, and prints where the screenshot is.
set -euo pipefail
viewer=$1
path=$2
shot=${3:-$(dirname "$viewer")/../viewer-screenshot.png}

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$viewer" "$path"
fi

shot=$(realpath -m "$shot")
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  # A settings-free first run: the window comes up at its default place and size.
  "$1" "$2" &
  pid=$!
  sleep 4
  import -window root "$3"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
' _ "$viewer" "$path" "$shot"
echo "No display here: the viewer ran under Xvfb; its screenshot is $shot"
