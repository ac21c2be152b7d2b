#!/usr/bin/env python3
"""HTTP download benchmark: a 64 MiB file from a loopback server (127.0.0.1
only), fetched in the same run by

  kqhttp   KQHTTP::DoGetIntoFile under Wine, as the setup downloads
  kqbuf64k the same client (size request, select and recv per piece) with
           64 KiB pieces instead of 4096 bytes
  urlmon   Wine's own URLDownloadToFileA, in the same prefix
  recv4k   a bare socket under Wine receiving 4 KiB at a time
  recv64k  a bare socket under Wine receiving 64 KiB at a time
  curl     curl on the host

Each is run RUNS times; the best time counts. Prints throughput, peak memory
and the ratios of kqhttp to curl, urlmon, the client with large pieces and
the two bare loops. Every file
must arrive complete, or the benchmark fails; it asserts no speed.

  http_bench.py <http_bench.exe> <wine prefix> [size MiB] [runs]
"""
import os
import socketserver
import subprocess
import sys
import tempfile
import threading
from pathlib import Path

SIZE = (int(sys.argv[3]) if len(sys.argv) > 3 else 64) << 20
RUNS = int(sys.argv[4]) if len(sys.argv) > 4 else 3
BODY = bytes(range(256)) * (SIZE // 256)


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = self.request.recv(4096)
            if not chunk:
                return
            data += chunk
        try:
            self.request.sendall(f"HTTP/1.0 200 OK\r\nContent-Length: {SIZE}\r\n\r\n".encode())
            self.request.sendall(BODY)
        except OSError:
            pass


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def wine_run(exe, prefix, mode, url, target):
    env = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    out = subprocess.run(["wine", exe, mode, url, target], env=env, capture_output=True, text=True,
                         timeout=600).stdout
    fields = dict(item.split("=", 1) for item in out.split() if "=" in item)
    if "ms" not in fields:
        raise SystemExit(f"{mode} failed: {out!r}")
    return float(fields["ms"]) / 1000, int(fields["bytes"]), int(fields["peak_kb"])


def curl_run(url, target):
    # GNU time measures curl's own peak: a child forked straight from this
    # process would count the 64 MiB body held here.
    proc = subprocess.run(["/usr/bin/time", "-f", "peak_kb=%M", "curl", "-s", "-o", target, "-w",
                           "%{time_total}", url], capture_output=True, text=True, timeout=600)
    if proc.returncode != 0:
        raise SystemExit(f"curl failed: {proc.stderr}")
    peak_kb = int(proc.stderr.strip().rsplit("peak_kb=", 1)[1])
    return float(proc.stdout), os.path.getsize(target), peak_kb


def main():
    exe, prefix = sys.argv[1], Path(sys.argv[2])
    server = Server(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    url = f"http://127.0.0.1:{server.server_address[1]}/big.bin"
    work = Path(tempfile.mkdtemp(dir=prefix / "drive_c"))
    results = {}
    try:
        for mode in ["kqhttp", "kqbuf64k", "urlmon", "recv4k", "recv64k", "curl"]:
            best = None
            for run in range(RUNS):
                target = work / f"{mode}.bin"
                if mode == "curl":
                    seconds, size, peak_kb = curl_run(url, str(target))
                else:
                    seconds, size, peak_kb = wine_run(exe, prefix, mode, url, "C:\\" + str(target.relative_to(
                        prefix / "drive_c")).replace("/", "\\"))
                if size != SIZE or target.read_bytes() != BODY:
                    raise SystemExit(f"{mode}: the file did not arrive complete ({size} of {SIZE} bytes)")
                target.unlink()
                if best is None or seconds < best[0]:
                    best = (seconds, peak_kb)
            results[mode] = best
    finally:
        server.shutdown()
        for f in work.iterdir():
            f.unlink()
        work.rmdir()

    print(f"HTTP download of {SIZE >> 20} MiB over loopback, best of {RUNS} runs")
    print(f"{'client':<10}{'seconds':>10}{'MiB/s':>10}{'peak KiB':>12}")
    for mode, (seconds, peak_kb) in results.items():
        print(f"{mode:<10}{seconds:>10.3f}{SIZE / 1048576 / seconds:>10.1f}{peak_kb:>12}")
    rate = {mode: SIZE / seconds for mode, (seconds, _) in results.items()}
    for other in ["curl", "urlmon", "kqbuf64k", "recv4k", "recv64k"]:
        print(f"ratio kqhttp/{other} (throughput): {rate['kqhttp'] / rate[other]:.2f}")
    print("peak KiB: the peak working set reported by Windows for the Wine programs, the maximum RSS for curl")


if __name__ == "__main__":
    main()
