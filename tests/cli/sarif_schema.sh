#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Fetches the SARIF 2.1.0 schema that scan --sarif is checked against: the
# one npm's @microsoft/sarif-multitool-linux 5.7.0 (MIT) ships, the package
# pinned by its SHA-512. Usage: sarif_schema.sh FOLDER (kept there once had).
set -euo pipefail
out=$1
[ -f "$out/sarif-2.1.0.json" ] && exit 0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && npm pack --silent @microsoft/sarif-multitool-linux@5.7.0 >/dev/null)
echo "37151ba6ae884825a84d0fcd7ce604c040caab51de91afeb3282794792ccc9d7006505ff5fb8399961dc8310ee6fed0cd3b2c2f7ab59e4b647bc5d50cb78234c  $work/microsoft-sarif-multitool-linux-5.7.0.tgz" | sha512sum --check --quiet
tar -xzf "$work/microsoft-sarif-multitool-linux-5.7.0.tgz" -C "$work" package/sarif-2.1.0.json
mkdir -p "$out"
mv "$work/package/sarif-2.1.0.json" "$out/"
