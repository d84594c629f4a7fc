#!/usr/bin/env bash
# Checks what the compiler cannot about the layers of the code. The compiler
# keeps the main rule: varn_core's only include root is src/core and it links
# no Qt, so a core file that names a widget header or Qt does not build. This
# script keeps the rest:
# - every source of varn_core lies in src/core, and a core file reaches nothing
#   outside src/core, not even by a relative path;
# - gui files include the core by its own root, never as "core/...";
# - gui/common includes only gui/common and the core;
# - no dialog folder of gui/ includes gui/app;
# - the appliance simulator includes nothing from src/ (it has its own codec);
# - the command-line tool includes only the core, and no Qt;
# - the port helper, the one program with a capability, includes system
#   headers only: neither Qt nor anything of the project's.
# Usage: check_layering.sh SOURCE_ROOT CORE_SOURCES_FILE CORE_DIR
# CORE_SOURCES_FILE lists varn_core's sources, one a line, relative to CORE_DIR
# (the folder of varn_core's CMakeLists) unless absolute.
set -uo pipefail

root=$(realpath "$1")
core_list=$2
core_dir=$3
src="$root/src"
failures=0

fail() {
    echo "$1: $2"
    failures=$((failures + 1))
}

# Prints "line<TAB>kind<TAB>path" for each #include of a file; kind is q or a.
includes() {
    grep -n '^[[:space:]]*#[[:space:]]*include' "$1" |
        sed -n 's/^\([0-9]*\):[[:space:]]*#[[:space:]]*include[[:space:]]*\(["<]\)\([^">]*\)[">].*/\1\t\2\t\3/p' |
        sed 's/\t"\t/\tq\t/; s/\t<\t/\ta\t/'
}

is_qt() {
    [[ $1 =~ ^Q[A-Za-z]*(/|$) || $1 =~ ^Qt ]]
}

sources() {
    find "$1" \( -name '*.h' -o -name '*.cpp' -o -name '*.c' \) | sort
}

while IFS= read -r f; do
    [ -n "$f" ] || continue
    [[ $f == /* ]] || f="$core_dir/$f"
    f=$(realpath -m "$f")
    [[ $f == "$src/core/"* ]] || fail "${f#"$root"/}" "a source of varn_core outside src/core"
done < <(tr ';' '\n' <"$core_list")

# Core headers are named from src/core; this one must exist there.
in_core() {
    [ -f "$src/core/$1" ]
}

while IFS= read -r file; do
    rel=${file#"$root"/}
    while IFS=$'\t' read -r line kind path; do
        if [ "$kind" = a ]; then
            is_qt "$path" && fail "$rel:$line" "core file includes Qt header <$path>"
        elif [[ $path == ../* || $path == */../* ]]; then
            # Relative to the file itself: it must stay inside the core.
            resolved=$(realpath -m "$(dirname "$file")/$path")
            [[ $resolved == "$src/core/"* ]] ||
                fail "$rel:$line" "core file reaches \"$path\" outside the core"
        elif [[ $path == */* ]] && ! in_core "$path" && [ ! -f "$(dirname "$file")/$path" ]; then
            fail "$rel:$line" "core file includes \"$path\", which is not in the core"
        fi
    done < <(includes "$file")
done < <(sources "$src/core")

while IFS= read -r file; do
    rel=${file#"$root"/}
    folder=${rel#src/gui/}
    folder=${folder%%/*}
    while IFS=$'\t' read -r line kind path; do
        [ "$kind" = q ] || continue
        [[ $path == core/* ]] && fail "$rel:$line" "gui includes \"$path\" (the core is named from its own root)"
        case $folder in
        common)
            if [[ $path == gui/* && $path != gui/common/* ]]; then
                fail "$rel:$line" "gui/common includes \"$path\" (only gui/common and the core)"
            fi
            ;;
        devices | config | selftest)
            [[ $path == gui/app/* ]] && fail "$rel:$line" "a dialog folder includes \"$path\""
            ;;
        esac
    done < <(includes "$file")
done < <(sources "$src/gui")

while IFS= read -r file; do
    while IFS=$'\t' read -r line kind path; do
        [ "$kind" = q ] || continue
        if [[ $path == gui/* || $path == *src/* ]] || in_core "$path"; then
            fail "${file#"$root"/}:$line" "the simulator includes the utility's \"$path\""
        fi
    done < <(includes "$file")
done < <(sources "$root/tools/appliance-sim")

if [ -d "$root/tools/varnctl" ]; then
    while IFS= read -r file; do
        while IFS=$'\t' read -r line kind path; do
            if [ "$kind" = a ]; then
                is_qt "$path" && fail "${file#"$root"/}:$line" "varnctl includes Qt <$path>"
            elif [[ $path == */* ]] && ! in_core "$path"; then
                fail "${file#"$root"/}:$line" "varnctl includes \"$path\", which is not in the core"
            fi
        done < <(includes "$file")
    done < <(sources "$root/tools/varnctl")
fi

while IFS= read -r file; do
    while IFS=$'\t' read -r line kind path; do
        if [ "$kind" = q ] || is_qt "$path"; then
            fail "${file#"$root"/}:$line" "the port helper includes \"$path\" (system headers only)"
        fi
    done < <(includes "$file")
done < <(sources "$root/tools/port-helper")

if [ "$failures" -gt 0 ]; then
    echo "layering: $failures include(s) break the layers"
    exit 1
fi
echo "layering: src/core, src/gui, the simulator, varnctl and the port helper keep their includes"
