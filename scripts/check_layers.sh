#!/usr/bin/env bash
# Checks docs/architecture.md's "Who may include whom" on src/: each layer includes only the folders
# listed for it below. Prints every include that breaks the rule and fails if there is one.
#   scripts/check_layers.sh [source root, default src]
set -euo pipefail
cd "$(dirname "$0")/.."
root=${1:-src}

# layer folder -> the folders (as include paths) its files may name, its own included
declare -A allowed=(
  [res]="res"
  [platform/compat]="platform/compat"
  [framework]="framework res platform/compat"
  [joystick]="joystick platform/compat"
  [app]="app dialog framework joystick res"
  [dialog]="app dialog framework joystick res"
  [cleaner]="app dialog framework joystick res"
)

status=0
for layer in "${!allowed[@]}"; do
  [ -d "$root/$layer" ] || continue
  while IFS= read -r hit; do
    target=$(sed -E 's/.*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1/' <<<"$hit")
    ok=0
    for prefix in ${allowed[$layer]}; do
      case $target in "$prefix"/*) ok=1 ;; esac
    done
    if [ "$ok" = 0 ]; then
      echo "$hit: $layer may include only ${allowed[$layer]// /, }" >&2
      status=1
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$root/$layer" || true)
done

if [ "$status" = 0 ]; then echo "layers: every include in $root/ is one its layer may make"; fi
exit "$status"
