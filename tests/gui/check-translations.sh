#!/usr/bin/env bash
# Fails when a text of the desktop program has no English translation:
#  - every Japanese string literal in the desktop program's sources is marked for translation
#    (tr, QCoreApplication::translate, QT_TRANSLATE_NOOP on the same line), and
#  - lupdate, run over the sources into a copy of the translation file, finds no text that the
#    file lacks or no longer needs, and none of its texts is without English.
# Usage: check-translations.sh SOURCE-ROOT   ($LUPDATE names lupdate)
set -euo pipefail
root=$1
ts=$root/src/workspace/translations/gazorin_en.ts
status=0

# Comments may be Japanese; string literals must be translated where they are written.
unmarked=$(cd "$root" && LC_ALL=C.UTF-8 perl -CSD -ne '
    s{(^|\s)//.*}{};
    print "$ARGV:$.: $_" if /"[^"]*[\x{3000}-\x{30FF}\x{4E00}-\x{9FFF}\x{FF00}-\x{FFEF}][^"]*"/
      && !/\b(tr|translate|QT_TRANSLATE_NOOP|QT_TR_NOOP)\(/;
    close ARGV if eof;' src/workspace/*.cpp src/workspace/*.h src/shell/*.cpp src/shell/*.h)
if [ -n "$unmarked" ]; then
  echo "Japanese texts not marked for translation:"
  echo "$unmarked"
  status=1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$ts" "$work/gazorin_en.ts"
"$root/tools/update-translations.sh" "$work/gazorin_en.ts"
if grep -q 'type="unfinished"' "$work/gazorin_en.ts"; then
  echo "Texts without an English translation (run tools/update-translations.sh, then translate them in $ts):"
  grep -B1 'type="unfinished"' "$work/gazorin_en.ts" | grep -o '<source>.*</source>' | sed 's/<\/\?source>//g; s/^/  /'
  status=1
elif ! cmp -s "$ts" "$work/gazorin_en.ts"; then
  echo "$ts does not match the sources (run tools/update-translations.sh):"
  diff "$ts" "$work/gazorin_en.ts" || true
  status=1
fi
exit $status
