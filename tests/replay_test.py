#!/usr/bin/env python3
"""The replayer's crash states, on a log written here: a four-sector disk, and
writes, flushes, a FUA write, a discard and a mark."""
import importlib.machinery
import importlib.util
import random
import struct
import sys
import tempfile

sys.dont_write_bytecode = True  # nothing of the test in the source tree
loader = importlib.machinery.SourceFileLoader("replay", sys.argv[1])
replay = importlib.util.module_from_spec(importlib.util.spec_from_loader("replay", loader))
loader.exec_module(replay)
S = 512


def log_of(entries):
    body = b""
    for sector, flags, data in entries:
        sectors = 0 if flags & replay.MARK else len(data) // S
        data_len = len(data) if flags & replay.MARK else 0
        body += struct.pack("<QQQQ", sector, sectors, flags, data_len).ljust(S, b"\0")
        if not flags & replay.DISCARD:
            body += data.ljust(-(-len(data) // S) * S, b"\0")
    return struct.pack("<QQQI", replay.MAGIC, 1, len(entries), S).ljust(S, b"\0") + body


def disk(*fills):
    return b"".join(bytes([f]) * S for f in fills)


A, B, C, D = (bytes([c]) * S for c in b"ABCD")
entries = [(0, 0, A), (0, replay.FLUSH, b""), (1, 0, B), (2, 0, C), (3, replay.FUA, D),
           (0, replay.MARK, b"boot"), (0, replay.DISCARD, b"\0" * S), (0, replay.FLUSH, b"")]
with tempfile.NamedTemporaryFile() as log:
    log.write(log_of(entries))
    log.flush()
    parsed = replay.read_log(log.name)
states = dict((name, bytes(d)) for name, d in
              replay.crash_states(disk(0, 0, 0, 0), parsed, 8, random.Random(1)))

failed = 0
cases = [
    ("nothing written", states["prefix-0"] == disk(0, 0, 0, 0)),
    ("after the first write", states["prefix-1"] == disk(65, 0, 0, 0)),
    ("a mark changes nothing", states["prefix-6"] == states["prefix-5"] == disk(65, 66, 67, 68)),
    ("a discard reads as zeros", states["prefix-7"] == disk(0, 66, 67, 68)),
    ("one state per prefix", sum(n.startswith("prefix-") for n in states) == len(entries) + 1),
    # The second span: B, C volatile, D with FUA, the discard volatile.
    ("subsets are proper and non-empty", all(s not in (disk(65, 0, 0, 68), disk(0, 66, 67, 68))
                                            for n, s in states.items() if n.startswith("span-1-"))),
    ("subsets keep the FUA write", all(s[3 * S] == 68 for n, s in states.items() if n.startswith("span-1-"))),
    ("subsets start from the span's start", all(s[:S] in (A, bytes(S)) for n, s in states.items()
                                                if n.startswith("span-1-"))),
    ("a span of one write has no subset", not any(n.startswith("span-0-") for n in states)),
]
for name, ok in cases:
    if not ok:
        failed += 1
        print("FAIL", name)
print(f"{len(cases) - failed} passed, {failed} failed")
sys.exit(1 if failed else 0)
