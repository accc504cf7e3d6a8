#!/usr/bin/python3
"""A width-matched twin of a Windows font: a free face of the same kind whose glyphs are scaled across and whose
advances are set to the Windows font's, character by character, under a family name of its own (the free fonts'
licences reserve theirs); so that each line breaks where PowerPoint breaks it.

WIDTHS is either one advance in ems (a monospaced font: every glyph has it) or a file of the advances PowerPoint's
PDFs give, a character a line: its code point in hex and its advance in thousandths of an em (fontwidths --dump).
A character no PDF showed keeps its own design, its advance scaled by the median ratio of those measured; a style
no PDF showed at all (no file, or fewer than a handful of characters) is scaled by that ratio alone, or kept.

Usage: fonts-twin.py SOURCE.ttf WIDTHS FAMILY STYLE OUT.ttf
"""
import os
import statistics
import sys

from fontTools.pens.recordingPen import DecomposingRecordingPen
from fontTools.pens.transformPen import TransformPen
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTFont
from fontTools.ttLib.tables import ttProgram

MIN_MEASURED = 8  # fewer measured characters than this say nothing of the face's letters


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
    # The free face's copyright and licence stay; its trademark notice (its name) goes with the name.
    names.names = [n for n in names.names if n.nameID in (0, 8, 9, 11, 12, 13, 14)]
    for nid, text in ((1, family), (2, style), (3, f"{postscript};twin"), (4, full), (6, postscript),
                      (16, family), (17, style)):
        names.setName(text, nid, 3, 1, 0x409)
        names.setName(text, nid, 1, 0, 0)


def measured_widths(path, font):
    """Each measured glyph's advance in font units, from a widths file."""
    units, cmap = font["head"].unitsPerEm, font.getBestCmap()
    widths = {}
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            cells = line.split()
            if len(cells) == 2 and int(cells[0], 16) in cmap:
                widths[cmap[int(cells[0], 16)]] = round(float(cells[1]) / 1000 * units)
    return widths


def redraw(font, factors):
    """Every glyph drawn again as an outline (components resolved) scaled across by its factor."""
    original = TTFont(font.reader.file.name).getGlyphSet()
    glyf = font["glyf"]
    for name in font.getGlyphOrder():
        recording = DecomposingRecordingPen(original)
        original[name].draw(recording)
        pen = TTGlyphPen(None)
        recording.replay(TransformPen(pen, (factors.get(name, 1.0), 0, 0, 1, 0, 0)))
        glyf[name] = pen.glyph()
        glyf[name].recalcBounds(glyf)


def proportional(font, widths_path):
    hmtx = font["hmtx"]
    widths = measured_widths(widths_path, font) if os.path.exists(widths_path) else {}
    ratios = [w / hmtx[g][0] for g, w in widths.items() if hmtx[g][0] > 0]
    median = statistics.median(ratios) if len(ratios) >= 3 else 1.0
    if len(widths) < MIN_MEASURED:
        widths = {}
    factors, advances = {}, {}
    for name in font.getGlyphOrder():
        width = hmtx[name][0]
        advances[name] = widths.get(name, round(width * median))
        factors[name] = advances[name] / width if width > 0 else median
    redraw(font, factors)
    glyf = font["glyf"]
    for name, advance in advances.items():
        hmtx[name] = (advance, getattr(glyf[name], "xMin", 0) if glyf[name].numberOfContours != 0 else 0)
    font["hhea"].advanceWidthMax = max(advances.values())
    sample = [advances[g] for g in advances if advances[g] > 0]
    font["OS/2"].xAvgCharWidth = round(sum(sample) / len(sample))


def monospaced(font, advance_em):
    advance = round(float(advance_em) * font["head"].unitsPerEm)
    widths = {w for w, _ in font["hmtx"].metrics.values() if w > 0}
    if len(widths) != 1:
        sys.exit(f"not monospaced ({len(widths)} advances)")
    scale_glyphs(font, advance / widths.pop())
    set_advances(font, advance)


def main(source, widths, family, style, out):
    font = TTFont(source)
    if "glyf" not in font:
        sys.exit(f"{source}: not a TrueType outline font")
    try:
        float(widths)
        monospaced(font, widths)
    except ValueError:
        proportional(font, widths)
    for table in ("fpgm", "prep", "cvt ", "hdmx", "LTSH", "VDMX", "DSIG", "gasp"):
        if table in font:
            del font[table]
    font["head"].flags &= ~(1 << 4)  # instructions may alter advances: none are left
    rename(font, family, style)
    font.save(out)


if __name__ == "__main__":
    if len(sys.argv) != 6:
        sys.exit(__doc__)
    main(*sys.argv[1:])
