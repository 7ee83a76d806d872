#!/bin/bash
# brindle without a registered component: it must end with a failing exit
# status and say why (the status) and what to run to register it.
set -u
brindle=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export QUILLON_REGISTRY=$tmp/registry.txt
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

timeout 30 "$brindle" >"$tmp/out" 2>"$tmp/err"
status=$?
cat "$tmp/err"
fail() { echo "FAIL: $*"; exit 1; }
[ "$status" -ne 0 ] || fail "exit status 0 without a component"
[ "$status" -ne 124 ] || fail "brindle did not end"
grep -q "0x80040154" "$tmp/err" || fail "the status is missing"
grep -q "not registered" "$tmp/err" || fail "the reason is missing"
grep -q "quillon register" "$tmp/err" || fail "the register command is missing"
echo "PASS: exit status $status"
