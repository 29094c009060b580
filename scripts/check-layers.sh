#!/usr/bin/env bash
# Checks that every folder includes only folders below it. The engine's
# folders, bottom up, then the two front ends, which stand side by side on top;
# tests/ and bench/ may include anything. Exits non-zero on an include that
# points upward or sideways, naming the file and the line.
set -euo pipefail
cd "$(dirname "$0")/.."

layers=(files records messages text index themes engine)
rank_of() {
  local folder=$1 i
  for i in "${!layers[@]}"; do
    [ "${layers[$i]}" = "$folder" ] && { echo "$i"; return; }
  done
  case $folder in
    app | batch) echo 100 ;;
    *) echo -1 ;;
  esac
}

bad=0
for folder in "${layers[@]}" app batch; do
  own=$(rank_of "$folder")
  while IFS=: read -r file line text; do
    target=$(sed -E 's/^#include "([a-z_]+)\/.*/\1/' <<<"$text")
    [ "$target" = "$folder" ] && continue
    theirs=$(rank_of "$target")
    if [ "$theirs" -lt 0 ] || [ "$theirs" -ge "$own" ]; then
      echo "$file:$line: $folder/ may not include $target/: $text"
      bad=1
    fi
  done < <(grep -n -E '^#include "[a-z_]+/' "$folder"/*.cc "$folder"/*.h 2>/dev/null || true)
done

too_long=$(git ls-files '*.cc' '*.h' | xargs wc -l | awk '$2 != "total" && $1 > 450 { print $2 " has " $1 " lines" }')
if [ -n "$too_long" ]; then
  echo "$too_long (a file holds at most 450 lines)"
  bad=1
fi

if [ "$bad" -ne 0 ]; then
  echo "check-layers: failed (order, bottom up: ${layers[*]}, then app and batch)" >&2
  exit 1
fi
echo "check-layers: every include points down (${layers[*]}, then app and batch)"
