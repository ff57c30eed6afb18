#!/bin/sh
# Fails when a C++ source differs from .clang-format; `make format` fixes it.
#   check-format.sh SOURCE_DIR [fix]
set -eu
cd "$1"
files=$(find acquisition app bench core files fuzz journal serial tests tools -name '*.cpp' -o -name '*.h' | sort)
if [ "${2:-}" = "fix" ]; then
    # shellcheck disable=SC2086
    clang-format -i $files
else
    # shellcheck disable=SC2086
    clang-format --dry-run -Werror $files
fi
