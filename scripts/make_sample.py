#!/usr/bin/env python3
"""Cuts the shipped sample feed 2026020600.upa out of a real feed.

Source: ../shared/data/bulletins/feed_global_2026020600.txt, a snapshot of a
worldwide feed of upper-air bulletins for 6 Feb 2026 00 UTC (see the README
of that folder). The sample keeps, byte for byte and in feed order, every
bulletin (SOH ... ETX) that carries a part of one of the stations below and
of at most ten stations in all: land stations on every continent, the South
Pole, a ship, duplicated and corrected (RRx/CCx) bulletins, NIL parts and
station-prefixed parts come with them. The result must stay under 100 kB.

    python3 scripts/make_sample.py [source] [output]
"""
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
SOURCE = os.path.join(ROOT, "..", "shared", "data", "bulletins", "feed_global_2026020600.txt")
OUTPUT = os.path.join(ROOT, "2026020600.upa")
LIMIT = 100 * 1000

# Denver, Oakland, Orland, Munich, Tateno, Perth, South Pole, Cape Town,
# Rio de Janeiro, Bet Dagan, Cambridge Bay, the ship 9ZT9MRK, Bamako,
# Brindisi.
STATIONS = {"72469", "72493", "01241", "10868", "47646", "94610", "89009", "68816",
            "83746", "40179", "71913", "9ZT9MRK", "61641", "16754"}
MAX_STATIONS = 10

LAND = re.compile(rb"\b(?:TT|PP)(?:AA|BB|CC|DD) +\S+ +(\S+)")
MOBILE = re.compile(rb"\b(?:UU|II)(?:AA|BB|CC|DD) +(\S+)")
PREFIXED = re.compile(rb"\b(\d{5}) +(?:TT|PP)(?:AA|BB|CC|DD)\b")


def stations(bulletin):
    found = set()
    for pattern in (LAND, MOBILE, PREFIXED):
        found.update(m.group(1).decode("ascii", "replace") for m in pattern.finditer(bulletin))
    return found


def main():
    source = sys.argv[1] if len(sys.argv) > 1 else SOURCE
    output = sys.argv[2] if len(sys.argv) > 2 else OUTPUT
    with open(source, "rb") as f:
        feed = f.read()
    chosen = []
    for bulletin in re.findall(rb"\x01.*?\x03", feed, re.S):
        ids = stations(bulletin)
        if ids & STATIONS and len(ids) <= MAX_STATIONS:
            chosen.append(bulletin)
    sample = b"".join(chosen) + feed[feed.rfind(b"\x03") + 1:]
    if len(sample) > LIMIT:
        sys.exit("sample of %d bytes is over %d" % (len(sample), LIMIT))
    with open(output, "wb") as f:
        f.write(sample)
    print("%s: %d bulletins, %d bytes, from %s" % (output, len(chosen), len(sample), source))


if __name__ == "__main__":
    main()
