#!/usr/bin/env bash
# Whole headless L'Argus runs on generated stocks spread over 50 dealer accounts, each
# account's file uploaded to a local FTP gateway (pyftpdlib), beside the ParuVendu run
# of the same 20,000-vehicle stock timed as paruvendu.sh does. $1: optimised build folder.
set -euo pipefail
build=$1
work=$(mktemp -d)
gateway_pid=
cleanup() {
  [[ -n "$gateway_pid" ]] && kill "$gateway_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
sources="$work/c/projects/Quarno/data/Listelo"
mkdir -p "$work/c/windows/TEMP" "$sources" "$work/c/projects/Quarno/images" "$work/gateway"
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
/usr/bin/python3 -m pyftpdlib -i 127.0.0.1 -p "$port" -w -d "$work/gateway" -u argus -P bench \
  >/dev/null 2>&1 &
gateway_pid=$!
for _ in $(seq 50); do
  /usr/bin/python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 1)" \
    2>/dev/null && break
  sleep 0.1
done
cat >"$work/Listelo.ini" <<INI
[Options]
Debug=0
[VOImages]
ServeurFTP=127.0.0.1:9
[PARUVENDU]
ServeurFTP=127.0.0.1:9
TestFTPVOImages=0
FlgInfoEquip=1
[LARGUS]
ServeurFTP=127.0.0.1:$port
User=argus
PassWord=bench
INI

run() {  # target -> seconds
  local start end
  start=$(date +%s.%N)
  LISTELO_HEADLESS=1 LISTELO_ROOT="$work" Windir='c:\windows' LISTELO_INI="$work/Listelo.ini" \
    "$build/src/listelo" "$1" >/dev/null
  end=$(date +%s.%N)
  awk "BEGIN { print $end - $start }"
}

"$build/bench/listelo_make_stock" 20000 "$sources/ExpDatasPARUVENDU.xml" >/dev/null
paruvendu=$(run PARUVENDU)
printf 'ParuVendu run, %6d vehicles: %6.2f s\n' 20000 "$paruvendu"
declare -A seconds
for n in 20000 40000; do
  "$build/bench/listelo_make_stock" --largus "$n" "$sources/ExpDatasLArgus.xml" >/dev/null
  rm -rf "$work/gateway"/*
  seconds[$n]=$(run LARGUS)
  printf "L'Argus run,   %6d vehicles: %6.2f s (%d files at the gateway)\n" "$n" "${seconds[$n]}" \
    "$(find "$work/gateway" -name '*.csv' | wc -l)"
done
printf "L'Argus/ParuVendu at 20000: %.2f (target under 1.5)\n" \
  "$(awk "BEGIN { print ${seconds[20000]} / $paruvendu }")"
printf 'ratio 40000/20000: %.2f (target under 2.2)\n' \
  "$(awk "BEGIN { print ${seconds[40000]} / ${seconds[20000]} }")"
