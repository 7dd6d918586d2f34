#!/usr/bin/env python3
"""A minimal POP3 client beside the automatic check: logs in, lists UIDL and
quits, N times; prints the median time of one such session in ms.

    uidl_floor.py HOST [N]
"""
import poplib
import statistics
import sys
import time


def session(host):
    start = time.perf_counter()
    pop = poplib.POP3(host, 110, timeout=30)
    pop.user("qbtest")
    pop.pass_("qbpass")
    listed = pop.uidl()[1]
    pop.quit()
    return (time.perf_counter() - start) * 1000, len(listed)


def main():
    host = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    session(host)  # warm-up
    times, listed = zip(*(session(host) for _ in range(runs)))
    print(f"python_minimal_ms={statistics.median(times):.2f}")
    print(f"python_listed={listed[-1]}")


main()
