#!/bin/sh
# own-folders.sh COMMAND...: runs COMMAND with a runtime and a configuration folder of its own
# (XDG_RUNTIME_DIR, XDG_CONFIG_HOME), made fresh under the system's temporary folder and removed
# after it, so that no two tests and no two runs of the suite share a lock, a socket or a
# remembered setting.
dir=$(mktemp -d "${TMPDIR:-/tmp}/rt-test-xdg-XXXXXX") || exit 1
trap 'rm -rf "$dir"' EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
mkdir -m 700 "$dir/runtime" "$dir/config" || exit 1
XDG_RUNTIME_DIR=$dir/runtime XDG_CONFIG_HOME=$dir/config "$@"
