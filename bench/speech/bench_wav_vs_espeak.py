#!/usr/bin/env python3
"""parlo --wav on a whole book against espeak-ng -w on the same text with the same voice.

Both read one UTF-8 copy of the book; runs alternate so that both see the same machine
load. Prints the median of each, their ratio (target: at most 1.15), the same for processor
time, the lengths of the two recordings and parlo's peak memory.

    bench_wav_vs_espeak.py --parlo build/src/app/parlo [--book FILE] [--runs 5]
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time
import wave

CORPUS_BOOK = "/work/shared/corpus/books/1400-8.txt"


def as_utf8(book, folder):
    raw = open(book, "rb").read()
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError:
        text = raw.decode("cp1252", errors="replace")
    text = text.lstrip("\ufeff")
    path = os.path.join(folder, "book.txt")
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(text)
    return path, len(raw)


def espeak_name(parlo, env):
    """The engine file of parlo's first voice, found by its name (blanks for "_")."""
    first = subprocess.run([parlo, "--list-voices"], env=env, check=True, capture_output=True,
                           text=True).stdout.splitlines()[0].split(None, 1)[1].strip()
    for line in subprocess.run(["espeak-ng", "--voices"], check=True, capture_output=True,
                               text=True).stdout.splitlines()[1:]:
        fields = line.split()
        if len(fields) >= 4 and fields[3].replace("_", " ") == first:
            return fields[4], first
    sys.exit("no espeak-ng voice is named " + first)


def timed(command, env):
    start = time.monotonic()
    process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.monotonic() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("failed: " + " ".join(command))
    return elapsed, usage.ru_maxrss, usage.ru_utime + usage.ru_stime


def seconds_of(path):
    with wave.open(path) as w:
        return w.getnframes() / w.getframerate()


def arguments(runs):
    """--parlo, --book and --runs, the book checked to be there."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--parlo", required=True)
    parser.add_argument("--book", default=CORPUS_BOOK)
    parser.add_argument("--runs", type=int, default=runs)
    args = parser.parse_args()
    if not os.path.exists(args.book):
        sys.exit("no book at " + args.book + " (use --book)")
    return args


def prepared(args, folder):
    """A program folder's environment, the book in UTF-8 and its size, espeak-ng's name and
    description of parlo's first voice."""
    env = dict(os.environ, PARLO_HOME=folder)
    book, size = as_utf8(args.book, folder)
    name, description = espeak_name(args.parlo, env)
    return env, book, size, name, description


def main():
    args = arguments(runs=5)
    with tempfile.TemporaryDirectory() as folder:
        env, book, size, name, description = prepared(args, folder)
        out = os.path.join(folder, "out.wav")
        parlo_times, espeak_times, memory = [], [], []
        parlo_cpu, espeak_cpu = [], []
        lengths = {}
        for run in range(args.runs):
            t, _, cpu = timed(["espeak-ng", "-v", name, "-w", out, "-f", book], env)
            espeak_times.append(t)
            espeak_cpu.append(cpu)
            lengths["espeak-ng"] = seconds_of(out)
            os.remove(out)
            t, rss, cpu = timed([args.parlo, "--wav", out, book], env)
            parlo_times.append(t)
            parlo_cpu.append(cpu)
            memory.append(rss)
            lengths["parlo"] = seconds_of(out)
            os.remove(out)
            print(f"  run {run + 1}: espeak-ng {espeak_times[-1]:.1f} s, "
                  f"parlo {parlo_times[-1]:.1f} s", flush=True)

    p, e = statistics.median(parlo_times), statistics.median(espeak_times)
    print(f"book {os.path.basename(args.book)} ({size} bytes), voice {description} ({name}), "
          f"median of {args.runs}")
    print(f"  espeak-ng -w   {e:8.2f} s   speech {lengths['espeak-ng'] / 3600:.2f} h")
    print(f"  parlo --wav    {p:8.2f} s   speech {lengths['parlo'] / 3600:.2f} h")
    print(f"  ratio          {p / e:8.3f}   (target <= 1.15: {'met' if p / e <= 1.15 else 'NOT MET'})")
    pc, ec = statistics.median(parlo_cpu), statistics.median(espeak_cpu)
    print(f"  processor time {pc:.1f} s against {ec:.1f} s, ratio {pc / ec:.3f} "
          "(what a busy machine cannot blur)")
    print(f"  parlo peak memory {max(memory) / 1024:.1f} MB")
    return 0 if p / e <= 1.15 else 1


if __name__ == "__main__":
    sys.exit(main())
