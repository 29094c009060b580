#!/usr/bin/env bash
# Checks that every word name=value of karvel-batch is documented, with the
# default that the program itself prints:
#   - karvel-batch --help lists each word on a line "  name=VALUE ... default X";
#   - the manual page man/karvel-batch.1.scd has, in its WORDS section, an entry
#     "*name*=_VALUE_" whose text says "Default: *X*.";
#   - the README's word table has a row "| `name` | meaning | `X` |";
#   - the manual app/karvel.txt names the word in its karvel-batch section;
#   - batch/batch_arguments.cc reads no word that --help leaves out.
# A word in any of them but missing from another, or a default that differs,
# fails the check with a line saying where to add or mend it.
#
#   scripts/check-batch-words.sh PATH/TO/karvel-batch
set -euo pipefail
batch=${1:?usage: check-batch-words.sh PATH/TO/karvel-batch}
cd "$(dirname "$0")/.."
man_page=man/karvel-batch.1.scd
manual=app/karvel.txt

# Each reader prints "name default" lines ("name" alone where no default is kept).
help_words() {
  "$batch" --help | sed -n -E 's/^  ([a-z_]+)(\[=[^] ]*\]|=[^ ]*) .* default (.+)$/\1 \3/p'
}
man_words() {
  awk '
    function flush() {
      if (name == "") return
      d = text
      if (sub(/.*Default: \*/, "", d) && sub(/\*.*/, "", d)) print name, d
      else print name, "(no \"Default: *X*.\")"
      name = ""
    }
    /^# / { flush(); in_words = ($0 == "# WORDS"); next }
    !in_words { next }
    /^\*[a-z_]+\*(\[?=)/ { flush(); name = $0; sub(/^\*/, "", name); sub(/\*.*/, "", name); text = ""; next }
    name != "" { text = text " " $0 }
    END { flush() }' "$man_page"
}
readme_words() {
  sed -n -E 's/^\| `([a-z_]+)` \|.*\| *([^|]*[^| ]) *\|$/\1 \2/p' README.md | tr -d '`'
}
parsed_words() {
  sed -n -E 's/.*(name|word) == "([a-z_]+)".*/\2/p' batch/batch_arguments.cc | sort -u
}
manual_words() {
  awk '/^[0-9]+\. / { in_batch = /karvel-batch/ } in_batch' "$manual" |
    sed -n -E 's/^  ([a-z_]+)(=|  ).*/\1/p'
}

declare -A help=()
while read -r name value; do help[$name]=$value; done < <(help_words)
if [ ${#help[@]} -eq 0 ]; then
  echo "check-batch-words: $batch --help lists no word" >&2
  exit 1
fi

bad=0
fail() {
  echo "check-batch-words: $*" >&2
  bad=1
}

# compare WHERE DEFAULTS HOW-TO-ADD: reads the "name [default]" lines of one
# document; DEFAULTS is "defaults" when the document gives them.
compare() {
  local where=$1 defaults=$2 how=$3 name value
  declare -A seen=()
  while read -r name value; do
    seen[$name]=1
    if [ -z "${help[$name]+set}" ]; then
      fail "'$name' is documented in $where but karvel-batch --help does not list it"
    elif [ "$defaults" = defaults ] && [ "$value" != "${help[$name]}" ]; then
      fail "'$name': $where gives the default '$value', karvel-batch --help '${help[$name]}'"
    fi
  done
  for name in "${!help[@]}"; do
    if [ -z "${seen[$name]+set}" ]; then
      fail "'$name' (default ${help[$name]}) is missing from $where: $how"
    fi
  done
}

compare "$man_page" defaults \
  "add an entry '*NAME*=_VALUE_' whose text ends 'Default: *X*.' to its WORDS section" \
  < <(man_words)
compare README.md defaults "add a row to the word table of the batch front end" \
  < <(readme_words)
compare "$manual" names "add a line '  NAME=  meaning  default X' to the karvel-batch section" \
  < <(manual_words)

while read -r name; do
  if [ -z "${help[$name]+set}" ]; then
    fail "'$name' is read by batch/batch_arguments.cc but karvel-batch --help does not list it:" \
      "add its line to batch/batch_help.cc"
  fi
done < <(parsed_words)

if [ "$bad" -ne 0 ]; then
  echo "check-batch-words: failed; every word of karvel-batch --help needs its entry in" \
    "$man_page, README.md and $manual" >&2
  exit 1
fi
echo "check-batch-words: ${#help[@]} words, each in --help, $man_page, README.md and $manual"
