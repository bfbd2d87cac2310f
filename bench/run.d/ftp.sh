#!/usr/bin/env bash
# Image server synchronisation against a local pyftpdlib server: photos per second.
set -euo pipefail
"$1/bench/ftp_bench"
