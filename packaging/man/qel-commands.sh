#!/bin/sh
# Prints a help2man include section with the --help of every qel command, so
# that qel(1) lists the commands' options exactly as the program states them.
# Usage: qel-commands.sh BINDIR OUTPUT
set -eu
PATH="$1:$PATH"
exec > "$2"
echo "[COMMANDS]"
for command in "package info" "package make" "package scan" discover check upgrade station; do
  echo ".SS \"qel $command\""
  # Options and arguments become tagged paragraphs, the rest filled text.
  qel $command --help | awk '
    { gsub(/\\/, "\\e"); sub(/^[.'\'']/, "\\\\&&") }
    /^Usage:/ { print ".PP\n.nf\n" $0 "\n.fi"; next }
    /^[A-Za-z]+:$/ || /^$/ { next }
    /^  [^ ]/ { sub(/^ +/, ""); item = $0; text = ""
                if (match(item, /   +/)) { text = substr(item, RSTART + RLENGTH); item = substr(item, 1, RSTART - 1) }
                gsub(/-/, "\\-", item); print ".TP\n\\fB" item "\\fR"; if (text != "") print text; next }
    /^ +/ { sub(/^ +/, ""); print; next }
    { print ".PP\n" $0 }'
done
