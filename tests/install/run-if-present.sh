#!/usr/bin/env bash
# run-if-present.sh TOOL ARGUMENTS...: runs TOOL with the arguments when it is installed; otherwise says so
# and exits 77, which CTest reports as skipped.
tool=$1; shift
if ! command -v "$tool" > /dev/null; then
  echo "$tool is not installed: check skipped"
  exit 77
fi
exec "$tool" "$@"
