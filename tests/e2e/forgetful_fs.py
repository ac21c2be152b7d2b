#!/usr/bin/python3
"""A file layer that forgets, at a power cut, what was not flushed.

`wineserver -k` ends every process of a prefix at once, but Linux's page
cache keeps every byte they wrote: no file is ever torn. This layer (FUSE,
Debian's python3-fuse) passes everything through to a backing folder and
remembers, for each file written since its last fsync (Wine's
FlushFileBuffers), the content it had before. At a cut each such file is
left as a disk can leave it: its old content, a cut-off prefix of its new
one, or zeros up to its new size (a new file's old content is empty).
Names, folders and renames stay as they were: the file system's metadata is
journaled.

    forgetful_fs.py BACKING MOUNTPOINT SEED

runs in the foreground and reads commands from its standard input, one a
line, answering each with one JSON line: `cut` (forget, answers with the
files torn and how), `flush` (a clean shutdown: everything written is
kept). Layer, below, is the fleet's side of it.
"""
import json
import os
import random
import subprocess
import sys
import threading
import time
from pathlib import Path

MODES = ("old", "prefix", "zeros")


def torn_content(old: bytes, new: bytes, mode: str, rng: random.Random) -> bytes:
    """What a file written since its last flush holds after a cut."""
    if mode == "old":
        return old
    if mode == "prefix":
        return new[:rng.randrange(len(new))] if new else b""
    return bytes(len(new))


class Layer:
    """A forgetting layer mounted at `mount` (root only): `skipped` tells why
    there is none, and then nothing else works."""

    def __init__(self, backing: Path, mount: Path, seed: int):
        self.mount = mount
        self.proc = None
        self.skipped = ""
        if not os.path.exists("/dev/fuse"):
            self.skipped = "no /dev/fuse on this machine"
            return
        backing.mkdir(parents=True, exist_ok=True)
        mount.mkdir(parents=True, exist_ok=True)
        self.proc = subprocess.Popen([sys.executable, __file__, str(backing), str(mount), str(seed)],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     text=True)
        deadline = time.time() + 20
        while not os.path.ismount(mount):
            if self.proc.poll() is not None or time.time() > deadline:
                said = self.stop().splitlines()
                self.skipped = f"the forgetting layer cannot be mounted: {said[-1] if said else 'no answer'}"
                return
            time.sleep(0.05)

    def ask(self, command: str) -> dict:
        self.proc.stdin.write(command + "\n")
        self.proc.stdin.flush()
        return json.loads(self.proc.stdout.readline())

    def cut(self) -> dict:
        """Forgets what was not flushed; the files torn, by path, with how."""
        return self.ask("cut")["torn"]

    def flush(self):
        self.ask("flush")

    def stop(self) -> str:
        """Unmounts and ends the layer; what it said on its way out."""
        if self.proc is None:
            return ""
        if os.path.ismount(self.mount) and subprocess.run(["umount", str(self.mount)], capture_output=True).returncode:
            subprocess.run(["umount", "-l", str(self.mount)], check=False)  # still busy: detached now, gone when free
        try:
            _, err = self.proc.communicate(timeout=20)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            _, err = self.proc.communicate()
        self.proc = None
        return err.strip()


def serve(backing: str, mount: str, seed: int):
    import errno
    import fuse
    fuse.fuse_python_api = (0, 2)
    rng = random.Random(seed)
    lock = threading.RLock()
    dirty: dict[int, bytes] = {}  # inode -> content at its last flush

    def real(path: str) -> str:
        return backing + path

    def before_write(path: str):
        """Remembers the content a file had at its last flush, before its
        first change since then."""
        with lock:
            try:
                st = os.lstat(real(path))
            except FileNotFoundError:
                return
            if st.st_ino not in dirty:
                dirty[st.st_ino] = Path(real(path)).read_bytes()

    def forget_inode(path: str):
        """A name that goes away: its inode number may come back for a new file."""
        with lock:
            try:
                st = os.lstat(real(path))
            except FileNotFoundError:
                return
            if st.st_nlink <= 1:
                dirty.pop(st.st_ino, None)

    def cut() -> dict:
        with lock:
            torn = {}
            for top, _, files in os.walk(backing):
                for name in files:
                    path = os.path.join(top, name)
                    ino = os.lstat(path).st_ino
                    if ino not in dirty:
                        continue
                    mode = rng.choice(MODES)
                    new = Path(path).read_bytes()
                    Path(path).write_bytes(torn_content(dirty[ino], new, mode, rng))
                    torn[os.path.relpath(path, backing)] = mode
            dirty.clear()
            return torn

    class File:
        def __init__(self, path, flags, *mode):
            if flags & os.O_TRUNC:
                before_write(path)
            created = flags & os.O_CREAT and not os.path.exists(real(path))
            self.fd = os.open(real(path), flags, *mode)
            if created:
                with lock:
                    dirty[os.fstat(self.fd).st_ino] = b""
            self.path = path

        def read(self, length, offset):
            return os.pread(self.fd, length, offset)

        def write(self, buf, offset):
            self.mark()
            return os.pwrite(self.fd, buf, offset)

        def mark(self):
            with lock:
                ino = os.fstat(self.fd).st_ino
                if ino not in dirty:
                    dirty[ino] = Path(f"/proc/self/fd/{self.fd}").read_bytes()

        def ftruncate(self, length):
            self.mark()
            os.ftruncate(self.fd, length)

        def fgetattr(self):
            return os.fstat(self.fd)

        def fsync(self, datasync):
            os.fsync(self.fd)
            with lock:
                dirty.pop(os.fstat(self.fd).st_ino, None)

        def flush(self):
            return 0  # a close: nothing is made durable by it

        def release(self, flags):
            os.close(self.fd)
        # No lock method: the kernel then keeps the locks itself.

    class Forgetful(fuse.Fuse):
        file_class = File

        def getattr(self, path):
            return os.lstat(real(path))

        def readdir(self, path, offset):
            for name in [".", ".."] + os.listdir(real(path)):
                yield fuse.Direntry(name)

        def readlink(self, path):
            return os.readlink(real(path))

        def mkdir(self, path, mode):
            os.mkdir(real(path), mode)

        def rmdir(self, path):
            os.rmdir(real(path))

        def unlink(self, path):
            forget_inode(path)
            os.unlink(real(path))

        def symlink(self, target, path):
            os.symlink(target, real(path))

        def rename(self, old, new):
            forget_inode(new)
            os.rename(real(old), real(new))

        def link(self, target, path):
            os.link(real(target), real(path))

        def chmod(self, path, mode):
            os.chmod(real(path), mode)

        def chown(self, path, uid, gid):
            os.chown(real(path), uid, gid)

        def truncate(self, path, length):
            before_write(path)
            os.truncate(real(path), length)

        def utimens(self, path, atime, mtime):
            os.utime(real(path), ns=(atime.tv_sec * 10**9 + atime.tv_nsec, mtime.tv_sec * 10**9 + mtime.tv_nsec))

        def access(self, path, mode):
            if not os.access(real(path), mode):
                return -errno.EACCES

        def statfs(self):
            return os.statvfs(backing)

        def getxattr(self, path, name, size):
            value = os.getxattr(real(path), name, follow_symlinks=False)
            return len(value) if size == 0 else value

        def setxattr(self, path, name, value, flags):
            os.setxattr(real(path), name, value, flags, follow_symlinks=False)

        def listxattr(self, path, size):
            names = os.listxattr(real(path), follow_symlinks=False)
            return len("".join(n + "\0" for n in names)) if size == 0 else names

        def removexattr(self, path, name):
            os.removexattr(real(path), name, follow_symlinks=False)

    def control():
        for line in sys.stdin:
            if line.strip() == "cut":
                answer = {"torn": cut()}
            else:
                with lock:
                    dirty.clear()
                answer = {}
            sys.stdout.write(json.dumps(answer) + "\n")
            sys.stdout.flush()

    threading.Thread(target=control, daemon=True).start()
    server = Forgetful(dash_s_do="setsingle")
    # No kernel caching of names and sizes: after a cut the backing files
    # say what is there.
    server.parse([mount, "-f", "-o", "attr_timeout=0,entry_timeout=0,negative_timeout=0,default_permissions"],
                 errex=1)
    server.main()


if __name__ == "__main__":
    serve(sys.argv[1], sys.argv[2], int(sys.argv[3]))
