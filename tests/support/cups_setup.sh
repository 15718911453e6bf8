#!/usr/bin/env bash
# Makes sure a CUPS scheduler runs and a PDF queue (cups-pdf) accepts jobs; prints the folder where
# the queue's output lands. Leaves both in place for the next test.
# usage: cups_setup.sh [QUEUE [duplex]]   (default VXPDF)   exit 77: cannot be set up here (skip)
#   duplex: the queue offers two-sided printing (cups-pdf itself ignores it), for print dialogs and
#   job options that need a duplex printer.
set -uo pipefail

queue="${1:-VXPDF}"
duplex="${2:-}"
ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd

skip() { echo "cups_setup: skipped: $*" >&2; exit 77; }

[[ $(id -u) -eq 0 ]] || skip "needs root (cupsd, lpadmin; cups-pdf writes to root's ~/PDF)"
for tool in cupsd lpadmin lpstat cupsenable cupsaccept; do
    command -v "$tool" >/dev/null || skip "$tool missing"
done
[[ -f "$ppd" ]] || skip "printer-driver-cups-pdf missing"

running() { lpstat -r 2>/dev/null | grep -q "is running"; }
if ! running; then
    cupsd || skip "cupsd did not start"
    for _ in $(seq 100); do running && break; sleep 0.1; done
    running || skip "cupsd did not start"
fi

if ! lpstat -p "$queue" >/dev/null 2>&1; then
    queue_ppd="$ppd"
    if [[ -n "$duplex" ]]; then
        queue_ppd="$(mktemp /tmp/vx-duplex-XXXXXX.ppd)"
        { cat "$ppd"; cat <<'PPD'
*OpenUI *Duplex/2-Sided Printing: PickOne
*OrderDependency: 10 AnySetup *Duplex
*DefaultDuplex: None
*Duplex None/Off: "<</Duplex false>>setpagedevice"
*Duplex DuplexNoTumble/Long Edge: "<</Duplex true/Tumble false>>setpagedevice"
*Duplex DuplexTumble/Short Edge: "<</Duplex true/Tumble true>>setpagedevice"
*CloseUI: *Duplex
PPD
        } >"$queue_ppd"
    fi
    lpadmin -p "$queue" -E -v cups-pdf:/ -P "$queue_ppd" || { echo "cups_setup: lpadmin failed" >&2; exit 1; }
    [[ "$queue_ppd" == "$ppd" ]] || rm -f "$queue_ppd"
fi
cupsenable "$queue" && cupsaccept "$queue" || { echo "cups_setup: cannot enable $queue" >&2; exit 1; }

# cups-pdf: "Out ${HOME}/PDF" for the job's owner; jobs from root land in /root/PDF.
out="$(sed -n 's/^Out[[:space:]]\+//p' /etc/cups/cups-pdf.conf 2>/dev/null | tail -n1)"
home_ref='${HOME}'
[[ -n "$out" ]] || out="$home_ref/PDF"
echo "${out/"$home_ref"/$HOME}"
