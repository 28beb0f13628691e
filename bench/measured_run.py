#!/usr/bin/env python3
"""measured_run.py OUT COMMAND [ARGS...]: runs COMMAND, its output passed
through, and writes "<wall seconds> <peak resident bytes> <exit status>" to
OUT.

The peak is the kernel's own high-water mark of the command's resident set
(ru_maxrss from wait4), not a sample: under Wine the command is the Wine
process running the Windows program, since scripts/wine-run.sh ends by
exec'ing Wine. A command killed by a signal reports 128 + the signal.
"""
import os
import sys
import time


def main():
    out, command = sys.argv[1], sys.argv[2:]
    start = time.monotonic()
    pid = os.fork()
    if pid == 0:
        try:
            os.execvp(command[0], command)
        finally:
            os._exit(127)
    _, status, usage = os.wait4(pid, 0)
    seconds = time.monotonic() - start
    code = os.waitstatus_to_exitcode(status)
    if code < 0:
        code = 128 - code
    with open(out, 'w') as f:
        f.write('%.3f %d %d\n' % (seconds, usage.ru_maxrss * 1024, code))
    return 0


if __name__ == '__main__':
    sys.exit(main())
