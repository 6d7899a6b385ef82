#!/usr/bin/env bash
# Starts cupsd when it is not running and makes a cups-pdf queue the default printer.
set -uo pipefail
command -v cupsd >/dev/null || exit 0
if ! lpstat -r 2>/dev/null | grep -q 'is running'; then
  mkdir -p /run/cups
  cupsd || true
  for _ in $(seq 1 50); do
    lpstat -r 2>/dev/null | grep -q 'is running' && break
    sleep 0.2
  done
fi
if ! lpstat -p Quillmarsh-PDF >/dev/null 2>&1; then
  ppd=$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF/ {print $1; exit}')
  lpadmin -p Quillmarsh-PDF -E -v cups-pdf:/ ${ppd:+-m "$ppd"} -o PageSize=A4 || true
fi
lpadmin -d Quillmarsh-PDF >/dev/null 2>&1 || true
cupsenable Quillmarsh-PDF >/dev/null 2>&1 || true
cupsaccept Quillmarsh-PDF >/dev/null 2>&1 || true
exit 0
