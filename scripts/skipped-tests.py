#!/usr/bin/env python3
"""Prints how many tests a CTest run skipped and why, from its JUnit report.

    skipped-tests.py <label> <report.xml>

A test that skips says why in its output (GoogleTest's "Skipped" line, then the
reason); a skip nobody reads would hide a test that CI never runs.
"""
import sys
import xml.etree.ElementTree as ElementTree


def reason_of(case):
    output = case.findtext("system-out") or ""
    lines = output.splitlines()
    for i, line in enumerate(lines):
        if line.rstrip().endswith(": Skipped"):
            following = [text.strip() for text in lines[i + 1:] if text.strip()]
            if following and not following[0].startswith("["):
                return following[0]
            return "no reason given"
    skipped = case.find("skipped")
    message = skipped.get("message") if skipped is not None else None
    return message or "no reason given"


def main():
    label, report = sys.argv[1], sys.argv[2]
    try:
        cases = ElementTree.parse(report).getroot().iter("testcase")
    except (OSError, ElementTree.ParseError) as error:
        print(f"== {label}: no test report to count skips from ({error})")
        return 0
    skipped = [(case.get("name", "?"), reason_of(case))
               for case in cases
               if case.find("skipped") is not None or case.get("status") in ("notrun", "disabled")]
    print(f"== {label}: {len(skipped)} test{'' if len(skipped) == 1 else 's'} skipped")
    for name, reason in sorted(skipped):
        print(f"   {name}: {reason}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
