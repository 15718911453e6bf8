#!/usr/bin/env bash
# Prints a report through the engine to a real CUPS queue backed by cups-pdf, then checks what came out:
# the job id against the scheduler's, page count and page size (pdfinfo), and each printed page's pixels
# against the page of the same report exported directly that it should show.
# usage: cups_print_test.sh [options, below] PRINT_REPORT_EXE TEMPLATE REQUEST.json
# Scheduler and queue come from tests/support/cups_setup.sh and stay for the next test. Exit 77 = skipped.
set -uo pipefail

landscape=""; template_printer=""; expect=""; duplex=""
report_args=()
while [[ "${1:-}" == --* ]]; do
    case "$1" in
        --landscape) landscape=1 ;;               # a copy of the template turned to landscape
        --template-printer) template_printer=1 ;; # the queue named in a copy of the template, not passed
        --copies|--pages) report_args+=("$1" "$2"); shift ;; # N copies / only the pages R ("2-3")
        --viewer) report_args+=("$1") ;;          # print from the preview, answering its print dialog
        --duplex) report_args+=("$1"); duplex=duplex ;; # with --viewer: long-edge, on a queue that offers it
        --expect) expect="$2"; shift ;; # "P1 P2 ...": the direct pages printed, in order (default: each once)
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
    shift
done
exe="$1"; template="$2"; request="$3"
queue="${VX_CUPS_QUEUE:-VXPDF}"
[[ -n "$duplex" ]] && queue="${queue}_DUPLEX"
title="vxprint-$$-$(date +%s)"
work="$(mktemp -d /tmp/vx-cups-XXXXXX)"

log() { echo "cups_print_test: $*"; }
fail() { log "FAIL: $*"; exit 1; }
below() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }

trap '[[ -n "${outdir:-}" ]] && rm -f "$outdir"/"$title"*.pdf; [[ -n "${VX_KEEP:-}" ]] && log "kept $work" || rm -rf "$work"' EXIT

for tool in pdfinfo pdftoppm compare identify convert; do
    command -v "$tool" >/dev/null || { log "skipped: $tool missing"; exit 77; }
done
setup_out="$("$(dirname "$0")/../../support/cups_setup.sh" "$queue" $duplex)"
case $? in
    0) outdir="${VX_CUPS_PDF_DIR:-$(tail -n1 <<<"$setup_out")}" ;;
    77) log "skipped: CUPS cannot be set up here"; exit 77 ;;
    *) fail "CUPS setup failed" ;;
esac

# Variants work on a copy of the template.
if [[ -n "$landscape$template_printer" ]]; then
    copy="$work/$(basename "$template")"
    /usr/bin/python3 - "$template" "$copy" "$queue" "$landscape" "$template_printer" <<'PY' || fail "cannot edit the template copy"
import json, sys
src, dst, queue, landscape, template_printer = sys.argv[1:]
t = json.load(open(src, encoding="utf-8"))
if landscape: t.setdefault("page", {})["orientation"] = "landscape"
if template_printer: t["printer"] = queue
json.dump(t, open(dst, "w", encoding="utf-8"), ensure_ascii=False)
PY
    template="$copy"
fi
printer_args=(--printer "$queue")
[[ -z "$template_printer" ]] || printer_args=()

# 1. Unknown printer: refused with a reason, nothing queued.
"$exe" --printer "NoSuchPrinter-$$" --title "$title-x" "$template" "$request" >"$work/unknown.txt" 2>&1 &&
    fail "printing to an unknown printer reported success"
grep -q "NoSuchPrinter-$$" "$work/unknown.txt" || fail "error does not name the printer: $(cat "$work/unknown.txt")"

# 2. The real job, plus the same report exported straight to PDF for comparison.
"$exe" "${printer_args[@]}" "${report_args[@]}" --title "$title" --pdf "$work/direct.pdf" \
    "$template" "$request" >"$work/print.txt" 2>&1 || fail "print_report failed: $(cat "$work/print.txt")"
job="$(sed -n 's/^job \([0-9]*\)$/\1/p' "$work/print.txt")"
[[ -n "$job" ]] || fail "no job id reported: $(cat "$work/print.txt")"

# cups-pdf writes the file then finishes the job: wait until the queue is empty too.
for _ in $(seq 600); do
    printed="$(ls "$outdir"/"$title"*.pdf 2>/dev/null | head -n1)"
    [[ -n "$printed" && -z "$(lpstat -o "$queue" 2>/dev/null)" ]] && break
    sleep 0.1
done
[[ -n "$printed" ]] || fail "no job output in $outdir after 60 s (lpstat: $(lpstat -o "$queue" 2>&1))"
log "job $job landed as $printed"
cp "$printed" "$work/printed.pdf"

# The id reported is the scheduler's: lpstat lists the finished job as QUEUE-ID with our title's file.
lpstat -W completed -o "$queue" | grep -q "^$queue-$job " || fail "lpstat knows no completed job $queue-$job"
[[ "$printed" == *"job_$job.pdf" ]] || fail "job $job printed as $printed"
if [[ -n "$duplex" ]]; then
    # The job's attributes as the scheduler keeps them (written just after the job): duplex reached CUPS.
    control="/var/spool/cups/c$(printf %05d "$job")"
    for _ in $(seq 300); do [[ -f "$control" ]] && break; sleep 0.1; done
    strings "$control" 2>/dev/null | grep -q two-sided-long-edge || fail "job $job was not sent two-sided"
fi

info() { pdfinfo "$1" 2>/dev/null | sed -n "s/^$2: *//p"; }
direct_pages="$(info "$work/direct.pdf" Pages)"
printed_pages="$(info "$printed" Pages)"
[[ "$direct_pages" -ge 1 ]] || fail "direct export has no pages"
[[ -n "$expect" ]] || expect="$(seq -s ' ' 1 "$direct_pages")"
read -r -a expected <<<"$expect"
[[ "$printed_pages" == "${#expected[@]}" ]] || fail "printed $printed_pages pages, expected ${#expected[@]} ($expect)"

# Page size in points, within a point (cups-pdf rounds the media box). A landscape job may come out
# as the printer feeds paper: a portrait sheet with the content turned a quarter, which is right.
read -r dw dh < <(info "$work/direct.pdf" "Page size" | awk '{print $1, $3}')
read -r pw ph < <(info "$printed" "Page size" | awk '{print $1, $3}')
same_size() { awk -v a="$1" -v b="$2" -v c="$3" -v d="$4" 'BEGIN { exit !((a-b)^2 < 1.5 && (c-d)^2 < 1.5) }'; }
turn=""
if ! same_size "$dw" "$pw" "$dh" "$ph"; then
    [[ -n "$landscape" ]] && same_size "$dw" "$ph" "$dh" "$pw" ||
        fail "page size differs: printed ${pw}x${ph} pt, direct ${dw}x${dh} pt"
    turn=1
fi
[[ -z "$landscape" ]] || below "$dh" "$dw" || fail "landscape report exported as ${dw}x${dh} pt"
log "$printed_pages pages of ${pw}x${ph} pt${turn:+ (landscape content turned onto portrait paper)}: $expect"

# Pixels: each printed page against the direct pages at 40 dpi, grey. Ghostscript re-renders the
# glyphs a little heavier (normalised RMSE about 0.12 on a dense page), while a page with other content
# in the same layout scores 0.30 and more; so a printed page must stay below 0.2 and match the direct
# page it should show better than any other one (pages in order, none lost or repeated).
pdftoppm -r 40 -gray "$work/direct.pdf" "$work/d" 2>/dev/null
pdftoppm -r 40 -gray "$printed" "$work/p" 2>/dev/null
# The top of a turned landscape page lies along the sheet's left edge: turn it back clockwise.
[[ -z "$turn" ]] || for p in "$work"/p-*.pgm; do convert "$p" -rotate 90 "$p" || fail "cannot turn ${p##*/}"; done
rmse() { compare -metric RMSE "$1" "$2" null: 2>&1 | sed -n 's/.*(\([0-9.e-]*\)).*/\1/p'; }
directs=("$work"/d-*.pgm)
printeds=("$work"/p-*.pgm)
for i in "${!expected[@]}"; do
    d="${directs[$((expected[i] - 1))]}"
    p="${printeds[$i]}"
    own="$(rmse "$d" "$p")"
    [[ -n "$own" ]] || fail "compare failed on ${p##*/}"
    below "$own" 0.2 || fail "printed page $((i + 1)) differs from page ${expected[i]}: normalised RMSE $own"
    for other in "${directs[@]:0:6}"; do
        [[ "$other" == "$d" ]] && continue
        e="$(rmse "$other" "$p")"
        below "$own" "$e" || fail "printed page $((i + 1)) looks more like ${other##*/} ($e) than page ${expected[i]} ($own)"
    done
    log "printed page $((i + 1)) = page ${expected[i]}: RMSE $own"
done

# A blank page would match a blank page: make sure the direct pages carry ink.
mean="$(identify -format '%[fx:mean] ' "$work"/d-*.pgm 2>/dev/null | awk '{s=0; for(i=1;i<=NF;i++) s+=$i; print s/NF}')"
below "$mean" 0.995 || fail "direct export looks blank (mean $mean)"

log "PASS"
