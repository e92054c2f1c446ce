#!/bin/sh
# Fails when an option or variable that `varne --help` names is missing from the man page.
# Usage: covers-help.sh VARNE_EXECUTABLE MAN_PAGE
set -eu
help=$("$1" --help)
missing=0
for word in $(printf '%s\n' "$help" | grep -oE -- '--[a-z][a-z-]*|VARNE_[A-Z_]+' | sort -u); do
    # roff writes each hyphen of an option as \-.
    escaped=$(printf '%s' "$word" | sed 's/-/\\-/g')
    if ! grep -qF -- "$escaped" "$2"; then
        echo "the man page does not mention $word" >&2
        missing=1
    fi
done
exit $missing
