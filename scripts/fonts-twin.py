#!/usr/bin/python3
"""A width-matched twin of a monospaced Windows font: a free monospaced face whose glyphs are scaled across and whose
every advance is set to the Windows font's, under a family name of its own (the free fonts' licences reserve
theirs). Every glyph of a monospaced font has the one advance, which PowerPoint's PDFs give; so each line of code
breaks where PowerPoint breaks it.

Usage: fonts-twin.py SOURCE.ttf ADVANCE_EM FAMILY STYLE OUT.ttf
"""
import sys

from fontTools.ttLib import TTFont, newTable
from fontTools.ttLib.tables import ttProgram


def scale_glyphs(font, factor):
    glyf = font["glyf"]
    for name in font.getGlyphOrder():
        glyph = glyf[name]
        if glyph.isComposite():
            for component in glyph.components:
                component.x = round(component.x * factor)
        elif glyph.numberOfContours > 0:
            glyph.coordinates.scale((factor, 1.0))
            glyph.coordinates.toInt()
        if hasattr(glyph, "program"):
            glyph.program = ttProgram.Program()
            glyph.program.fromBytecode(b"")
        glyph.recalcBounds(glyf)


def set_advances(font, advance):
    glyf, hmtx = font["glyf"], font["hmtx"]
    for name in font.getGlyphOrder():
        width, _ = hmtx[name]
        glyph = glyf[name]
        left = getattr(glyph, "xMin", 0) if glyph.numberOfContours != 0 else 0
        hmtx[name] = (advance if width > 0 else 0, left)
    font["hhea"].advanceWidthMax = advance
    font["OS/2"].xAvgCharWidth = advance


def rename(font, family, style):
    full = family if style == "Regular" else f"{family} {style}"
    postscript = f"{family}-{style}".replace(" ", "")
    names = font["name"]
    names.names = [n for n in names.names if n.nameID in (0, 7, 8, 9, 11, 12, 13, 14)]
    for nid, text in ((1, family), (2, style), (3, f"{postscript};twin"), (4, full), (6, postscript),
                      (16, family), (17, style)):
        names.setName(text, nid, 3, 1, 0x409)
        names.setName(text, nid, 1, 0, 0)


def main(source, advance_em, family, style, out):
    font = TTFont(source)
    units = font["head"].unitsPerEm
    advance = round(float(advance_em) * units)
    widths = {w for w, _ in font["hmtx"].metrics.values() if w > 0}
    if len(widths) != 1:
        sys.exit(f"{source}: not monospaced ({len(widths)} advances)")
    scale_glyphs(font, advance / widths.pop())
    set_advances(font, advance)
    for table in ("fpgm", "prep", "cvt ", "hdmx", "LTSH", "VDMX", "DSIG"):
        if table in font:
            del font[table]
    font["head"].flags &= ~(1 << 4)  # instructions may alter advances: none are left
    rename(font, family, style)
    font.save(out)


if __name__ == "__main__":
    if len(sys.argv) != 6:
        sys.exit(__doc__)
    main(*sys.argv[1:])
