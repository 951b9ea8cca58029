#!/usr/bin/env bash
# check-man-options.sh PROGRAM PAGE: the options that "PROGRAM --help" lists and those of the
# OPTIONS section of the manual page PAGE must be the same; the page must format without
# warnings where man(1) is installed.
set -euo pipefail
program=$1 page=$2

# --help: the option column of every line that starts with blanks and a dash.
help_options=$("$program" --help | sed -nE 's/^[[:space:]]+(-.*)$/\1/p' | sed -E 's/  .*//' |
  grep -oE '(^|[ ,|])--?[A-Za-z0-9][A-Za-z0-9-]*' | sed -E 's/^[ ,|]//' | sort -u)

# The page: the tag line after each .TP in the OPTIONS section, escapes taken out.
page_options=$(awk '/^\.SH/ { in_options = ($2 == "OPTIONS") } in_options && tag { print; tag = 0 }
                    in_options && /^\.TP/ { tag = 1 }' "$page" |
  sed -E 's/\\-/-/g; s/\\f[BIRP]//g; s/^\.[A-Z]+ //; s/"//g' |
  grep -oE '(^|[ ,|])--?[A-Za-z0-9][A-Za-z0-9-]*' | sed -E 's/^[ ,|]//' | sort -u)

status=0
if [ -z "$help_options" ]; then
  echo "$program --help lists no options"; status=1
fi
only_help=$(comm -23 <(echo "$help_options") <(echo "$page_options"))
only_page=$(comm -13 <(echo "$help_options") <(echo "$page_options"))
if [ -n "$only_help" ]; then
  echo "in '$(basename "$program") --help' but not in $(basename "$page"):" $only_help; status=1
fi
if [ -n "$only_page" ]; then
  echo "in $(basename "$page") but not in '$(basename "$program") --help':" $only_page; status=1
fi

if command -v man > /dev/null; then
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 > /dev/null || true)
  if [ -n "$warnings" ]; then
    echo "$(basename "$page") does not format cleanly:"; echo "$warnings"; status=1
  fi
fi
[ $status -eq 0 ] && echo "$(basename "$page"): the same options as --help:" $help_options
exit $status
