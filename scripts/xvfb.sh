# Sourced: starts a private Xvfb screen when no display is set, and stops it
# when the calling script exits.
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { lv_display=$n; break; }
  done
  Xvfb ":$lv_display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  lv_xvfb_pid=$!
  trap 'kill $lv_xvfb_pid 2>/dev/null || true' EXIT
  export DISPLAY=":$lv_display"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$lv_display" ] && break; sleep 0.1; done
fi
