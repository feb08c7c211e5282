#!/usr/bin/env bash
# Regenerates fuzz/corpus/pe_version_fuzz from tests/support/PeBuilder.cpp.
set -euo pipefail
cd "$(dirname "$0")/.."
tool=$(mktemp)
trap 'rm -f "$tool"' EXIT
c++ -std=c++20 -O1 -I tests fuzz/make_pe_version_corpus.cpp tests/support/PeBuilder.cpp -o "$tool"
"$tool" fuzz/corpus/pe_version_fuzz
