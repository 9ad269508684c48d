#!/usr/bin/env python3
"""The GBK bytes glibc's iconv gives every character of the basic plane
(U+0001 to U+FFFF but the surrogates), one line each: "XXXX HEX", or
"XXXX ?" when GBK cannot hold it. The Windows build's converter is checked
against this table."""
import subprocess
import sys

codes = [c for c in range(1, 0x10000) if not 0xD800 <= c <= 0xDFFF and c != 0x0A]
text = "".join(chr(c) + "\n" for c in codes).encode("utf-8")
out = subprocess.run(["iconv", "-c", "-f", "UTF-8", "-t", "GBK"], input=text,
                     capture_output=True, check=False).stdout
# GBK's second bytes are never a line feed, so the lines match the codes.
lines = out.split(b"\n")[:-1]
if len(lines) != len(codes):
    sys.exit("gbk_reference: iconv gave %d lines for %d characters" % (len(lines), len(codes)))
table = dict(zip(codes, lines))
table[0x0A] = b"\n"
with open(sys.argv[1], "w", encoding="ascii") as f:
    for code in sorted(table):
        f.write("%04X %s\n" % (code, table[code].hex().upper() if table[code] else "?"))
