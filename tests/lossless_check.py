#!/usr/bin/python3
"""Decodes raw TEMP and PILOT feeds on its own and checks that a converted
CSV (or CF netCDF) file holds every level and every value they carry.

    lossless_check.py --decode-time 2026020600 [--window -120:120]
                      (--csv OUT.csv | --cf OUT.nc | --counts) FEED...
    lossless_check.py --self-test

The decoding follows the WMO code forms FM 35 TEMP and FM 32 PILOT and
shares nothing with the converter, so that the two fail independently.
Exit status 1 when any class is held below 99.5 %, else 0.
"""
import argparse
import calendar
import csv
import datetime as dt
import io
import os
import re
import sys
import tempfile
from collections import defaultdict

KNOT = 0.514444            # m/s per knot
PASS_PERCENT = 99.5
FIELDS = ('pressure', 'height', 'temperature', 'dewpoint', 'direction', 'speed')
CSV_HEADER = ('station,wmo,name,lat,lon,elevation_m,time,launch_time,level_type,'
              'pressure_hPa,height_m,temperature_C,dewpoint_C,wind_direction_deg,'
              'wind_speed_mps')
CSV_COLUMNS = dict(zip(FIELDS, CSV_HEADER.split(',')[9:]))
LEVEL_TYPES = ('surface', 'standard', 'tropopause', 'max_wind', 'sig_temperature', 'sig_wind')
CF_VARIABLES = dict(zip(FIELDS, ('air_pressure', 'geopotential_height', 'air_temperature',
                                 'dew_point_temperature', 'wind_from_direction', 'wind_speed')))
CLASSES = (('standard', 'standard levels'), ('surface', 'surface'),
           ('tropopause', 'tropopauses'), ('max_wind', 'maximum winds'),
           ('sig_temperature', 'significant temperature levels'),
           ('sig_wind', 'significant winds by pressure'),
           ('altitude_wind', 'PILOT winds by altitude'), ('launch', 'launch times'))

# Part words: the code form and the kind of station by the first two letters.
# Land parts carry YYGGId IIiii; ships D..D YYGGId 99LaLaLa QcLoLoLoLo
# MMMULaULo; mobile stations the ship's groups and h0h0h0h0im.
FORMS = {'TT': ('TEMP', 'land'), 'UU': ('TEMP', 'ship'), 'II': ('TEMP', 'mobile'),
         'PP': ('PILOT', 'land'), 'EE': ('PILOT', 'mobile')}
PART_WORDS = {f + p for f in FORMS for p in ('AA', 'BB', 'CC', 'DD')} - {'EEAA', 'EECC'}
POSITION_GROUPS = {'land': 0, 'ship': 3, 'mobile': 4}

# Standard isobaric surfaces of TEMP parts A and C: indicator -> (hPa,
# height unit in metres, leading figures (in units) below the cut, cut,
# leading figures from the cut on).  The code drops the leading figures of
# the height; the usual height of each surface gives them back.
STD_A = {'00': (1000, 1, 0, 0, 0), '92': (925, 1, 0, 0, 0),
         '85': (850, 1, 1000, 0, 1000), '70': (700, 1, 3000, 500, 2000),
         '50': (500, 10, 0, 0, 0), '40': (400, 10, 0, 0, 0),
         '30': (300, 10, 1000, 300, 0), '25': (250, 10, 1000, 500, 0),
         '20': (200, 10, 1000, 0, 1000), '15': (150, 10, 1000, 0, 1000),
         '10': (100, 10, 1000, 0, 1000)}
STD_C = {'70': (70, 10, 1000, 0, 1000), '50': (50, 10, 2000, 500, 1000),
         '30': (30, 10, 2000, 0, 2000), '20': (20, 10, 2000, 0, 2000),
         '10': (10, 10, 3000, 500, 2000),
         # Some stations go on above 10 hPa with 7, 5, 3, 2 and 1 hPa.
         '07': (7, 10, 3000, 0, 3000), '05': (5, 10, 3000, 0, 3000),
         '03': (3, 10, 4000, 500, 3000), '02': (2, 10, 4000, 0, 4000),
         '01': (1, 10, 4000, 0, 4000)}
# Id names the last standard surface with a wind group: hundreds of hPa in
# part A, tens in part C, but for these.  Stations that end part C with
# Id 1 go on giving winds above 10 hPa.
ID_LAST_WIND = {'A': {'0': 1000, '9': 925, '8': 850}, 'C': {'1': 1}}
# PILOT A/C 44nP1P1 and 55nP1P1 sections run up these surfaces from P1P1.
PILOT_SEQ = {'A': ('99', '00', '92', '85', '70', '50', '40', '30', '25', '20', '15', '10'),
             'C': ('70', '50', '30', '20', '10')}
# Altitude groups of PILOT parts B and D by first figure: (metres a unit,
# units added).  1tnuuu carries the 9tnuuu groups on above 99 units.
ALTITUDE_GROUPS = {'9': (300, 0), '1': (300, 100), '8': (500, 0)}
SECTION_WORDS = ('21212', '31313', '41414')
REGIONAL = re.compile(r'^([56])([1-9])\1\2\1$')        # 51515 ... 69696
GROUP = re.compile(r'^[0-9/]{5}$')
BULLETIN_SPLIT = re.compile(r'[\x01\x03]|^[ \t]*(?:NNNN|ZCZC)[ \t]*\r?$', re.M)
WRAPPED = re.compile(r'(?<!\S)([0-9/]{1,4})[ \t]*\r*\n[ \t]*([0-9/]{1,4})(?![^\s=])')
TOKEN = re.compile(r'=|[^\s=]+')
TALLY = ('parts', 'NIL', 'without time or station', 'replaced by a later copy', 'decoded',
         'outside the window')


class Part:
    """One report part as cut from a feed."""

    def __init__(self, word, feed):
        self.word, self.feed, self.groups = word, feed, []
        self.ident = self.yygg = self.time = None
        self.nil = False
        self.code, self.station_kind = FORMS[word[:2]]
        self.letter = word[2]

    @property
    def knots(self):
        return int(self.yygg[:2]) >= 50


class Level:
    """One level of a sounding: class, CSV level type, position and values,
    each value (field, value, resolution, modulus of its code figures, origin)."""

    def __init__(self, part, cls, ltype, pos, text):
        self.station, self.time = part.ident, part.time
        self.cls, self.ltype, self.pos = cls, ltype, pos
        self.origin = (part.word, text, part.feed)
        self.values = []

    def add(self, field, value, res, mod=None):
        self.values.append((field, value, res, mod, self.origin))


# ---------------------------------------------------------------- cutting

def cut_parts(text, feed):
    """Every part of every bulletin of a feed, in feed order.  A part runs
    from its part word to its "=", the next part word or the bulletin's end."""
    parts = []
    for bulletin in BULLETIN_SPLIT.split(text):
        tokens = TOKEN.findall(WRAPPED.sub(join_wrapped, bulletin))
        part = None
        for k, tok in enumerate(tokens):
            if tok in PART_WORDS:
                # "72493 TTAA 56001 72493": the number before the word names
                # the station of the part that follows.
                if part and part.groups and k + 2 < len(tokens) \
                        and tokens[k + 2] == tokens[k - 1]:
                    part.groups.pop()
                part = finish(part, parts) or Part(tok, feed)
            elif part and tok == '=':
                part = finish(part, parts)
            elif part:
                part.groups.append(tok)
        finish(part, parts)
    return parts


def join_wrapped(m):
    """A feed that folds long lines at a fixed width may cut a group in two."""
    return m[1] + m[2] + '\n' if len(m[1]) + len(m[2]) == 5 else m[0]


def finish(part, parts):
    """Splits off the identification groups; the data end at the first word
    that is no code group (a heading of the next bulletin, plain text)."""
    if part is None:
        return None
    raw, part.groups = part.groups, []
    skip = POSITION_GROUPS[part.station_kind]
    part.nil = any(t in ('NIL', 'NILL') for t in raw[:skip + 4])
    if len(raw) >= 2:
        part.yygg, part.ident = raw[:2] if part.station_kind == 'land' else raw[1::-1]
        part.yygg = part.yygg if GROUP.match(part.yygg) else None
    for tok in raw[2 + skip:]:
        if not GROUP.match(tok):
            break
        part.groups.append(tok)
    parts.append(part)
    return None


# ---------------------------------------------------------------- time

def observation_time(yygg, decode):
    """Day from YY (less 50 when the winds are in knots), hour from GG; of
    the decode time's month, the one before and the one after, the date
    nearest the decode time among those that have the day."""
    if not yygg or not yygg[:4].isdigit():
        return None
    day, hour = int(yygg[:2]) % 50, int(yygg[2:4])
    if not 1 <= day <= 31 or hour > 23:
        return None
    dates = []
    for step in (-1, 0, 1):
        year, month = divmod(decode.year * 12 + decode.month - 1 + step, 12)
        if day <= calendar.monthrange(year, month + 1)[1]:
            dates.append(dt.datetime(year, month + 1, day, hour))
    return min(dates, key=lambda t: abs(t - decode))


def launch_time(group, obs):
    """8GGgg of section 31313, on the day that puts it nearest the
    observation time (a launch at 23 UTC for the 00 UTC sounding)."""
    if group[0] != '8' or not group[1:].isdigit() or group[1:3] > '23' or group[3:] > '59':
        return None
    t = dt.datetime(obs.year, obs.month, obs.day, int(group[1:3]), int(group[3:]))
    return min((t + dt.timedelta(days=d) for d in (-1, 0, 1)), key=lambda x: abs(x - obs))


def iso(t):
    return t.strftime('%Y-%m-%dT%H:%MZ') if t else ''


# ---------------------------------------------------------------- groups

def at(g, i):
    return g[i] if i < len(g) else '/////'


def add_temperature(level, group):
    """TTTaDD: the tenths figure carries the sign (odd below zero); DD the
    dew-point depression, tenths up to 5.0, whole degrees plus 50 from 56."""
    if not group[:3].isdigit():
        return
    tenths = int(group[:3]) * (-1 if int(group[2]) % 2 else 1)
    level.add('temperature', tenths / 10, 0.1)
    d = int(group[3:]) if group[3:].isdigit() else 51
    depression = d if d <= 50 else (d - 50) * 10 if d >= 56 else None
    if depression is not None:
        level.add('dewpoint', (tenths - depression) / 10, 0.1)


def add_wind(level, group, knots):
    """dddff: the direction to 5 degrees; the hundreds of the speed ride on
    the units figure of the direction."""
    hundreds = int(group[:3]) % 5 if group[:3].isdigit() else 0
    if group[:3].isdigit():
        level.add('direction', int(group[:3]) - hundreds, 1)
    if group[3:].isdigit():
        speed = hundreds * 100 + int(group[3:])
        level.add('speed', speed * KNOT if knots else float(speed), KNOT if knots else 1)


def pressure(ppp, tenths):
    """PPP in tenths of hPa (parts C and D), or in whole hPa with the
    thousands dropped: 000-099 is 1000-1099 hPa."""
    p = int(ppp)
    return p / 10 if tenths else float(p + 1000 if p < 100 else p)


def std_height(surface, hhh):
    hpa, unit, below, cut, above = surface
    if hpa == 1000 and hhh >= 500:      # 500 is added to heights below sea level
        return float(500 - hhh)
    return float(unit * (hhh + (below if hhh < cut else above)))


def emit(out, part, cls, ltype, pos, text, values=(), temp=None, wind=None, fixed=0):
    """A level from its values and its temperature and wind groups.  The
    first `fixed` values give a position the code form fixes (a standard
    surface, an altitude of the wind grid), no observation: a level there
    that reports nothing else is none."""
    level = Level(part, cls, ltype, pos, text)
    for value in values:
        level.add(*value)
    if temp:
        add_temperature(level, temp)
    if wind:
        add_wind(level, wind, part.knots)
    if len(level.values) > fixed:
        out.append(level)


def is_section(x):
    return x in SECTION_WORDS or REGIONAL.match(x) is not None


def skip_clouds(g, i):
    """41414 NhCLhCMCH, not kept; some stations send the word alone."""
    return i + 1 if is_section(at(g, i + 1)) or i + 1 >= len(g) else i + 2


def launch_section(out, part, g, i):
    """31313 srrarasasa 8GGgg (9snTwTwTw): returns the index after it."""
    i += 2
    if at(g, i)[0] == '8':
        t = launch_time(g[i], part.time)
        if t:
            emit(out, part, 'launch', None, ('launch',), g[i], [('launch', t, 0, None)])
        i += 2 if at(g, i + 1)[0] == '9' else 1
    return i


# ---------------------------------------------------------------- TEMP A/C

def wind_group_follows(part, g, i, hpa, std):
    """Id tells whether a standard surface carries a wind group; a station
    now and then leaves one out within its Id or sends one beyond it.  A wind
    group begins with 0-3 (directions to 360); one that begins a level or a
    section is none."""
    w, id_ = at(g, i + 2), part.yygg[4]
    if i + 2 >= len(g):
        return False
    last = ID_LAST_WIND[part.letter].get(id_) or (
        int(id_) * (100 if part.letter == 'A' else 10) if id_.isdigit() else 10000)
    if hpa >= last:
        return w[0] in '0123/'
    return w[0] in '0123' and not is_section(w) and w[:2] not in std


def decode_temp_ac(part, g, out, trace):
    """99PoPoPo surface, PnPnhnhnhn standard surfaces, 88 tropopauses, 77/66
    maximum winds, 31313; PILOT A/C hand their maximum winds on to here."""
    std, tenths = (STD_A, False) if part.letter == 'A' else (STD_C, True)
    i, temp = 0, part.code == 'TEMP'
    while i < len(g):
        x, ind = g[i], g[i][:2]
        if x == '31313':
            i = launch_section(out, part, g, i)
        elif x == '41414':
            i = skip_clouds(g, i)
        elif REGIONAL.match(x):
            break
        elif x == '/////':               # a group beyond the ones Id allows
            i += 1
        elif temp and ind == '99' and part.letter == 'A' and i == 0:
            if x[2:].isdigit():
                p = pressure(x[2:], False)
                emit(out, part, 'surface', 'surface', ('p', p), ' '.join(g[i:i + 3]),
                     [('pressure', p, 1)], temp=at(g, i + 1), wind=at(g, i + 2))
            i += 3
        elif temp and ind in std:
            i = std_level(part, out, g, i, std)
        elif ind == '88':
            if x[2:].isdigit() and x[2:] != '999':
                p = int(x[2:]) / (10 if tenths else 1)
                emit(out, part, 'tropopause', 'tropopause', ('p', p), ' '.join(g[i:i + 3]),
                     [('pressure', p, 0.1 if tenths else 1)], temp=at(g, i + 1), wind=at(g, i + 2))
            i += 1 if x[2:] == '999' else 3
        elif ind in ('77', '66') or (x[0] in '67' and not temp):
            i = max_wind(part, out, g, i, tenths)
        else:
            trace.append((part, ' '.join(g[i:i + 3]), 'unexpected group, the rest unread'))
            break


def std_level(part, out, g, i, std):
    """PnPnhnhnhn TTTaDD (dddff)."""
    surface, hhh = std[g[i][:2]], g[i][2:]
    hpa = surface[0]
    n = 3 if wind_group_follows(part, g, i, hpa, std) else 2
    height = [('height', std_height(surface, int(hhh)), 1, 1000 * surface[1])] \
        if hhh.isdigit() else []
    emit(out, part, 'standard', 'standard', ('p', hpa), ' '.join(g[i:i + n]),
         [('pressure', float(hpa), 1)] + height, temp=at(g, i + 1),
         wind=at(g, i + 2) if n == 3 else None, fixed=1)
    return i + n


def max_wind(part, out, g, i, tenths):
    """77PmPmPm or 66PmPmPm (66: the maximum at the top of the sounding)
    dmdmfmfmfm (4vbvbvava), 77999 for none; PILOT gives 7HmHmHmHm or
    6HmHmHmHm, the altitude in decametres, where it has no pressure."""
    x = g[i]
    if x[2:] == '999':
        return i + 1
    n = 3 if at(g, i + 2)[0] == '4' and g[i + 2] != '41414' else 2    # wind shear
    text = ' '.join(g[i:i + n])
    if x[:2] in ('77', '66') and x[2:].isdigit():
        p = int(x[2:]) / (10 if tenths else 1)
        emit(out, part, 'max_wind', 'max_wind', ('p', p), text,
             [('pressure', p, 0.1 if tenths else 1)], wind=at(g, i + 1))
    elif x[1:].isdigit():
        h = float(x[1:]) * 10
        emit(out, part, 'max_wind', 'max_wind', ('h', h), text, [('height', h, 1)],
             wind=at(g, i + 1))
    return i + n


# ---------------------------------------------------------------- TEMP B/D

def decode_temp_bd(part, g, out, trace):
    """nnPPP TTTaDD levels (nn 00 the surface, then 11, 22 ... 99, 11 ...),
    21212 nnPPP dddff winds, 31313."""
    i, tenths, winds = 0, part.letter == 'D', False
    while i < len(g):
        x = g[i]
        if x == '21212':
            winds, i = True, i + 1
        elif x == '31313':
            i = launch_section(out, part, g, i)
        elif x == '41414':
            i = skip_clouds(g, i)
        elif x[0] == x[1] != '/' and i + 1 < len(g):     # 55555 is a level too
            if x[2:].isdigit():
                p, ltype = pressure(x[2:], tenths), 'sig_wind' if winds else 'sig_temperature'
                emit(out, part, ltype, ltype, ('ps' if x[:2] == '00' else 'p', p),
                     x + ' ' + g[i + 1], [('pressure', p, 0.1 if tenths else 1)],
                     temp=None if winds else g[i + 1], wind=g[i + 1] if winds else None)
            i += 2
        elif REGIONAL.match(x):
            break
        elif at(g, i + 2)[0] == at(g, i + 2)[1] != '/':
            trace.append((part, ' '.join(g[i:i + 3]), 'a level without its figures nn, skipped'))
            i += 2
        else:
            trace.append((part, ' '.join(g[i:i + 3]), 'unexpected group, the rest unread'))
            break


# ---------------------------------------------------------------- PILOT

def decode_pilot_ac(part, g, out, trace):
    """44nP1P1 or 55nP1P1 and the winds of n successive standard surfaces
    from P1P1 (99 the surface); then the maximum winds."""
    seq, std = PILOT_SEQ[part.letter], STD_A if part.letter == 'A' else STD_C
    i = 0
    while i < len(g) and g[i][:2] in ('44', '55'):
        if not g[i][2].isdigit() or g[i][3:] not in seq:
            i += 1                       # "44///": no winds
            continue
        n, start = int(g[i][2]), seq.index(g[i][3:])
        for k, ind in enumerate(seq[start:start + n]):
            text = g[i] + ' ' + at(g, i + 1 + k)
            if ind == '99':
                emit(out, part, 'standard', 'surface', ('sfc',), text, wind=at(g, i + 1 + k))
            else:
                emit(out, part, 'standard', 'standard', ('p', std[ind][0]), text,
                     [('pressure', float(std[ind][0]), 1)], wind=at(g, i + 1 + k), fixed=1)
        i += 1 + n
    decode_temp_ac(part, g[i:], out, trace)


def decode_pilot_bd(part, g, out, trace):
    """9tnu1u2u3 (1tnu1u2u3, 8tnu1u2u3) altitude groups, each followed by
    the winds of its levels; then 21212 winds by pressure as in TEMP."""
    i = 0
    while i < len(g) and g[i][0] in ALTITUDE_GROUPS:
        x = g[i]
        if not x[1].isdigit():
            trace.append((part, ' '.join(g[i:i + 3]), 'an altitude group without its tens'))
            return
        slots = altitude_slots(x, at(g, i + 1))
        for k in range(slots):
            altitude_wind(part, out, trace, x, k, at(g, i + 1 + k))
        i += 1 + slots
    if i < len(g) and not is_section(g[i]):
        trace.append((part, ' '.join(g[i:i + 3]), 'unexpected group, the rest unread'))
    else:
        decode_temp_bd(part, g[i:], out, trace)


def altitude_slots(x, following):
    """The winds after an altitude group: one for each figure up to its
    last (a "/" before a figure holds a wind too).  "90/": the first wind
    is at the station's own height, for a station not near sea level;
    "90///" holds that wind alone when a wind group follows."""
    figures = [k for k in range(3) if x[2 + k].isdigit()]
    if figures:
        return figures[-1] + 1
    return 1 if x[:2] == '90' and following[0] in '0123/' else 0


def altitude_wind(part, out, trace, x, k, wind):
    unit, base = ALTITUDE_GROUPS[x[0]]
    u = x[2 + k]
    if u.isdigit():
        h = float((base + 10 * int(x[1]) + int(u)) * unit)
        emit(out, part, 'altitude_wind', 'sig_wind', ('h', h), x + ' ' + wind,
             [('height', h, 1)], wind=wind, fixed=1)
    elif k == 0 and x[:2] == '90':
        emit(out, part, 'altitude_wind', 'sig_wind', ('sfc',), x + ' ' + wind, wind=wind)
    else:
        trace.append((part, x + ' ' + wind, 'a wind without its altitude, not counted'))


DECODERS = {('TEMP', 'A'): decode_temp_ac, ('TEMP', 'C'): decode_temp_ac,
            ('TEMP', 'B'): decode_temp_bd, ('TEMP', 'D'): decode_temp_bd,
            ('PILOT', 'A'): decode_pilot_ac, ('PILOT', 'C'): decode_pilot_ac,
            ('PILOT', 'B'): decode_pilot_bd, ('PILOT', 'D'): decode_pilot_bd}


# ---------------------------------------------------------------- the feeds

def decode_feeds(paths, decode, window):
    """The latest copy of every part (same station, time and part word),
    decoded when its time is in the window.  Returns the levels merged, a
    tally of the parts and where decoding stopped short."""
    latest, tally = {}, defaultdict(int)
    for path in paths:
        with open(path, 'rb') as f:
            text = f.read().decode('latin-1')
        for part in cut_parts(text, os.path.basename(path)):
            tally['parts'] += 1
            part.time = None if part.nil else observation_time(part.yygg, decode)
            if part.nil:
                tally['NIL'] += 1
            elif part.time is None or not part.ident or \
                    (part.station_kind == 'land' and not part.ident.isdigit()):
                tally['without time or station'] += 1
            else:
                key = (part.ident, part.time, part.word)
                if key in latest:
                    tally['replaced by a later copy'] += 1
                latest[key] = part
    first, last = (decode + dt.timedelta(minutes=m) for m in window)
    levels, trace = [], []
    for part in latest.values():
        inside = first <= part.time <= last
        tally['decoded' if inside else 'outside the window'] += 1
        if inside:
            DECODERS[(part.code, part.letter)](part, part.groups, levels, trace)
    return merge(levels), dict(tally), trace


def same_value(a, b):
    if a[0] != b[0]:
        return False
    return a[1] == b[1] if a[0] == 'launch' else round(a[1] / a[2]) == round(b[1] / a[2])


def merge(levels):
    """One level per station, time, class, type and position; a value that
    two parts (or a section sent twice) give alike counts once."""
    merged = {}
    for level in levels:
        into = merged.setdefault((level.station, level.time, level.cls, level.ltype, level.pos),
                                 level)
        if into is not level:
            into.values += [v for v in level.values
                            if not any(same_value(v, w) for w in into.values)]
    return list(merged.values())


def count(levels):
    totals = {cls: [0, 0] for cls, _ in CLASSES}
    for level in levels:
        totals[level.cls][0] += 1
        totals[level.cls][1] += len(level.values)
    return totals


# ---------------------------------------------------------------- converted rows

class Row:
    __slots__ = ('station', 'time', 'launch', 'ltype', 'elevation') + FIELDS


def number(text):
    try:
        return float(text)
    except (TypeError, ValueError):      # empty: a missing value
        return None


def parse_time(text):
    for fmt in ('%Y-%m-%dT%H:%MZ', '%Y-%m-%dT%H:%M:%SZ'):
        try:
            return dt.datetime.strptime((text or '').strip(), fmt)
        except ValueError:
            pass
    return None


def station_name(text):
    text = text.strip()
    return text.zfill(5) if text.isdigit() else text


def read_csv(path):
    with open(path, newline='', encoding='utf-8-sig') as f:
        records = list(csv.reader(f))
    if not records or ','.join(records[0]) != CSV_HEADER:
        raise SystemExit(f'lossless_check: {path}: the first line is not "{CSV_HEADER}"')
    col = {name: k for k, name in enumerate(records[0])}
    rows = []
    for rec in records[1:]:
        if rec:
            rec += [''] * (len(col) - len(rec))
            r = Row()
            r.station, r.ltype = station_name(rec[col['station']]), rec[col['level_type']]
            r.time, r.launch = parse_time(rec[col['time']]), parse_time(rec[col['launch_time']])
            r.elevation = number(rec[col['elevation_m']])
            for field in FIELDS:
                setattr(r, field, number(rec[col[CSV_COLUMNS[field]]]))
            rows.append(r)
    return rows


def read_cf(path):
    """A CF profile file (contiguous ragged arrays) as the CSV's rows."""
    import netCDF4
    epoch = dt.datetime(1970, 1, 1)

    def times(values):
        return [None if s is None else epoch + dt.timedelta(seconds=s) for s in values]

    with netCDF4.Dataset(path) as nc:
        v = nc.variables
        ids = v['station_id'][:]
        ids = [x.decode() if isinstance(x, bytes) else str(x)
               for x in (netCDF4.chartostring(ids) if ids.dtype.kind == 'S' else ids)]
        per_level = {name: v[name][:].tolist(fill_value=None)
                     for name in list(CF_VARIABLES.values()) + ['altitude', 'level_type']
                     if name in v}
        obs, launch = times(v['time'][:].tolist(fill_value=None)), \
            times(v['launch_time'][:].tolist(fill_value=None))
        sizes = v['row_size'][:].tolist()
        elevations = v['station_altitude'][:].tolist(fill_value=None) \
            if 'station_altitude' in v else [None] * len(sizes)
    rows, start = [], 0
    for p, size in enumerate(sizes):
        for k in range(start, start + size):
            r = Row()
            r.station, r.time, r.launch = station_name(ids[p]), obs[p], launch[p]
            r.elevation = elevations[p]
            kind = per_level['level_type'][k]
            r.ltype = LEVEL_TYPES[int(kind)] if kind in range(len(LEVEL_TYPES)) else ''
            for field, name in CF_VARIABLES.items():
                setattr(r, field, per_level[name][k] if name in per_level else None)
            if r.height is None and 'altitude' in per_level:
                r.height = per_level['altitude'][k]
            rows.append(r)
        start += size
    return rows


# ---------------------------------------------------------------- matching

def index_rows(rows):
    by_type, by_profile = defaultdict(list), defaultdict(list)
    for r in rows:
        by_type[(r.station, r.time, r.ltype)].append(r)
        by_profile[(r.station, r.time)].append(r)
    return by_type, by_profile


def candidates(index, level):
    """The rows that stand for a level: same station, time, type and position."""
    by_type, by_profile = index
    kind, station, time = level.pos[0], level.station, level.time
    if kind == 'launch':
        return by_profile.get((station, time), [])
    rows = by_type.get((station, time, level.ltype), [])
    if kind == 'ps':             # the surface level of part B may share the surface row
        rows = rows + by_type.get((station, time, 'surface'), [])
    if kind in ('p', 'ps'):
        return [r for r in rows
                if r.pressure is not None and abs(r.pressure - level.pos[1]) < 0.05]
    if kind == 'h':
        return [r for r in rows if r.pressure is None and r.height is not None
                and abs(r.height - level.pos[1]) < 0.5]
    # A surface wind without pressure: the surface row, or a wind row at the
    # station's own height.
    return by_type.get((station, time, 'surface'), []) + [
        r for r in by_type.get((station, time, 'sig_wind'), []) if r.pressure is None and (
            r.height is None or r.elevation is not None and abs(r.height - r.elevation) < 0.5)]


def value_held(value, rows):
    """Whether a row holds the value: within 1e-6 relative, or giving back
    the same code figures (of a height, the figures the code sends)."""
    field, want, res, mod = value[:4]
    for r in rows:
        got = r.launch if field == 'launch' else getattr(r, field)
        if got is None:
            continue
        if field == 'launch':
            if got == want:
                return True
        elif abs(got - want) <= 1e-6 * max(1.0, abs(want)) \
                or round(got / res) == round(want / res) \
                or mod and round(got) % mod == round(want) % mod:
            return True
    return False


def match(levels, rows):
    """Held levels and values per class, and the values not held."""
    index = index_rows(rows)
    held, missing = {cls: [0, 0] for cls, _ in CLASSES}, []
    for level in levels:
        found = candidates(index, level)
        held[level.cls][0] += bool(found)
        for value in level.values:
            if value_held(value, found):
                held[level.cls][1] += 1
            else:
                missing.append((level, value))
    return held, missing


# ---------------------------------------------------------------- reports

def print_table(totals, out, held=None):
    """Levels and values per class, and with the converted rows how many of
    them these hold; True when every class passes."""
    ok, pct = True, lambda n, of: 100.0 if of == 0 else 100.0 * n / of
    print(f'  {"class":32} {"levels":>8} ' + (f'{"held":>8} {"%":>7} ' if held else '')
          + f'{"values":>8}' + (f' {"held":>8} {"%":>7}' if held else ''), file=out)
    for cls, name in CLASSES:
        (nl, nv), (hl, hv) = totals[cls], held[cls] if held else (0, 0)
        if not held:
            print(f'  {name:32} {nl:8} {nv:8}', file=out)
            continue
        ok = ok and min(pct(hl, nl), pct(hv, nv)) >= PASS_PERCENT
        print(f'  {name:32} {nl:8} {hl:8} {pct(hl, nl):7.2f} {nv:8} {hv:8} {pct(hv, nv):7.2f}',
              file=out)
    if not held:
        print(f'  {"all":32} {sum(t[0] for t in totals.values()):8} '
              f'{sum(t[1] for t in totals.values()):8}', file=out)
    return ok


def print_missing(missing, out, shown=10):
    if missing:
        print(f'missing (first {min(shown, len(missing))} of {len(missing)}):', file=out)
    for level, (field, _, _, _, (word, text, feed)) in missing[:shown]:
        kind, where = level.pos[0], level.pos[1:] and level.pos[1]
        where = f'{where:g} hPa' if kind in ('p', 'ps') else f'{where:g} m' if kind == 'h' \
            else 'surface' if kind == 'sfc' else ''
        print(f'  {level.station} {iso(level.time)} {word} {level.cls} {where} {field}: '
              f'"{text}" ({feed})', file=out)


def print_trace(trace, out, shown=10):
    for part, text, why in trace[:shown]:
        print(f'  {why}: {part.ident} {iso(part.time)} {part.word} "{text}" ({part.feed})',
              file=out)
    if len(trace) > shown:
        print(f'  ... and {len(trace) - shown} more', file=out)


def run(args, out):
    decode = dt.datetime.strptime(args.decode_time, '%Y%m%d%H')
    window = tuple(int(m) for m in args.window.split(':'))
    print_window = f'{iso(decode)}, window {window[0]}:{window[1]}'
    if args.counts:
        for feed in args.feeds:
            levels, tally, trace = decode_feeds([feed], decode, window)
            print(f'{os.path.basename(feed)} at {print_window}: ' + ', '.join(
                f'{tally[k]} {k}' for k in TALLY if k in tally), file=out)
            print_table(count(levels), out)
            print_trace(trace, out)
        return 0
    levels, _, _ = decode_feeds(args.feeds, decode, window)
    rows = read_csv(args.csv) if args.csv else read_cf(args.cf)
    print(f'lossless check of {args.csv or args.cf} ({len(rows)} rows) against '
          f'{len(args.feeds)} feed(s) at {print_window}', file=out)
    held, missing = match(levels, rows)
    ok = print_table(count(levels), out, held)
    print_missing(missing, out, args.missing)
    print('lossless check: ' + ('passed' if ok else f'FAILED, a class below {PASS_PERCENT} %'),
          file=out)
    return 0 if ok else 1


def main(argv=None, out=sys.stdout):
    ap = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    ap.add_argument('--decode-time', help='the decode time, YYYYMMDDHH')
    ap.add_argument('--window', default='-120:120', help='first:last minute (-120:120)')
    what = ap.add_mutually_exclusive_group()
    what.add_argument('--csv', help='the converted CSV file')
    what.add_argument('--cf', help='the converted CF netCDF file')
    what.add_argument('--counts', action='store_true', help='the counts per feed only')
    what.add_argument('--self-test', action='store_true', help='check this script')
    ap.add_argument('--missing', type=int, default=10, help='how many missing values to list (10)')
    ap.add_argument('feeds', nargs='*')
    argv = list(sys.argv[1:] if argv is None else argv)
    if '--window' in argv[:-1]:          # "--window -120:120" is no option
        k = argv.index('--window')
        argv[k:k + 2] = ['--window=' + argv[k + 1]]
    args = ap.parse_args(argv)
    if args.self_test:
        return self_test()
    if not args.decode_time or not args.feeds or not (args.csv or args.cf or args.counts):
        ap.error('give --decode-time, one of --csv, --cf and --counts, and the feeds')
    try:
        return run(args, out)
    except OSError as error:
        ap.exit(2, f'lossless_check: {error}\n')


# ---------------------------------------------------------------- self-test

# Three bulletins: a TTAA in knots (1000 hPa below the ground and sea level,
# 700 hPa beyond Id) and its later copy (RRA, another 850 hPa wind), a TTBB
# whose line is folded inside a group, a PPBB without "=" before a
# station-prefixed part, a NIL part; a ZCZC bulletin in m/s with a part C in
# tenths of hPa, a PILOT A surface wind and 1tnuuu altitudes.
SELF_TEST_FEED = (
    '\x01\r\r\n001 \r\r\nUSUS41 KXXX 060000\r\r\n'
    'TTAA 56008 72493 99997 10656 27015 00522 ///// ///// 92/// ///// /////\r\r\n'
    '85512 03456 28525 70140 02459 88250 55366 28060 77245 28565 41010\r\r\n'
    '31313 58708 82303=\r\r\n\x03'
    '\x01\n002 \nUSUS41 KXXX 060000 RRA\n'
    'TTBB 56008 72493 00997 10656 11980 086\n57 21212 00997 27015 11900 28030=\n'
    'PPBB 56008 72493 90/12 27015 27520 28025\n'
    '72493 TTAA 56008 72493 99997 10656 27015 00522 ///// ///// 92/// ///// /////\n'
    '85512 03456 28530 70140 02459 88250 55366 28060 77245 28565 41010 31313 58708 82303=\n'
    'TTBB 72520 NIL=\n\x03'
    'ZCZC\nUSXX01 KXXX 060000\n'
    'TTCC 0600/ 01010 70850 58757 88705 60157 27012 77999\n'
    'PPAA 06007 01010 55199 27005 77180 28040=\n'
    'PPDD 06008 01010 999// 27060 100// 28070=\nNNNN\n')
SELF_TEST_COUNTS = {'standard': [5, 18], 'surface': [1, 5], 'tropopause': [2, 10],
                    'max_wind': [2, 6], 'sig_temperature': [2, 6], 'sig_wind': [2, 6],
                    'altitude_wind': [5, 14], 'launch': [1, 1]}
SELF_TEST_ROWS = [
    '72493,72493,"Oakland, CA",37.73,-122.22,3,2026-02-06T00:00Z,2026-02-05T23:03Z,' + r for r in (
        'surface,997,,10.6,4.6,270,7.71666', 'standard,1000,-22,,,,',
        'standard,850,1512,3.4,-2.6,285,15.43332', 'standard,700,3140,2.4,-6.6,,',
        'tropopause,250,,-55.3,-71.3,280,30.86664', 'max_wind,245,,,,285,33.43886',
        'sig_temperature,997,,10.6,4.6,,',
        'sig_temperature,980,,8.6,1.6,,', 'sig_wind,997,,,,270,7.71666',
        'sig_wind,900,,,,280,15.43332', 'sig_wind,,3,,,270,7.71666',
        'sig_wind,,300,,,275,10.28888', 'sig_wind,,600,,,280,12.8611')] + [
    '01010,01010,Andoya,69.3,16.1,10,2026-02-06T00:00Z,,' + r for r in (
        'standard,70,18500,-58.7,-65.7,,', 'tropopause,70.5,,-60.1,-67.1,270,12',
        'surface,,,,,270,5', 'max_wind,180,,,,280,40', 'sig_wind,,29700,,,270,60',
        'sig_wind,,30000,,,280,70')]


def write_cf(path, rows):
    """The rows as a CF profile file, to read the CF form back."""
    import netCDF4
    import numpy
    fill, epoch = -1e30, dt.datetime(1970, 1, 1)
    profiles = list(dict.fromkeys((r.station, r.time, r.launch) for r in rows))

    def column(r, field):
        by_altitude = r.ltype == 'sig_wind' and r.pressure is None
        value = (r.height if by_altitude else None) if field == 'altitude' else \
            None if field == 'height' and by_altitude else getattr(r, field)
        return fill if value is None else value

    with netCDF4.Dataset(path, 'w') as nc:
        nc.featureType = 'profile'
        nc.createDimension('profile', len(profiles))
        nc.createDimension('obs', len(rows))
        nc.createDimension('id_len', 10)
        nc.createVariable('station_id', 'S1', ('profile', 'id_len'))[:] = \
            netCDF4.stringtochar(numpy.array([p[0] for p in profiles], 'S10'))
        for k, name in ((1, 'time'), (2, 'launch_time')):
            var = nc.createVariable(name, 'f8', ('profile',), fill_value=fill)
            var.units = 'seconds since 1970-01-01'
            var[:] = [(p[k] - epoch).total_seconds() if p[k] else fill for p in profiles]
        nc.createVariable('row_size', 'i4', ('profile',))[:] = [
            sum(1 for r in rows if (r.station, r.time, r.launch) == p) for p in profiles]
        for field, name in list(CF_VARIABLES.items()) + [('altitude', 'altitude')]:
            nc.createVariable(name, 'f8', ('obs',), fill_value=fill)[:] = \
                [column(r, field) for r in rows]
        nc.createVariable('level_type', 'i1', ('obs',), fill_value=-1)[:] = [
            LEVEL_TYPES.index(r.ltype) for r in rows]


def self_test():
    failed, checks = [], []

    def check(name, ok):
        checks.append(name)
        if not ok:
            failed.append(name)
            print(f'self-test: {name}: FAILED')

    with tempfile.TemporaryDirectory() as tmp:
        feed, full, short = (os.path.join(tmp, n) for n in ('feed.txt', 'full.csv', 'short.csv'))
        with open(feed, 'w', encoding='latin-1', newline='') as f:
            f.write(SELF_TEST_FEED)
        levels, tally, trace = decode_feeds([feed], dt.datetime(2026, 2, 6), (-120, 120))
        check('counts per class', count(levels) == SELF_TEST_COUNTS)
        check('every group is read', not trace)
        check('a NIL part holds nothing', tally.get('NIL') == 1
              and not any(lv.station == '72520' for lv in levels))
        check('the later copy replaces the earlier', tally.get('replaced by a later copy') == 1)
        check('day 31 for a decode time of 1 January is 31 December',
              observation_time('31231', dt.datetime(2026, 1, 1)) == dt.datetime(2025, 12, 31, 23))
        with open(full, 'w', encoding='utf-8') as f:
            f.write('\n'.join([CSV_HEADER] + SELF_TEST_ROWS) + '\n')
        with open(short, 'w', encoding='utf-8') as f:      # lacks the 850 hPa temperature
            f.write('\n'.join([CSV_HEADER] + SELF_TEST_ROWS).replace(',1512,3.4,', ',1512,,')
                    + '\n')
        args = ['--decode-time', '2026020600', feed]
        check('a CSV holding every value passes', main(['--csv', full] + args, io.StringIO()) == 0)
        text = io.StringIO()
        check('a CSV that lacks one value fails and names it',
              main(['--csv', short] + args, text) == 1 and 'missing (first 1 of 1):\n  72493 '
              '2026-02-06T00:00Z TTAA standard 850 hPa temperature: "85512 03456 28530"'
              in text.getvalue())
        try:
            write_cf(os.path.join(tmp, 'full.nc'), read_csv(full))
        except ImportError:
            print('self-test: python3-netcdf4 is missing, the CF form is not checked')
        else:
            check('the CF form holding every value passes',
                  main(['--cf', os.path.join(tmp, 'full.nc')] + args, io.StringIO()) == 0)
    print(f'self-test: {len(checks) - len(failed)} passed, {len(failed)} failed')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
