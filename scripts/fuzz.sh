#!/usr/bin/env bash
# Builds the fuzz targets for libFuzzer with clang under address + undefined sanitizers, then runs
# each in turn for SECONDS with its dictionary, one at a time and niced. The corpora they grow and
# the inputs that fail are kept outside the tree, in $QUARNEL_FUZZ_DIR (default
# ~/.cache/quarnel-fuzz), so that the next run goes on from there.
#
# Usage: fuzz.sh [SECONDS] [TARGET...]
#   TARGET: package deckformat deck metafile (the default, all four), or ini hive decode.
# Environment: QUARNEL_FUZZ_DIR, QUARNEL_FUZZ_BUILD (default build-fuzz), QUARNEL_CORPUS (real decks
# whose small files seed the targets at run time; skipped when absent).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(package deckformat deck metafile)
build=${QUARNEL_FUZZ_BUILD:-$root/build-fuzz}
work=${QUARNEL_FUZZ_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/quarnel-fuzz}
corpus=${QUARNEL_CORPUS:-$root/../shared/corpus}
data=$root/tests/data
dicts=$root/tests/fuzz/dicts

# name: program, seed folder, dictionary, extra libFuzzer options
declare -A program=(
  [package]=tests/fuzz_package/fuzz_package [deckformat]=tests/fuzz_deckformat/fuzz_deckformat
  [deck]=tests/fuzz_deck/fuzz_deck [metafile]=tests/fuzz_metafile/fuzz_metafile
  [ini]=tests/fuzz_settings/fuzz_settings_ini [hive]=tests/fuzz_settings/fuzz_settings_hive
  [decode]=tests/imaging/fuzz_imaging_decode)
declare -A seeds=(
  [package]=package/fuzz-seeds [deckformat]=deckformat/fuzz-seeds [deck]=deck/fuzz-seeds
  [metafile]=metafile/fuzz-seeds [ini]=settings/fuzz-seeds/ini [hive]=settings/fuzz-seeds/hive
  [decode]=imaging/fuzz-seeds)
declare -A dict=([package]=package.dict [deckformat]=deckformat.dict [deck]=deck.dict
  [metafile]=metafile.dict)
# Decks are rewritten with stored parts by the deck target's mutator, so they get room to grow.
declare -A options=([package]=-max_len=131072 [deckformat]=-max_len=131072 [deck]=-max_len=196608
  [metafile]=-max_len=65536)

# Extra sanitizer options of a target, appended to ASAN_OPTIONS.
declare -A sanitizer=()

for t in "${targets[@]}"; do
  [ -n "${program[$t]:-}" ] || { echo "fuzz.sh: no target '$t'" >&2; exit 2; }
done

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
fi
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
  -DQUARNEL_LIBFUZZER=ON -DQUARNEL_SANITIZE=ON -DQUARNEL_BUILD_GUI=OFF >/dev/null
build_targets=()
for t in "${targets[@]}"; do build_targets+=("$(basename "${program[$t]}")"); done
nice -n 10 cmake --build "$build" --target "${build_targets[@]}"

# Small files of the real corpus, chosen afresh each run and never copied into the tree.
corpus_seeds() {
  local target=$1 out=$2
  rm -rf "$out" && mkdir -p "$out"
  [ -d "$corpus" ] || return 0
  case $target in
  package | deck)
    find "$corpus" -maxdepth 1 -type f \( -iname '*.pptx' -o -iname '*.pptm' -o -iname '*.ppsx' -o -iname '*.potx' \) \
      -size -100k -exec cp {} "$out/" \; ;;
  deckformat)
    find "$corpus" -maxdepth 1 -type f \( -iname '*.ppt' -o -iname '*.pps' -o -iname '*.pptx' \) -size -128k \
      -exec cp {} "$out/" \; ;;
  metafile)
    /usr/bin/python3 - "$corpus" "$out" <<'EOF'
import hashlib, os, sys, zipfile
corpus, out = sys.argv[1:3]
for name in sorted(os.listdir(corpus)):
    try:
        with zipfile.ZipFile(os.path.join(corpus, name)) as z:
            for info in z.infolist():
                if info.filename.lower().endswith((".emf", ".wmf")) and info.file_size <= 65536:
                    data = z.read(info)
                    ext = os.path.splitext(info.filename)[1].lower()
                    open(os.path.join(out, hashlib.sha1(data).hexdigest() + ext), "wb").write(data)
    except (zipfile.BadZipFile, OSError, RuntimeError, NotImplementedError):
        pass
EOF
    ;;
  esac
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/fuzz/lsan.supp:print_suppressions=0}
failed=0
summary=()
for t in "${targets[@]}"; do
  dir=$work/$t
  mkdir -p "$dir/corpus" "$dir/findings"
  corpus_seeds "$t" "$dir/real"
  args=("$dir/corpus" "$data/${seeds[$t]}" "$dir/real" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048
    -print_final_stats=1 -artifact_prefix="$dir/findings/")
  [ -z "${dict[$t]:-}" ] || args+=(-dict="$dicts/${dict[$t]}")
  [ -z "${options[$t]:-}" ] || args+=("${options[$t]}")
  echo "== $t: ${seconds}s" >&2
  status=0
  started=$SECONDS
  (cd "$dir" && ASAN_OPTIONS="$ASAN_OPTIONS${sanitizer[$t]:+:${sanitizer[$t]}}" \
    nice -n 10 "$build/${program[$t]}" "${args[@]}") >"$dir/last.log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/last.log" | tail -1)
  stats=$(sed -nE 's/^#[0-9]+.*(cov: [0-9]+ ft: [0-9]+).*/\1/p' "$dir/last.log" | tail -1)
  line="$t: ${runs:-?} executions in $((SECONDS - started)) s, ${stats:-no coverage line},"
  line+=" corpus $(find "$dir/corpus" -type f | wc -l) files"
  if [ "$status" -ne 0 ]; then
    failed=1
    line+=", FAILED (exit $status; see $dir/last.log and $dir/findings/)"
  fi
  summary+=("$line")
  echo "$line" >&2
done
printf '%s\n' "${summary[@]}"
exit "$failed"
