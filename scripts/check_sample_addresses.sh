#!/usr/bin/env bash
# Every address written into the project names a host on a reserved example
# domain (example.com, example.net, example.org or a name under .example), the
# loopback address or localhost: samples never point at a real site. Prints
# each other host with its place and fails when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

allowed='^(|127\.0\.0\.1|localhost|([a-z0-9-]+\.)*example(\.com|\.net|\.org)?)$'
# The XML namespaces of the programs' manifest are names the format fixes,
# not addresses: code that looks settings up by namespace may spell them.
namespaces=$(grep -ohE 'xmlns="https?://[^/"]+' cmake/*.manifest.in | sed -E 's|.*://||' | sort -u)
status=0
while IFS= read -r file; do
  case $file in *.cpp|*.h|*.py|*.sh|*.md|*.txt|*.cmake|*.json|*.rc) ;; *) continue ;; esac
  while IFS=: read -r line host; do
    if ! grep -qiE "$allowed" <<<"$host" && ! grep -qxF "$host" <<<"$namespaces"; then
      echo "$file:$line: '$host' is not on an example domain" >&2
      status=1
    fi
  done < <(grep -noE '[A-Za-z][A-Za-z0-9+.-]*://([A-Za-z0-9._~%:-]*@)?[A-Za-z0-9.-]*' "$file" |
             sed -E 's|^([0-9]+):[^:]*://([^@]*@)?|\1:|')
done < <(git ls-files --cached --others --exclude-standard)
exit $status
