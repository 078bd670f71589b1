#!/bin/bash
# Says in one line why the 32-bit tree's tests do not run here; exit 77,
# which ctest reports as a skipped test. Usage: x86_skipped.sh X86_TREE
source "$(dirname "$0")/../scripts/wine-env.sh"
wine32_ready || exit 77
echo "32-bit runs skipped: $1 is not built (scripts/build.sh builds it)"
exit 77
