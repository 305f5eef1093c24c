#!/usr/bin/env bash
# The suite's soak test for longer: every test source and disc title
# converted ROUNDS times (20 by default), two at a time, each run bounded;
# prints the runs, hangs and failures and the wall time.
#
#   bench/soak.sh [ROUNDS] [BUILD]    BUILD: the build folder (build/)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
rounds=${1:-20} build=${2:-$here/build}
bash "$here/tests/support/make_test_media.sh" "$build/test-media"
exec bash "$here/tests/tools/soak.sh" "$build/bin/vobcast-convert" "$build/test-media" "$rounds" 200
