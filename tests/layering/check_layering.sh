#!/usr/bin/env bash
# Checks the include rules between the layers of the code:
#   app -> dialog folders (devices, config, connect) -> ui -> the Qt-free core
# - a core file (one of varn_core's sources) includes no Qt header and nothing
#   outside the core;
# - ui/ includes only ui/ and the core;
# - no dialog folder includes app/;
# - the appliance simulator includes nothing from src/ (it has its own codec);
# - the command-line tool includes only the core, and no Qt.
# Usage: check_layering.sh SOURCE_ROOT CORE_SOURCES_FILE
# CORE_SOURCES_FILE lists varn_core's sources, one absolute path a line.
set -uo pipefail

root=$1
core_list=$2
src="$root/src"
failures=0

declare -A core=()
while IFS= read -r f; do
    [ -n "$f" ] && core["${f#"$src"/}"]=1
done < <(tr ';' '\n' < "$core_list")

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

check_core_file() {
    local rel=$1 file="$src/$1"
    while IFS=$'\t' read -r line kind path; do
        if [ "$kind" = a ]; then
            is_qt "$path" && fail "src/$rel:$line" "core file includes Qt header <$path>"
        elif [[ $path == ui_* ]]; then
            fail "src/$rel:$line" "core file includes a dialog template \"$path\""
        elif [ -z "${core[$path]:-}" ]; then
            fail "src/$rel:$line" "core file includes \"$path\", which is not in the core"
        fi
    done < <(includes "$file")
}

for rel in "${!core[@]}"; do
    [ -f "$src/$rel" ] && check_core_file "$rel"
done

while IFS= read -r file; do
    rel=${file#"$src"/}
    [ -n "${core[$rel]:-}" ] && continue
    folder=${rel%%/*}
    while IFS=$'\t' read -r line kind path; do
        [ "$kind" = q ] || continue
        case $folder in
        ui)
            if [[ $path == */* && $path != ui/* && -z "${core[$path]:-}" ]]; then
                fail "src/$rel:$line" "ui/ includes \"$path\" (only ui/ and the core)"
            fi
            ;;
        devices | config | connect)
            [[ $path == app/* ]] && fail "src/$rel:$line" "a dialog folder includes \"$path\""
            ;;
        esac
    done < <(includes "$file")
done < <(find "$src" -name '*.h' -o -name '*.cpp' | sort)

while IFS= read -r file; do
    while IFS=$'\t' read -r line kind path; do
        if [[ $path =~ ^(link|config|devices|connect|ui|app)/ || $path == *src/* ]]; then
            fail "${file#"$root"/}:$line" "the simulator includes the utility's \"$path\""
        fi
    done < <(includes "$file")
done < <(find "$root/tools/appliance-sim" -name '*.h' -o -name '*.cpp' | sort)

if [ -d "$root/tools/varnctl" ]; then
    while IFS= read -r file; do
        while IFS=$'\t' read -r line kind path; do
            if [ "$kind" = a ]; then
                is_qt "$path" && fail "${file#"$root"/}:$line" "varnctl includes Qt <$path>"
            elif [[ $path == */* && -z "${core[$path]:-}" ]]; then
                fail "${file#"$root"/}:$line" "varnctl includes \"$path\", which is not in the core"
            fi
        done < <(includes "$file")
    done < <(find "$root/tools/varnctl" -name '*.h' -o -name '*.cpp' | sort)
fi

if [ "$failures" -gt 0 ]; then
    echo "layering: $failures include(s) break the layers"
    exit 1
fi
echo "layering: ${#core[@]} core files and every folder keep their includes"
