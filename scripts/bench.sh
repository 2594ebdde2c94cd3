#!/usr/bin/env bash
# Builds and runs the import benchmark and the peer importer's timing helper,
# then prints one table: model, import time, floor ratio, peer ratio, peak
# memory, and the time per frame and per vertex (every time the median of five
# runs); then what mdlhost's --export adds for the medium and large models,
# and the GLB's size with and without normals. Extra arguments go to the
# benchmark (for example --benchmark_repetitions=9). Then the picture alone,
# as a file manager's thumbnailer asks for it, against f3d drawing the GLB.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh bench
scripts/build.sh linux -DMDL_BENCH=ON import_bench mdlhost make_pak >/dev/null

work=build/bench
mkdir -p "$work/models"
# The peer is a 64-bit program of its own, outside the plug-in's build.
g++ -std=c++17 -O2 bench/peer/peer_time.cpp -lassimp -o "$work/peer_time"
cp sample/column.mdl "$work/models/small.mdl"
build/linux/bin/import_bench --write-models "$work/models"
"$work/peer_time" "$work"/models/*.mdl >"$work/peer.txt"
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
# Each benchmark five times, counted by the median: a virtual machine's
# neighbours move single runs by a tenth and more.
build/linux/bin/import_bench --peer "$work/peer.txt" --benchmark_repetitions=5 --benchmark_min_time=0.2 \
  --benchmark_report_aggregates_only=true "$@"

# The export: mdlhost with and without --export, wall time and peak resident
# memory of the whole process; the difference is the export's. Beside them
# the time to read and write the GLB's bytes once (dd), the export's time
# over the import's plus that, and the GLB's size with smooth normals (the
# default) and without (--export-normals none). Last, the time thumbnail.png
# takes (drawn and encoded, in-process, the median of five), which the export
# includes, and its share of the whole conversion (the run with --export);
# and the normals' share of it: what --export-normals none saves, their
# working out and their bytes in the GLB and the OBJ.
echo
printf '%-8s %9s %10s %9s %10s %8s %6s %9s %8s %14s %9s %7s %9s\n' model "import s" "import MB" "export s" \
  "export MB" "write s" ratio "+MB" "GLB MB" "no normals MB" "thumb ms" "thumb %" "normals %"
# The export's times with and without normals are the median of three runs:
# single runs moved the normals' share by a fifth.
median_of_three() {
  for _ in 1 2 3; do
    rm -rf "$1"
    /usr/bin/time -f '%e' build/linux/bin/mdlhost "$work/models/$model.mdl" --export "$@" 2>&1 >/dev/null | tail -n 1
  done | sort -n | sed -n 2p
}
for model in small round medium large; do
  read -r plain_s plain_kb < <(/usr/bin/time -f '%e %M' build/linux/bin/mdlhost "$work/models/$model.mdl" \
    2>&1 >/dev/null | tail -n 1)
  rm -rf "$work/export" "$work/export-flat"
  read -r _ export_kb < <(/usr/bin/time -f '%e %M' build/linux/bin/mdlhost "$work/models/$model.mdl" \
    --export "$work/export" 2>&1 >/dev/null | tail -n 1)
  export_s=$(median_of_three "$work/export")
  read -r write_s < <(/usr/bin/time -f '%e' dd if="$work/export/model.glb" of="$work/copy.glb" bs=1M \
    2>&1 >/dev/null | tail -n 1)
  rm -f "$work/copy.glb"
  flat_s=$(median_of_three "$work/export-flat" --export-normals none)
  glb=$(stat -c %s "$work/export/model.glb")
  flat=$(stat -c %s "$work/export-flat/model.glb")
  thumb_ms=$(build/linux/bin/import_bench --thumbnail "$work/models/$model.mdl")
  awk -v m="$model" -v ps="$plain_s" -v pk="$plain_kb" -v es="$export_s" -v ek="$export_kb" -v ws="$write_s" \
    -v g="$glb" -v f="$flat" -v t="$thumb_ms" -v fs="$flat_s" 'BEGIN {
      printf "%-8s %9.2f %10.1f %9.2f %10.1f %8.2f %6.2f %9.1f %8.1f %14.1f %9.1f %7.1f %9.1f\n", m, ps, pk / 1024, es,
        ek / 1024, ws, es / (ps + ws), (ek - pk) / 1024, g / 1048576, f / 1048576, t, (es > 0 ? t / 10 / es : 0),
        (es > 0 ? (es - fs) / es * 100 : 0) }'
done

# The picture alone, as a file manager's thumbnailer runs it (a fresh
# mdlhost --thumbnail for each, start-up included), against f3d, the viewer
# a user would pick instead, drawing the same model's GLB to a PNG of the
# same size on a virtual display: the median of five runs of each.
echo
displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -f "$displayfile"' EXIT
for _ in $(seq 100); do [ -s "$displayfile" ] && break; sleep 0.1; done
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
seconds() { /usr/bin/time -f '%e' "$@" 2>&1 >/dev/null | tail -n 1; }
printf '%-8s %13s %7s %7s\n' model "thumbnail s" "f3d s" share
for model in small round medium large; do
  rm -rf "$work/picture"
  build/linux/bin/mdlhost "$work/models/$model.mdl" --export "$work/picture" --export-thumbnail 0 >/dev/null
  ours=$(for _ in 1 2 3 4 5; do
    seconds build/linux/bin/mdlhost --thumbnail "$work/picture.png" --thumbnail-size 256 "$work/models/$model.mdl"
  done | median)
  theirs=$(for _ in 1 2 3 4 5; do
    DISPLAY=":$(cat "$displayfile")" seconds f3d "$work/picture/model.glb" --output="$work/f3d.png" \
      --resolution=256,256 --no-background
  done | median)
  awk -v m="$model" -v o="$ours" -v t="$theirs" \
    'BEGIN { printf "%-8s %13.2f %7.2f %7.2f\n", m, o, t, (t > 0 ? o / t : 0) }'
done
kill $xvfb 2>/dev/null || true

# Many models in one run: an archive of the generated models and 20 copies of
# the small one, against the sum of their conversions one run each. Each run
# loads the plug-in once; the difference is what the archive costs. Then
# the archive with --gallery against without.
echo
files=("$work"/models/{small,medium,single-small,single-large}.mdl)
for n in $(seq 20); do
  cp "$work/models/small.mdl" "$work/models/copy$n.mdl"
  files+=("$work/models/copy$n.mdl")
done
build/linux/bin/make_pak "$work/models.pak" "${files[@]}"
rm -rf "$work/one" "$work/many"
start=$(date +%s.%N)
for file in "${files[@]}"; do
  build/linux/bin/mdlhost "$file" --export "$work/one/$(basename "$file" .mdl)" >/dev/null
done
singles=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
rm -f "$work"/models/copy*.mdl
start=$(date +%s.%N)
build/linux/bin/mdlhost "$work/models.pak" --export "$work/many" >/dev/null
archive_s=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
awk -v n="${#files[@]}" -v s="$singles" -v a="$archive_s" \
  'BEGIN { printf "archive of %d models: %.2f s in one run, %.2f s one run each (%.2f)\n", n, a, s, a / s }'

# The same archive with the gallery (the page, each model's GLB as a script,
# the viewer): what --gallery adds to the conversion, best of three each.
# Its input first, then mdlhost's options beside --export.
best_of_three() {
  local input=$1 best="" t
  shift
  for _ in 1 2 3; do
    rm -rf "$work/gallery"
    start=$(date +%s.%N)
    build/linux/bin/mdlhost "$input" --export "$work/gallery" "$@" >/dev/null || true
    t=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
    best=$(awk -v t="$t" -v b="$best" 'BEGIN { print (b == "" || t < b) ? t : b }')
  done
  echo "$best"
}
plain_s=$(best_of_three "$work/models.pak")
gallery_s=$(best_of_three "$work/models.pak" --gallery)
gallery_mb=$(du -sm "$work/gallery/index_files" | cut -f1)
awk -v n="${#files[@]}" -v p="$plain_s" -v g="$gallery_s" -v mb="$gallery_mb" \
  'BEGIN { printf "archive of %d models: %.2f s, %.2f s with --gallery (%+.0f%%, index_files %d MB)\n", n, p, g, (g / p - 1) * 100, mb }'

# What users convert: a folder of 300 models shaped like a game's (most small,
# one frame; see RealShapedModels), with pictures and the gallery, in one run
# at -j 1 and at the default (a job a core); at -j 1 without the gallery and
# without the pictures too, for their shares: the picture's of the
# conversion without the gallery, the gallery's over that conversion. Best
# of three each.
rm -rf "$work/real"
mkdir -p "$work/real"
build/linux/bin/import_bench --write-real "$work/real" 300
one_job_s=$(best_of_three "$work/real" -j 1 --gallery)
every_core_s=$(best_of_three "$work/real" --gallery)
plain_s=$(best_of_three "$work/real" -j 1)
no_picture_s=$(best_of_three "$work/real" -j 1 --export-thumbnail 0)
awk -v j1="$one_job_s" -v jd="$every_core_s" -v n="$(nproc)" -v p="$plain_s" -v np="$no_picture_s" 'BEGIN {
  printf "real-shaped folder of 300 models: %.2f s at -j 1, %.2f s at the default (%d jobs, %.2f of -j 1)\n", j1, jd, n, jd / j1
  printf "  at -j 1: %.2f s without the gallery, %.2f s without pictures: picture %.0f%%, gallery %+.0f%%\n", p, np,
    (p - np) / p * 100, (j1 / p - 1) * 100 }'
# The folder's pictures alone, in-process, each drawn once in turn as the
# conversion draws them (the best of five rounds).
echo "  its pictures in-process, each once in turn: $(build/linux/bin/import_bench --thumbnails "$work/real") ms"
# Memory: the folder run's peak at the default against the largest model's
# conversion alone.
rm -rf "$work/gallery" "$work/largest"
read -r folder_kb < <(/usr/bin/time -f '%M' build/linux/bin/mdlhost "$work/real" --export "$work/gallery" --gallery \
  2>&1 >/dev/null | tail -n 1)
largest=$(ls -S "$work"/real/*.mdl | sed -n 1p)
read -r largest_kb < <(/usr/bin/time -f '%M' build/linux/bin/mdlhost "$largest" --export "$work/largest" \
  2>&1 >/dev/null | tail -n 1)
awk -v f="$folder_kb" -v l="$largest_kb" -v m="$(basename "$largest")" -v n="$(nproc)" 'BEGIN {
  printf "  peak memory: %.1f MB for the folder at %d jobs, %.1f MB for its largest model (%s) alone (%.2f)\n",
    f / 1024, n, l / 1024, m, f / l }'
