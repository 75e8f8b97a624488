#!/bin/bash
# The script loader's unit tests under Wine: loader_wine.exe is
# tests/unit/loader_test.cpp built for Windows over the installer's own
# loader and the Windows side of the seam, so every case is answered by the
# system's profile and atom calls instead of the host reader. Every case must
# run and pass, the same cases as in the native build.
source "$(dirname "$0")/lib.sh"
kiv_begin

LOADER=$(kiv_exe loader_wine.exe) || exit 1
CASES=$(grep -c '^TEST_F(Loader, ' "$KIV_SOURCE_DIR/tests/unit/loader_test.cpp")

kiv_case "the loader's cases over the system's profile calls"
out=$(kiv_run --limit 120 "$LOADER" --gtest_color=no)
kiv_expect_eq "$?" 0 "loader_wine.exe exit code"
out=${out//$'\r'/}
kiv_expect_eq "$(sed -n 's/^\[==========\] \([0-9]*\) tests\? from .* ran\..*/\1/p' <<<"$out")" "$CASES" \
    "cases that ran"
kiv_expect_eq "$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\.$/\1/p' <<<"$out")" "$CASES" "cases that passed"
failed=$(sed -n 's/^\[  FAILED  \] \(Loader\.[A-Za-z0-9_]*\)$/\1/p' <<<"$out" | tr '\n' ' ')
[ -z "$failed" ] || kiv_fail "failed cases (see $KIV_ART/suite.log): $failed"
kiv_expect_eq "$(find "$KIV_C/users" -maxdepth 5 -name 'kiv-loader-*' 2>/dev/null | wc -l)" 0 \
    "the cases leave no temporary directory behind"

kiv_end
