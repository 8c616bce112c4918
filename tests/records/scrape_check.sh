#!/usr/bin/env bash
# Serves a folder of metrics files through the real node exporter's textfile collector (on
# 127.0.0.1 only, a free port, stopped at the end whatever happens), scrapes it with curl and
# checks that the collector took every file and serves the readings; promtool checks the files.
# usage: scrape_check.sh FOLDER-OR-FILE EXPECTED-LINE...   (a file is served alone)
set -euo pipefail
folder=$1
shift
scratch=""
if [ -f "$folder" ]; then
  scratch=$(mktemp -d)
  cp "$folder" "$scratch/vigilon.prom"
  folder=$scratch
fi
for file in "$folder"/*.prom; do
  promtool check metrics <"$file" || { echo "promtool rejects $file" >&2; exit 1; }
done
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
prometheus-node-exporter --web.listen-address="127.0.0.1:$port" --collector.disable-defaults \
  --collector.textfile --collector.textfile.directory="$folder" >/dev/null 2>&1 &
exporter=$!
trap 'kill "$exporter" 2>/dev/null; wait "$exporter" 2>/dev/null || true; [ -z "$scratch" ] || rm -rf "$scratch"' EXIT
scraped=""
for _ in $(seq 100); do
  scraped=$(curl -sf "http://127.0.0.1:$port/metrics") && break
  sleep 0.1
done
[ -n "$scraped" ] || { echo "node exporter did not answer on 127.0.0.1:$port" >&2; exit 1; }
grep -qx 'node_textfile_scrape_error 0' <<<"$scraped" ||
  { grep '^node_textfile' <<<"$scraped" >&2; echo "the textfile collector failed" >&2; exit 1; }
for line in "$@"; do
  grep -qxF "$line" <<<"$scraped" || { echo "node exporter does not serve: $line" >&2; exit 1; }
done
echo "node exporter serves $(grep -c '^vigilon_' <<<"$scraped") vigilon samples; promtool accepts"
