#!/usr/bin/env bash
# Installs what is missing, builds, and shows Varnel at work on the bundled
# example configuration with the command-line front end.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh

bin=build/release/bin
demo=build/demo-home
rm -rf "$demo"
mkdir -p "$demo/HEX" "$demo/IP" "$demo/BITMAP"
cp "$bin/IP/ETHOption.xml" "$demo/IP/" 2>/dev/null || true
export VARNEL_HOME="$PWD/$demo"
project="$demo/example.json"
cp data/examples/example.json "$project"

ctl() { echo "\$ varnelctl $*"; "$bin/varnelctl" "$@"; echo; }
ctl show "$project"
ctl add "$project" COM2 3 "读4区 03H" --slave 6 --start 0 --qty 20
ctl show "$project"
ctl compile "$project"
echo "Hex file ($VARNEL_HOME/HEX/hex.txt):"
cat "$VARNEL_HOME/HEX/hex.txt"; echo
