#!/usr/bin/env bash
# Starts cupsd when it is not running and makes a cups-pdf queue the default printer.
#
# The queue behaves like an office laser printer: its A4 page has unprintable margins
# (6 pt left, 18 pt top, 12 pt right, 24 pt bottom), so a print that ignored the printable
# area would land in the wrong place. It writes its PDFs, one folder per user, under
# /var/spool/quillmarsh-pdf (its own cups-pdf instance, the system's PDF queue is left
# alone); the printing tests read them back from there.
set -uo pipefail
command -v cupsd >/dev/null || exit 0

queue=Quillmarsh-PDF
instance=quillmarsh
output=/var/spool/quillmarsh-pdf
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

if ! lpstat -r 2>/dev/null | grep -q 'is running'; then
  $SUDO mkdir -p /run/cups
  $SUDO cupsd || true
  for _ in $(seq 1 50); do
    lpstat -r 2>/dev/null | grep -q 'is running' && break
    sleep 0.2
  done
fi

$SUDO mkdir -p "$output"
$SUDO chmod 1777 "$output"
$SUDO tee /etc/cups/cups-pdf-$instance.conf >/dev/null <<EOF
Out $output/\${USER}
AnonDirName $output/ANONYMOUS
Grp lpadmin
DecodeHexStrings 1
EOF

ppd_source=""
for p in /usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd; do
  [ -f "$p" ] && { ppd_source=$p; break; }
done
if [ -n "$ppd_source" ]; then
  ppd=$(mktemp --suffix=.ppd)
  sed 's|^\*ImageableArea A4/A4: .*|*ImageableArea A4/A4: "6 24 583 824"|' "$ppd_source" >"$ppd"
  $SUDO lpadmin -p "$queue" -E -v "cups-pdf:/$instance" -P "$ppd" -o PageSize=A4 2>/dev/null || true
  rm -f "$ppd"
else
  $SUDO lpadmin -p "$queue" -E -v "cups-pdf:/$instance" -o PageSize=A4 2>/dev/null || true
fi
$SUDO lpadmin -d "$queue" >/dev/null 2>&1 || true
$SUDO cupsenable "$queue" >/dev/null 2>&1 || true
$SUDO cupsaccept "$queue" >/dev/null 2>&1 || true
exit 0
