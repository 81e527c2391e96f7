#!/usr/bin/env python3
"""Reference values for the bit-exact tests of the computing stages.

Each value is computed here from the documented formulas, independently of
the C++ code: a float stage rounds to 32 bits after every single operation,
in the documented order; the transition stage evaluates in double and rounds
only what it stores. (For one +, -, *, / of two floats, the double result
rounded once to float is the float operation's result.)

Every case is also evaluated with regrouped formulas that are mathematically
equal; the script fails unless each regrouping changes at least one value of
its group, so the tests built on these values catch such a regrouping.

Run: python3 tests/reference/reference.py
"""
import struct
import sys


def f32(x):
    """Round a double to the nearest float."""
    return struct.unpack('<f', struct.pack('<f', x))[0]


def bits(x):
    return struct.unpack('<I', struct.pack('<f', x))[0]


def add(a, b): return f32(a + b)
def sub(a, b): return f32(a - b)
def mul(a, b): return f32(a * b)
def div(a, b): return f32(a / b)


SCALE = f32(0.001)  # efficiency tables are per mille


# Straight-line efficiency between the table points i - 1 and i, the first at
# or above E: ((E - E0) x dY / dE + Y0) x 0.001, dE and dY stored first.
def eps_line(table, e, mode, form='documented'):
    i = next(k for k, point in enumerate(table) if e <= point[0])
    e0, y0 = table[i - 1][0], table[i - 1][mode]
    e1, y1 = table[i][0], table[i][mode]
    de, dy = sub(e1, e0), sub(y1, y0)
    if form == 'documented':
        return mul(add(div(mul(sub(e, e0), dy), de), y0), SCALE)
    if form == 'slope first':
        return mul(add(mul(sub(e, e0), div(dy, de)), y0), SCALE)
    if form == 'fraction first':
        return mul(add(mul(div(sub(e, e0), de), dy), y0), SCALE)
    if form == 'scale each term':
        return add(mul(y0, SCALE), mul(div(mul(sub(e, e0), dy), de), SCALE))
    if form == 'from the upper point':
        return mul(sub(y1, div(mul(sub(e1, e), dy), de)), SCALE)
    raise ValueError(form)


EPS_FORMS = ['slope first', 'fraction first', 'scale each term', 'from the upper point']


# Quadratic Lagrange interpolation through three points (the points K ... K + 2
# already chosen), each weight rounded, summed W3 y3 + (W1 y1 + W2 y2).
def quipol3(points, x, row, form='documented'):
    (x1, *y1), (x2, *y2), (x3, *y3) = points
    if form == 'documented':
        w1 = div(mul(sub(x2, x), div(sub(x3, x), sub(x3, x1))), sub(x2, x1))
    elif form == 'left to right':
        w1 = div(div(mul(sub(x2, x), sub(x3, x)), sub(x3, x1)), sub(x2, x1))
    elif form == 'one denominator':
        w1 = div(mul(sub(x2, x), sub(x3, x)), mul(sub(x3, x1), sub(x2, x1)))
    else:
        raise ValueError(form)
    w2 = div(mul(sub(x1, x), div(sub(x3, x), sub(x3, x2))), sub(x1, x2))
    w3 = div(mul(sub(x1, x), div(sub(x2, x), sub(x2, x3))), sub(x1, x3))
    j = row - 2
    return add(mul(w3, y3[j]), add(mul(w1, y1[j]), mul(w2, y2[j])))


QUIPOL_FORMS = ['left to right', 'one denominator']


# The transitions out of one level: (energy, intensity as read, ALPHA, ALPHAK)
# by ascending lower level. Double evaluation, stored results rounded.
def transitions(table, lines, omegak, epstx, form='documented'):
    xsum = 0.0
    for _, xin, alpha, _ in lines:
        xsum = f32((alpha + 1.0) * xin + xsum)
    out = []
    for e, xin, alpha, alphak in lines:
        xtr = f32((alpha + 1.0) * xin / xsum)
        epsg = eps_line(table, e, 2)
        epstg = eps_line(table, e, 1)
        if form == 'float BPEAK':
            bpeak = mul(div(xtr, add(alpha, 1.0)), epsg)
        else:
            bpeak = f32(xtr / (alpha + 1.0) * epsg)
        if form == 'float DMISS':
            dmiss = mul(sub(1.0, div(add(mul(mul(omegak, alphak), epstx), epstg),
                                     add(alpha, 1.0))), xtr)
        else:
            dmiss = f32((1.0 - ((omegak * alphak) * epstx + epstg) / (alpha + 1.0)) * xtr)
        out.append((xtr, bpeak, dmiss))
    return out


TRANSITION_FORMS = ['float BPEAK', 'float DMISS']


# Electron capture into two levels, 2 -> 1 with DMISS d: the K x-ray of a
# capture into level J is missed with 1 - ((EPSTX x PK) x OMEGAK); NABOVE(2) =
# FEED(2) x that, NABOVE(1) = capture term, then NABOVE(2) x DMISS(2,1).
def capture_nabove(epstx, omegak, pk, feed, d, form='documented'):
    def missed(p):
        if form == 'documented':
            return sub(1.0, mul(mul(epstx, p), omegak))
        if form == 'fluorescence first':
            return sub(1.0, mul(epstx, mul(p, omegak)))
        if form == 'yield times efficiency':
            return sub(1.0, mul(mul(omegak, epstx), p))
        raise ValueError(form)
    nabove2 = mul(feed[1], missed(pk[1]))
    nabove1 = add(mul(nabove2, d), mul(feed[0], missed(pk[0])))
    return nabove1, nabove2


CAPTURE_FORMS = ['fluorescence first', 'yield times efficiency']


# ---------------------------------------------------------------- the cases

failures = []


def show(group, values, variants):
    """Print a group of values; check that every variant changes one of them."""
    print(group)
    for name, value in values:
        print(f'  {name:<28} {value!r:<24} 0x{bits(value):08x}')
    for form, other in variants.items():
        changed = [n for (n, v), w in zip(values, other) if bits(v) != bits(w)]
        print(f'  {form:<28} changes {", ".join(changed) if changed else "NOTHING"}')
        if not changed:
            failures.append(f'{group}: {form}')


F = lambda xs: [f32(x) for x in xs]

# EPS: the low-energy points of a coaxial detector's table (keV, total, peak).
EFF_LOW = [F(p) for p in [(5.0, 39.87, 39.08), (8.0, 161.1, 157.9), (11.0, 210.2, 206.1),
                          (12.0, 211.1, 181.6), (15.0, 226.7, 199.5), (20.0, 234.8, 213.7),
                          (30.0, 239.0, 225.9), (40.0, 240.2, 231.8), (50.0, 240.6, 234.6)]]
EPS_CASES = [(6.063, 2), (5.347, 1), (31.666, 1)]


def eps_values(form):
    return [eps_line(EFF_LOW, f32(e), mode, form) for e, mode in EPS_CASES]


show('eps straight line (EFF_LOW)',
     [(f'EPS({e}, {mode})', v) for (e, mode), v in zip(EPS_CASES, eps_values('documented'))],
     {form: eps_values(form) for form in EPS_FORMS})

# QUIPOL: three points (keV, total, peak) of the same table.
QUIPOL_POINTS = [F(p) for p in [(100.0, 241.5, 234.0), (120.0, 241.7, 229.9),
                                (150.0, 241.9, 219.7)]]
QUIPOL_X = [101.3, 130.283]


def quipol_values(form):
    return [quipol3(QUIPOL_POINTS, f32(x), row, form) for x in QUIPOL_X for row in (2, 3)]


show('quipol three points (QUIPOL_POINTS)',
     [(f'VAL({row}) at x = {x}', v)
      for (x, row), v in zip([(x, r) for x in QUIPOL_X for r in (2, 3)],
                             quipol_values('documented'))],
     {form: quipol_values(form) for form in QUIPOL_FORMS})

# Transition stage: two transitions from level 3; efficiencies on the straight
# line through (10 keV, 100, 50) and (50 keV, 500, 250).
EFF_TWO = [F(p) for p in [(10.0, 100.0, 50.0), (50.0, 500.0, 250.0)]]
LINES_FROM_3 = [F(t) for t in [(46.68, 42.47, 0.892, 0.714), (45.87, 52.08, 1.005, 0.804)]]
OMEGAK, EPSTX = f32(0.8942), f32(0.2428)


def transition_values(form):
    return [v for row in transitions(EFF_TWO, LINES_FROM_3, OMEGAK, EPSTX, form) for v in row]


show('transitions from level 3 (LINES_FROM_3)',
     [(f'{q}(3,{i})', v) for (i, q), v in
      zip([(i, q) for i in (1, 2) for q in ('XTR', 'BPEAK', 'DMISS')],
          transition_values('documented'))],
     {form: transition_values(form) for form in TRANSITION_FORMS})

# Cascade, electron capture: FEED 14.5 and 85.4, DMISS(2,1) 0.625.
CAPTURE = dict(epstx=f32(0.2482), omegak=f32(0.8942), pk=F([0.8724, 0.729]),
               feed=F([14.5, 85.4]), d=f32(0.625))
show('electron capture, two levels (CAPTURE)',
     list(zip(['NABOVE(1)', 'NABOVE(2)'], capture_nabove(**CAPTURE))),
     {form: capture_nabove(**CAPTURE, form=form) for form in CAPTURE_FORMS})

if failures:
    sys.exit('cases that do not tell a regrouping apart: ' + '; '.join(failures))
