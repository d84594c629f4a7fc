#!/usr/bin/env bash
# Every path README.md names exists: a path in the checkout (src/, scripts/,
# docs/, ...) in the source tree, a build/default/ path in the build tree this
# test belongs to, which ctest runs after the default build. Paths under other
# build directories (build/package, which cpack makes) are not checked.
#   check_readme_paths.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$1
bin=$2

missing=0
while read -r path; do
  path=${path%.} # a sentence's full stop
  case $path in
    build/default | build/default/) file=$bin ;;
    build/default/*) file=$bin/${path#build/default/} ;;
    build/*) continue ;;
    *) file=$src/$path ;;
  esac
  if [ ! -e "$file" ]; then
    echo "README.md names $path, but there is no $file" >&2
    missing=1
  fi
done < <(grep -oE '[A-Za-z0-9_.-]+(/[A-Za-z0-9_.-]*)+' "$src/README.md" |
  grep -E '^(build|src|scripts|tools|tests|bench|docs|packaging|fuzz|res|man)/' | sort -u)

if [ "$missing" -eq 0 ]; then
  echo "README.md: every path exists"
fi
exit "$missing"
