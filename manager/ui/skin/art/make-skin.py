#!/usr/bin/python3
"""Draws MusicBridge's skin: every bitmap SKIN.INI's layout places, the
banner's animation frames and the program's icons, into one Images folder.

    make-skin.py OUTPUT_FOLDER

Bitmaps are 24-bit BMP files and icons classic 24-bit icons with an AND
mask, which every Windows from 98 on reads. The sizes match SKIN.INI (copied
beside them), whose frame borders are read from the file itself.
"""
import math
import os
import re
import shutil
import struct
import sys

from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
FONT_DIR = "/usr/share/fonts/truetype/dejavu"

# Palette: a dark blue frame, light buttons, an orange accent.
TOP_A = (48, 73, 110)
TOP_B = (27, 43, 68)
BODY = (27, 43, 68)
BOTTOM_B = (20, 32, 54)
OUTLINE = (11, 19, 34)
HILITE = (90, 122, 166)
FACE = ((233, 239, 247), (201, 214, 230), (141, 163, 192), (31, 53, 86))
SELECTED = ((255, 182, 72), (240, 138, 28), (179, 95, 0), (255, 255, 255))
DISABLED = ((89, 103, 124), (75, 88, 107), (60, 71, 87), (134, 147, 166))


def font(size, bold=False):
    name = "DejaVuSans-Bold.ttf" if bold else "DejaVuSans.ttf"
    return ImageFont.truetype(os.path.join(FONT_DIR, name), size)


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def read_ini(path):
    text = open(path).read()
    sections = {}
    for name, body in re.findall(r"\[(\w+)\]([^\[]*)", text):
        sections[name] = {k: int(v) for k, v in re.findall(r"\b(\w+)=(-?\d+);", body)}
    return sections


class Skin:
    def __init__(self, out, ini):
        self.out = out
        self.h1 = ini["INEXP_H"]["x"]
        self.h2 = ini["INEXP_H"]["y"]
        self.h3 = ini["INEXP_H"]["cx"]
        self.b = (ini["INEXP_W"]["x"], ini["INEXP_W"]["y"], ini["INEXP_W"]["cx"])

    # Background of the frame at a height y of the top band (None: body).
    def top_colour(self, y):
        return mix(TOP_A, TOP_B, min(1.0, max(0.0, y / float(self.h1 - 1))))

    def save(self, image, name):
        image.convert("RGB").save(os.path.join(self.out, name), "BMP")

    # ---- frame pieces -------------------------------------------------
    def band(self, w, h, kind, left_line=False, right_line=False):
        img = Image.new("RGB", (w, h))
        d = ImageDraw.Draw(img)
        for y in range(h):
            if kind == "top":
                c = self.top_colour(y)
            elif kind == "bottom":
                c = mix(BODY, BOTTOM_B, y / float(max(1, h - 1)))
            else:
                c = BODY
            d.line([(0, y), (w - 1, y)], fill=c)
        if kind == "top":
            d.line([(0, 0), (w - 1, 0)], fill=HILITE)
            d.line([(0, 1), (w - 1, 1)], fill=OUTLINE)
            d.line([(0, 0), (w - 1, 0)], fill=OUTLINE)
            d.line([(0, 1), (w - 1, 1)], fill=HILITE)
        if kind == "bottom":
            d.line([(0, h - 1), (w - 1, h - 1)], fill=OUTLINE)
        if left_line:
            d.line([(0, 0), (0, h - 1)], fill=OUTLINE)
            d.line([(1, 1), (1, h - 1)], fill=HILITE if kind == "top" else mix(BODY, HILITE, 0.4))
        if right_line:
            d.line([(w - 1, 0), (w - 1, h - 1)], fill=OUTLINE)
        return img

    def frame(self):
        b1, b2, b3 = self.b
        h1, h2, h3 = self.h1, self.h2, self.h3
        # Corners and joints at their places' sizes; edges small (the window
        # stretches them).
        self.save(self.band(b1, h1, "top", left_line=True), "SKIN_I1.BMP")
        self.save(self.band(b2, h1, "top"), "SKIN_I2.BMP")
        self.save(self.band(b3, h1, "top", right_line=True), "SKIN_I3.BMP")
        self.save(self.band(b2, h2, "body"), "SKIN_I4.BMP")
        self.save(self.band(b3, h2, "body", right_line=True), "SKIN_I5.BMP")
        self.save(self.band(b1, h3, "bottom", left_line=True), "SKIN_I6.BMP")
        self.save(self.band(b2, h3, "bottom"), "SKIN_I7.BMP")
        self.save(self.band(b3, h3, "bottom", right_line=True), "SKIN_I8.BMP")
        self.save(self.band(64, h1, "top"), "SKIN_H1.BMP")
        self.save(self.band(64, h1, "top"), "SKIN_H2.BMP")
        self.save(self.band(64, h2, "body"), "SKIN_H3.BMP")
        self.save(self.band(64, h3, "bottom"), "SKIN_H4.BMP")
        self.save(self.band(64, h3, "bottom"), "SKIN_H5.BMP")
        self.save(self.band(b1, 64, "body", left_line=True), "SKIN_V1.BMP")
        self.save(self.band(b2, 64, "body"), "SKIN_V2.BMP")
        self.save(self.band(b3, 64, "body", right_line=True), "SKIN_V3.BMP")
        self.save(self.band(b2, 64, "body"), "SKIN_V4.BMP")
        self.save(self.band(b3, 64, "body", right_line=True), "SKIN_V5.BMP")

    # ---- buttons ------------------------------------------------------
    def backdrop(self, w, h, top):
        """The frame behind a button whose top is at y = top (None: body)."""
        img = Image.new("RGB", (w, h))
        d = ImageDraw.Draw(img)
        for y in range(h):
            c = BODY if top is None or top + y >= self.h1 else self.top_colour(top + y)
            d.line([(0, y), (w - 1, y)], fill=c)
        return img

    def face(self, w, h, top, state, radius=4):
        a, b, border, ink = (FACE, SELECTED, DISABLED)[state]
        img = self.backdrop(w, h, top)
        # The face: a vertical gradient inside a rounded border, drawn at
        # four times the size and scaled down for smooth corners.
        k = 4
        big = Image.new("RGBA", (w * k, h * k), (0, 0, 0, 0))
        d = ImageDraw.Draw(big)
        d.rounded_rectangle([0, 0, w * k - 1, h * k - 1], radius=radius * k, fill=border)
        grad = Image.new("RGBA", (w * k, h * k))
        gd = ImageDraw.Draw(grad)
        for y in range(h * k):
            gd.line([(0, y), (w * k - 1, y)], fill=mix(a, b, y / float(h * k - 1)) + (255,))
        mask = Image.new("L", (w * k, h * k), 0)
        ImageDraw.Draw(mask).rounded_rectangle([k, k, w * k - 1 - k, h * k - 1 - k], radius=(radius - 1) * k, fill=255)
        big.paste(grad, (0, 0), mask)
        small = big.resize((w, h), Image.LANCZOS)
        img.paste(small, (0, 0), small)
        return img, ink

    def glyph_text(self, img, text, ink, size, bold=False, dy=0):
        d = ImageDraw.Draw(img)
        w, h = img.size
        d.text((w / 2.0, h / 2.0 + dy), text, font=font(size, bold), fill=ink, anchor="mm")

    def draw_shape(self, img, shape, ink):
        d = ImageDraw.Draw(img)
        w, h = img.size
        cx, cy = w // 2, h // 2
        if shape == "close":
            d.line([(cx - 4, cy - 4), (cx + 4, cy + 4)], fill=ink, width=2)
            d.line([(cx - 4, cy + 4), (cx + 4, cy - 4)], fill=ink, width=2)
        elif shape == "max":
            d.rectangle([cx - 5, cy - 4, cx + 5, cy + 4], outline=ink, width=1)
            d.line([(cx - 5, cy - 3), (cx + 5, cy - 3)], fill=ink)
        elif shape == "rest":
            d.rectangle([cx - 2, cy - 5, cx + 5, cy + 1], outline=ink)
            d.rectangle([cx - 5, cy - 2, cx + 2, cy + 4], fill=None, outline=ink)
        elif shape == "min":
            d.line([(cx - 5, cy + 3), (cx + 5, cy + 3)], fill=ink, width=2)
        elif shape == "open":
            d.polygon([(cx - 8, cy - 5), (cx - 3, cy - 5), (cx - 1, cy - 3), (cx + 7, cy - 3),
                       (cx + 7, cy + 6), (cx - 8, cy + 6)], outline=ink)
            d.polygon([(cx - 8, cy + 6), (cx - 5, cy - 1), (cx + 9, cy - 1), (cx + 7, cy + 6)], fill=ink)
        elif shape == "save":
            d.rectangle([cx - 7, cy - 7, cx + 7, cy + 7], outline=ink)
            d.rectangle([cx - 4, cy - 7, cx + 4, cy - 2], fill=ink)
            d.rectangle([cx - 5, cy + 1, cx + 5, cy + 7], outline=ink)
        elif shape == "treehide":
            d.rectangle([cx - 8, cy - 6, cx + 8, cy + 6], outline=ink)
            d.rectangle([cx - 8, cy - 6, cx - 3, cy + 6], fill=ink)
        elif shape == "views":
            for i in range(3):
                y = cy - 5 + i * 5
                d.rectangle([cx - 7, y - 1, cx - 5, y + 1], fill=ink)
                d.line([(cx - 3, y), (cx + 7, y)], fill=ink, width=2)

    def button(self, name, size, top, glyph, states=2, radius=4):
        w, h = size
        for state in range(states):
            img, ink = self.face(w, h, top, state, radius)
            kind, value = glyph
            if kind == "shape":
                self.draw_shape(img, value, ink)
            else:
                text, px, bold = value
                self.glyph_text(img, text, ink, px, bold)
            self.save(img, "%s%d.%s" % (name[0], state, name[1]))

    def tab(self, name, text, top, states):
        w, h = 110, 28
        for state in range(states):
            img = self.backdrop(w, h, top)
            fill, ink = [((58, 84, 121), (219, 229, 243)),
                         ((242, 245, 249), (31, 53, 86)),
                         ((42, 58, 82), (109, 124, 146))][state]
            k = 4
            big = Image.new("RGBA", (w * k, (h + 6) * k), (0, 0, 0, 0))
            ImageDraw.Draw(big).rounded_rectangle([0, 0, w * k - 1, (h + 6) * k - 1], radius=6 * k, fill=fill + (255,))
            small = big.resize((w, h + 6), Image.LANCZOS).crop((0, 0, w, h))
            img.paste(small, (0, 0), small)
            d = ImageDraw.Draw(img)
            if state == 1:
                d.line([(5, 1), (w - 6, 1)], fill=SELECTED[1], width=2)
            d.text((w / 2.0, h / 2.0 + 1), text, font=font(11, True), fill=ink, anchor="mm")
            self.save(img, "%s%d.BMP" % (name, state))

    def buttons(self, ini):
        sys_top = ini["BTN_SYS"]["y"]
        self.button(("BTN_SYS_Close", "BMP"), (22, 18), sys_top, ("shape", "close"))
        self.button(("BTN_SYS_Max", "bmp"), (22, 18), sys_top, ("shape", "max"))
        self.button(("BTN_SYS_Rest", "bmp"), (22, 18), sys_top, ("shape", "rest"))
        self.button(("BTN_SYS_Min", "bmp"), (22, 18), sys_top, ("shape", "min"))
        tab_top = ini["FRM_PC"]["y"]
        self.tab("BTN_FRM_PC", "My Computer", tab_top, 2)
        self.tab("BTN_FRM_DL", "Download List", tab_top, 2)
        self.tab("BTN_FRM_PD", "My Device", None, 3)
        pc_top = ini["BTN_PC"]["y"]
        pc = [("Music", ("text", (u"\u266B", 15, False))),
              ("All", ("text", ("All", 10, True))),
              ("Upfolder", ("text", (u"\u2191", 16, True))),
              ("Delete", ("text", (u"\u2715", 13, True))),
              ("Refresh", ("text", (u"\u21BB", 16, True))),
              ("Views", ("shape", "views")),
              ("Treehide", ("shape", "treehide"))]
        for name, glyph in pc:
            self.button(("BTN_PC_" + name, "bmp"), (28, 26), pc_top, glyph)
        self.button(("BTN_PC_FM", "bmp"), (34, 28), pc_top - 1, ("text", ("FM", 11, True)))
        dl_top = ini["BTN_DL"]["y"]
        dl = [("Help", ("text", ("?", 15, True))),
              ("Config", ("text", (u"\u2699", 16, False))),
              ("Save", ("shape", "save")),
              ("Open", ("shape", "open")),
              ("Down", ("text", (u"\u25BC", 11, False))),
              ("Up", ("text", (u"\u25B2", 11, False)))]
        for name, glyph in dl:
            self.button(("BTN_DL_" + name, "bmp"), (28, 26), dl_top, glyph)
        # The player pane's row lies on the frame's body.
        self.button(("BTN_PD_Down", "bmp"), (40, 26), None, ("text", (u"\u21E9", 17, True)), 3)
        self.button(("BTN_PD_Up", "bmp"), (40, 26), None, ("text", (u"\u21E7", 17, True)), 3)
        self.button(("BTN_PD_MemInt", "bmp"), (32, 26), None, ("text", ("INT", 9, True)), 3)
        self.button(("BTN_PD_MemExt", "bmp"), (32, 26), None, ("text", ("EXT", 9, True)), 3)
        self.button(("BTN_PD_Cancel", "bmp"), (28, 26), None, ("text", (u"\u25A0", 12, False)), 3)
        self.button(("BTN_PD_m3u", "bmp"), (28, 26), None, ("text", ("M3U", 8, True)), 3)

    # ---- logos and banner ----------------------------------------------
    def logos(self, ini):
        top = ini["LOGOS"]["y"]
        img = self.backdrop(240, 40, top)
        d = ImageDraw.Draw(img)
        d.text((4, 20), u"\u266B", font=font(26, True), fill=SELECTED[0], anchor="lm")
        d.text((36, 20), "Vilo", font=font(20, True), fill=(255, 255, 255), anchor="lm")
        d.text((86, 21), "Music Bridge", font=font(16), fill=(170, 198, 235), anchor="lm")
        self.save(img, "LOGO_0.BMP")
        img = self.backdrop(60, 22, None)
        ImageDraw.Draw(img).text((30, 11), "LARK", font=font(12, True), fill=(143, 179, 224), anchor="mm")
        self.save(img, "LOGO_1.BMP")
        img = Image.new("RGB", (300, 80))
        d = ImageDraw.Draw(img)
        for y in range(80):
            d.line([(0, y), (299, y)], fill=mix(TOP_A, TOP_B, y / 79.0))
        d.text((16, 40), u"\u266B", font=font(44, True), fill=SELECTED[0], anchor="lm")
        d.text((72, 34), "Vilo", font=font(28, True), fill=(255, 255, 255), anchor="lm")
        d.text((74, 60), "Music Bridge", font=font(16), fill=(170, 198, 235), anchor="lm")
        self.save(img, "Logo_About.bmp")

    def banner(self, ini):
        frames = max(1, min(26, ini["BANNER"]["cy"]))
        top = ini["BANNER"]["y"]
        h = 44
        panel = (15, 26, 44)
        edge = (74, 106, 150)
        wave = (95, 211, 255)
        for f in range(frames):
            letter = chr(ord("A") + f)
            phase = 2 * math.pi * f / frames
            # Left: a note that bobs on the beat.
            img = self.backdrop(64, h, top)
            d = ImageDraw.Draw(img)
            d.rounded_rectangle([0, 0, 80, h - 1], radius=8, fill=panel, outline=edge)
            bob = int(round(3 * math.sin(phase)))
            d.text((26, h // 2 + bob), u"\u266A", font=font(24, True), fill=SELECTED[0], anchor="mm")
            d.text((48, h // 2 - bob), u"\u266B", font=font(14), fill=wave, anchor="mm")
            self.save(img, "BAN_%c0.BMP" % letter)
            # Middle: a travelling wave (stretched to the banner's width).
            img = Image.new("RGB", (256, h), panel)
            d = ImageDraw.Draw(img)
            d.line([(0, 0), (255, 0)], fill=edge)
            d.line([(0, h - 1), (255, h - 1)], fill=edge)
            for layer, (amp, colour) in enumerate(((12, wave), (7, (60, 120, 170)))):
                pts = []
                for x in range(256):
                    t = 2 * math.pi * (x / 128.0) + phase * (1 + layer)
                    pts.append((x, h / 2.0 + amp * math.sin(t) * math.sin(math.pi * x / 255.0 + 0.3)))
                d.line(pts, fill=colour, width=2)
            self.save(img, "BAN_%c1.BMP" % letter)
            # Right: equaliser bars.
            img = self.backdrop(64, h, top)
            d = ImageDraw.Draw(img)
            d.rounded_rectangle([-20, 0, 63, h - 1], radius=8, fill=panel, outline=edge)
            for i in range(6):
                level = 0.5 + 0.45 * math.sin(phase * (1 + i % 3) + i * 1.3)
                bar = int(6 + level * (h - 16))
                x0 = 6 + i * 8
                d.rectangle([x0, h - 6 - bar, x0 + 5, h - 7], fill=mix(wave, SELECTED[1], i / 5.0))
            self.save(img, "BAN_%c2.BMP" % letter)

    # ---- icons ----------------------------------------------------------
    def icon(self, name, sizes, draw):
        images = []
        for size in sizes:
            k = 4
            big = Image.new("RGBA", (size * k, size * k), (0, 0, 0, 0))
            draw(ImageDraw.Draw(big), size * k)
            images.append(big.resize((size, size), Image.LANCZOS))
        write_ico(os.path.join(self.out, name), images)

    def icons(self):
        def main(d, s):
            d.rounded_rectangle([s * 0.04, s * 0.04, s * 0.96, s * 0.96], radius=s * 0.2, fill=TOP_A + (255,),
                                outline=OUTLINE + (255,), width=max(1, s // 32))
            d.text((s / 2.0, s * 0.54), u"\u266B", font=font(int(s * 0.62), True), fill=SELECTED[0] + (255,), anchor="mm")

        def drag_file(d, s):
            d.polygon([(s * 0.2, s * 0.05), (s * 0.62, s * 0.05), (s * 0.82, s * 0.25), (s * 0.82, s * 0.95),
                       (s * 0.2, s * 0.95)], fill=(255, 255, 255, 255), outline=(31, 53, 86, 255))
            d.text((s * 0.5, s * 0.58), u"\u266A", font=font(int(s * 0.55), True), fill=(31, 53, 86, 255), anchor="mm")

        def drag_folder(d, s):
            d.polygon([(s * 0.05, s * 0.2), (s * 0.4, s * 0.2), (s * 0.5, s * 0.3), (s * 0.95, s * 0.3),
                       (s * 0.95, s * 0.85), (s * 0.05, s * 0.85)], fill=(255, 200, 90, 255), outline=(150, 95, 0, 255))

        self.icon("ICO_MAIN.ICO", [32, 16], main)
        self.icon("ICO_Drag1.ico", [16], drag_file)
        self.icon("ICO_Drag2.ico", [16], drag_folder)

    # The PC list's sort arrows, drawn on the header's face colour.
    def header_arrows(self):
        for name, up in (("HDR_ArrowUp.bmp", True), ("HDR_ArrowDown.bmp", False)):
            img = Image.new("RGB", (9, 9), (212, 208, 200))
            d = ImageDraw.Draw(img)
            if up:
                d.polygon([(4, 2), (8, 6), (0, 6)], fill=(96, 96, 96))
            else:
                d.polygon([(0, 2), (8, 2), (4, 6)], fill=(96, 96, 96))
            self.save(img, name)


def write_ico(path, images):
    """Classic icons: a 24-bit XOR bitmap and a 1-bit AND mask per size."""
    entries = []
    blobs = []
    for img in images:
        w, h = img.size
        rgba = img.convert("RGBA")
        row = ((w * 3 + 3) // 4) * 4
        mask_row = ((w + 31) // 32) * 4
        xor = bytearray()
        andm = bytearray()
        for y in range(h - 1, -1, -1):
            line = bytearray()
            bits = bytearray(mask_row)
            for x in range(w):
                r, g, b, a = rgba.getpixel((x, y))
                if a < 128:
                    r = g = b = 0
                    bits[x // 8] |= 0x80 >> (x % 8)
                line += bytes((b, g, r))
            line += bytes(row - len(line))
            xor += line
            andm += bits
        header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 24, 0, len(xor) + len(andm), 0, 0, 0, 0)
        blob = header + bytes(xor) + bytes(andm)
        entries.append((w, h, blob))
        blobs.append(blob)
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for w, h, blob in entries:
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 24, len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(out + b"".join(blobs))


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make-skin.py OUTPUT_FOLDER")
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    ini_path = os.path.join(HERE, "SKIN.INI")
    shutil.copyfile(ini_path, os.path.join(out, "SKIN.INI"))
    ini = read_ini(ini_path)
    skin = Skin(out, ini)
    skin.frame()
    skin.buttons(ini)
    skin.logos(ini)
    skin.banner(ini)
    skin.icons()
    skin.header_arrows()


if __name__ == "__main__":
    main()
