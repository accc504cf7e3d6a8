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
import re
import statistics
import sys

from fontTools.pens.recordingPen import DecomposingRecordingPen
from fontTools.pens.transformPen import TransformPen
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTFont

MIN_MEASURED = 8  # fewer measured characters than this say nothing of the face's letters


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


def proportional_advances(font, widths_path):
    """Each glyph's new advance, and the factor of a glyph without one: the measured advance where the PDFs give one,
    else its own scaled by the median ratio of those measured."""
    hmtx = font["hmtx"]
    widths = measured_widths(widths_path, font) if os.path.exists(widths_path) else {}
    ratios = [w / hmtx[g][0] for g, w in widths.items() if hmtx[g][0] > 0]
    median = statistics.median(ratios) if len(ratios) >= 3 else 1.0
    if len(widths) < MIN_MEASURED:
        widths = {}
    return {g: widths.get(g, round(w * median)) for g, (w, _) in hmtx.metrics.items()}, median


def monospaced_advances(font, advance_em):
    """Every glyph's new advance, one for all (marks without advance keep none), and the factor across."""
    advance = round(float(advance_em) * font["head"].unitsPerEm)
    widths = {w for w, _ in font["hmtx"].metrics.values() if w > 0}
    if len(widths) != 1:
        sys.exit(f"not monospaced ({len(widths)} advances)")
    factor = advance / widths.pop()
    return {g: advance if w > 0 else 0 for g, (w, _) in font["hmtx"].metrics.items()}, factor


def apply_advances(font, advances, factor):
    """Each glyph scaled across to its new advance (one without an advance by factor), and the metrics to match."""
    hmtx = font["hmtx"]
    redraw(font, {g: a / hmtx[g][0] if hmtx[g][0] > 0 else factor for g, a in advances.items()})
    glyf = font["glyf"]
    for name, advance in advances.items():
        hmtx[name] = (advance, getattr(glyf[name], "xMin", 0) if glyf[name].numberOfContours != 0 else 0)
    font["hhea"].advanceWidthMax = max(advances.values())
    sample = [a for a in advances.values() if a > 0]
    font["OS/2"].xAvgCharWidth = round(sum(sample) / len(sample))


def main(source, widths, family, style, out):
    font = TTFont(source)
    if "glyf" not in font:
        sys.exit(f"{source}: not a TrueType outline font")
    monospaced = re.fullmatch(r"[0-9.]+", widths) is not None
    apply_advances(font, *(monospaced_advances if monospaced else proportional_advances)(font, widths))
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
