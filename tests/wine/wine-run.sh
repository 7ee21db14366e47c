#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix, creating the
# prefix on first use: the emulator ctest runs the Windows tests with. The
# prefix is $BIOSUPDATE_WINEPREFIX, by default build/wineprefix.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export WINEPREFIX=${BIOSUPDATE_WINEPREFIX:-$here/../../build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
"$here/wine.sh" prefix
exec "$here/wine.sh" run "$@"
