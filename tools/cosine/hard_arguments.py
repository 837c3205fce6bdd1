#!/usr/bin/env python3
"""Prints the table of hard arguments in tests/runtime/ExtendedCosineTest.cpp:
for each binade of x from [1, 2) to [2^62, 2^63) (the integer cosine's whole
reducing range), the extended value nearest an odd multiple of pi/2, where
cos x is tiny and the reduction has to keep the most bits; then the
arguments given on the command line (as hex significand and exponent, x =
significand * 2^exponent), for example the worst ones of a sweep with
tools/cosine/CosineError.cpp. Each row carries cos x to 128 bits.

    python3 tools/cosine/hard_arguments.py [SIGNIFICAND EXPONENT]...

Needs mpmath (Debian: python3-mpmath). The search is exact: in each binade
every significand m with |m * 2^e * 2/pi - k| below 2^-58 is a point of a
two-dimensional lattice inside a box, found by enumerating the box with a
reduced basis, so no closer argument is missed. A row's note is the
argument's distance from its odd multiple of pi/2, in quadrants.
"""
import sys
from fractions import Fraction

import mpmath

mpmath.mp.prec = 640
PRECISION = 400  # bits of 2/pi behind the point that the search uses
TWO_OVER_PI = 2 / mpmath.pi


def reduced_basis(u, v):
    """Lagrange-Gauss reduction of a two-dimensional integer basis."""
    def dot(a, b):
        return a[0] * b[0] + a[1] * b[1]
    if dot(u, u) > dot(v, v):
        u, v = v, u
    while True:
        q = (2 * dot(u, v) + dot(u, u)) // (2 * dot(u, u))
        v = (v[0] - q * u[0], v[1] - q * u[1])
        if dot(v, v) >= dot(u, u):
            return u, v
        u, v = v, u


def near_multiples(exponent, eps_log2=-58):
    """Every m in [2^63, 2^64) with m * 2^exponent * 2/pi within
    2^eps_log2 of an integer k, as (m, k)."""
    lo, hi = 1 << 63, (1 << 64) - 1
    scale = 1 << PRECISION
    a = int(mpmath.floor(TWO_OVER_PI * mpmath.ldexp(1, exponent + PRECISION)))
    eps = 1 << (PRECISION + eps_log2)
    # Lattice points (t*m, m*a - k*scale); the first coordinate is scaled so
    # that the box [t*lo, t*hi] x [-eps, eps] is about square.
    t = max(1, 2 * eps // (hi - lo))
    u, v = reduced_basis((t, a), (0, scale))
    det = u[0] * v[1] - u[1] * v[0]
    corners = [(x, y) for x in (t * lo, t * hi) for y in (-eps, eps)]
    coefficients = [Fraction(x * v[1] - y * v[0], det) for x, y in corners]
    found = []
    for i in range(int(min(coefficients)) - 1, int(max(coefficients)) + 2):
        j_lo, j_hi = None, None
        for low, high, d in ((t * lo, t * hi, 0), (-eps, eps, 1)):
            base = i * u[d]
            if v[d] == 0:
                if not low <= base <= high:
                    j_lo, j_hi = 1, 0
                continue
            if v[d] > 0:
                first, last = -((base - low) // v[d]), (high - base) // v[d]
            else:
                first, last = -((high - base) // -v[d]), (base - low) // -v[d]
            j_lo = first if j_lo is None else max(j_lo, first)
            j_hi = last if j_hi is None else min(j_hi, last)
        for j in range(j_lo, j_hi + 1):
            x = i * u[0] + j * v[0]
            if x % t or not lo <= x // t <= hi:
                continue
            m = x // t
            y = i * u[1] + j * v[1]
            found.append((m, (m * a - y) // scale))
    return found


def distance(m, exponent, k):
    return abs(mpmath.mpf(m) * mpmath.ldexp(1, exponent) * TWO_OVER_PI - k)


def row(m, exponent, note):
    c = mpmath.cos(mpmath.mpf(m) * mpmath.ldexp(1, exponent))
    negative = c < 0
    c = abs(c)
    e = int(mpmath.floor(mpmath.log(c, 2)))
    s = int(mpmath.nint(mpmath.ldexp(c, 127 - e)))
    if s >> 128:  # rounded up to the next binade
        s >>= 1
        e += 1
    assert s >> 127 == 1
    return "    {0x%016Xull, %d, %s, 0x%016Xull, 0x%016Xull, %d},  // %s" % (
        m, exponent, "true" if negative else "false", s >> 64, s & ((1 << 64) - 1), e, note)


def main():
    rows = []
    for exponent in range(-63, 0):  # binades [2^(exponent+63), 2^(exponent+64))
        odd = [(distance(m, exponent, k), m, k) for m, k in near_multiples(exponent) if k % 2 == 1]
        if not odd:
            continue
        d, m, k = min(odd)
        rows.append(row(m, exponent, "2^%.1f" % float(mpmath.log(d, 2))))
    arguments = sys.argv[1:]
    for m, exponent in zip(arguments[::2], arguments[1::2]):
        rows.append(row(int(m, 16), int(exponent), "given"))
    print("\n".join(rows))


if __name__ == "__main__":
    main()
