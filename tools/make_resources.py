#!/usr/bin/python3
"""Draws every picture, the waiting animation, the shutter sound and the data
files of the station, and writes resources/resource_list.txt.  Pictures that
carry words are drawn once per language index, with the words of
tools/resource_texts.py; the others are shared by every language.

Run from anywhere:  /usr/bin/python3 tools/make_resources.py
Needs Debian's python3-pil and fonts-wqy-zenhei.  Output is deterministic
(fixed random seeds), so redrawing an unchanged script changes no file.
"""
import math
import os
import random
import struct
import wave
import zlib

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont, PngImagePlugin

from resource_texts import FOLDERS, IDS, PORTRAITS, TEXTS

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RES = os.path.join(ROOT, "resources")
IMG = os.path.join(RES, "images")
SND = os.path.join(RES, "sounds")
DATA = os.path.join(RES, "data")
FONT_PATH = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"

# Theme: a dark blue/purple medical-device look.
NAVY = (12, 18, 48)
DEEP = (20, 16, 60)
PURPLE = (54, 34, 112)
CYAN = (70, 200, 255)
VIOLET = (150, 120, 255)
WHITE = (255, 255, 255)

SS = 4  # supersampling factor for anti-aliased shapes


def font(size):
    return ImageFont.truetype(FONT_PATH, size, index=0)


def lerp(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(len(a)))


def vgradient(w, h, top, bottom):
    col = Image.new("RGB", (1, h))
    for y in range(h):
        col.putpixel((0, y), lerp(top, bottom, y / max(1, h - 1)))
    return col.resize((w, h))


def radial(w, h, inner, outer, cx=None, cy=None, radius=None):
    """A radial gradient drawn small and scaled up (smooth and quick)."""
    sw, sh = max(2, w // 8), max(2, h // 8)
    cx = sw / 2 if cx is None else cx * sw / w
    cy = sh / 2 if cy is None else cy * sh / h
    radius = (math.hypot(sw, sh) / 2) if radius is None else radius * sw / w
    im = Image.new("RGB", (sw, sh))
    px = im.load()
    for y in range(sh):
        for x in range(sw):
            t = min(1.0, math.hypot(x - cx, y - cy) / radius)
            px[x, y] = lerp(inner, outer, t * t * (3 - 2 * t))
    return im.resize((w, h), Image.BICUBIC)


def text_size(draw, text, f):
    l, t, r, b = draw.textbbox((0, 0), text, font=f)
    return r - l, b - t, l, t


def draw_text_center(draw, box, text, f, fill, shadow=None):
    x0, y0, x1, y1 = box
    w, h, l, t = text_size(draw, text, f)
    x = x0 + (x1 - x0 - w) / 2 - l
    y = y0 + (y1 - y0 - h) / 2 - t
    if shadow:
        draw.text((x + 1, y + 1), text, font=f, fill=shadow)
    draw.text((x, y), text, font=f, fill=fill)


def fit_font(draw, text, max_w, max_h, start):
    size = start
    while size > 8:
        f = font(size)
        w, h, _, _ = text_size(draw, text, f)
        if w <= max_w and h <= max_h:
            return f
        size -= 1
    return font(8)


def fitted(draw, text, max_w, size):
    """The font of `size`, or the largest smaller one in which `text` is at
    most `max_w` wide (longer languages shrink instead of running over)."""
    return fit_font(draw, text, max_w, 10 ** 6, size)


def save_png(im, name, info=None):
    path = os.path.join(IMG, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    im.save(path, "PNG", optimize=True, pnginfo=info)
    return name


def grid_overlay(im, step, colour, alpha):
    ov = Image.new("RGBA", im.size, (0, 0, 0, 0))
    d = ImageDraw.Draw(ov)
    for x in range(0, im.size[0], step):
        d.line([(x, 0), (x, im.size[1])], fill=colour + (alpha,))
    for y in range(0, im.size[1], step):
        d.line([(0, y), (im.size[0], y)], fill=colour + (alpha,))
    return Image.alpha_composite(im.convert("RGBA"), ov)


def glow_arcs(im, cx, cy, radii, colour, alpha, width=2):
    ov = Image.new("RGBA", im.size, (0, 0, 0, 0))
    d = ImageDraw.Draw(ov)
    for i, r in enumerate(radii):
        d.ellipse([cx - r, cy - r, cx + r, cy + r], outline=colour + (max(8, alpha - i * 8),), width=width)
    ov = ov.filter(ImageFilter.GaussianBlur(0.6))
    return Image.alpha_composite(im.convert("RGBA"), ov)


# ---------------------------------------------------------------- icons
# Each icon is drawn in white line art into a square (x, y, s) of a drawing
# that is already supersampled.

def icon_person(d, x, y, s, c, lw):
    d.ellipse([x + s * 0.32, y + s * 0.06, x + s * 0.68, y + s * 0.42], outline=c, width=lw)
    d.arc([x + s * 0.12, y + s * 0.48, x + s * 0.88, y + s * 1.25], 180, 360, fill=c, width=lw)
    d.line([(x + s * 0.12, y + s * 0.86), (x + s * 0.88, y + s * 0.86)], fill=c, width=lw)


def icon_magnifier(d, x, y, s, c, lw):
    d.ellipse([x + s * 0.08, y + s * 0.08, x + s * 0.66, y + s * 0.66], outline=c, width=lw)
    d.line([(x + s * 0.58, y + s * 0.58), (x + s * 0.92, y + s * 0.92)], fill=c, width=int(lw * 1.6))


def icon_bolt(d, x, y, s, c, lw):
    pts = [(0.58, 0.02), (0.18, 0.56), (0.46, 0.56), (0.36, 0.98), (0.82, 0.40), (0.54, 0.40), (0.58, 0.02)]
    d.polygon([(x + s * a, y + s * b) for a, b in pts], fill=c)


def icon_power(d, x, y, s, c, lw):
    d.arc([x + s * 0.1, y + s * 0.12, x + s * 0.9, y + s * 0.92], -60, 240, fill=c, width=lw)
    d.line([(x + s * 0.5, y + s * 0.02), (x + s * 0.5, y + s * 0.5)], fill=c, width=lw)


def icon_fullview(d, x, y, s, c, lw):
    a, b = 0.06, 0.94
    k = 0.32
    for (px, py, dx, dy) in [(a, a, 1, 1), (b, a, -1, 1), (a, b, 1, -1), (b, b, -1, -1)]:
        d.line([(x + s * px, y + s * py), (x + s * (px + dx * k), y + s * py)], fill=c, width=lw)
        d.line([(x + s * px, y + s * py), (x + s * px, y + s * (py + dy * k))], fill=c, width=lw)
    d.rectangle([x + s * 0.32, y + s * 0.34, x + s * 0.68, y + s * 0.66], outline=c, width=max(1, lw // 2))


def icon_ruler(d, x, y, s, c, lw):
    d.rectangle([x + s * 0.02, y + s * 0.3, x + s * 0.98, y + s * 0.72], outline=c, width=lw)
    for i in range(1, 8):
        tx = x + s * (0.02 + 0.96 * i / 8)
        d.line([(tx, y + s * 0.3), (tx, y + s * (0.52 if i % 2 else 0.44))], fill=c, width=max(1, lw // 2))


def icon_camera(d, x, y, s, c, lw):
    d.rounded_rectangle([x + s * 0.04, y + s * 0.26, x + s * 0.96, y + s * 0.86], radius=s * 0.1, outline=c, width=lw)
    d.rectangle([x + s * 0.34, y + s * 0.14, x + s * 0.62, y + s * 0.26], fill=c)
    d.ellipse([x + s * 0.32, y + s * 0.38, x + s * 0.68, y + s * 0.74], outline=c, width=lw)


def icon_snowflake(d, x, y, s, c, lw):
    cx, cy, r = x + s / 2, y + s / 2, s * 0.46
    for k in range(3):
        a = math.radians(90 + 60 * k)
        d.line([(cx - r * math.cos(a), cy - r * math.sin(a)), (cx + r * math.cos(a), cy + r * math.sin(a))], fill=c, width=lw)
        for sgn in (-1, 1):
            ex, ey = cx + sgn * r * 0.62 * math.cos(a), cy + sgn * r * 0.62 * math.sin(a)
            for b in (a + math.radians(40), a - math.radians(40)):
                d.line([(ex, ey), (ex + sgn * r * 0.3 * math.cos(b), ey + sgn * r * 0.3 * math.sin(b))], fill=c, width=max(1, lw * 2 // 3))


def icon_play(d, x, y, s, c, lw):
    d.ellipse([x + s * 0.02, y + s * 0.02, x + s * 0.98, y + s * 0.98], outline=c, width=lw)
    d.polygon([(x + s * 0.4, y + s * 0.28), (x + s * 0.4, y + s * 0.72), (x + s * 0.76, y + s * 0.5)], fill=c)


def icon_document(d, x, y, s, c, lw):
    d.polygon([(x + s * 0.16, y + s * 0.02), (x + s * 0.64, y + s * 0.02), (x + s * 0.86, y + s * 0.24),
               (x + s * 0.86, y + s * 0.98), (x + s * 0.16, y + s * 0.98)], outline=c, width=lw)
    for k in range(3):
        yy = y + s * (0.42 + 0.16 * k)
        d.line([(x + s * 0.3, yy), (x + s * 0.72, yy)], fill=c, width=max(1, lw // 2))


def icon_hair(d, x, y, s, c, lw):
    for k in range(3):
        ox = s * (0.18 + 0.3 * k)
        pts = [(x + ox + s * 0.1 * math.sin(t / 6 * math.pi * 2), y + s * t / 6) for t in range(7)]
        d.line(pts, fill=c, width=lw, joint="curve")


def icon_skin(d, x, y, s, c, lw):
    d.rounded_rectangle([x + s * 0.04, y + s * 0.04, x + s * 0.96, y + s * 0.96], radius=s * 0.2, outline=c, width=lw)
    for (a, b) in [(0.3, 0.32), (0.62, 0.28), (0.45, 0.6), (0.72, 0.68), (0.26, 0.72)]:
        r = s * 0.06
        d.ellipse([x + s * a - r, y + s * b - r, x + s * a + r, y + s * b + r], fill=c)


def icon_back(d, x, y, s, c, lw):
    d.line([(x + s * 0.92, y + s * 0.5), (x + s * 0.1, y + s * 0.5)], fill=c, width=lw)
    d.line([(x + s * 0.42, y + s * 0.18), (x + s * 0.1, y + s * 0.5), (x + s * 0.42, y + s * 0.82)], fill=c, width=lw, joint="curve")


def icon_pen(d, x, y, s, c, lw):
    d.polygon([(x + s * 0.72, y + s * 0.04), (x + s * 0.96, y + s * 0.28), (x + s * 0.3, y + s * 0.94),
               (x + s * 0.06, y + s * 0.94), (x + s * 0.06, y + s * 0.7)], outline=c, width=lw)
    d.line([(x + s * 0.6, y + s * 0.16), (x + s * 0.84, y + s * 0.4)], fill=c, width=max(1, lw // 2))


def icon_eraser(d, x, y, s, c, lw):
    d.polygon([(x + s * 0.52, y + s * 0.08), (x + s * 0.96, y + s * 0.5), (x + s * 0.58, y + s * 0.88),
               (x + s * 0.3, y + s * 0.88), (x + s * 0.06, y + s * 0.62)], outline=c, width=lw)
    d.line([(x + s * 0.28, y + s * 0.38), (x + s * 0.72, y + s * 0.82)], fill=c, width=lw)
    d.line([(x + s * 0.3, y + s * 0.96), (x + s * 0.96, y + s * 0.96)], fill=c, width=max(1, lw // 2))


def icon_retry(d, x, y, s, c, lw):
    d.arc([x + s * 0.1, y + s * 0.1, x + s * 0.9, y + s * 0.9], 40, 330, fill=c, width=lw)
    ex, ey = x + s * 0.5 + s * 0.4 * math.cos(math.radians(330)), y + s * 0.5 + s * 0.4 * math.sin(math.radians(330))
    d.polygon([(ex - s * 0.22, ey - s * 0.06), (ex + s * 0.12, ey - s * 0.2), (ex + s * 0.06, ey + s * 0.16)], fill=c)


def icon_folder(d, x, y, s, c, lw):
    d.polygon([(x + s * 0.04, y + s * 0.16), (x + s * 0.38, y + s * 0.16), (x + s * 0.48, y + s * 0.28),
               (x + s * 0.96, y + s * 0.28), (x + s * 0.96, y + s * 0.88), (x + s * 0.04, y + s * 0.88)], outline=c, width=lw)
    d.line([(x + s * 0.04, y + s * 0.4), (x + s * 0.96, y + s * 0.4)], fill=c, width=max(1, lw // 2))


# ---------------------------------------------------------------- buttons
STYLES = {
    # top, bottom, border, label colour
    "normal": ((78, 92, 205), (30, 32, 104), (150, 170, 255), WHITE),
    "exit": ((150, 66, 120), (74, 24, 70), (240, 150, 200), WHITE),
    "on": ((40, 186, 226), (14, 84, 150), (190, 245, 255), WHITE),
    "live": ((42, 176, 120), (12, 86, 70), (170, 255, 210), WHITE),
    "frozen": ((128, 170, 235), (52, 72, 150), (225, 240, 255), (12, 26, 70)),
}


def button(w, h, label, icon=None, style="normal", indicator=None):
    top, bottom, border, ink = STYLES[style]
    W, H = w * SS, h * SS
    rad = int(min(H * 0.24, 14 * SS))
    grad = vgradient(W, H, top, bottom).convert("RGBA")
    mask = Image.new("L", (W, H), 0)
    md = ImageDraw.Draw(mask)
    md.rounded_rectangle([SS, SS, W - SS - 1, H - SS - 1], radius=rad, fill=255)
    im = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    im.paste(grad, (0, 0), mask)
    # gloss over the upper half
    gloss = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    gd = ImageDraw.Draw(gloss)
    gd.rounded_rectangle([3 * SS, 2 * SS, W - 3 * SS, H * 0.5], radius=rad, fill=(255, 255, 255, 46))
    im = Image.alpha_composite(im, gloss)
    d = ImageDraw.Draw(im)
    d.rounded_rectangle([SS, SS, W - SS - 1, H - SS - 1], radius=rad, outline=border + (255,), width=SS + SS // 2)
    # everything else goes on a layer of its own and is blended in, so that
    # half-transparent strokes never punch holes into the button's face
    face = im
    im = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    d = ImageDraw.Draw(im)
    inner = lerp(top, WHITE, 0.35)
    d.rounded_rectangle([3 * SS, 3 * SS, W - 3 * SS - 1, H - 3 * SS - 1], radius=max(1, rad - 2 * SS),
                        outline=inner + (90,), width=SS)
    # content: icon left, words right, centred as a group
    pad = 6 * SS
    isz = int(H * 0.46) if icon else 0
    gap = int(H * 0.16) if icon else 0
    avail = W - 2 * pad - isz - gap - (10 * SS if indicator else 0)
    f = fit_font(d, label, avail, H * 0.56, int(H * (0.36 if h >= 60 else 0.42)))
    tw, th, tl, tt = text_size(d, label, f)
    group = isz + gap + tw
    gx = (W - group) / 2 - (5 * SS if indicator else 0)
    lw = max(SS, int(isz * 0.09))
    if icon:
        icon(d, gx, (H - isz) / 2, isz, ink + (255,), lw)
    tx = gx + isz + gap - tl
    ty = (H - th) / 2 - tt
    shadow = (0, 0, 0, 110) if ink == WHITE else (255, 255, 255, 90)
    d.text((tx + SS, ty + SS), label, font=f, fill=shadow)
    d.text((tx, ty), label, font=f, fill=ink + (255,))
    if indicator:
        r = 4 * SS
        cx, cy = W - pad - r, H / 2
        d.ellipse([cx - r, cy - r, cx + r, cy + r], fill=indicator + (255,), outline=(255, 255, 255, 200), width=SS // 2)
    im = Image.alpha_composite(face, im)
    return im.resize((w, h), Image.LANCZOS)


def icon_only_button(w, h, icon, style="normal", text=None):
    top, bottom, border, ink = STYLES[style]
    W, H = w * SS, h * SS
    im = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    d = ImageDraw.Draw(im)
    d.ellipse([SS, SS, W - SS - 1, H - SS - 1], fill=bottom + (230,), outline=border + (255,), width=SS + SS // 2)
    s = int(W * 0.56)
    icon(d, (W - s) / 2 - W * 0.03, (H - s) / 2 - H * 0.03, s, ink + (255,), max(SS, s // 10))
    if text:
        f = font(int(H * 0.3))
        d.text((W * 0.55, H * 0.56), text, font=f, fill=CYAN + (255,))
    return im.resize((w, h), Image.LANCZOS)


# ---------------------------------------------------------------- backgrounds
def decorate_dots(im, seed, count, area, colour):
    rnd = random.Random(seed)
    ov = Image.new("RGBA", im.size, (0, 0, 0, 0))
    d = ImageDraw.Draw(ov)
    x0, y0, x1, y1 = area
    for _ in range(count):
        x, y = rnd.uniform(x0, x1), rnd.uniform(y0, y1)
        r = rnd.uniform(0.8, 2.4)
        d.ellipse([x - r, y - r, x + r, y + r], fill=colour + (rnd.randint(40, 140),))
    return Image.alpha_composite(im.convert("RGBA"), ov.filter(ImageFilter.GaussianBlur(0.5)))


def hex_network(im, seed, area, colour, alpha):
    """Faint molecule-like lines and nodes in a region."""
    rnd = random.Random(seed)
    ov = Image.new("RGBA", im.size, (0, 0, 0, 0))
    d = ImageDraw.Draw(ov)
    x0, y0, x1, y1 = area
    nodes = [(rnd.uniform(x0, x1), rnd.uniform(y0, y1)) for _ in range(26)]
    for i, a in enumerate(nodes):
        near = sorted(nodes, key=lambda b: (a[0] - b[0]) ** 2 + (a[1] - b[1]) ** 2)[1:3]
        for b in near:
            d.line([a, b], fill=colour + (alpha,), width=1)
    for (x, y) in nodes:
        d.ellipse([x - 2.5, y - 2.5, x + 2.5, y + 2.5], outline=colour + (alpha + 40,), width=1)
    return Image.alpha_composite(im.convert("RGBA"), ov)


def start_background(t):
    w, h = 720, 540
    im = radial(w, h, (58, 46, 140), (8, 10, 36), cx=250, cy=230, radius=560).convert("RGBA")
    im = grid_overlay(im, 24, (120, 140, 255), 14)
    im = glow_arcs(im, 250, 260, [90, 130, 175, 225, 280], CYAN, 70)
    im = hex_network(im, 7, (430, 20, 710, 250), (140, 170, 255), 40)
    im = decorate_dots(im, 3, 120, (0, 0, w, h), (170, 200, 255))
    d = ImageDraw.Draw(im)
    # the examination head: a magnifier over a skin patch with hair strands
    cx, cy = 250, 260
    d.ellipse([cx - 70, cy - 70, cx + 70, cy + 70], fill=(236, 196, 176, 255), outline=(200, 230, 255, 255), width=6)
    rnd = random.Random(11)
    for _ in range(60):
        a, r = rnd.uniform(0, 2 * math.pi), rnd.uniform(0, 58)
        px, py = cx + r * math.cos(a), cy + r * math.sin(a)
        d.ellipse([px - 1.6, py - 1.6, px + 1.6, py + 1.6], fill=(170, 120, 104, 255))
    for k in range(7):
        x = cx - 48 + k * 16
        d.line([(x, cy - 10 + (k % 3) * 8), (x + 16, cy - 62 + (k % 2) * 10)], fill=(60, 40, 34, 255), width=3)
    d.line([(cx + 50, cy + 50), (cx + 118, cy + 118)], fill=(200, 230, 255, 255), width=14)
    d.line([(cx + 60, cy + 60), (cx + 116, cy + 116)], fill=(70, 90, 180, 255), width=6)
    # title block
    d.text((42, 40), t["app_title"], font=fitted(d, t["app_title"], 636, 40), fill=WHITE)
    d.text((44, 94), t["app_subtitle"], font=fitted(d, t["app_subtitle"], 636, 20), fill=(190, 210, 255))
    d.line([(44, 128), (420, 128)], fill=CYAN + (200,), width=2)
    # the lower lines end before the buttons' panel (x 538)
    d.text((44, 470), t["app_tagline"], font=fitted(d, t["app_tagline"], 480, 15), fill=(170, 190, 240))
    d.text((44, 494), t["version"], font=font(15), fill=(130, 150, 210))
    # a quiet panel behind the three buttons (x 552, y from 292)
    ov = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    od = ImageDraw.Draw(ov)
    od.rounded_rectangle([538, 278, 712, 520], radius=16, fill=(10, 12, 40, 120), outline=(120, 140, 255, 90), width=2)
    im = Image.alpha_composite(im, ov)
    return im.convert("RGB")


def station_background(compare):
    w, h = 960, 720
    if compare:
        im = radial(w, h, (46, 30, 110), (6, 8, 30), cx=480, cy=330, radius=700).convert("RGBA")
    else:
        im = radial(w, h, (40, 44, 130), (6, 8, 32), cx=480, cy=300, radius=680).convert("RGBA")
    im = grid_overlay(im, 32, (110, 130, 255), 12)
    im = hex_network(im, 21 if compare else 5, (10, 60, 150, 520), (140, 170, 255), 34)
    im = hex_network(im, 22 if compare else 6, (810, 60, 950, 520), (140, 170, 255), 34)
    im = decorate_dots(im, 9 if compare else 8, 90, (0, 40, w, h), (170, 200, 255))
    ov = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    d = ImageDraw.Draw(ov)
    if compare:
        # the comparison window covers x 144-816 from y 80; a soft halo around it
        d.rounded_rectangle([132, 70, 828, 440], radius=18, outline=(160, 130, 255, 90), width=3)
        d.rounded_rectangle([124, 62, 836, 448], radius=22, outline=(160, 130, 255, 40), width=2)
    # the dock behind the button row (y 645-709 at 720 lines) and the
    # comparison buttons (y 570)
    d.rounded_rectangle([8, 632, 952, 716], radius=14, fill=(8, 10, 34, 150), outline=(120, 140, 255, 80), width=2)
    d.line([(40, 630), (920, 630)], fill=CYAN + (70,), width=1)
    ov = ov.filter(ImageFilter.GaussianBlur(0.7))
    im = Image.alpha_composite(im, ov)
    return im.convert("RGB")


def title_strip():
    w, h = 960, 38
    im = vgradient(w, h, (44, 40, 120), (14, 14, 50)).convert("RGBA")
    d = ImageDraw.Draw(im)
    d.line([(0, h - 2), (w, h - 2)], fill=CYAN, width=1)
    d.line([(0, h - 1), (w, h - 1)], fill=(8, 8, 30), width=1)
    d.line([(0, 0), (w, 0)], fill=(120, 130, 230), width=1)
    # small mark at the left: a magnifier with a cross
    icon_magnifier(d, 10, 7, 24, (200, 225, 255), 2)
    d.text((42, 10), "Quillmarsh", font=font(15), fill=(190, 205, 255))
    for k in range(6):
        x = 180 + k * 10
        d.line([(x, 12), (x + 14, 26)], fill=(90, 100, 200), width=2)
    for k in range(6):
        x = 720 + k * 10
        d.line([(x, 12), (x + 14, 26)], fill=(90, 100, 200), width=2)
    return im.convert("RGB")


def view_frame():
    # 670 x 507, stretched to the view plus 14 px at each side and 12 px above
    # and below; the inside is covered by the view itself.
    w, h = 670, 507
    im = vgradient(w, h, (120, 130, 230), (50, 46, 140)).convert("RGBA")
    d = ImageDraw.Draw(im)
    d.rectangle([0, 0, w - 1, h - 1], outline=(20, 20, 60), width=2)
    d.rectangle([4, 4, w - 5, h - 5], outline=(190, 210, 255), width=2)
    d.rectangle([10, 8, w - 11, h - 9], outline=CYAN, width=2)
    d.rectangle([13, 11, w - 14, h - 12], fill=(0, 0, 0))
    for (x, y) in [(6, 6), (w - 7, 6), (6, h - 7), (w - 7, h - 7)]:
        d.ellipse([x - 3, y - 3, x + 3, y + 3], fill=(230, 240, 255))
    return im.convert("RGB")


def square_button(kind):
    w = h = 38
    im = vgradient(w * SS, h * SS, (60, 56, 150), (20, 18, 66)).convert("RGBA")
    d = ImageDraw.Draw(im)
    d.rectangle([0, 0, w * SS - 1, h * SS - 1], outline=(130, 140, 240), width=SS)
    c = (235, 240, 255)
    if kind == "close":
        d.rectangle([SS, SS, w * SS - SS - 1, h * SS - SS - 1], fill=(150, 40, 80, 120))
        d.line([(12 * SS, 12 * SS), (26 * SS, 26 * SS)], fill=c, width=3 * SS)
        d.line([(26 * SS, 12 * SS), (12 * SS, 26 * SS)], fill=c, width=3 * SS)
    else:
        d.line([(11 * SS, 25 * SS), (27 * SS, 25 * SS)], fill=c, width=3 * SS)
    return im.resize((w, h), Image.LANCZOS).convert("RGB")


def small_picture():
    w, h = 147, 36
    im = vgradient(w, h, (50, 44, 130), (18, 16, 60)).convert("RGBA")
    d = ImageDraw.Draw(im)
    d.rounded_rectangle([0, 0, w - 1, h - 1], radius=6, outline=(140, 160, 255), width=1)
    icon_magnifier(d, 6, 6, 24, CYAN, 2)
    d.text((36, 8), "Quillmarsh", font=font(16), fill=WHITE)
    return im.convert("RGB")


def no_device_picture(t):
    w, h = 518, 218
    im = vgradient(w, h, (38, 34, 104), (16, 14, 52)).convert("RGBA")
    d = ImageDraw.Draw(im)
    d.rounded_rectangle([1, 1, w - 2, h - 2], radius=14, outline=(150, 160, 255), width=2)
    # a camera with a cut cable
    cam = Image.new("RGBA", (130 * SS, 130 * SS), (0, 0, 0, 0))
    cd = ImageDraw.Draw(cam)
    icon_camera(cd, 10 * SS, 14 * SS, 100 * SS, (210, 220, 255, 255), 5 * SS)
    cd.line([(20 * SS, 110 * SS), (110 * SS, 20 * SS)], fill=(255, 90, 110, 255), width=8 * SS)
    im.alpha_composite(cam.resize((130, 130), Image.LANCZOS), (30, 44))
    d.text((178, 58), t["no_device"], font=fitted(d, t["no_device"], w - 190, 34), fill=WHITE)
    hint = min((fitted(d, line, w - 192, 16) for line in t["no_device_hint"]), key=lambda f: f.size)
    for i, line in enumerate(t["no_device_hint"]):
        d.text((180, 112 + 24 * i), line, font=hint, fill=(190, 205, 255))
    d.line([(180, 104), (480, 104)], fill=CYAN, width=1)
    return im.convert("RGB")


def app_icon(size=32):
    S = size * SS
    im = Image.new("RGBA", (S, S), (0, 0, 0, 0))
    d = ImageDraw.Draw(im)
    d.rounded_rectangle([0, 0, S - 1, S - 1], radius=S * 0.22, fill=PURPLE + (255,), outline=CYAN + (255,), width=2 * SS)
    d.ellipse([S * 0.16, S * 0.14, S * 0.66, S * 0.64], fill=(236, 196, 176, 255), outline=WHITE + (255,), width=2 * SS)
    for k in range(3):
        x = S * (0.28 + 0.1 * k)
        d.line([(x, S * 0.52), (x + S * 0.06, S * 0.24)], fill=(70, 44, 36, 255), width=SS)
    d.line([(S * 0.58, S * 0.58), (S * 0.86, S * 0.86)], fill=WHITE + (255,), width=4 * SS)
    return im.resize((size, size), Image.LANCZOS)


def copyright_logo():
    w, h = 170, 47
    im = vgradient(w, h, (250, 250, 255), (226, 230, 250)).convert("RGBA")
    d = ImageDraw.Draw(im)
    # feather mark
    d.ellipse([8, 6, 44, 42], fill=PURPLE)
    d.polygon([(16, 36), (36, 10), (30, 30)], fill=CYAN)
    d.line([(16, 36), (34, 14)], fill=WHITE, width=2)
    d.text((52, 6), "QUILLMARSH", font=font(19), fill=PURPLE)
    d.text((53, 29), "MEDICAL IMAGING", font=font(10), fill=(80, 90, 160))
    return im.convert("RGB").quantize(colors=64, method=Image.MEDIANCUT, dither=Image.NONE)


def copyright_statement(t):
    w, h = 319, 101
    im = vgradient(w, h, (250, 250, 255), (230, 232, 248)).convert("RGB")
    d = ImageDraw.Draw(im)
    d.rectangle([0, 0, w - 1, h - 1], outline=(150, 150, 200))
    lines = t["statement"]
    for (y, size, ink), line in zip([(10, 15, (30, 30, 90)), (34, 13, (40, 40, 80)), (54, 12, (60, 60, 110)),
                                     (76, 12, (60, 60, 110))], lines):
        d.text((14, y), line, font=fitted(d, line, w - 26, size), fill=ink)
    return im


def compare_background(hair, t):
    # 842 x 400 grid: panes at x 11-414 and 426-829, y 86-386; the radio row
    # stands above the right pane, so the title goes above the left pane.
    w, h = 842, 400
    # hair in violet, skin in blue, so the two modes tell apart at a glance
    top, bottom = ((88, 36, 128), (28, 10, 48)) if hair else ((26, 60, 140), (8, 16, 44))
    im = vgradient(w, h, top, bottom).convert("RGBA")
    im = grid_overlay(im, 20, (130, 140, 255), 12)
    d = ImageDraw.Draw(im)
    d.rounded_rectangle([1, 1, w - 2, h - 2], radius=12, outline=(150, 160, 255), width=2)
    for (x0, x1) in [(11, 414), (426, 829)]:
        d.rectangle([x0 - 4, 86 - 4, x1 + 3, 386 + 3], outline=(150, 170, 255), width=2)
        d.rectangle([x0 - 1, 86 - 1, x1, 386], fill=(0, 0, 0))
    title = t["compare_hair"] if hair else t["compare_skin"]
    f = fitted(d, title, 250, 30)
    d.text((16, 18), title, font=f, fill=WHITE)
    # the sides' note follows the title on its line; a long one may run on
    # over the right pane's header, above the category row
    x = max(150, 16 + text_size(d, title, f)[0] + 14)
    note = fitted(d, t["compare_sides"], 820 - x, 15)
    d.text((x, 30 + 15 - note.size), t["compare_sides"], font=note, fill=(190, 205, 255))
    d.line([(16, 62), (410, 62)], fill=CYAN, width=2)
    d.text((14, 390 - 1), "", font=font(10), fill=WHITE)
    return im.convert("RGB")


def placeholder(w, h, lines, glyph):
    im = vgradient(w, h, (40, 36, 96), (16, 14, 48)).convert("RGBA")
    d = ImageDraw.Draw(im)
    d.rectangle([0, 0, w - 1, h - 1], outline=(140, 150, 240), width=2)
    d.rectangle([8, 8, w - 9, h - 9], outline=(90, 100, 190), width=1)
    g = Image.new("RGBA", (90 * SS, 90 * SS), (0, 0, 0, 0))
    glyph(ImageDraw.Draw(g), 5 * SS, 5 * SS, 80 * SS, (200, 215, 255, 255), 5 * SS)
    im.alpha_composite(g.resize((90, 90), Image.LANCZOS), ((w - 90) // 2, 50))
    y = 160
    for i, (text, size) in enumerate(lines):
        f = fitted(d, text, w - 24, size)
        draw_text_center(d, (0, y, w, y + size + 8), text, f, WHITE if i == 0 else (190, 205, 255))
        y += size + 14
    return im.convert("RGB")


def icon_broken_picture(d, x, y, s, c, lw):
    d.rectangle([x, y + s * 0.1, x + s, y + s * 0.9], outline=c, width=lw)
    d.polygon([(x + s * 0.1, y + s * 0.8), (x + s * 0.4, y + s * 0.45), (x + s * 0.6, y + s * 0.65),
               (x + s * 0.75, y + s * 0.5), (x + s * 0.9, y + s * 0.8)], fill=c)
    d.line([(x + s * 0.1, y + s * 0.05), (x + s * 0.9, y + s * 0.95)], fill=(255, 100, 120, 255), width=lw)


def icon_add_picture(d, x, y, s, c, lw):
    d.rectangle([x, y + s * 0.1, x + s * 0.8, y + s * 0.8], outline=c, width=lw)
    d.polygon([(x + s * 0.08, y + s * 0.72), (x + s * 0.32, y + s * 0.42), (x + s * 0.5, y + s * 0.6),
               (x + s * 0.62, y + s * 0.48), (x + s * 0.74, y + s * 0.72)], fill=c)
    d.ellipse([x + s * 0.6, y + s * 0.6, x + s, y + s], fill=CYAN + (255,))
    d.line([(x + s * 0.8, y + s * 0.66), (x + s * 0.8, y + s * 0.94)], fill=(20, 20, 60, 255), width=lw)
    d.line([(x + s * 0.66, y + s * 0.8), (x + s * 0.94, y + s * 0.8)], fill=(20, 20, 60, 255), width=lw)


def pen_cursor():
    """32 x 32 pen; the tip is the hot spot."""
    S = 32 * SS
    im = Image.new("RGBA", (S, S), (0, 0, 0, 0))
    d = ImageDraw.Draw(im)
    # the pen runs from the lower-left tip up to the right
    body = [(0.12, 0.78), (0.70, 0.20), (0.84, 0.34), (0.26, 0.92)]
    d.polygon([(S * a, S * b) for a, b in body], fill=(220, 40, 40, 255), outline=(0, 0, 0, 255), width=SS)
    cap = [(0.70, 0.20), (0.80, 0.10), (0.94, 0.24), (0.84, 0.34)]
    d.polygon([(S * a, S * b) for a, b in cap], fill=(240, 240, 240, 255), outline=(0, 0, 0, 255), width=SS)
    tip = [(0.12, 0.78), (0.26, 0.92), (0.03, 0.97)]
    d.polygon([(S * a, S * b) for a, b in tip], fill=(250, 220, 170, 255), outline=(0, 0, 0, 255), width=SS)
    im = im.resize((32, 32), Image.LANCZOS)
    # the very tip pixel is solid so the hot spot is visible
    im.putpixel((1, 30), (0, 0, 0, 255))
    return im, (1, 30)


def pattern(w, h, seed, base_top, base_bottom, motif):
    im = vgradient(w, h, base_top, base_bottom).convert("RGBA")
    ov = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    d = ImageDraw.Draw(ov)
    if motif == "hex":
        r = 18
        dx, dy = r * 1.732, r * 1.5
        row = 0
        y = 0.0
        while y < h + r:
            x = (dx / 2) * (row % 2)
            while x < w + r:
                pts = [(x + r * math.cos(math.radians(60 * k + 30)), y + r * math.sin(math.radians(60 * k + 30))) for k in range(6)]
                d.polygon(pts, outline=(140, 150, 255, 26))
                x += dx
            y += dy
            row += 1
    else:
        for k in range(-h, w, 14):
            d.line([(k, 0), (k + h, h)], fill=(150, 160, 255, 18), width=1)
    im = Image.alpha_composite(im, ov)
    im = decorate_dots(im, seed, w * h // 6000, (0, 0, w, h), (170, 190, 255))
    return im.convert("RGB")


def face_button(pressed):
    w, h = 96, 28
    if pressed:
        im = vgradient(w * SS, h * SS, (24, 26, 90), (64, 76, 180)).convert("RGBA")
    else:
        im = vgradient(w * SS, h * SS, (84, 100, 210), (30, 32, 104)).convert("RGBA")
    d = ImageDraw.Draw(im)
    d.rectangle([0, 0, w * SS - 1, h * SS - 1], outline=(12, 12, 40), width=SS)
    if pressed:
        d.line([(SS, SS), (w * SS - SS, SS)], fill=(8, 8, 30), width=2 * SS)
        d.line([(SS, SS), (SS, h * SS - SS)], fill=(8, 8, 30), width=2 * SS)
    else:
        d.rectangle([SS, SS, w * SS - 2 * SS, h * SS - 2 * SS], outline=(160, 180, 255), width=SS)
        gloss = Image.new("RGBA", im.size, (0, 0, 0, 0))
        ImageDraw.Draw(gloss).rectangle([2 * SS, 2 * SS, w * SS - 3 * SS, h * SS * 0.48], fill=(255, 255, 255, 34))
        im = Image.alpha_composite(im, gloss)
    return im.resize((w, h), Image.LANCZOS).convert("RGB")


# ---------------------------------------------------------------- GIF
def lzw_encode(indices, min_code_size=8):
    """GIF LZW: variable code width, a clear code at the start and whenever
    the table is about to fill."""
    clear, eoi = 1 << min_code_size, (1 << min_code_size) + 1
    out = bytearray()
    acc = nbits = 0

    def emit(code, width):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    width = min_code_size + 1
    table = {}
    next_code = eoi + 1
    emit(clear, width)
    prefix = indices[0]
    for k in indices[1:]:
        key = (prefix, k)
        code = table.get(key)
        if code is not None:
            prefix = code
            continue
        emit(prefix, width)
        table[key] = next_code
        next_code += 1
        if next_code - 1 == (1 << width) and width < 12:
            width += 1
        if next_code >= 4094:
            emit(clear, width)
            table = {}
            next_code = eoi + 1
            width = min_code_size + 1
        prefix = k
    emit(prefix, width)
    emit(eoi, width)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def sub_blocks(data):
    out = bytearray()
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        out.append(len(chunk))
        out += chunk
    out.append(0)
    return bytes(out)


def write_gif(path, frames, delay_cs, disposal):
    """Frames are RGB images of one size; one global palette for all."""
    w, h = frames[0].size
    strip = Image.new("RGB", (w, h * len(frames)))
    for i, f in enumerate(frames):
        strip.paste(f, (0, i * h))
    q = strip.quantize(colors=256, method=Image.MEDIANCUT, dither=Image.NONE)
    pal = q.getpalette()[:768]
    pal += [0] * (768 - len(pal))
    data = bytearray(b"GIF89a")
    data += struct.pack("<HHBBB", w, h, 0xF7, 0, 0)  # global table of 256 colours
    data += bytes(pal)
    data += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"  # loop for ever
    px = list(q.getdata())
    for i in range(len(frames)):
        data += b"\x21\xF9\x04" + bytes([(disposal & 7) << 2]) + struct.pack("<H", delay_cs) + b"\x00\x00"
        data += b"\x2C" + struct.pack("<HHHHB", 0, 0, w, h, 0)
        data += bytes([8]) + sub_blocks(lzw_encode(px[i * w * h:(i + 1) * w * h]))
    data += b"\x3B"
    with open(path, "wb") as fh:
        fh.write(data)


def waiting_frames(t):
    w, h = 400, 300
    # flat colours keep the animation small (LZW loves runs)
    base = Image.new("RGBA", (w, h), (18, 20, 62, 255))
    d = ImageDraw.Draw(base)
    d.rounded_rectangle([4, 4, w - 5, h - 5], radius=18, outline=(90, 100, 200, 255), width=2)
    draw_text_center(d, (0, 212, w, 244), t["waiting"], fitted(d, t["waiting"], w - 24, 20), WHITE)
    draw_text_center(d, (0, 246, w, 270), t["waiting_sub"], fitted(d, t["waiting_sub"], w - 24, 13), (170, 190, 240))
    frames = []
    cx, cy, R = w // 2, 110, 62
    for f in range(12):
        im = Image.new("RGBA", (w * 2, h * 2), (0, 0, 0, 0))
        dd = ImageDraw.Draw(im)
        for k in range(12):
            age = (f - k) % 12  # 0 = the head of the sweep
            a = math.radians(k * 30 - 90)
            x, y = 2 * (cx + R * math.cos(a)), 2 * (cy + R * math.sin(a))
            r = 2 * (11 - age * 0.55)
            col = lerp(CYAN, (60, 60, 150), min(1.0, age / 9))
            dd.ellipse([x - r, y - r, x + r, y + r], fill=col + (255,))
        frame = Image.alpha_composite(base, im.resize((w, h), Image.LANCZOS))
        frames.append(frame.convert("RGB"))
    return frames


# ---------------------------------------------------------------- sound
def shutter_wave(path):
    rate = 22050
    n = int(rate * 0.32)
    rnd = random.Random(162)
    samples = [0.0] * n

    def click(start, amp, decay, tone):
        s0 = int(start * rate)
        for i in range(s0, min(n, s0 + int(rate * 0.06))):
            t = (i - s0) / rate
            env = math.exp(-t / decay)
            samples[i] += amp * env * (rnd.uniform(-1, 1) * 0.7 + 0.3 * math.sin(2 * math.pi * tone * t))

    click(0.000, 0.9, 0.004, 1800)   # the shutter opens
    click(0.006, 0.4, 0.012, 180)    # body thump
    click(0.085, 0.75, 0.005, 1500)  # the shutter closes
    click(0.092, 0.3, 0.015, 140)
    for i in range(int(0.11 * rate), n):  # faint spring rattle
        t = i / rate - 0.11
        samples[i] += 0.04 * math.exp(-t / 0.05) * rnd.uniform(-1, 1)
    peak = max(abs(s) for s in samples) or 1.0
    frames = b"".join(struct.pack("<h", int(max(-1.0, min(1.0, s / peak * 0.85)) * 32767)) for s in samples)
    with wave.open(path, "wb") as wf:
        wf.setnchannels(1)
        wf.setsampwidth(2)
        wf.setframerate(rate)
        wf.writeframes(frames)


# ---------------------------------------------------------------- reference pictures
def noise_layer(w, h, sigma, blur):
    n = Image.effect_noise((w, h), sigma)
    if blur:
        n = n.filter(ImageFilter.GaussianBlur(blur))
    return n


def tinted(gray, dark, light):
    """Maps a grey image to a colour ramp from dark to light."""
    lut = []
    for ch in range(3):
        lut += [int(dark[ch] + (light[ch] - dark[ch]) * v / 255) for v in range(256)]
    return Image.merge("RGB", (gray, gray, gray)).point(lut)


def skin_base(w, h, seed, dark, light, blur=3):
    random.seed(seed)
    g = ImageChops.add(noise_layer(w, h, 40, blur), noise_layer(w, h, 18, 14), scale=1.6, offset=-60)
    g = g.filter(ImageFilter.GaussianBlur(1))
    return tinted(g, dark, light).convert("RGBA")


def follicles(im, rnd, count, hair_colour, pore, hair_len, hair_w, hairs_per=(1, 3)):
    w, h = im.size
    sh = Image.new("RGBA", im.size, (0, 0, 0, 0))
    d = ImageDraw.Draw(sh)
    for _ in range(count):
        x, y = rnd.uniform(0, w), rnd.uniform(0, h)
        r = rnd.uniform(pore * 0.7, pore * 1.3)
        d.ellipse([x - r, y - r, x + r, y + r], fill=(90, 50, 40, 150))
        for _ in range(rnd.randint(*hairs_per)):
            a = rnd.uniform(-0.5, 0.5) + math.radians(-60)
            L = rnd.uniform(hair_len * 0.6, hair_len * 1.2)
            pts = []
            for s in range(12):
                t = s / 11
                pts.append((x + L * t * math.cos(a) + 6 * math.sin(t * 3), y + L * t * math.sin(a)))
            d.line(pts, fill=hair_colour + (235,), width=int(hair_w), joint="curve")
            d.line([(p[0] - 1, p[1] - 1) for p in pts], fill=(255, 255, 255, 50), width=1)
    return Image.alpha_composite(im, sh.filter(ImageFilter.GaussianBlur(0.6)))


def ref_scalp(kind, w=640, h=480):
    rnd = random.Random({"Healthy": 1, "Oily": 2, "Dry": 3, "Sensitive": 4}[kind])
    if kind == "Healthy":
        im = skin_base(w, h, 101, (196, 150, 132), (246, 214, 198))
        im = follicles(im, rnd, 38, (48, 32, 26), 4, 120, 5)
    elif kind == "Oily":
        im = skin_base(w, h, 102, (190, 150, 96), (250, 222, 160))
        ov = Image.new("RGBA", (w, h), (0, 0, 0, 0))
        d = ImageDraw.Draw(ov)
        for _ in range(70):  # sebum shine
            x, y, r = rnd.uniform(0, w), rnd.uniform(0, h), rnd.uniform(6, 26)
            d.ellipse([x - r, y - r * 0.6, x + r, y + r * 0.6], fill=(255, 255, 235, rnd.randint(70, 150)))
        im = Image.alpha_composite(im, ov.filter(ImageFilter.GaussianBlur(5)))
        ov = Image.new("RGBA", (w, h), (0, 0, 0, 0))
        d = ImageDraw.Draw(ov)
        for _ in range(90):  # wide, clogged pores
            x, y, r = rnd.uniform(0, w), rnd.uniform(0, h), rnd.uniform(3, 7)
            d.ellipse([x - r, y - r, x + r, y + r], fill=(150, 110, 50, 190))
            d.ellipse([x - r / 2, y - r / 2, x + r / 2, y + r / 2], fill=(236, 220, 150, 200))
        im = Image.alpha_composite(im, ov.filter(ImageFilter.GaussianBlur(1)))
        im = follicles(im, rnd, 30, (40, 30, 20), 5, 110, 6)
    elif kind == "Dry":
        im = skin_base(w, h, 103, (200, 170, 160), (242, 226, 220))
        ov = Image.new("RGBA", (w, h), (0, 0, 0, 0))
        d = ImageDraw.Draw(ov)
        for _ in range(70):  # fine cracks
            x, y = rnd.uniform(0, w), rnd.uniform(0, h)
            pts = [(x, y)]
            for _ in range(6):
                x += rnd.uniform(-26, 26)
                y += rnd.uniform(-26, 26)
                pts.append((x, y))
            d.line(pts, fill=(150, 110, 100, 120), width=1)
        for _ in range(150):  # flakes
            x, y, r = rnd.uniform(0, w), rnd.uniform(0, h), rnd.uniform(3, 12)
            pts = [(x + r * rnd.uniform(0.5, 1.2) * math.cos(a), y + r * rnd.uniform(0.5, 1.2) * math.sin(a))
                   for a in [k * math.pi / 3 for k in range(6)]]
            d.polygon(pts, fill=(255, 255, 250, rnd.randint(150, 230)), outline=(210, 200, 196, 200))
        im = Image.alpha_composite(im, ov.filter(ImageFilter.GaussianBlur(0.5)))
        im = follicles(im, rnd, 28, (70, 52, 40), 3, 100, 4)
    else:  # Sensitive
        im = skin_base(w, h, 104, (196, 96, 96), (250, 190, 180))
        ov = Image.new("RGBA", (w, h), (0, 0, 0, 0))
        d = ImageDraw.Draw(ov)
        for _ in range(8):  # inflamed patches
            x, y, r = rnd.uniform(0, w), rnd.uniform(0, h), rnd.uniform(40, 110)
            d.ellipse([x - r, y - r * 0.7, x + r, y + r * 0.7], fill=(210, 40, 50, 70))
        im = Image.alpha_composite(im, ov.filter(ImageFilter.GaussianBlur(22)))
        ov = Image.new("RGBA", (w, h), (0, 0, 0, 0))
        d = ImageDraw.Draw(ov)
        for _ in range(26):  # capillaries
            x, y = rnd.uniform(0, w), rnd.uniform(0, h)
            a = rnd.uniform(0, 2 * math.pi)
            pts = [(x, y)]
            for _ in range(14):
                a += rnd.uniform(-0.6, 0.6)
                x += 9 * math.cos(a)
                y += 9 * math.sin(a)
                pts.append((x, y))
            d.line(pts, fill=(170, 10, 30, 170), width=2, joint="curve")
        im = Image.alpha_composite(im, ov.filter(ImageFilter.GaussianBlur(0.7)))
        im = follicles(im, rnd, 30, (50, 30, 26), 4, 110, 5)
    return vignette(im.convert("RGB"))


def vignette(im):
    w, h = im.size
    mask = radial(w, h, (255, 255, 255), (150, 150, 150), radius=math.hypot(w, h) / 2)
    return ImageChops.multiply(im, mask)


def strand(d, rnd, w, h, colour, width, wave_amp, wave_len, frayed=False, grey=False, cuticle=False):
    y0 = rnd.uniform(-40, h + 40)
    slope = rnd.uniform(-0.35, 0.35)
    phase = rnd.uniform(0, 2 * math.pi)
    pts = []
    for x in range(-20, w + 21, 8):
        pts.append((x, y0 + slope * x + wave_amp * math.sin(x / wave_len * 2 * math.pi + phase)))
    shade = tuple(max(0, c - 40) for c in colour)
    d.line(pts, fill=shade + (255,), width=int(width + 2), joint="curve")
    d.line(pts, fill=colour + (255,), width=int(width), joint="curve")
    d.line([(p[0], p[1] - width * 0.25) for p in pts], fill=tuple(min(255, c + 70) for c in colour) + (170,),
           width=max(1, int(width * 0.22)), joint="curve")
    if cuticle:
        for i in range(0, len(pts) - 1, 2):
            (x, y) = pts[i]
            d.line([(x, y - width / 2), (x + 5, y + width / 2)], fill=shade + (200,), width=1)
    if frayed:
        x, y = pts[-1] if rnd.random() < 0.5 else pts[0]
        x = min(max(x, 30), w - 30)
        cut = rnd.uniform(0.2, 0.8) * w
        bx, by = cut, y0 + slope * cut
        for k in range(4):
            a = math.radians(rnd.uniform(-35, 35))
            d.line([(bx, by), (bx + 40 * math.cos(a), by + 40 * math.sin(a))], fill=colour + (255,), width=max(1, int(width / 3)))


def ref_hair(kind, w=640, h=480):
    rnd = random.Random({"Healthy": 11, "Damaged": 12, "Aging": 13, "Irritated": 14}[kind])
    random.seed({"Healthy": 21, "Damaged": 22, "Aging": 23, "Irritated": 24}[kind])
    bg = tinted(noise_layer(w, h, 30, 6), (200, 190, 180), (245, 240, 232)).convert("RGBA")
    layer = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    d = ImageDraw.Draw(layer)
    if kind == "Healthy":
        for _ in range(16):
            strand(d, rnd, w, h, (58, 36, 24), rnd.uniform(16, 20), 8, 400)
    elif kind == "Damaged":
        for _ in range(14):
            strand(d, rnd, w, h, (124, 86, 52), rnd.uniform(12, 18), 14, 260, frayed=True, cuticle=True)
    elif kind == "Aging":
        for i in range(14):
            grey = i % 3 != 0
            col = (196, 192, 186) if grey else (70, 52, 40)
            strand(d, rnd, w, h, col, rnd.uniform(7, 11), 10, 330)
    else:  # Irritated: coarse, kinked, dull
        for _ in range(12):
            strand(d, rnd, w, h, (40, 32, 28), rnd.uniform(20, 28), rnd.uniform(8, 22), rnd.uniform(45, 140), cuticle=True)
    im = Image.alpha_composite(bg, layer.filter(ImageFilter.GaussianBlur(0.8)))
    return vignette(im.convert("RGB"))


def portrait(t):
    w, h = 240, 300
    im = vgradient(w, h, (226, 230, 244), (180, 186, 214)).convert("RGBA")
    d = ImageDraw.Draw(im)
    c = (110, 116, 150, 255)
    d.ellipse([w * 0.25, h * 0.2, w * 0.75, h * 0.6], fill=(160, 166, 196, 255))  # hair behind the head
    d.rectangle([w * 0.25, h * 0.4, w * 0.75, h * 0.72], fill=(160, 166, 196, 255))
    d.ellipse([w * 0.32, h * 0.22, w * 0.68, h * 0.58], fill=c)
    d.pieslice([w * 0.1, h * 0.62, w * 0.9, h * 1.3], 180, 360, fill=c)
    d.rectangle([w * 0.43, h * 0.54, w * 0.57, h * 0.66], fill=c)
    draw_text_center(d, (0, h - 40, w, h - 10), t["no_photo"], fitted(d, t["no_photo"], w - 20, 18), WHITE)
    return im.convert("RGB")


# ---------------------------------------------------------------- data files
LANGUAGE_PACK = [
    ("IDS_MEMBER_NUMBER", "序号"),
    ("IDS_MEMBER_NAME", "姓名"),
    ("IDS_MEMBER_SEX", "性别"),
    ("IDS_MEMBER_SEX_MEN", "男"),
    ("IDS_MEMBER_SEX_WOMEN", "女"),
    ("IDS_MEMBER_AGE", "年龄"),
    ("IDS_MEMBER_BIRTHDAY", "生日"),
    ("IDS_MEMBER_PHONE", "电话"),
    ("IDS_MEMBER_EMAIL", "邮箱"),
    ("IDS_MEMBER_ADDRESS", "地址"),
    ("IDS_MEMBER_REMARK", "备注"),
    ("IDS_MEMBER_OPERATE", "操作员"),
    ("IDS_ADD", "添加"),
    ("IDS_DELETE", "删除"),
    ("IDS_MODEFY", "修改"),
    ("IDS_SEACH", "查找"),
    ("IDS_ALL", "全部"),
    ("IDS_STARTDETECT", "开始检测"),
    ("IDS_CLOSE", "关闭"),
    ("IDS_WARN_CATCH", "数据库操作出错："),
    ("IDS_INPUT_NUMBERERROR", "序号或年龄超出范围，请重新输入！"),
    ("IDS_INPUT_NAMEERROR", "请输入姓名！"),
    ("IDS_INPUT_NUMBEREXIST", "该序号已存在，请换一个序号！"),
    ("IDS_OPEN_DATA_FAILED", "打开会员数据表失败！"),
    ("IDS_ADD_SUCCESS", "会员添加成功！"),
    ("IDS_DELETE_MAKESURE", "确定要删除所选会员吗？\\n删除后无法恢复。"),
    ("IDS_SEARCH_FAIL", "没有找到符合条件的会员。"),
    ("IDS_SELECT_FIRST", "请先在列表中选择一位会员！"),
    ("IDS_REPORT", "皮肤/发质检测报告"),
    ("IDS_ZZ_TYPE", "症状类型"),
    ("IDS_RESON", "原因"),
    ("IDS_SUGGEST", "建议"),
    ("IDS_JG_NAME", "机构名称"),
    ("IDS_DATE", "日期"),
    ("IDS_SAVE", "保存"),
    ("IDS_PRINT", "打印"),
]


def write_text(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="\n") as fh:
        fh.write(text)


def write_data():
    write_text(os.path.join(DATA, "Setup.ini"), "[setup]\nlanguage=0\n")
    lines = ["; 简体中文语言包：每个键一条界面文字，\\n 表示换行。", "[Setting]"]
    lines += ["%s=%s" % (k, v) for k, v in LANGUAGE_PACK]
    write_text(os.path.join(DATA, "Language", "简体中文.ini"), "\n".join(lines) + "\n")


# ---------------------------------------------------------------- main
def worded_pictures(t):
    """(name, type, picture) of every picture that carries words, in the
    language of the texts `t`; the waiting animation is a list of frames."""
    row = (160, 64)
    placeholder_lines = lambda title, hint: [(title, 24)] + [(line, 16) for line in hint]
    return [
        # start page and copyright dialog
        ("start_background", "BITMAP", start_background(t)),
        ("start_records", "PNG", button(199, 66, t["records"], icon_person)),
        ("start_quick", "PNG", button(200, 66, t["quick"], icon_bolt)),
        ("start_exit", "PNG", button(199, 66, t["exit"], icon_power, "exit")),
        ("copyright_statement", "BITMAP", copyright_statement(t)),
        # station window
        ("station_no_device", "BITMAP", no_device_picture(t)),
        ("btn_fullview", "PNG", button(*row, t["fullview"], icon_fullview)),
        ("btn_scale", "PNG", button(*row, t["scale"], icon_ruler)),
        ("btn_scale_on", "PNG", button(*row, t["scale"], icon_ruler, "on", indicator=(120, 255, 140))),
        ("btn_save", "PNG", button(*row, t["save"], icon_camera)),
        ("btn_frozen", "PNG", button(*row, t["freeze"], icon_snowflake, "frozen")),
        ("btn_live", "PNG", button(*row, t["live"], icon_play, "live", indicator=(255, 80, 80))),
        ("btn_report", "PNG", button(*row, t["report"], icon_document)),
        ("btn_files", "PNG", button(*row, t["files"], icon_folder)),
        ("btn_pen", "PNG", button(*row, t["pen"], icon_pen)),
        ("btn_pen_on", "PNG", button(*row, t["pen"], icon_pen, "on", indicator=(255, 70, 70))),
        ("btn_eraser", "PNG", button(*row, t["eraser"], icon_eraser)),
        ("btn_hair_compare", "PNG", button(184, 44, t["hair_compare"], icon_hair)),
        ("btn_skin_compare", "PNG", button(184, 44, t["skin_compare"], icon_skin)),
        ("btn_back", "PNG", button(120, 44, t["back"], icon_back)),
        ("btn_retry", "PNG", button(98, 36, t["retry"], icon_retry)),
        ("waiting", "gif", waiting_frames(t)),
        # comparison window
        ("compare_skin_background", "BITMAP", compare_background(False, t)),
        ("compare_hair_background", "BITMAP", compare_background(True, t)),
        ("compare_other", "BITMAP",
         placeholder(400, 295, placeholder_lines(t["other"], t["other_hint"]), icon_add_picture)),
        ("compare_missing", "BITMAP",
         placeholder(400, 295, placeholder_lines(t["missing"], t["missing_hint"]), icon_broken_picture)),
    ]


def main():
    os.makedirs(IMG, exist_ok=True)
    os.makedirs(SND, exist_ok=True)
    entries = []  # (id, type, file)

    def add(rid, rtype, name):
        entries.append((rid, rtype, name))

    # one set of worded pictures per language
    for lang in sorted(TEXTS):
        for name, rtype, picture in worded_pictures(TEXTS[lang]):
            if rtype == "gif":
                name = FOLDERS[lang] + name + ".gif"
                os.makedirs(os.path.dirname(os.path.join(IMG, name)), exist_ok=True)
                write_gif(os.path.join(IMG, name), picture, 5, 1)
            else:
                name = save_png(picture, FOLDERS[lang] + name + ".png")
            add(IDS[name.split("/")[-1].split(".")[0]][lang], rtype, "images/" + name)

    # pictures without words, shared by every language
    add(221, "BITMAP", "images/" + save_png(copyright_logo(), "copyright_logo.png"))
    add(129, "BITMAP", "images/" + save_png(station_background(False), "station_background.png"))
    add(145, "BITMAP", "images/" + save_png(station_background(True), "station_compare_background.png"))
    add(130, "BITMAP", "images/" + save_png(title_strip(), "station_title.png"))
    add(231, "BITMAP", "images/" + save_png(view_frame(), "station_view_frame.png"))
    add(228, "BITMAP", "images/" + save_png(square_button("close"), "station_close.png"))
    add(229, "BITMAP", "images/" + save_png(square_button("min"), "station_minimize.png"))
    add(232, "BITMAP", "images/" + save_png(small_picture(), "station_small.png"))
    add(215, "PNG", "images/" + save_png(icon_only_button(36, 36, icon_magnifier, text=None), "btn_scale_menu.png"))
    shutter_wave(os.path.join(SND, "shutter.wav"))
    add(162, "WAVE", "sounds/shutter.wav")
    add(128, "ICON", "images/" + save_png(app_icon(32), "app_icon.png"))
    cur, hot = pen_cursor()
    info = PngImagePlugin.PngInfo()
    info.add_text("hotspot", "%d,%d" % hot)
    add(159, "CURSOR", "images/" + save_png(cur, "pen_cursor.png", info))
    # customer and report dialogs
    add(234, "BITMAP", "images/" + save_png(pattern(960, 720, 234, (26, 30, 84), (12, 14, 44), "hex"), "customers_pattern.png"))
    add(239, "BITMAP", "images/" + save_png(pattern(634, 691, 239, (30, 26, 80), (12, 12, 42), "lines"), "report_pattern.png"))
    add(243, "BITMAP", "images/" + save_png(face_button(False), "face_up.png"))
    add(244, "BITMAP", "images/" + save_png(face_button(True), "face_down.png"))
    # strings and the database template (made by the build)
    with open(os.path.join(RES, "strings", "about_box.txt"), "w", encoding="utf-8") as fh:
        fh.write("关于 Quillmarsh(&A)...")
    add(101, "STRING", "strings/about_box.txt")
    add(270, "MDB", "@UserData_template.mdb")

    # reference pictures and the no-photo portrait: PNG here, BMP beside the
    # executable (converted by the build)
    for k in ["Healthy", "Oily", "Dry", "Sensitive"]:
        save_png(ref_scalp(k), "standard/Scalp/%s.png" % k)
    for k in ["Healthy", "Damaged", "Aging", "Irritated"]:
        save_png(ref_hair(k), "standard/Hair/%s.png" % k)
    for lang in sorted(TEXTS):
        save_png(portrait(TEXTS[lang]), "standard/photo/%s.png" % PORTRAITS[lang])

    write_data()

    with open(os.path.join(RES, "resource_list.txt"), "w", encoding="utf-8") as fh:
        fh.write("# id type file  (a file starting with @ is made by the build into the build folder)\n")
        fh.write("# Written by tools/make_resources.py; redraw with: /usr/bin/python3 tools/make_resources.py\n")
        for rid, rtype, name in entries:
            fh.write("%d %s %s\n" % (rid, rtype, name))


if __name__ == "__main__":
    os.makedirs(os.path.join(RES, "strings"), exist_ok=True)
    main()
