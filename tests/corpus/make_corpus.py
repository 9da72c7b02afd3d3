#!/usr/bin/env python3
"""Writes the corpus: presets of every kind, in range and hostile, and for each
case the MIDI file that a model of the conversion, written separately from the
C++ code, expects. Run it from anywhere: python3 make_corpus.py"""
import ctypes, math, struct, sys

def f32(x):  # round a python float (double) to single precision
    return ctypes.c_float(x).value

def trunc32(v):
    if math.isnan(v): return 0
    if v >= 2147483648.0: return 2147483647
    if v <= -2147483649.0: return -2147483648
    return int(v)  # python int() truncates toward zero

def clamp127(t): return 0 if t < 0 else (127 if t > 127 else t)

def scale(x):
    t = trunc32(x * 128.0)
    t16 = ((t & 0xFFFF) ^ 0x8000) - 0x8000
    return 0 if t16 < 0 else (127 if t16 > 127 else t16)

def voice_record(x):
    R = [0]*109
    R[89] = 64
    s = x[5] + x[9]
    s = s + x[16]; s = s + x[26]; s = s + x[36]
    try:
        frac = s - math.floor(s)
    except (OverflowError, ValueError):
        frac = float('nan')
    if frac != 0.0:
        return R
    def sc(n, i): R[n] = scale(x[i])
    def fine(n, i):
        p = x[i]*128.0
        try:
            f = p - math.floor(p)
        except (OverflowError, ValueError):
            f = float('nan')
        R[n] = scale(f32(f))
    def tr(n, i, k): R[n] = clamp127(trunc32(x[i]*k))
    def curve(n, i):
        p = x[i]*3.0
        if p > 2.0: R[n] = clamp127(trunc32((p-2.0)*21.0 + 84.0))
        else: R[n] = clamp127(trunc32(p*42.0))
    tr(1,1,8.1); sc(2,2); fine(3,2); sc(5,3); sc(6,4); tr(7,5,1.0)
    sc(9,6); sc(10,7); sc(11,8); tr(12,8,1.0); sc(13,9)
    tr(16,12,8.1); sc(17,13); fine(18,13); sc(20,14); sc(21,15); tr(22,16,1.0)
    sc(26,21); sc(27,23); sc(28,22); sc(29,27); sc(30,24); sc(31,25); tr(32,26,1.0)
    sc(36,19); tr(37,20,50.0)
    j = trunc32(x[30]*5.5); R[38] = [1,2,5,3,4,6,0,0][j & 7]
    sc(39,31); sc(40,32); sc(41,33); R[42]=64; sc(43,34); sc(44,35); tr(45,36,1.0)
    sc(47,39); R[48]=64; R[49]=2; sc(53,43); sc(55,44); R[56]=1; sc(58,45); R[59]=64; R[60]=64; R[61]=3
    sc(63,50); sc(64,51); R[65] = 127 if R[64]==127 else 0; sc(66,53); curve(67,52)
    sc(69,56); sc(70,57); R[71] = 127 if R[70]==127 else 0; sc(72,59); curve(73,58)
    sc(75,38); R[76]=1; tr(77,37,24.01); R[79]=32; R[85]=1
    t = trunc32(x[42]*5.1)
    if t <= 1:
        R[86] = clamp127(t); R[87] = scale(x[46])
    else:
        R[86] = 3
    tr(94,47,3.1)
    return R

def effect_record(p, u):
    R = [0]*18
    if u > 1:
        R[1] = 1; return R
    R[0] = 6; R[1] = 4 if u == 1 else 1
    R[2]=scale(p[4]); R[3]=scale(p[5])
    R[4]=clamp127(trunc32(p[1]*21.01))
    v = p[0]*p[0]*2.0*0.6729126418079278
    R[5]=scale(f32(math.sqrt(v)) if not math.isnan(v) else float('nan'))
    R[6]=scale(p[2]); R[7]=scale(p[6]); R[8]=scale(p[7]); R[9]=scale(p[3])
    return R

def header_record(name, compat):
    R = [0]*40
    for i in range(16):
        b = name[i]; R[1+i] = b if b < 0x80 else 0x3F
    R[17] = 1 if compat else 0
    R[21:28] = [100,1,100,2,100,0,100]
    return R

def message(typ, b5, b6, data):
    m = [0xF0,0x3E,0x11,0x00,typ,b5,b6] + data
    cs = sum(m[4:]) & 0x7F
    return m + [cs, 0xF7]

def request(code, slot):
    m = [0xF0,0x3E,0x11,0x00,0x07,code,0x30,slot & 0xFF]
    return m + [sum(m[4:]) & 0x7F, 0xF7]

def convert(files, first_slot, compat):
    """files: list of file contents (bytes). Returns message bytes (fresh process image semantics)."""
    out = []
    slot = first_slot
    for idx, data in enumerate(files):
        img = bytearray(10000)
        data = data[:9000]
        img[:len(data)] = data
        count = struct.unpack('>I', img[24:28])[0]
        if count > 10000: n = 0
        else: n = min(count, 2486)
        def param(i):  # float i of the image
            raw = img[56+4*i:60+4*i]
            if i < n: return struct.unpack('>f', raw)[0]
            return struct.unpack('<f', raw)[0]
        slot = max(0, min(49, slot))
        if idx == 0: out += request(0x04, 0)
        out += message(0x11, 0x30, slot, header_record(img[28:44], compat))
        for v in range(24):
            x = [param(87*v + i) for i in range(87)]
            R = voice_record(x); R[0] = v+1
            out += message(0x10, 0x30, v, R)
        for u in range(4):
            p = [param(2088 + 12*u + i) for i in range(12)]
            out += message(0x15, 0x30, u, effect_record(p, u))
        out += request(0x01, slot)
        slot += 1
    return bytes(out)

def midi(msgs):
    body = bytes([0,0xFF,0x58,4,4,2,0x18,8, 0,0xFF,0x51,3,7,0xA1,0x20, 0,0xFF,3,0x10]) + b'Korvane T2TK 1.0'
    i = 0
    while i < len(msgs) and msgs[i] == 0xF0:
        typ = msgs[i+4]
        body += bytes([0x60 if typ == 0x11 else 0x18, 0xF0])
        j = msgs.index(0xF7, i+1)
        n = j - i
        assert n < 128
        body += bytes([n]) + msgs[i+1:j+1]
        i = j+1
    body += bytes([0x30,0xFF,0x2F,0])
    return b'MThd' + bytes([0,0,0,6,0,0,0,1,0,0x30]) + b'MTrk' + struct.pack('>I', len(body)) + body

# ---------------------------------------------------------------- presets

import os, random

HERE = os.path.dirname(os.path.abspath(__file__))
rng = random.Random(20261206)

def fxp(params, name=b'Corpus Kit', count=None, magic=b'FxCk'):
    count = len(params) if count is None else count
    name = (name + bytes(28))[:28]
    head = b'CcnK' + struct.pack('>I', 48 + 4 * len(params)) + magic
    head += struct.pack('>I', 1) + b'Tlvn' + struct.pack('>II', 1, count) + name
    return head + b''.join(struct.pack('>f', p) for p in params)

def whole_switches(params):
    for v in range(24):
        for i in (5, 9, 16, 26, 36):
            params[87 * v + i] = float(rng.randint(0, 1))
    return params

def unit_params():
    return whole_switches([rng.random() for _ in range(2136)])

EDGES = [0.0, 0.0078125, 0.5, 0.99, 0.9921875, 1.0, 0.25, 0.3, 0.7, 0.99999994, 0.98, 0.02, 0.2, 0.4, 0.6,
         0.8, 1/3, 2/3, 0.9, 0.855, 0.856, 1/21, 20/21, 0.999]
HOSTILE = [float('nan'), float('inf'), float('-inf'), -0.0, -0.5, -2.0, 2.0, 3.0, 256.0, 1e30, -1e30,
           1e-45, 1.2e-38, 3.4e38, 2147483648.0, -2147483649.0, 5.1e9, 128.0, 300.0, -0.2]

def pick(values):
    return [rng.choice(values) for _ in range(2136)]

def bits():
    return [struct.unpack('<f', struct.pack('<I', rng.getrandbits(32)))[0] for _ in range(2136)]

presets = {
    'in-range.fxp': fxp(unit_params(), b'In Range'),
    'edges.fxp': fxp(whole_switches(pick(EDGES)), b'Edges'),
    'hostile.fxp': fxp(whole_switches(pick(HOSTILE)), b'Hostile'),
    'hostile-switches.fxp': fxp(pick(HOSTILE + EDGES), b'Hostile Switches'),
    'random-bits.fxp': fxp(bits(), bytes(rng.getrandbits(8) for _ in range(28))),
    'eight-bit-name.fxp': fxp(unit_params(), bytes(range(0x78, 0x94))),
    'all-half.fxp': fxp([0.5] * 2136, b'Fails Every Test'),
    'empty.fxp': b'',
    'header-only.fxp': fxp([], b'No Parameters')[:56],
    'short-100.fxp': fxp(unit_params())[:100],
    'short-8599.fxp': fxp(unit_params(), b'One Byte Short')[:8599],
    'long-9500.fxp': fxp(unit_params(), b'Long') + bytes(rng.getrandbits(8) for _ in range(900)),
    'opaque-chunk.fxp': b'CcnK' + struct.pack('>I', 2000) + b'FPCh' + bytes(rng.getrandbits(8) for _ in range(2000)),
}
for count in (0, 2135, 2487, 10000, 10001, 0xFFFFFFFF):
    presets[f'count-{count}.fxp'] = fxp(unit_params(), b'Count %d' % count, count=count)

presets['one-byte.fxp'] = b'C'
presets['short-55.fxp'] = fxp(unit_params())[:55]
presets['wrong-magics.fxp'] = fxp(unit_params(), b'Wrong Magics', magic=b'XXXX').replace(b'CcnK', b'RIFF', 1)

# expected file, first slot, compatibility, presets
cases = [
    ('in-range.mid', 0, 0, ['in-range.fxp']),
    ('in-range-compatible.mid', 17, 1, ['in-range.fxp']),
    ('in-range.syx', 0, 0, ['in-range.fxp']),  # the raw messages
    ('edges.mid', 49, 0, ['edges.fxp']),
    ('hostile.mid', 3, 1, ['hostile.fxp', 'hostile-switches.fxp']),
    ('random-bits.mid', 0, 0, ['random-bits.fxp', 'eight-bit-name.fxp']),
    ('all-half.mid', 0, 0, ['all-half.fxp']),
    ('short.mid', 47, 0, ['in-range.fxp', 'empty.fxp', 'header-only.fxp', 'short-100.fxp', 'short-8599.fxp']),
    ('long.mid', -3, 1, ['long-9500.fxp', 'opaque-chunk.fxp']),
    ('counts.mid', 10, 0, ['count-0.fxp', 'count-2135.fxp', 'count-2487.fxp', 'count-10000.fxp',
                           'count-10001.fxp', 'count-4294967295.fxp']),
    ('after-long.mid', 48, 1, ['long-9500.fxp', 'short-100.fxp', 'random-bits.fxp']),
    ('tiny.mid', 0, 1, ['one-byte.fxp', 'short-55.fxp', 'wrong-magics.fxp']),
]

if __name__ == '__main__':
    for name, data in presets.items():
        open(os.path.join(HERE, name), 'wb').write(data)
    with open(os.path.join(HERE, 'cases.txt'), 'w') as listing:
        listing.write('# expected-file first-slot compatibility presets...\n')
        for expected, slot, compat, names in cases:
            files = [presets[n] for n in names]
            messages = convert(files, slot, compat)
            open(os.path.join(HERE, expected), 'wb').write(messages if expected.endswith('.syx') else midi(messages))
            listing.write(' '.join([expected, str(slot), str(compat)] + names) + '\n')
