#!/usr/bin/python3
"""A read-only FUSE file system whose files misbehave in known ways, for tests.

    fault_fs.py MOUNTPOINT     mounts it in the foreground until unmounted
    fault_fs.py --manifest     prints what each readable file really serves

Every file is served in direct-I/O mode, so a read that this file system
answers short comes back short to the reader, exactly as served. The files:

    files/plain-3, plain-1k, plain-4k   served whole
    files/capped-1000                   12,000 bytes, at most 1,000 per read
    files/short-100                     5,000 bytes, at most 100 per read
    files/size-lies                     its size says 4,096, it holds 2,048
    files/eio-late                      300 KiB; reads past 200 KiB fail (EIO)
    files/eio-open                      its open fails (EIO)
    blocking/stall                      a read waits until released

SIGUSR1 releases the reads that wait, and every later one (they also give up
by themselves after a minute, so an unmount never waits for ever, and when
the kernel interrupts them because their reader was killed). A server
whose parent process ends unmounts itself.

The manifest has one line per readable file, fields separated by tabs:
name, the number of bytes served, then MD5, SHA-1 and CRC-32 of those bytes
in upper-case hexadecimal.
"""

import ctypes
import errno
import hashlib
import os
import signal
import stat
import subprocess
import sys
import threading
import time
import zlib

KIB = 1024
STAMP_NS = 1_700_000_000 * 10**9  # every file keeps this time


def content(name, length):
    """length bytes of a sequence of its own for each name, never repeating
    within a file, so that bytes served twice or out of place change every
    digest."""
    out = bytearray()
    block = 0
    while len(out) < length:
        out += hashlib.sha256(f"{name}/{block}".encode()).digest()
        block += 1
    return bytes(out[:length])


class Entry:
    def __init__(self, length, claimed=None, cap=None, fail_past=None,
                 fail_open=False, stall=False):
        self.length = length              # bytes really held
        self.claimed = length if claimed is None else claimed
        self.cap = cap                    # most bytes one read returns
        self.fail_past = fail_past        # reads reaching past this fail
        self.fail_open = fail_open
        self.stall = stall

    def readable(self):
        return not self.fail_open and self.fail_past is None


ENTRIES = {
    "files/plain-3": Entry(3),
    "files/plain-1k": Entry(KIB),
    "files/plain-4k": Entry(4 * KIB),
    "files/capped-1000": Entry(12_000, cap=1000),
    "files/short-100": Entry(5000, cap=100),
    "files/size-lies": Entry(2 * KIB, claimed=4 * KIB),
    "files/eio-late": Entry(300 * KIB, fail_past=200 * KIB),
    "files/eio-open": Entry(KIB, fail_open=True),
    "blocking/stall": Entry(KIB, stall=True),
}
FOLDERS = {"", "files", "blocking"}


def manifest():
    for name, entry in ENTRIES.items():
        if not entry.readable():
            continue
        data = content(name, entry.length)
        print("\t".join([name, str(len(data)),
                         hashlib.md5(data).hexdigest().upper(),
                         hashlib.sha1(data).hexdigest().upper(),
                         "%08X" % zlib.crc32(data)]))


def mount(mountpoint):
    import fusepy

    released = threading.Event()
    interrupted = fusepy._libfuse.fuse_interrupted
    interrupted.restype = ctypes.c_int
    interrupted.argtypes = []

    class FaultFs(fusepy.Operations):
        use_ns = True

        def __init__(self):
            self.data = {name: content(name, e.length)
                         for name, e in ENTRIES.items()}

        @staticmethod
        def key(path):
            return path.strip("/")

        def getattr(self, path, fh=None):
            name = self.key(path)
            times = {"st_atime": STAMP_NS, "st_mtime": STAMP_NS,
                     "st_ctime": STAMP_NS}
            if name in FOLDERS:
                return dict(times, st_mode=stat.S_IFDIR | 0o555, st_nlink=2)
            entry = ENTRIES.get(name)
            if entry is None:
                raise fusepy.FuseOSError(errno.ENOENT)
            return dict(times, st_mode=stat.S_IFREG | 0o444, st_nlink=1,
                        st_size=entry.claimed)

        def readdir(self, path, fh):
            folder = self.key(path)
            if folder not in FOLDERS:
                raise fusepy.FuseOSError(errno.ENOTDIR)
            names = set()
            for name in list(ENTRIES) + list(FOLDERS):
                parent, _, leaf = name.rpartition("/")
                if name and parent == folder:
                    names.add(leaf)
            return [".", ".."] + sorted(names)

        def open(self, path, flags):
            entry = ENTRIES.get(self.key(path))
            if entry is None:
                raise fusepy.FuseOSError(errno.ENOENT)
            if flags & (0o3):  # O_WRONLY or O_RDWR
                raise fusepy.FuseOSError(errno.EROFS)
            if entry.fail_open:
                raise fusepy.FuseOSError(errno.EIO)
            return 0

        def read(self, path, size, offset, fh):
            name = self.key(path)
            entry = ENTRIES[name]
            if entry.stall:
                # Waits until released, or until the kernel interrupts the
                # read (its reader was killed), as a network file system's
                # reads end when their process is killed.
                deadline = time.monotonic() + 60
                while not released.wait(timeout=0.01):
                    if interrupted() or time.monotonic() > deadline:
                        raise fusepy.FuseOSError(errno.EINTR)
            if entry.cap is not None:
                size = min(size, entry.cap)
            if entry.fail_past is not None and offset + size > entry.fail_past:
                raise fusepy.FuseOSError(errno.EIO)
            return self.data[name][offset:offset + size]

    # SIGUSR1 is blocked in every thread (libfuse's threads inherit the
    # mask) and taken by one that waits for it: Python's own handlers would
    # only run on the main thread, which sits in libfuse's loop.
    signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGUSR1})

    def release_on_signal():
        while True:
            signal.sigwait({signal.SIGUSR1})
            released.set()

    # A server whose test has gone (killed, crashed) lets go of its mount
    # by itself rather than leave it behind.
    parent = os.getppid()

    def unmount_when_orphaned():
        while os.getppid() == parent:
            time.sleep(0.5)
        released.set()
        subprocess.run(["fusermount", "-u", "-z", mountpoint], check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    threading.Thread(target=release_on_signal, daemon=True).start()
    threading.Thread(target=unmount_when_orphaned, daemon=True).start()
    fusepy.FUSE(FaultFs(), mountpoint, foreground=True, direct_io=True,
                ro=True, fsname="varnel-fault-fs")
    released.set()


def main():
    if sys.argv[1:] == ["--manifest"]:
        manifest()
    elif len(sys.argv) == 2 and not sys.argv[1].startswith("-"):
        mount(sys.argv[1])
    else:
        sys.exit("usage: fault_fs.py MOUNTPOINT | --manifest")


if __name__ == "__main__":
    main()
