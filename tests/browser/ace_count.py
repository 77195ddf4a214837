#!/usr/bin/env python3
"""Count failed Ace assertions by impact in an Ace report.json.

usage: ace_count.py REPORT.json
Prints one line per failure and a summary; exits 1 when any critical, serious
or moderate failure is present, 0 otherwise (minor ones are listed only).
"""
import json
import sys

BLOCKING = ("critical", "serious", "moderate")


def failures(node, subject=None):
    """Yields (subject, impact, rule, description) for every failed leaf."""
    subject = node.get("earl:testSubject", {}).get("url", subject)
    test = node.get("earl:test")
    if test and node.get("earl:result", {}).get("earl:outcome") == "fail":
        yield (subject, test.get("earl:impact", "unknown"), test.get("dct:title", "?"),
               node["earl:result"].get("dct:description", "").split("\n")[0])
    for child in node.get("assertions", []):
        yield from failures(child, subject)


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        report = json.load(f)
    counts = {}
    for subject, impact, rule, desc in failures(report):
        counts[impact] = counts.get(impact, 0) + 1
        print(f"{impact}: {rule} in {subject}: {desc}")
    print("ace: " + ", ".join(f"{counts.get(i, 0)} {i}" for i in BLOCKING + ("minor",)))
    return 1 if any(counts.get(i) for i in BLOCKING) else 0


if __name__ == "__main__":
    sys.exit(main())
