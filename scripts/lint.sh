#!/usr/bin/env bash
# Static checks; exits non-zero when anything is found.
#  1. clang-format --dry-run on every tracked .cpp/.h (style: .clang-format);
#  2. the project's own rules: connections by function pointer, no `using` in
#     headers, `#pragma once` in every header, and no file under src/core/ that
#     includes one under src/ui/ or a Qt Widgets header;
#  3. clang-tidy (checks: .clang-tidy) on the sources of src/, app/, sim/,
#     tests/ (and fuzz/ when build-fuzz/ exists), with the normal build's
#     compile_commands.json, two files at a time.
#   scripts/lint.sh [--no-tidy]
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source scripts/deps.sh

krm_install clang-format
tidy=1
[ "${1:-}" = "--no-tidy" ] && tidy=0

out=build/lint
mkdir -p "$out"
format_count=0
rules_count=0
tidy_count=0

mapfile -t sources < <(git ls-files '*.cpp' '*.h')

# 1. Format.
echo "== clang-format (${#sources[@]} files)"
: >"$out/format.txt"
for f in "${sources[@]}"; do
    [ -f "$f" ] || continue
    if ! clang-format --dry-run -Werror "$f" >/dev/null 2>&1; then
        n=$(clang-format --dry-run "$f" 2>&1 | grep -c 'warning:')
        echo "$f: $n places differ from .clang-format" >>"$out/format.txt"
        format_count=$((format_count + 1))
    fi
done
cat "$out/format.txt"
echo "clang-format: $format_count files to reformat (clang-format -i FILE)"

# 2. Project rules that no tool checks.
echo "== project rules"
: >"$out/rules.txt"
for f in "${sources[@]}"; do
    [ -f "$f" ] || continue
    grep -nE '\b(SIGNAL|SLOT)[[:space:]]*\(' "$f" | sed "s|^|$f:|; s|$|  [connect by function pointer]|" >>"$out/rules.txt"
    case "$f" in
    *.h)
        grep -qE '^[[:space:]]*#[[:space:]]*pragma[[:space:]]+once' "$f" \
            || echo "$f:1: header without #pragma once" >>"$out/rules.txt"
        grep -nE '^[[:space:]]*using[[:space:]]+(namespace[[:space:]]|[A-Za-z_:]+::[A-Za-z_]+[[:space:]]*;)' "$f" \
            | sed "s|^|$f:|; s|$|  [no using in headers]|" >>"$out/rules.txt"
        ;;
    esac
done
# The core never reaches up into the windows: no file under src/core/ includes
# one under src/ui/, a Qt Widgets or Print Support header (every name those
# modules install, read from Qt's own include folder).
qt_inc=$(qmake6 -query QT_INSTALL_HEADERS 2>/dev/null || echo /usr/include/x86_64-linux-gnu/qt6)
widget_headers=$( (ls "$qt_inc/QtWidgets" "$qt_inc/QtPrintSupport" 2>/dev/null; echo QtWidgets; echo QtPrintSupport) \
    | grep -E '^Q[A-Za-z0-9_]*$' | sort -u | paste -sd'|')
for f in "${sources[@]}"; do
    case "$f" in src/core/*) ;; *) continue ;; esac
    [ -f "$f" ] || continue
    grep -nE "^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"](ui/|(QtWidgets|QtPrintSupport)/|(${widget_headers})[>\"])" "$f" \
        | sed "s|^|$f:|; s|$|  [the core includes no window]|" >>"$out/rules.txt"
done
rules_count=$(wc -l <"$out/rules.txt")
cat "$out/rules.txt"
echo "project rules: $rules_count findings"

# 3. clang-tidy.
if [ "$tidy" -eq 1 ]; then
    echo "== clang-tidy"
    krm_install clang-tidy
    # The sources include moc output, so the normal build must exist.
    krm_build build >/dev/null || { echo "lint: the build failed; clang-tidy needs it" >&2; exit 1; }
    list_sources() { # compile_commands.json -> project sources (no generated files)
        python3 - "$1" "$root" <<'PY'
import json, sys
db, root = sys.argv[1], sys.argv[2]
seen = set()
for e in json.load(open(db)):
    f = e["file"]
    rel = f[len(root) + 1:] if f.startswith(root + "/") else None
    if rel and rel.split("/")[0] in ("src", "app", "sim", "tests", "fuzz") and "_autogen" not in rel and f not in seen:
        seen.add(f)
        print(f)
PY
    }
    : >"$out/tidy.raw"
    list_sources build/compile_commands.json >"$out/tidy-files.txt"
    echo "$(wc -l <"$out/tidy-files.txt") files"
    xargs -a "$out/tidy-files.txt" -P2 -n1 clang-tidy -p build --quiet >>"$out/tidy.raw" 2>/dev/null
    if [ -f build-fuzz/compile_commands.json ]; then
        list_sources build-fuzz/compile_commands.json | grep "/fuzz/" >"$out/tidy-fuzz.txt"
        xargs -a "$out/tidy-fuzz.txt" -P2 -n1 clang-tidy -p build-fuzz --quiet >>"$out/tidy.raw" 2>/dev/null
    fi
    # A header seen from several files is reported once; diagnostics that end
    # in Qt's or the system's headers are not ours to fix.
    grep -E '^/[^:]+:[0-9]+:[0-9]+: (warning|error):' "$out/tidy.raw" \
        | grep "^$root/" | grep -v "^$root/build" | sed "s|^$root/||" | sort -u >"$out/tidy.txt"
    tidy_count=$(wc -l <"$out/tidy.txt")
    cat "$out/tidy.txt"
    echo "clang-tidy: $tidy_count findings (full output: $out/tidy.raw)"
fi

total=$((format_count + rules_count + tidy_count))
echo "lint: $total findings ($format_count files to format, $rules_count rule findings, $tidy_count clang-tidy findings)"
[ "$total" -eq 0 ]
