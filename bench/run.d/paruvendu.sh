#!/usr/bin/env bash
# A whole headless ParuVendu run on generated stocks (about 6 photos per vehicle), with
# the image-server check off so that no photo goes over the network; the gateway is a
# closed loopback port, so the upload fails at once. $1: optimised build folder.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The dealer's photo folder exists; its photos are not part of this figure.
mkdir -p "$work/c/windows/TEMP" "$work/c/projects/Quarno/data/Listelo" "$work/c/projects/Quarno/images"
cat >"$work/Listelo.ini" <<'INI'
[Options]
Debug=0
[VOImages]
ServeurFTP=127.0.0.1:9
[PARUVENDU]
ServeurFTP=127.0.0.1:9
TestFTPVOImages=0
FlgInfoEquip=1
INI
declare -A seconds
for n in 20000 40000; do
  "$build/bench/listelo_make_stock" "$n" "$work/c/projects/Quarno/data/Listelo/ExpDatasPARUVENDU.xml" >/dev/null
  start=$(date +%s.%N)
  LISTELO_HEADLESS=1 LISTELO_ROOT="$work" Windir='c:\windows' LISTELO_INI="$work/Listelo.ini" \
    "$build/src/listelo" PARUVENDU >/dev/null
  end=$(date +%s.%N)
  seconds[$n]=$(awk "BEGIN { print $end - $start }")
  printf 'ParuVendu run, %6d vehicles: %6.2f s\n' "$n" "${seconds[$n]}"
done
printf 'ratio 40000/20000: %.2f (target under 2.2; 20000 under 10 s)\n' \
  "$(awk "BEGIN { print ${seconds[40000]} / ${seconds[20000]} }")"
