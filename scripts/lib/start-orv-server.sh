# Sourced by scripts/demo and scripts/demo-server: starts build/server/orv-server
# in the background with the given options and waits for its two lines.
#
#   start_orv_server OUTDIR [orv-server options...]
#
# Sets ORV_SERVER_PID, SESSION_ADDR (HOST:PORT) and HTTP_ADDR (HOST:PORT);
# stdout goes to OUTDIR/orv-server.out and stderr (the log) to
# OUTDIR/orv-server.log. Returns non-zero, with the log shown, when the server
# exits or is not up within 60 s (seeding draws a few hundred pictures).
# stop_orv_server sends SIGTERM to that process only and waits for it.

start_orv_server() {
  local out="$1"; shift
  "$ROOT/build/server/orv-server" "$@" >"$out/orv-server.out" 2>"$out/orv-server.log" &
  ORV_SERVER_PID=$!
  local i
  for i in $(seq 600); do
    if grep -q '^http listening on ' "$out/orv-server.out" 2>/dev/null; then
      SESSION_ADDR="$(sed -n 's/^listening on //p' "$out/orv-server.out")"
      HTTP_ADDR="$(sed -n 's/^http listening on //p' "$out/orv-server.out")"
      return 0
    fi
    if ! kill -0 "$ORV_SERVER_PID" 2>/dev/null; then
      wait "$ORV_SERVER_PID" 2>/dev/null || true
      ORV_SERVER_PID=""
      cat "$out/orv-server.log" >&2
      echo "orv-server exited before it was ready" >&2
      return 1
    fi
    sleep 0.1
  done
  cat "$out/orv-server.log" >&2
  echo "orv-server was not ready within 60 s" >&2
  stop_orv_server
  return 1
}

stop_orv_server() {
  if [ -n "${ORV_SERVER_PID:-}" ]; then
    kill -TERM "$ORV_SERVER_PID" 2>/dev/null || true
    wait "$ORV_SERVER_PID" 2>/dev/null || true
    ORV_SERVER_PID=""
  fi
}
