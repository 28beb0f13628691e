#!/usr/bin/env python3
"""crawl_table.py RESULTS LINKS FACE: the table bench/crawl_bench.sh prints,
from the lines it gathered in RESULTS, checked against the targets. Exit
status 1 when any run wrote the wrong files.

RESULTS holds "idle <peak bytes>" lines, then one line per run: P, S, S in
bytes, and for the crawl, the floor and curl in turn: seconds, peak bytes,
bytes written, files written, 1 when it ended cleanly, and how many times it
was repeated. FACE is cli or window, the program the crawl ran in.
"""
import statistics
import sys
from collections import OrderedDict

MB = 1024 * 1024
LIMIT_OVER_IDLE = 24 * MB


def spread(values, fmt):
    return (fmt + ' (' + fmt + '-' + fmt + ')') % (statistics.median(values), min(values), max(values))


def main():
    idle, rows = [], OrderedDict()
    for line in open(sys.argv[1]):
        f = line.split()
        if f[0] == 'idle':
            idle.append(int(f[1]))
            continue
        # P S bytes, then crawl, floor and curl: seconds peak written files ok repeats
        key = (int(f[0]), f[1], int(f[2]))
        runs = [dict(s=float(f[i]), peak=int(f[i + 1]), written=int(f[i + 2]), files=int(f[i + 3]), ok=f[i + 4] == '1',
                     repeats=int(f[i + 5])) for i in (3, 9, 15)]
        rows.setdefault(key, []).append(dict(zip(('crawl', 'floor', 'curl'), runs)))
    links, face = int(sys.argv[2]), sys.argv[3]
    idle_peak = statistics.median(idle)
    limit = idle_peak + LIMIT_OVER_IDLE

    print('crawl: %s; medians of %d runs, (min-max)' % ('lumivant-cli --json summary seconds' if face == 'cli'
                                                        else 'window program, click to closing message',
                                                        len(next(iter(rows.values()))) if rows else 0))
    print('Wine idle footprint (program started, nothing crawled): %.1f MB peak; memory limit %.1f MB'
          % (idle_peak / MB, limit / MB))
    print()
    head = '%3s %5s  %-21s %-21s %-21s %11s %10s  %-21s %8s %13s %8s'
    print(head % ('P', 'S', 'crawl s', 'floor s', 'curl s', 'crawl/floor', 'crawl/curl', 'crawl peak MB',
                  'limit MB', 'bytes written', 'repeats'))
    ratios, faults, misses = {}, [], []
    for (p, s, size), runs in rows.items():
        med = {k: statistics.median(r[k]['s'] for r in runs) for k in ('crawl', 'floor', 'curl')}
        peaks = [r['crawl']['peak'] / MB for r in runs]
        written = statistics.median(r['crawl']['written'] for r in runs)
        ratio = med['crawl'] / med['floor'] if med['floor'] else float('inf')
        ratios[(p, s)] = ratio
        print(head % (p, s, spread([r['crawl']['s'] for r in runs], '%.2f'), spread([r['floor']['s'] for r in runs], '%.2f'),
                      spread([r['curl']['s'] for r in runs], '%.2f'), '%.2f' % ratio,
                      '%.2f' % (med['crawl'] / med['curl'] if med['curl'] else float('inf')),
                      spread(peaks, '%.1f'), '%.1f' % (limit / MB), '%d' % written,
                      '%d/%d' % (sum(r['crawl']['repeats'] for r in runs), sum(r['floor']['repeats'] for r in runs))))
        for n, r in enumerate(runs, 1):
            for k in ('crawl', 'floor', 'curl'):
                if not r[k]['ok'] or r[k]['files'] != p * links or r[k]['written'] != p * links * size:
                    faults.append('P=%d S=%s run %d %s: %d files, %d bytes (want %d, %d), ok %s'
                                  % (p, s, n, k, r[k]['files'], r[k]['written'], p * links, p * links * size, r[k]['ok']))
        if ratio > 1.10:
            misses.append('P=%d S=%s: crawl/floor %.2f > 1.10' % (p, s, ratio))
        if statistics.median(peaks) * MB > limit:
            misses.append('P=%d S=%s: peak %.1f MB > %.1f MB' % (p, s, statistics.median(peaks), limit / MB))
    print()
    pages = sorted({p for p, _ in ratios})
    if len(pages) > 1:
        for s in OrderedDict((s, 0) for _, s in ratios):
            base = ratios.get((pages[0], s))
            if not base:
                continue
            devs = [(p, ratios[(p, s)] / base - 1) for p in pages[1:] if (p, s) in ratios]
            print('S=%s: crawl/floor against P=%d: %s' % (s, pages[0], ', '.join('P=%d %+.1f %%' % (p, 100 * d)
                                                                                for p, d in devs)))
            misses += ['S=%s P=%d: crawl/floor moves %+.1f %% from P=%d, beyond 10 %%' % (s, p, 100 * d, pages[0])
                       for p, d in devs if abs(d) > 0.10]
    print()
    print('repeats: crawl/floor runs made again because the first did not end cleanly (a crash or a failed image)')
    print()
    print('target: crawl/floor <= 1.10 at every P and S')
    print('target: crawl/floor flat in P, within 10 % of its value at the smallest P')
    print('target: crawl peak memory <= Wine idle + 24 MB = %.1f MB at every S' % (limit / MB))
    for fault in faults:
        print('WRONG OUTPUT ' + fault)
    print('targets: ' + ('all met' if not misses else 'missed: ' + '; '.join(misses)))
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
