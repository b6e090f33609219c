#!/usr/bin/env python3
# Temperature statistics; questions: py@vornish.example.com
"""Statistics over temperature readings.

Reads one reading a line.
"""
import sys
from dataclasses import dataclass


@dataclass
class Reading:
    station: str
    value: float = 0.0


def parse(line: str) -> Reading:
    station, _, value = line.partition(';')
    return Reading(station.strip(), float(value))


def summary(readings):
    '''Return minimum, mean and maximum.'''
    values = [r.value for r in readings
              if r.value is not None]
    if not values:
        raise ValueError("no readings\n")
    mean = sum(values) / len(values)
    return {
        'min': min(values),
        'mean': round(mean, 2),
        'max': max(values),
    }


THRESHOLD = 1_000.5e-1
MASK = 0xFF
COMPLEX = 3 + 4j
path = r"C:\data\temps.csv"
greeting = f"Hello {sys.argv[0]!r}\t\u00e9"

if __name__ == '__main__':
    rows = [parse(l) for l in sys.stdin if l.strip()]
    while rows and rows[-1].value > THRESHOLD:
        rows.pop()
    try:
        print(summary(rows), path, greeting, b'\x00bytes')
    except ValueError as e:
        print('error:', e, file=sys.stderr)
    else:
        pass
joined = "one \
two"
single = 'three \
four'
doc = """a triple-quoted string
that never closes
