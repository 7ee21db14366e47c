# The program's version block in res/BIOSUpdate.rc, for the release scripts
# (sourced). Each function prints nothing when the value is missing.
VERSION_BLOCK_RC=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/res/BIOSUpdate.rc

# A text value of the block, e.g. version_text FileDescription.
version_text() {
    sed -n -E "s/^ *VALUE \"$1\", \"(.*)\"\r?$/\1/p" "$VERSION_BLOCK_RC" | head -1
}

# FILEVERSION as dotted numbers, e.g. 1.1508.1126.3.
file_version() {
    sed -n -E 's/^FILEVERSION +([0-9]+), *([0-9]+), *([0-9]+), *([0-9]+)\r?$/\1.\2.\3.\4/p' \
        "$VERSION_BLOCK_RC" | head -1
}
