#!/usr/bin/env bash
# Span removal and case-insensitive replace-all over serialised stock of 2,000 and
# 20,000 vehicles. $1: the optimised build folder.
set -euo pipefail
"$1/bench/transforms_bench"
