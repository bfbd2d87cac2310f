#!/usr/bin/env bash
# Whole headless SitAutoPro runs on generated stocks whose vehicles are spread over the
# dealer's sites, beside a ParuVendu run of the same size: 20,000 vehicles over 1, 10 and
# 50 sites, and 40,000 over 10. Every site has its own section; the gateway is a closed
# loopback port, so each site's upload fails at once. $1: optimised build folder.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sources=$work/c/projects/Quarno/data/Listelo
mkdir -p "$work/c/windows/TEMP" "$sources" "$work/c/projects/Quarno/images"

# The figures are the run's processor time (user + system): the build machine is shared,
# and its elapsed time says more about the other jobs than about this run.
run() {  # target -> "cpu-seconds elapsed-seconds"
  local TIMEFORMAT='%U %S %R' times
  times=$({ time LISTELO_HEADLESS=1 LISTELO_ROOT="$work" Windir='c:\windows' \
    LISTELO_INI="$work/Listelo.ini" "$build/src/listelo" "$1" >/dev/null; } 2>&1)
  awk '{ print $1 + $2, $3 }' <<<"$times"
}

configure() {  # sites
  {
    printf '[Options]\nDebug=0\n[VOImages]\nServeurFTP=127.0.0.1:9\n'
    printf '[PARUVENDU]\nServeurFTP=127.0.0.1:9\nTestFTPVOImages=0\nFlgInfoEquip=1\n'
    for ((s = 1; s <= $1; s++)); do
      printf '[SITAUTOPRO-C%d]\nServeurFTP=127.0.0.1:9\nInfoVille=Ville-%d-sur-Lys\n' \
        $((7000 + s)) "$s"
    done
  } >"$work/Listelo.ini"
}

configure 1
"$build/bench/listelo_make_stock" 20000 "$sources/ExpDatasPARUVENDU.xml" >/dev/null
read -r paruvendu elapsed < <(run PARUVENDU)
printf 'ParuVendu run,   20000 vehicles:           %6.2f s (elapsed %.2f s)\n' "$paruvendu" "$elapsed"

declare -A seconds
for shape in 20000x1 20000x10 20000x50 40000x10; do
  vehicles=${shape%x*}
  sites=${shape#*x}
  configure "$sites"
  "$build/bench/listelo_make_stock" --sitautopro "$sites" "$vehicles" \
    "$sources/ExpDatasSITAUTOPRO.xml" >/dev/null
  rm -f "$work"/c/windows/TEMP/Listelo/*
  read -r "seconds[$shape]" elapsed < <(run SITAUTOPRO)
  printf 'SitAutoPro run, %6d vehicles, %2d sites: %6.2f s (elapsed %.2f s)\n' "$vehicles" "$sites" \
    "${seconds[$shape]}" "$elapsed"
done
ratio() { awk "BEGIN { printf \"%.2f\", $1 / $2 }"; }
echo "SitAutoPro 20000 x 10 sites / ParuVendu 20000: $(ratio "${seconds[20000x10]}" "$paruvendu") (target under 3)"
echo "sites 10/1: $(ratio "${seconds[20000x10]}" "${seconds[20000x1]}"), 50/10: $(ratio "${seconds[20000x50]}" "${seconds[20000x10]}")" \
  "(linear in sites x vehicles at most: 50/10 under 5)"
echo "vehicles 40000/20000 at 10 sites: $(ratio "${seconds[40000x10]}" "${seconds[20000x10]}") (linear: about 2)"
