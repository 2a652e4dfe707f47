#!/usr/bin/env python3
"""Prints how many tests a CTest run skipped and why, from its JUnit report.

    skipped-tests.py <label> <report.xml>
    skipped-tests.py --totals [--stopped] <report.xml>...

A test that skips says why in its output (GoogleTest's "Skipped" line, then the
reason); a skip nobody reads would hide a test that CI never runs.

With --totals, one line counts the tests of every report: "tests: 7944 passed,
0 failed, 12 skipped". A report that is missing or unreadable (its build failed
before the tests ran) counts as one failed test. With --stopped (the run stopped before its
end), at least one test counts as failed.
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


def is_skipped(case):
    return case.find("skipped") is not None or case.get("status") in ("notrun", "disabled")


def is_failed(case):
    return case.find("failure") is not None or case.find("error") is not None or case.get("status") == "fail"


def totals(reports, stopped=False):
    passed = failed = skipped = 0
    for report in reports:
        try:
            cases = list(ElementTree.parse(report).getroot().iter("testcase"))
        except (OSError, ElementTree.ParseError):
            failed += 1
            continue
        for case in cases:
            if is_failed(case):
                failed += 1
            elif is_skipped(case):
                skipped += 1
            else:
                passed += 1
    if stopped:
        failed = max(failed, 1)
    print(f"tests: {passed} passed, {failed} failed, {skipped} skipped")
    return 0


def main():
    if sys.argv[1] == "--totals":
        return totals([a for a in sys.argv[2:] if a != "--stopped"], "--stopped" in sys.argv[2:])
    label, report = sys.argv[1], sys.argv[2]
    try:
        cases = ElementTree.parse(report).getroot().iter("testcase")
    except (OSError, ElementTree.ParseError) as error:
        print(f"== {label}: no test report to count skips from ({error})")
        return 0
    skipped = [(case.get("name", "?"), reason_of(case)) for case in cases if is_skipped(case)]
    print(f"== {label}: {len(skipped)} test{'' if len(skipped) == 1 else 's'} skipped")
    for name, reason in sorted(skipped):
        print(f"   {name}: {reason}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
