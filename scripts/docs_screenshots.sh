#!/usr/bin/env bash
# Renews the pictures of the documentation in docs/screenshots/ from the
# end-to-end tests that take them (with TVN_DOCS_SCREENSHOTS=1): the dialogs
# of the user's guide and the README, and the English dialogs and the
# description guide's example. Needs a built build/win (scripts/build.sh);
# the tests set up Wine and a private display themselves.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
export TVN_DOCS_SCREENSHOTS=1
export TVN_SOURCE_DIR="$root"
export TVN_BUILD_DIR="${TVN_BUILD_ROOT:-$root/build}/win"
status=0
for test in test_user_guide test_english; do
  python3 "$root/tests/e2e/$test.py" || status=1
done
exit "$status"
