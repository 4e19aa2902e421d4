#!/usr/bin/env bash
# Copies the base prefix into a named one (MB_PREFIX_COPY of wine-env.sh):
# the files the base shares with the root (hard links, share-dlls.sh) are
# linked again, not copied; everything else is copied as cp -a copies it.
#   copy-prefix.sh FROM TO
set -u
from=${1:?usage: copy-prefix.sh FROM TO}
to=${2:?usage: copy-prefix.sh FROM TO}
mkdir -p "$to" || exit 1
(cd "$from" && find . -type f -links +1 -print0 | xargs -0 -r cp -l --parents -t "$to") || exit 1
# -n: the linked files are left as they are.
cp -a -n "$from/." "$to/"
