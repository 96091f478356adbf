#!/usr/bin/env bash
# Server CPU per completed DISCOVER-OFFER-REQUEST-ACK: `varnelctl dhcp-server`
# against dnsmasq (DHCP only), both loaded by perfdhcp in relay mode from a
# second network namespace joined by a veth pair. 200 clients, each one MAC
# the server has an address for. Run by hand (as root), not in CI:
#
#   bench/net/dhcp_dora.sh [VARNELCTL]     (default build/release/bin/varnelctl)
#
# Settings (environment): DORA_RATE (20000 offered exchanges/s), DORA_SECONDS
# (10), DORA_CHECK_RATE (5000: the rate at which no exchange may be lost).
# The CPU is utime + stime of the server process from /proc, read before and
# after the load. Exit 1 when an exchange is lost at the check rate.
set -euo pipefail
cd "$(dirname "$0")/../.."
varnelctl=$(realpath -m "${1:-build/release/bin/varnelctl}")
rate=${DORA_RATE:-20000}
seconds=${DORA_SECONDS:-10}
check_rate=${DORA_CHECK_RATE:-5000}

skip() { echo "skipped: $*"; exit 0; }
[ "$(id -u)" -eq 0 ] || skip "network namespaces need root"
command -v perfdhcp >/dev/null || skip "perfdhcp is missing (Debian package kea-admin)"
command -v dnsmasq >/dev/null || skip "dnsmasq is missing (Debian package dnsmasq-base)"
if [ ! -x "$varnelctl" ]; then
  [ $# -gt 0 ] && { echo "no varnelctl at $varnelctl" >&2; exit 2; }
  skip "no varnelctl at $varnelctl (build first)"
fi

server_ns=vdora-s$$
client_ns=vdora-c$$
work=$(mktemp -d)
cleanup() {
  [ -n "${server_pid:-}" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  ip netns del "$server_ns" 2>/dev/null || true
  ip netns del "$client_ns" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
ip netns add "$server_ns" 2>/dev/null || skip "cannot create a network namespace"
ip netns add "$client_ns"
ip link add vdora-s type veth peer name vdora-c netns "$client_ns"
ip link set vdora-s netns "$server_ns"
ip -n "$server_ns" addr add 10.77.0.1/24 dev vdora-s
ip -n "$client_ns" addr add 10.77.0.2/24 dev vdora-c
for ns in "$server_ns" "$client_ns"; do
  ip -n "$ns" link set lo up
done
ip -n "$server_ns" link set vdora-s up
ip -n "$client_ns" link set vdora-c up

# 200 clients: the MAC list perfdhcp draws from, and the server's assignments.
echo "mac,ip,name" >"$work/assign.csv"
for i in $(seq 0 199); do
  mac=$(printf '02:00:00:00:%02x:%02x' $((i / 256)) $((i % 256)))
  echo "$mac" >>"$work/macs.txt"
  echo "$mac,10.77.0.$((10 + i))," >>"$work/assign.csv"
done

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# run NAME RATE SERVER-COMMAND...: loads the server, sets cpu_us and acks/drops.
run() {
  local name=$1 rate=$2
  shift 2
  ip netns exec "$server_ns" "$@" >"$work/$name.log" 2>&1 &
  server_pid=$!
  sleep 1
  kill -0 "$server_pid" 2>/dev/null || { cat "$work/$name.log"; exit 1; }
  local before after
  before=$(cpu_ticks "$server_pid")
  ip netns exec "$client_ns" perfdhcp -4 -r "$rate" -p "$seconds" -W 1000000 \
    -M "$work/macs.txt" -l 10.77.0.2 10.77.0.1 >"$work/$name.perf" 2>&1 || true
  after=$(cpu_ticks "$server_pid")
  kill "$server_pid"
  wait "$server_pid" 2>/dev/null || true
  server_pid=
  acks=$(awk '/REQUEST-ACK/ { f = 1 } f && /received packets/ { print $3; exit }' "$work/$name.perf")
  drops=$(awk '/^drops:/ { s += $2 } END { print s + 0 }' "$work/$name.perf")
  [ "${acks:-0}" -gt 0 ] || { cat "$work/$name.perf"; echo "$name: no exchange completed"; exit 1; }
  cpu_us=$(awk -v t=$((after - before)) -v hz="$(getconf CLK_TCK)" -v n="$acks" \
    'BEGIN { printf "%.1f", t / hz * 1e6 / n }')
  printf '%-10s %6s/s offered  %8s DORA completed  %8s lost  %8s us CPU/DORA\n' \
    "$name" "$rate" "$acks" "$drops" "$cpu_us"
}

echo "$(nproc) cores, $(uname -r); ${seconds} s per run, 200 clients, perfdhcp in relay mode"
run varnel "$rate" "$varnelctl" dhcp-server --assign-file "$work/assign.csv" --listen 10.77.0.1
varnel_us=$cpu_us
run dnsmasq "$rate" dnsmasq --port=0 --no-daemon --conf-file=/dev/null \
  --dhcp-range=10.77.0.10,10.77.0.250,255.255.255.0 --no-ping --leasefile-ro
awk -v a="$varnel_us" -v b="$cpu_us" 'BEGIN { printf "ratio varnel/dnsmasq: %.2f\n", a / b }'

run varnel "$check_rate" "$varnelctl" dhcp-server --assign-file "$work/assign.csv" \
  --listen 10.77.0.1
if [ "$drops" -ne 0 ]; then
  echo "lost $drops exchanges at $check_rate/s"
  exit 1
fi
echo "no exchange lost at $check_rate/s"
