#!/usr/bin/env python3
"""Writes the seed corpora under corpus/<target>/ (run once; the files are committed)."""
import os
import random
import struct

here = os.path.dirname(os.path.abspath(__file__))


def put(target, name, data):
    d = os.path.join(here, "corpus", target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())


for i, t in enumerate(["  -2147483649", "+2147483647,x", "12abc,  -0.0e-5,3", "1e400,-1e-400,NA,,0x1p3",
                       " \t.5e+1,5.,-.e1,inf,nan", "0.1234567890123456789,1234567890123456e-310",
                       "4.9406564584124654e-324,2.4703282292062327e-324"]):
    put("fuzz_lenient", f"seed{i}", t)

doubles = [0.0, -0.0, 1.0, 0.1, 1e-5, 9.9999995e-5, 123456.5, 999999.5, 1e16, 5e-324, 1.7976931348623157e308,
           float("inf"), float("-inf"), float("nan"), -float("nan"), 0.5, 2.5e-7, 1e100, 9.5e-10]
for i in range(0, len(doubles), 4):
    put("fuzz_format", f"seed{i // 4}", b"".join(struct.pack("<d", x) for x in doubles[i:i + 4]))
put("fuzz_format", "tail", struct.pack("<d", 0.25) + b"\x12\x34\x56")

for i, t in enumerate([b"a\nb\r\nc", b"\n\n\r\n\r\r\n", b"x\x00y\nlast\r", b"coord,value\n100,0.5\n200,1\n",
                       b"", b"\r"]):
    put("fuzz_line_reader", f"seed{i}", bytes([i * 40 % 256, 0x55, 0xAA, 0x0F, 0xF0, 0]) + t)
put("fuzz_line_reader", "long", bytes([0x80, 0, 0xFF, 0, 0xFF, 250]) + b"0123456789abcdef\r")

for i, t in enumerate(["coord,select\n100,1\n200,0\n300,2\n", "h\n-5,x\n 7 ,\t1\r\n,,\n2147483648,-2147483649",
                       "only a header", "", "h\r\n1\r\n2,1,3\n\n"]):
    put("fuzz_site_lists", f"seed{i}", t)

rng = random.Random(6)
for i in range(8):
    put("fuzz_block_pass", f"seed{i}", bytes(rng.randrange(256) for _ in range(64 + 64 * i)))
