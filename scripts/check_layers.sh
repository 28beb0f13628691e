#!/usr/bin/env bash
# The folders are layers, and a folder includes only from its own layer and
# those below it, so the picture of the includes is a stack with no loop:
#
#   text, http  portable text and HTTP pieces (no Windows header); fuzz,
#               their fuzz targets, is portable too
#   win         handle owners and the late-bound COM layer (nothing of ours)
#   com         the users of the system's services: regex matcher, HTTP
#               request, code page conversion
#   crawl       the engine
#   app, cli    the two faces (neither includes the other)
#   testing     test support (below the faces); bench, the benchmarks, and
#               packaging, the release checks, use it
#
# A test (*_test.cpp) may include testing/ as well. Prints every include that
# breaks this and fails when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A allowed=(
  [text]="text"
  [http]="text http"
  [win]="win"
  [com]="text http win com"
  [crawl]="text http win com crawl"
  [app]="text http win com crawl app"
  [cli]="text http win com crawl cli"
  [testing]="text http win com crawl testing"
  [bench]="text http win com crawl testing bench"
  [packaging]="text http win com crawl testing packaging"
  [fuzz]="text http fuzz"
)
portable=" text http fuzz "
windows_header='^(windows|win[a-z0-9]*|ole[a-z0-9]*|oa[a-z]*|objbase|objidl|shlobj|shellapi|psapi|commctrl|ws2[a-z]*|rpc[a-z]*)\.h$'

status=0
while IFS= read -r file; do
  folder=${file%%/*}
  [[ -v allowed[$folder] ]] || { echo "$file: folder '$folder' has no layer" >&2; status=1; continue; }
  permitted=" ${allowed[$folder]} "
  [[ $file == *_test.cpp ]] && permitted+="testing "
  while IFS=: read -r line directive; do
    if [[ $directive =~ \#include[[:space:]]*\"([^\"/]+)/ ]]; then
      target=${BASH_REMATCH[1]}
      if [[ $permitted != *" $target "* ]]; then
        echo "$file:$line: includes from $target/, which $folder/ may not" >&2
        status=1
      fi
    elif [[ $directive =~ \#include[[:space:]]*\<([^\>]+)\> && $portable == *" $folder "* ]]; then
      header=${BASH_REMATCH[1]}
      if [[ ${header,,} =~ $windows_header ]]; then
        echo "$file:$line: $folder/ is portable, but includes <$header>" >&2
        status=1
      fi
    fi
  done < <(grep -n '^[[:space:]]*#[[:space:]]*include' "$file" || true)
done < <(git ls-files --cached --others --exclude-standard -- '*.h' '*.cpp' '*.rc')
exit $status
