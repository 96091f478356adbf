#!/usr/bin/env bash
# Installs what is missing, builds, and starts Varnel's demonstration: the
# gateway simulator on 127.0.0.1 and the desktop program with the example
# project open, its gateway address set to the simulator, in a demonstration
# data folder (build/demo-home, named by VARNEL_HOME) so the user's own option
# file stays untouched. Press "编译并下载" and watch the configuration arrive
# in the simulator's log. The simulator stops when Varnel exits.
#
# Without a display the same runs inside a virtual one: instead of waiting
# for a person, the flow is shown with varnelctl (download to the simulator,
# then the simulator's state), and the main window is saved as a picture
# after a download made by the desktop program (build/demo-home/main-window.png).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh varnel varnelctl varnel-gateway-sim

bin="$PWD/build/release/bin"
demo="$PWD/build/demo-home"
address=127.0.0.1
rm -rf "$demo"
mkdir -p "$demo/HEX" "$demo/IP" "$demo/BITMAP"
cp "$bin/BITMAP/module.bmp" "$demo/BITMAP/"
printf '<?xml version="1.0" encoding="UTF-8"?>\r\n<ETHOption>\r\n\t<ip>%s</ip>\r\n</ETHOption>\r\n' \
  "$address" >"$demo/IP/ETHOption.xml"
project="$demo/example.vrc"
cp data/examples/example.vrc "$project"
export VARNEL_HOME="$demo"

# The simulator, its log followed on the terminal.
"$bin/varnel-gateway-sim" --listen "$address" --state-file "$demo/gateway-state.json" \
  --restart-delay 300 >"$demo/gateway.log" 2>&1 &
sim=$!
stop_sim() {
  kill "$sim" 2>/dev/null || true
  wait "$sim" 2>/dev/null || true
}
trap stop_sim EXIT
for _ in $(seq 100); do
  grep -q "listening on" "$demo/gateway.log" && break
  kill -0 "$sim" 2>/dev/null || { cat "$demo/gateway.log"; echo "The gateway simulator did not start." >&2; exit 1; }
  sleep 0.1
done
grep -q "listening on" "$demo/gateway.log" || { echo "The gateway simulator did not start." >&2; exit 1; }
echo "Gateway simulator on $address (log: $demo/gateway.log)"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  tail -n +1 -f "$demo/gateway.log" --pid="$sim" | sed 's/^/  gateway: /' &
  echo "Starting Varnel with $project; choose 操作 > 编译并下载 to download it to the simulator."
  "$bin/varnel" "$project"
  exit 0
fi

echo "No display: running the demonstration unattended (the desktop program under xvfb-run)."
ctl() { echo "\$ varnelctl $*"; "$bin/varnelctl" "$@"; echo; }
ctl show "$project"
ctl download "$project" --ip "$address" --restart
for _ in $(seq 100); do
  grep -q "restarted" "$demo/gateway.log" && break
  sleep 0.1
done
echo "Gateway simulator log:"
sed 's/^/  /' "$demo/gateway.log"
echo "Gateway simulator state ($demo/gateway-state.json):"
cat "$demo/gateway-state.json"; echo

echo "\$ varnel --download-and-exit --screenshot $demo/main-window.png $project"
xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$bin/varnel" --download-and-exit --screenshot "$demo/main-window.png" "$project"
for _ in $(seq 50); do
  [ "$(grep -c "restarted" "$demo/gateway.log")" -ge 2 ] && break
  sleep 0.1
done
echo "What the simulator saw of Varnel's download:"
sed -n '/restarted/,$p' "$demo/gateway.log" | tail -n +2 | sed 's/^/  /'
echo "Main window after the download: $demo/main-window.png"
