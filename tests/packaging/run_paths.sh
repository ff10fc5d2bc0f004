#!/usr/bin/env bash
# Fails when an ELF file below the given folders has an empty run path entry,
# which the loader reads as the current folder.
set -euo pipefail
bad=0 seen=0
while IFS= read -r -d '' f; do
  [ "$(head -c4 "$f" | od -An -c | tr -d ' ')" = '177ELF' ] || continue
  seen=$((seen + 1))
  path=$(readelf -d "$f" 2>/dev/null | sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]/\2/p')
  [ -n "$path" ] || continue
  case ":$path:" in
    *::*) echo "FAILED: $f has an empty run path entry: '$path'"; bad=1 ;;
  esac
done < <(find "$@" -type f -print0)
[ "$seen" -gt 0 ] || { echo "FAILED: no ELF files below $*"; exit 1; }
[ "$bad" = 0 ] && echo "$seen ELF files, no empty run path entries"
exit "$bad"
