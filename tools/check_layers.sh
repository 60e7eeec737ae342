#!/usr/bin/env bash
# Fails when a source file includes a header of a layer above its own. The layers, each
# allowed to include itself and those listed after it:
#   base | board -> base | eval -> board | search -> eval | protocol -> search
#   book -> board | app -> protocol, book
# Usage: tools/check_layers.sh [source root]   (default: src/ of this checkout)
set -euo pipefail
root="${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/src}"

declare -A below=(
  [base]=""
  [board]="base"
  [eval]="board base"
  [search]="eval board base"
  [protocol]="search eval board base"
  [book]="board base"
  [app]="protocol search eval board book base"
)

status=0
while IFS= read -r file; do
  layer="${file#"$root"/}"
  layer="${layer%%/*}"
  if [[ -z "${below[$layer]+set}" ]]; then
    echo "check_layers: $file is in no known layer ($layer)"
    status=1
    continue
  fi
  while IFS= read -r included; do
    target="${included%%/*}"
    [[ "$target" == "$included" ]] && continue  # a header beside it, without a folder
    [[ "$target" == "$layer" ]] && continue
    if [[ " ${below[$layer]} " != *" $target "* ]]; then
      echo "check_layers: $file includes $included: $layer may not reach $target"
      status=1
    fi
  done < <(sed -n -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1/p' "$file")
done < <(find "$root" -type f \( -name '*.h' -o -name '*.cpp' \) | sort)

[[ $status -eq 0 ]] && echo "check_layers: every include points down"
exit $status
