#!/usr/bin/env bash
# Runs a test program without root's privileges, for the tests whose outcome depends on them
# (opening, reopening and locking devices): as uid 65534 where that user can reach the program,
# else as root without capabilities (a build tree under a private home directory).
set -u
program="$1"
shift
if setpriv --reuid 65534 --regid 65534 --clear-groups test -x "$program" 2>/dev/null; then
    exec setpriv --reuid 65534 --regid 65534 --clear-groups "$program" "$@"
fi
echo "unprivileged run: uid 65534 cannot reach $program; running as root without capabilities"
exec setpriv --bounding-set -all --inh-caps -all --ambient-caps -all "$program" "$@"
