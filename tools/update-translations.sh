#!/usr/bin/env bash
# Brings the English translation of the desktop program up to date with its sources: texts
# marked for translation (tr, QCoreApplication::translate, QT_TRANSLATE_NOOP) that are new or
# changed are added without a translation, texts no longer used are dropped. Then fill in the
# empty English texts (with Qt Linguist or any editor) and build; the translation check
# (ctest -R translations) fails while a text has no English.
#   tools/update-translations.sh [TS-FILE]    (default: src/workspace/translations/gazorin_en.ts)
# $LUPDATE names the lupdate program (Debian: qt6-l10n-tools).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
ts=${1:-$root/src/workspace/translations/gazorin_en.ts}
lupdate=${LUPDATE:-$(command -v lupdate || echo /usr/lib/qt6/bin/lupdate)}
cd "$root"
"$lupdate" -silent -locations none -no-obsolete -source-language ja -target-language en \
  -extensions cpp,h -I src src/workspace src/shell -ts "$ts"
