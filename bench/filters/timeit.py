#!/usr/bin/env python3
"""timeit.py REPEAT INPUT OUTPUT COMMAND [ARG...]

Runs COMMAND REPEAT times with INPUT on standard input and OUTPUT as standard
output, and prints two numbers: the best wall-clock seconds and the best CPU
seconds (user + system) of the child. CPU time stays meaningful on a busy
machine, where wall-clock time also measures the other processes.
"""
import os
import subprocess
import sys
import time


def main():
    repeat, source, target, command = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4:]
    best_wall = best_cpu = None
    for _ in range(repeat):
        with open(source, "rb") as stdin, open(target, "wb") as stdout:
            start = time.perf_counter()
            child = subprocess.Popen(command, stdin=stdin, stdout=stdout)
            _, status, usage = os.wait4(child.pid, 0)
            wall = time.perf_counter() - start
        child.returncode = os.waitstatus_to_exitcode(status)
        if child.returncode != 0:
            sys.exit("timeit.py: %s exited with status %d" % (command[0], child.returncode))
        cpu = usage.ru_utime + usage.ru_stime
        best_wall = wall if best_wall is None else min(best_wall, wall)
        best_cpu = cpu if best_cpu is None else min(best_cpu, cpu)
    print("%.3f %.3f" % (best_wall, best_cpu))


if __name__ == "__main__":
    main()
