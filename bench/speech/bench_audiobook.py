#!/usr/bin/env python3
"""parlo --audiobook on a whole book, as WAV and as MP3 files, against espeak-ng -w on the
same text with the same voice, in one run.

The workers share the machine's cores, so the audiobook should take at most 0.65 times
espeak-ng's time as WAV and 1.3 times as MP3. Also prints each worker's memory after its
first and its last job: it should stay flat over the book.

    bench_audiobook.py --parlo build/src/app/parlo [--book FILE] [--runs 1]
"""
import collections
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_wav_vs_espeak import arguments, prepared, timed  # noqa: E402

TARGETS = {"wav": 0.65, "mp3": 1.3}


def audiobook(parlo, folder, fmt, book, env):
    """Seconds taken and, per worker, the memory (kB) after each job."""
    shutil.rmtree(folder, ignore_errors=True)
    env = dict(env, PARLO_AUDIOBOOK_MEMORY="1")
    start = time.monotonic()
    with tempfile.TemporaryFile("w+") as err:
        process = subprocess.Popen([parlo, "--audiobook", folder, "--format", fmt, book],
                                   env=env, stdout=subprocess.DEVNULL, stderr=err)
        # The usage counts the workers too: parlo waits for them.
        _, status, usage = os.wait4(process.pid, 0)
        elapsed = time.monotonic() - start
        err.seek(0)
        said = err.read()
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("failed: parlo --audiobook --format " + fmt + ": " + said)
    memory = collections.defaultdict(list)
    for line in said.splitlines():
        found = re.match(r"worker (\d+) memory (\d+) kB peak (\d+) kB", line)
        if found:
            memory[int(found[1])].append((int(found[2]), int(found[3])))
    files = len([f for f in os.listdir(folder) if not f.endswith(".m3u")])
    shutil.rmtree(folder, ignore_errors=True)
    return elapsed, memory, files, usage.ru_utime + usage.ru_stime


def main():
    args = arguments(runs=1)
    with tempfile.TemporaryDirectory() as folder:
        env, book, size, name, description = prepared(args, folder)
        out = os.path.join(folder, "out.wav")
        books = os.path.join(folder, "books")
        times = collections.defaultdict(list)
        cpus = collections.defaultdict(list)
        memory = {}
        files = 0
        for run in range(args.runs):
            t, _, cpu = timed(["espeak-ng", "-v", name, "-w", out, "-f", book], env)
            times["espeak"].append(t)
            cpus["espeak"].append(cpu)
            os.remove(out)
            for fmt in TARGETS:
                t, memory[fmt], files, cpu = audiobook(args.parlo, books, fmt, book, env)
                times[fmt].append(t)
                cpus[fmt].append(cpu)
            print(f"  run {run + 1}: espeak-ng {times['espeak'][-1]:.1f} s, "
                  + ", ".join(f"{fmt} {times[fmt][-1]:.1f} s" for fmt in TARGETS), flush=True)

    e = statistics.median(times["espeak"])
    print(f"book {os.path.basename(args.book)} ({size} bytes, {files} chapter files), "
          f"voice {description} ({name}), {os.cpu_count()} cores, median of {args.runs}")
    print(f"  espeak-ng -w              {e:8.2f} s")
    met = True
    for fmt, target in TARGETS.items():
        t = statistics.median(times[fmt])
        ok = t / e <= target
        met = met and ok
        print(f"  parlo --audiobook {fmt:4}    {t:8.2f} s   ratio {t / e:.3f} "
              f"(target <= {target}: {'met' if ok else 'NOT MET'})")
    # A busy machine gives one process a smaller share than several: the processor time
    # spread over the cores is the figure the load cannot blur.
    ec = statistics.median(cpus["espeak"])
    cores = os.cpu_count()
    for fmt in TARGETS:
        pc = statistics.median(cpus[fmt])
        print(f"  processor time {fmt:4} {pc:8.1f} s against {ec:.1f} s: on {cores} idle cores "
              f"at best {pc / cores:.1f} s, ratio {pc / cores / ec:.3f}")
    for fmt, workers in memory.items():
        for worker, readings in sorted(workers.items()):
            first, last = readings[0], readings[-1]
            print(f"  {fmt} worker {worker}: {len(readings)} jobs, memory {first[0] / 1024:.1f} MB "
                  f"after the first, {last[0] / 1024:.1f} MB after the last, "
                  f"peak {last[1] / 1024:.1f} MB")
    return 0 if met else 1


if __name__ == "__main__":
    sys.exit(main())
