#!/usr/bin/env bash
# Runs a command in a private mount namespace in which DIR stands in for
# /sys/class, so that every Wine process it starts reads the simulated
# notebook's power supply and firmware from DIR (see make-notebook.sh).
#   notebook-run.sh DIR COMMAND [ARGS...]
# As root a plain mount namespace is used; otherwise a user namespace that
# maps the caller to root (unprivileged user namespaces must be allowed).
# Start every Wine process of one prefix the same way (wineserver included):
# inside a user namespace Wine sees uid 0 and looks for its server there.
set -euo pipefail
if [ $# -lt 2 ]; then
    echo "usage: $0 DIR COMMAND [ARGS...]" >&2
    exit 2
fi
dir=$(cd "$1" && pwd)
shift
if [ "$(id -u)" = 0 ]; then
    ns=(unshare --mount --propagation private)
else
    ns=(unshare --user --map-root-user --mount --propagation private)
fi
exec "${ns[@]}" -- sh -c 'mount --bind "$0" /sys/class && exec "$@"' "$dir" "$@"
