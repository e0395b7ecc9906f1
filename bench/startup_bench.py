#!/usr/bin/env python3
"""Start-up benchmark of the shell against a minimal WebKitGTK program.

Both programs show the same entrance page, served by the shell's own server
(the shell starts its own; the anchor gets a quillory-serve started before
the clock runs). The page reports "fully loaded" (its load event) to a beacon
listener here; the time counted is from just before the process is spawned to
the beacon's arrival. In the shell, the page then times WinFun round trips
that each run one statement ("ShowMe();") and reports their median.

Usage: startup_bench.py QUILLORY QUILLORY_PACK QUILLORY_SERVE MINIMAL CONTENT_DIR [RUNS]
Needs DISPLAY (run it through startup_bench.sh, which provides Xvfb + openbox).
"""
import http.server
import os
import queue
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

BENCH_PAGE = """<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>Quillory</title>
<link rel="stylesheet" href="kvr_main.css"></head>
<body class="entrance"><div class="entrance-mark">Quillory</div>
<p class="entrance-note">Opening your bag&hellip;</p>
<script>
window.addEventListener('load', function () {
  new Image().src = 'http://127.0.0.1:PORT/loaded?' + Date.now();
  if (!window.external || typeof window.external.WinFun !== 'function') return;
  setTimeout(function () {
    var statements = 0;
    window.ShowMe = function () { statements++; };
    var times = [];
    for (var batch = 0; batch < 60; ++batch) {
      var start = performance.now();
      for (var i = 0; i < 10; ++i) window.external.WinFun('ShowMe', '', '', '', '', '');
      times.push((performance.now() - start) / 10);
    }
    times.sort(function (a, b) { return a - b; });
    new Image().src = 'http://127.0.0.1:PORT/winfun?median=' + times[30] +
        '&statements=' + statements;
  }, 200);
});
</script></body></html>
"""

events = queue.Queue()


class Beacon(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        events.put((time.monotonic(), self.path))
        self.send_response(204)
        self.end_headers()

    def log_message(self, *args):
        pass


def wait_for(prefix, timeout=60):
    deadline = time.monotonic() + timeout
    while True:
        left = deadline - time.monotonic()
        if left <= 0:
            raise TimeoutError(prefix)
        at, path = events.get(timeout=left)
        if path.startswith(prefix):
            return at, path


def stop(process):
    process.send_signal(signal.SIGTERM)
    try:
        process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def main():
    shell, pack, serve, minimal, content = sys.argv[1:6]
    runs = int(sys.argv[6]) if len(sys.argv) > 6 else 10
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Beacon)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    port = server.server_address[1]

    root = tempfile.mkdtemp(prefix="quillory-startup-")
    plain, program = os.path.join(root, "plain"), os.path.join(root, "program")
    for name in os.listdir(content):
        if os.path.isdir(os.path.join(content, name)):
            shutil.copytree(os.path.join(content, name), os.path.join(plain, name))
    with open(os.path.join(plain, "000000", "kvr_entrance.html"), "w") as page:
        page.write(BENCH_PAGE.replace("PORT", str(port)))
    os.makedirs(program)
    subprocess.run([pack, "store", plain, os.path.join(program, "Data"), "--force"],
                   check=True, stdout=subprocess.DEVNULL)
    shutil.copy2(shell, os.path.join(program, "quillory"))
    runtime = os.path.join(root, "runtime")
    os.makedirs(runtime, mode=0o700)
    env = dict(os.environ, XDG_RUNTIME_DIR=runtime, GSETTINGS_BACKEND="memory",
               NO_AT_BRIDGE="1", XDG_CACHE_HOME=os.path.join(root, "cache"),
               QUILLORY_UPDATE_SERVER="http://127.0.0.1:9",
               QUILLORY_FEATURE_CONTROL_FILE=os.path.join(root, "feature.ini"))

    served = subprocess.Popen([serve, program], stdout=subprocess.PIPE, env=env, text=True)
    serve_port = served.stdout.readline().strip()
    url = "http://localhost:%s/000000/kvr_entrance.html" % serve_port

    shell_times, minimal_times, round_trips = [], [], []
    try:
        for run in range(runs + 1):  # the first pair warms the caches and is not counted
            start = time.monotonic()
            process = subprocess.Popen([os.path.join(program, "quillory")], env=env,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            loaded, _ = wait_for("/loaded")
            _, report = wait_for("/winfun")
            stop(process)
            query = urllib.parse.parse_qs(urllib.parse.urlparse(report).query)
            if run > 0:
                shell_times.append(loaded - start)
                round_trips.append(float(query["median"][0]))

            start = time.monotonic()
            process = subprocess.Popen([minimal, url], env=env, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
            loaded, _ = wait_for("/loaded")
            stop(process)
            if run > 0:
                minimal_times.append(loaded - start)
    finally:
        stop(served)
        server.shutdown()
        shutil.rmtree(root, ignore_errors=True)

    shell_median = statistics.median(shell_times) * 1000
    minimal_median = statistics.median(minimal_times) * 1000
    print("start to entrance loaded, median of %d runs:" % runs)
    print("  quillory          %7.1f ms  (runs: %s)" % (
        shell_median, ", ".join("%.0f" % (t * 1000) for t in shell_times)))
    print("  minimal WebKitGTK %7.1f ms  (runs: %s)" % (
        minimal_median, ", ".join("%.0f" % (t * 1000) for t in minimal_times)))
    print("  ratio             %7.2f  (goal <= 1.20)" % (shell_median / minimal_median))
    print("WinFun round trip with one statement, median: %.3f ms (goal <= 1 ms)" %
          statistics.median(round_trips))


if __name__ == "__main__":
    main()
