#!/usr/bin/env bash
# Installs the Debian 12 packages Varnel needs to build, run and test.
# Runs apt-get as root, or through sudo for a normal user.
set -euo pipefail

PACKAGES=(
  # build
  cmake ninja-build g++ ccache pkg-config
  qt6-base-dev libqt6opengl6-dev nlohmann-json3-dev
  # the English translation (lupdate, lrelease) and the toolkit's own Chinese texts
  qt6-l10n-tools qt6-translations-l10n
  # tests, benchmarks, sanitizers and fuzzing
  libgtest-dev libgmock-dev libbenchmark-dev libpugixml-dev libtinyxml2-dev
  clang libclang-rt-14-dev clang-format git
  iproute2 udhcpc python3 poppler-utils
  # the other DHCP server and the other clients of the commissioning tests,
  # and the capture that checks every frame on the link
  dnsmasq-base isc-dhcp-client tshark
  # the Modbus RTU master of poll and the simulator; socat for pty pairs
  libmodbus-dev socat
  # the desktop program: fonts for the picture and the Chinese texts,
  # and a virtual display for machines without one
  fonts-wqy-microhei fonts-liberation xvfb xauth
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  as_root apt-get update
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
fi
