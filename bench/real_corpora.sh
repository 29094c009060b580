#!/usr/bin/env bash
# Builds the real corpora of the benchmarks from this machine's own files:
#   changelogs   Debian changelogs (/usr/share/doc/*/changelog.Debian.gz),
#                separator mode, 7 themes (security, crashes, uploads, ...)
#   copyright    Debian copyright files (/usr/share/doc/*/copyright), keyword
#                mode, one theme per licence name (the 41 most common)
#   ru-utf8      Russian message catalogues (/usr/share/locale/ru/LC_MESSAGES,
#                unpacked with msgunfmt), 40 frequent words in capitals,
#                separator mode, 10 themes
#   ru-cp866     the same source and keywords converted to code page 866
#   el-utf8      the Greek catalogues, likewise
# Each goes to DIR/NAME/#src and DIR/NAME/#kwd (DIR: the first argument, or
# /work/bench-data/real). Files are taken in sorted order, so the corpora are
# the same on machines with the same packages. Needs gettext and python3.
set -euo pipefail
dir=${1:-/work/bench-data/real}
mkdir -p "$dir"/{changelogs,copyright,ru-utf8,ru-cp866,el-utf8}

for f in $(ls /usr/share/doc/*/changelog.Debian.gz | sort); do zcat "$f"; echo; done \
  >"$dir/changelogs/#src"
cat >"$dir/changelogs/#kwd" <<'KWD'
`Debian changelogs: seven themes
'security'
CVE-*

'crash'
crashes
segfault*

upload*
NMU

translation*
'po'

'FTBFS'
'build'

'lintian'

standards-version
KWD

for f in $(ls /usr/share/doc/*/copyright | sort); do cat "$f"; echo; done >"$dir/copyright/#src"
{
  echo '`Debian copyright files: one theme per licence'
  grep -h '^License: ' "$dir/copyright/#src" | sed 's/^License: *//' | grep -v ' ' | grep -v '^$' |
    sort | uniq -c | sort -k1,1nr -k2 | head -n 41 | awk '{ print "'"'"'" $2 "'"'"'" }'
} >"$dir/copyright/#kwd"

catalogue() { # language folder
  local lang=$1 out=$2 f
  for f in $(ls /usr/share/locale/"$lang"/LC_MESSAGES/*.mo | sort); do
    msgunfmt "$f" 2>/dev/null || true
    echo
  done >"$out/#src"
  python3 - "$out/#src" "$out/#kwd" <<'PY'
import collections, re, sys
text = open(sys.argv[1], encoding="utf-8", errors="replace").read()
words = collections.Counter(w.lower() for w in re.findall(r"[^\W\d_]{5,}", text)
                            if not w.isascii())
top = [w for w, _ in sorted(words.items(), key=lambda kv: (-kv[1], kv[0]))[:40]]
with open(sys.argv[2], "w", encoding="utf-8") as out:
    for i, w in enumerate(top):
        if i and i % 4 == 0:
            out.write("\n")
        out.write(w.upper() + "\n")
PY
}
catalogue ru "$dir/ru-utf8"
catalogue el "$dir/el-utf8"
iconv -f UTF-8 -t CP866//TRANSLIT "$dir/ru-utf8/#src" >"$dir/ru-cp866/#src" 2>/dev/null || true
iconv -f UTF-8 -t CP866 "$dir/ru-utf8/#kwd" >"$dir/ru-cp866/#kwd"
wc -c "$dir"/*/'#src'
