#!/usr/bin/env python3
"""Where a process's resident memory lies, by owner, from a copy of its
/proc/PID/smaps: the heap, anonymous maps, and each mapped file (its
private dirty pages, and the clean pages it shares with the file).

    bench/smaps_owners.py SMAPS [TOP]
"""
import collections
import re
import sys


def owners(path):
    rows = collections.defaultdict(lambda: [0, 0])  # kB resident, kB private dirty
    name = None
    with open(path) as f:
        for line in f:
            if re.match(r"^[0-9a-f]+-[0-9a-f]+ ", line):
                parts = line.split()
                name = parts[5].rsplit("/", 1)[-1] if len(parts) > 5 else "[anonymous]"
            elif line.startswith("Rss:"):
                rows[name][0] += int(line.split()[1])
            elif line.startswith("Private_Dirty:"):
                rows[name][1] += int(line.split()[1])
    return rows


def main():
    rows = owners(sys.argv[1])
    top = int(sys.argv[2]) if len(sys.argv) > 2 else 12
    total = [sum(r[i] for r in rows.values()) for i in (0, 1)]
    print(f"{'owner':34} {'resident MB':>11} {'private dirty MB':>16}")
    print(f"{'(all)':34} {total[0] / 1024:11.1f} {total[1] / 1024:16.1f}")
    for name, (rss, dirty) in sorted(rows.items(), key=lambda kv: -kv[1][0])[:top]:
        print(f"{name:34} {rss / 1024:11.1f} {dirty / 1024:16.1f}")


if __name__ == "__main__":
    main()
