#!/usr/bin/env bash
# Zip packaging: packs ~200 MB of mixed files (stock text files and incompressible
# JPEG-like photos) with TZip, with `zip -9` and with zlib alone at level 9, so that the
# figures show whether packing is limited by deflate or by our own code.
#   $1: the optimised build folder
set -euo pipefail
build=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/listelo-zip-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/files"

# 100 MB of stock text: 50 files of 2 MB, varied enough that deflate has work to do.
python3 - "$work/files" <<'PY'
import random, sys
rng = random.Random(42)
makes = ["Renault", "Peugeot", "Citroën", "Volkswagen", "Toyota", "Dacia", "Škoda"]
fuels = ["Diesel", "Essence", "Hybride", "Électrique"]
for n in range(50):
    lines, size = [], 0
    while size < 2_000_000:
        line = ";".join([
            f"VO-{rng.randrange(10**6):06d}", rng.choice(makes), f"Modèle {rng.randrange(500)}",
            rng.choice(fuels), f"{rng.randrange(300000)} km", f"{rng.randrange(3000, 90000)} €",
            f"{rng.randrange(1, 29):02d}/{rng.randrange(1, 13):02d}/{rng.randrange(2005, 2027)}",
            "Climatisation, GPS, régulateur de vitesse, jantes alliage " + str(rng.random()),
        ]) + "\r\n"
        lines.append(line)
        size += len(line.encode("cp1252"))
    with open(f"{sys.argv[1]}/Annonces{n:02d}.csv", "w", encoding="cp1252", newline="") as f:
        f.write("".join(lines))
PY
# 100 MB of photos: 100 files of 1 MB, a JPEG header over random (incompressible) data.
for n in $(seq -w 1 100); do
  { printf '\xff\xd8\xff\xe0\x00\x10JFIF\x00'; head -c 1048565 /dev/urandom; } > "$work/files/VO$n-1.jpg"
done

total=$(du -sb "$work/files" | cut -f1)
echo "input:   $(ls "$work/files" | wc -l) files, $((total / 1000000)) MB"

"$build/bench/zip_bench" "$work/files" "$work/tzip.zip"
echo "         archive $(($(stat -c %s "$work/tzip.zip") / 1000)) kB"

TIMEFORMAT=%R
seconds=$( { time (cd "$work/files" && zip -9 -q -j -X "$work/infozip.zip" ./*) ; } 2>&1 )
echo "zip -9:  $seconds s, archive $(($(stat -c %s "$work/infozip.zip") / 1000)) kB"

python3 - "$work/files" <<'PY'
import os, sys, time, zlib
folder = sys.argv[1]
start = time.perf_counter()
total = 0
for name in sorted(os.listdir(folder)):
    with open(os.path.join(folder, name), "rb") as f:
        c = zlib.compressobj(9, zlib.DEFLATED, -15)
        total += len(c.compress(f.read())) + len(c.flush())
print(f"zlib -9: {time.perf_counter() - start:.2f} s (deflate alone, in memory), {total // 1000} kB")
PY
