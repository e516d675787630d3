#!/usr/bin/env bash
# `cmake --install` into a staging prefix outside the build tree; the staged
# programs must find their data there.
#   install_test.sh BUILD_DIR WORK_DIR
set -u
build=$1
work=$2
repo=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=tests/check_helpers.sh
source "$repo/tests/check_helpers.sh"
# shellcheck source=tests/package/installed_checks.sh
source "$repo/tests/package/installed_checks.sh"

# The build tree's programs look for their data in the build tree, so the
# staging prefix lies elsewhere.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
rm -rf "$work"
mkdir -p "$work"
if cmake --install "$build" --prefix "$stage" >"$work/install.log" 2>&1; then
  check_installed "$stage" "$repo"
else
  fail "cmake --install: $(tail -n 5 "$work/install.log")"
fi
[ "$failures" -eq 0 ] && echo "install: all checks passed"
exit $((failures > 0))
