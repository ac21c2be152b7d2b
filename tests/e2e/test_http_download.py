"""The HTTP client and the file download under Wine against a loopback
server of the tests' own (tests/e2e/http_server.py) that can misbehave.
http_probe.exe (tools/probes) drives KQHTTP and prints the callbacks, the
result and the client's trace lines."""
import re
import socket
import time

import pytest

from http_server import LoopbackServer, body_bytes, cut_body, fixed, held_open, response, serve_file, silent

FIXED_HEADERS = ("User-Agent: Mozilla/1.22 (Windows; U; 32bit)\r\nAccept: */*\r\nAccept: image/gif\r\n"
                 "Accept: image/x-xbitmap\r\nAccept: image/jpeg\r\n\r\n")


@pytest.fixture
def server():
    s = LoopbackServer()
    yield s
    s.close()


def probe(prefix, *args, timeout=120):
    result = prefix.run([prefix.tools.probe("http_probe"), *args], timeout=timeout)
    out = result.stdout
    final = re.search(r"^result=(-?\d+) (\S+) status=(\d+) size=(-?\d+) bytes=(\d+) bps=(-?\d+)", out, re.M)
    assert final, out
    callbacks = [tuple(int(v) for v in m) for m in
                 re.findall(r"^cb status=(\d+) total=(-?\d+) bytes=(\d+) bps=(-?\d+)", out, re.M)]
    return {"result": int(final[1]), "name": final[2], "status": int(final[3]), "size": int(final[4]),
            "bytes": int(final[5]), "bps": int(final[6]), "callbacks": callbacks, "out": out}


def request(path, port, host="127.0.0.1"):
    return f"GET {path} HTTP/1.0\r\nHost: {host}:{port}\r\n" + FIXED_HEADERS


class TestDownload:
    def test_file_download_request_bytes_callbacks_and_content(self, prefix, server, tmp_path):
        server.route("/d/f.exe", serve_file(300_000))
        target = prefix.drive_c / "dl_file.bin"
        got = probe(prefix, "get", server.url("/d/f.exe?x=1"), target)
        assert (got["result"], got["status"]) == (0, 104)
        assert target.read_bytes() == body_bytes(300_000)
        # The size request, then the body request: each a complete request.
        assert [r.decode("latin-1") for r in server.requests] == [request("/d/f.exe?x=1", server.port)] * 2
        calls = got["callbacks"]
        assert calls[0] == (100, -1, 0, -1) and calls[1] == (100, 300_000, 0, -1)
        assert calls[-1][:3] == (104, 300_000, 300_000)
        assert all(c[0] == 101 and 0 < c[2] < 300_000 for c in calls[2:-1])
        assert "data=1234" in got["out"]

    def test_a_zero_length_body(self, prefix, server):
        server.route("/empty", fixed(response("200 OK", ["Content-Length: 0"])))
        target = prefix.drive_c / "dl_empty.bin"
        got = probe(prefix, "get", server.url("/empty"), target)
        assert (got["result"], got["status"]) == (0, 104)
        assert target.read_bytes() == b""

    def test_slow_body_reports_at_most_once_per_interval_with_a_rate(self, prefix, server):
        # 60 pieces of 4 KB, 25 ms apart: about 1.5 s, 60 or more reads.
        server.route("/slow", serve_file(60 * 4096, delay_per_piece=0.025, piece=4096))
        got = probe(prefix, "get", server.url("/slow"), prefix.drive_c / "dl_slow.bin")
        assert got["result"] == 0
        reading = [c for c in got["callbacks"] if c[0] == 101]
        assert 1 <= len(reading) < 30
        assert reading[0][3] == -1 or reading[0][2] > 0
        assert got["callbacks"][-1][3] > 0, "a rate once a full second has passed"

    def test_callback_stops_before_the_size_request_and_before_the_body(self, prefix, server):
        server.route("/f", serve_file(1000))
        target = prefix.drive_c / "dl_abort.bin"
        target.unlink(missing_ok=True)
        got = probe(prefix, "get", server.url("/f"), target, "--abort-at", "1")
        assert (got["result"], got["status"]) == (6, 102)
        assert server.requests == [] and not target.exists() and len(got["callbacks"]) == 1
        assert "USER ABORTED DOWNLOAD (before getting size)" in got["out"]
        got = probe(prefix, "get", server.url("/f"), target, "--abort-at", "2")
        assert got["result"] == 6 and target.read_bytes() == b"" and len(server.requests) == 1

    def test_local_file_in_a_missing_folder_or_not_writable(self, prefix, server):
        server.route("/f", serve_file(10))
        got = probe(prefix, "get", server.url("/f"), prefix.drive_c / "no_such_dir" / "x.bin")
        assert got["result"] == 8
        assert [c[0] for c in got["callbacks"]] == [100, 102]
        # A target that cannot be written (tests run as root, to whom Unix
        # permissions are no obstacle: a folder stands in for it).
        folder = prefix.drive_c / "dl_target_is_a_folder"
        folder.mkdir(exist_ok=True)
        got = probe(prefix, "get", server.url("/f"), folder)
        assert got["result"] == 9 and folder.is_dir()


class TestRedirects:
    @pytest.mark.parametrize("location_line, start, expected", [
        ("Location: /a/b", "/x/r", "/a/b"),
        ("Location: b", "/x/r", "/b"),
        ("Location:/k", "/r", "/k"),
        ("Location:    /k", "/r", "/k"),
        ("LOCATION: /k", "/r", "/k"),
        ("Content-Location: /wrong\r\nLocation: /k", "/r", "/k"),
        ("Location: http://127.0.0.1:{port}/c", "/r", "/c"),
        ("Location: //127.0.0.1:{port}/c", "/r", "/c"),
    ])
    def test_redirect_targets(self, prefix, server, location_line, start, expected):
        line = location_line.format(port=server.port)
        server.route(start, fixed(f"HTTP/1.0 302 Found\r\n{line}\r\n\r\n".encode()))
        server.route(expected, fixed(response("200 OK", ["Content-Length: 5"], b"hello")))
        got = probe(prefix, "size", server.url(start))
        assert (got["result"], got["size"]) == (0, 5), got["out"]
        assert server.request_lines() == [f"GET {start} HTTP/1.0", f"GET {expected} HTTP/1.0"]
        # The second request names the same server, port included.
        assert f"Host: 127.0.0.1:{server.port}\r\n".encode() in server.requests[1]

    def test_hundred_redirects_are_followed_and_the_hundred_and_first_fails(self, prefix, server):
        def loop(conn, path):
            n = int(path.rsplit("/", 1)[1])
            if path.startswith("/stop100/") and n == 100:
                conn.sendall(response("200 OK", ["Content-Length: 3"], b"end"))
            else:
                conn.sendall(response("302 Found", [f"Location: {path.rsplit('/', 1)[0]}/{n + 1}"]))
        server.route("/loop/", loop)
        server.route("/stop100/", loop)
        got = probe(prefix, "size", server.url("/stop100/0"))
        assert (got["result"], got["size"]) == (0, 3) and len(server.requests) == 101
        server.requests.clear()
        got = probe(prefix, "size", server.url("/loop/0"))
        assert got["result"] == -1 and len(server.requests) == 101
        assert "TOO MANY REDIRECTS" in got["out"]

    def test_redirect_without_a_location_value(self, prefix, server):
        server.route("/r", fixed(b"HTTP/1.0 301 Moved\r\nLocation: \r\n\r\n"))
        got = probe(prefix, "size", server.url("/r"))
        assert got["result"] == 4 and "unable to parse redirect response" in got["out"]


class TestMisbehavingServers:
    @pytest.mark.parametrize("raw, result, size, trace", [
        (response("404 Not Found", ["Content-Length: 0"]), 4, -1, "server 404 error for url"),
        (response("204 No Content", []), 3, -1, "server error 204 for url"),
        (b"garbage-without-blank\r\n\r\n", 3, -1, "server error 500 for url"),
        (response("200 OK", ["Server: x"], b"body"), -1, -1, "content-length not found"),
        (response("200 OK", ["Content-Length: 12abc"]), -1, -1, "content-length is not a number"),
        (response("200 OK", ["Content-Length: -5"]), -1, -1, "content-length is not a number"),
        (response("200 OK", ["Content-Length:1234"]), 0, 1234, None),
        (response("100 Continue", ["content-length: \t 77 "]), 0, 77, None),
        (response("200 OK", ["X-Filler: " + "a" * 5000, "Content-Length: 1"]), 2, -1, "header larger than"),
        (b"HTTP/1.0 200 OK\r\nContent-Len", 1, -1, "Read header FAILED 1"),
    ], ids=["404", "204", "no-status", "no-length", "bad-length", "negative-length", "no-blank",
            "any-case-and-blanks", "oversized-header", "closed-in-header"])
    def test_response_headers(self, prefix, server, raw, result, size, trace):
        server.route("/t", fixed(raw))
        got = probe(prefix, "size", server.url("/t"))
        assert (got["result"], got["size"]) == (result, size), got["out"]
        if trace:
            assert trace in got["out"]

    def test_a_server_that_never_answers_times_out(self, prefix, server):
        server.route("/quiet", silent(15))
        began = time.monotonic()
        got = probe(prefix, "size", server.url("/quiet"), "--timeout", "2")
        assert got["result"] == 5 and got["name"] == "KQHTTP_ServerTimeOut"
        assert time.monotonic() - began < 14, "the client gave up before the server hung up"

    def test_a_body_cut_short_is_a_failed_download(self, prefix, server):
        server.route("/cut", cut_body(100_000, 40_000))
        target = prefix.drive_c / "dl_cut.bin"
        got = probe(prefix, "get", server.url("/cut"), target)
        assert (got["result"], got["status"]) == (-1, 102)
        assert got["callbacks"][-1][0] == 102 and got["callbacks"][-1][2] == 40_000
        assert "body ended after 40000 of 100000 bytes" in got["out"]
        assert target.read_bytes() == body_bytes(40_000)

    def test_a_body_longer_than_announced_is_a_failed_download(self, prefix, server):
        server.route("/long", fixed(response("200 OK", ["Content-Length: 10"], b"x" * 5000)))
        got = probe(prefix, "get", server.url("/long"), prefix.drive_c / "dl_long.bin")
        assert (got["result"], got["status"]) == (-1, 102)

    # The client waits up to `timeout` seconds for each read; the run must end
    # within `limit`. Where the body has a length, the limit is below the
    # timeout: a read after the whole body that waits at all fails the test.
    @pytest.mark.parametrize("headers, body, result, received, timeout, limit", [
        (["Content-Length: 5000"], body_bytes(5000), 0, 5000, 12, 9),  # ends at the length, not at the close
        ([], body_bytes(5000), 5, 5000, 2, 20),                         # without a length only the close ends it
        (["Content-Length: 10"], b"x" * 5000, -1, 0, 12, 9),            # more than announced
    ], ids=["length", "close", "longer"])
    def test_body_end_with_the_server_holding_the_connection_open(self, prefix, server, headers, body, result,
                                                                   received, timeout, limit):
        server.route("/held", held_open(response("200 OK", headers, body), 30))
        began = time.monotonic()
        got = probe(prefix, "body", server.url("/held"), "--timeout", str(timeout))
        assert (got["result"], got["bytes"]) == (result, received), got["out"]
        assert time.monotonic() - began < limit, "the client waited for the server to close"

    def test_refused_connection_and_bad_addresses(self, prefix):
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            free_port = s.getsockname()[1]
        got = probe(prefix, "size", f"http://127.0.0.1:{free_port}/x")
        assert got["result"] == 5 and "socket connect error 1." in got["out"]
        for bad, trace in [("http://127.0.0.1", "no slash found"), ("HTTP://127.0.0.1/x", "cannot find http://"),
                           ("http://127.0.0.1:abc/x", "bad port")]:
            got = probe(prefix, "size", bad)
            assert "seturl=-1" in got["out"] and trace in got["out"], bad


class TestProxy:
    def test_proxy_request_line_and_basic_authorization(self, prefix, server):
        server.route("/d/f.exe", fixed(response("200 OK", ["Content-Length: 9"])))
        got = probe(prefix, "size", "http://example.invalid:8080/d/f.exe", "--proxy", "127.0.0.1",
                    str(server.port), "--auth", "user", "pa:ss")
        assert got["size"] == 9
        assert server.requests[0].decode() == (
            "GET http://example.invalid:8080/d/f.exe HTTP/1.0\r\n"
            "Proxy-Authorization: Basic dXNlcjpwYTpzcw==\r\n"
            "Host: example.invalid:8080\r\n" + FIXED_HEADERS)
