#!/usr/bin/env python3
"""Hostile clients against the local content server, driven by bench/flood.sh.

flood_clients.py PORT PID PATH

Phases, each with a probe that asks for PATH every 200 ms on a fresh
connection and records how long the whole answer took:
  burst  - 5,000 connections opened as fast as possible (no request sent),
           then all closed;
  idle   - 500 connections opened and held open without a byte for HOLD s;
  slow   - 100 clients sending a request line one byte per second for SLOW s.
After the clients have gone, waits up to 30 s (finished connection threads
wait 10 s for more work before they end) for the server's thread count
to come back to its value before the flood. Prints one line per phase and a
final RESULT line; exit status 1 when a probe took 1 s or more, failed, or
the threads did not come back.
"""
import os
import socket
import sys
import threading
import time

PORT, PID, PATH = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
BURST = int(os.environ.get("BURST", "5000"))
IDLE = int(os.environ.get("IDLE", "500"))
HOLD = float(os.environ.get("HOLD", "40"))
SLOW = float(os.environ.get("SLOW", "20"))
SLOW_CLIENTS = int(os.environ.get("SLOW_CLIENTS", "100"))


def threads():
    with open(f"/proc/{PID}/status") as f:
        for line in f:
            if line.startswith("Threads:"):
                return int(line.split()[1])
    return -1


def fds():
    return len(os.listdir(f"/proc/{PID}/fd"))


def rss_kb():
    with open(f"/proc/{PID}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return -1


class Probe:
    """Normal requests beside the hostile clients."""

    def __init__(self):
        self.latencies, self.failures, self.peak_threads = [], 0, 0
        self.stop = threading.Event()
        self.thread = threading.Thread(target=self.run, daemon=True)

    def one(self):
        start = time.monotonic()
        with socket.create_connection(("127.0.0.1", PORT), timeout=5) as s:
            s.sendall(f"GET {PATH} HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n".encode())
            got = b""
            while True:
                chunk = s.recv(65536)
                if not chunk:
                    break
                got += chunk
        if not got.startswith(b"HTTP/1.") or b" 200 " not in got.split(b"\r\n", 1)[0]:
            raise RuntimeError("bad answer: %r" % got[:60])
        return time.monotonic() - start

    def run(self):
        while not self.stop.is_set():
            try:
                self.latencies.append(self.one())
            except Exception as error:  # noqa: BLE001 - every failure counts
                self.failures += 1
                print("  probe failed:", error, flush=True)
            self.peak_threads = max(self.peak_threads, threads())
            self.stop.wait(0.2)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.stop.set()
        self.thread.join()

    def summary(self):
        lat = sorted(self.latencies)
        if not lat:
            return "probes=0 failures=%d" % self.failures
        return "probes=%d failures=%d p50=%.1fms max=%.1fms over1s=%d peak_threads=%d" % (
            len(lat), self.failures, lat[len(lat) // 2] * 1e3, lat[-1] * 1e3,
            sum(1 for x in lat if x >= 1.0), self.peak_threads)


def open_many(count):
    opened, refused = [], 0
    for _ in range(count):
        s = socket.socket()
        s.setblocking(False)
        try:
            s.connect(("127.0.0.1", PORT))
        except BlockingIOError:
            pass
        except OSError:
            refused += 1
            s.close()
            continue
        opened.append(s)
    return opened, refused


def closed_by_server(sockets):
    """How many of the held connections the server has closed (EOF or reset)."""
    count = 0
    for s in sockets:
        try:
            if s.recv(1, socket.MSG_DONTWAIT) == b"":
                count += 1
        except BlockingIOError:
            pass
        except OSError:
            count += 1
    return count


def phase_burst():
    with Probe() as probe:
        start = time.monotonic()
        sockets, refused = open_many(BURST)
        took = time.monotonic() - start
        time.sleep(2)
        peak = threads()
        for s in sockets:
            s.close()
        time.sleep(1)
    print(f"burst: {len(sockets)} opened in {took:.2f}s, {refused} refused, "
          f"server threads while held {peak}; {probe.summary()}", flush=True)
    return probe


def phase_idle():
    with Probe() as probe:
        sockets, refused = open_many(IDLE)
        time.sleep(3)
        held_threads, held_fds = threads(), fds()
        deadline = time.monotonic() + HOLD
        while time.monotonic() < deadline:
            time.sleep(1)
        closed = closed_by_server(sockets)
        for s in sockets:
            s.close()
    print(f"idle: {len(sockets)} held {HOLD:.0f}s ({refused} refused), server threads "
          f"{held_threads} fds {held_fds} while held, {closed} closed by the server; "
          f"{probe.summary()}", flush=True)
    return probe


def slow_client(stop, sent):
    line = f"GET {PATH} HTTP/1.1\r\nHost: 127.0.0.1\r\n".encode()
    try:
        s = socket.create_connection(("127.0.0.1", PORT), timeout=5)
    except OSError:
        return
    i = 0
    while not stop.is_set():
        try:
            s.send(line[i % len(line):i % len(line) + 1])
            sent[0] += 1
        except OSError:
            break
        i += 1
        stop.wait(1.0)
    s.close()


def phase_slow():
    stop, sent = threading.Event(), [0]
    with Probe() as probe:
        clients = [threading.Thread(target=slow_client, args=(stop, sent), daemon=True)
                   for _ in range(SLOW_CLIENTS)]
        for c in clients:
            c.start()
        time.sleep(SLOW)
        slow_threads = threads()
        stop.set()
        for c in clients:
            c.join()
    print(f"slow: {SLOW_CLIENTS} clients at one byte/s for {SLOW:.0f}s ({sent[0]} bytes), "
          f"server threads {slow_threads}; {probe.summary()}", flush=True)
    return probe


def main():
    base_threads, base_fds, base_rss = threads(), fds(), rss_kb()
    print(f"before: threads {base_threads} fds {base_fds} rss {base_rss} KiB", flush=True)
    probes = [phase_burst(), phase_idle(), phase_slow()]
    deadline = time.monotonic() + 30
    while threads() > base_threads and time.monotonic() < deadline:
        time.sleep(0.1)
    after = (threads(), fds(), rss_kb())
    print(f"after: threads {after[0]} fds {after[1]} rss {after[2]} KiB", flush=True)
    slow = sum(sum(1 for x in p.latencies if x >= 1.0) for p in probes)
    failed = sum(p.failures for p in probes)
    worst = max((max(p.latencies) for p in probes if p.latencies), default=0)
    ok = slow == 0 and failed == 0 and after[0] <= base_threads
    print(f"RESULT ok={int(ok)} probes_over_1s={slow} probe_failures={failed} "
          f"worst_probe_ms={worst * 1e3:.1f} threads_before={base_threads} "
          f"threads_after={after[0]} fds_before={base_fds} fds_after={after[1]}", flush=True)
    sys.exit(0 if ok else 1)


main()
