#!/usr/bin/env bash
# The end-to-end tests of a user without administrator rights (LimitedUser.*
# of update_e2e_test): Wine honours the Unix permissions of a user other than
# root, so they run as a Unix user of their own, in a Wine prefix and a copy
# of the programs they need that this user owns, where the test takes away
# the write permission of a folder as Windows would refuse it to a limited
# user. Needs root to create that user; elsewhere it says so and is skipped.
#   tests/limited_user_test.sh <build folder>
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
flag=$(cat "$build/wine-flag")
user=tolvane-limited
skipped=77

if [ "$(id -u)" != 0 ]; then
    echo "limited_user_test: not run: creating the user $user needs root"
    exit $skipped
fi
if ! id -u "$user" >/dev/null 2>&1 &&
   ! useradd --system --no-create-home --shell /usr/sbin/nologin "$user"; then
    echo "limited_user_test: not run: the user $user could not be created"
    exit $skipped
fi

# The programs, where this user can reach them whatever the checkout's
# permissions: the test, the fixture it stamps main executables from, the
# shipped updater and the test build, the release tool and the updater it
# stages, and the scripts that run Wine.
limited="$build/limited-user"
rm -rf "$limited/build" "$limited/tools"
mkdir -p "$limited/build/tests" "$limited/build/tools" "$limited/tools" "$limited/wine"
cp "$build/tests/update_e2e_test.exe" "$build/tests/fixture_base.exe" "$limited/build/tests/"
cp "$build/TLUPDATE.exe" "$build/TLSTOPS.exe" "$limited/build/"
cp "$build/tools/release_tool.exe" "$build/tools/TLUPDATE.exe" "$limited/build/tools/"
cp "$root/tools/wine-run.sh" "$root/tools/wine-stop.sh" "$root/tools/probe-32bit.sh" "$limited/tools/"
chown -R "$user:" "$limited"
if ! runuser -u "$user" -- test -x "$limited/tools/wine-run.sh"; then
    echo "limited_user_test: not run: the user $user cannot reach $limited (a folder above it is closed to others)"
    exit $skipped
fi

as_user() { runuser -u "$user" -- env TOLVANE_WINE_ROOT="$limited/wine" "$@"; }
status=0
as_user bash "$limited/tools/wine-run.sh" $flag "$limited/build/tests/update_e2e_test.exe" \
    --gtest_filter='LimitedUser.*' || status=$?
as_user bash "$limited/tools/wine-stop.sh" $flag || true
exit $status
