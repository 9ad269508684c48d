#!/usr/bin/env bash
# Installs a built kelvane .deb into a fresh Debian 12 chroot and starts it:
# the batch mode (summary of the defaults) and the windows offscreen for a
# few seconds. Installed without the recommended packages, as the strictest
# case; a kelvane left from an earlier check is purged first. As root:
#   bash tools/check-deb.sh build/default/kelvane_0.1_amd64.deb [FOLDER]
# FOLDER (default /tmp/kelvane-chroot/root) is made with debootstrap if missing.
set -euo pipefail
desktop-file-validate "$(dirname "$0")/../data/kelvane.desktop"
deb=$(realpath "$1")
root=${2:-/tmp/kelvane-chroot/root}
if [ ! -x "$root/bin/bash" ]; then
  debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/kelvane.deb"
rm -f "$root"/tmp/{summary.txt,a.toml,r1.txt,r2.txt,plot.png}
mount -t proc proc "$root/proc"
trap 'umount "$root/proc"' EXIT
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"; }
in_root apt-get update -qq
in_root apt-get purge -y -qq --autoremove kelvane > /dev/null 2>&1 || true
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  /tmp/kelvane.deb
in_root dpkg -s kelvane | grep -E '^(Status|Version|Depends):'
echo "--- kelvane --batch --summary - (first lines)"
in_root kelvane --batch --summary - > "$root/tmp/summary.txt"
head -12 "$root/tmp/summary.txt"
echo "--- a saved case runs to the same result file; the plot is drawn"
in_root kelvane --batch --step-count 300 --save-case /tmp/a.toml --output /tmp/r1.txt
in_root kelvane --batch --case /tmp/a.toml --output /tmp/r2.txt --plot /tmp/plot.png
cmp "$root/tmp/r1.txt" "$root/tmp/r2.txt"
file "$root/tmp/plot.png" 2>/dev/null || ls -l "$root/tmp/plot.png"
echo "--- kelvane, windows offscreen for 5 s (timeout's 124 means still running)"
status=0
in_root env QT_QPA_PLATFORM=offscreen timeout 5 kelvane || status=$?
echo "exit status $status"
[ "$status" -eq 124 ]
