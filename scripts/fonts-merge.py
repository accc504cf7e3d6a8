#!/usr/bin/python3
"""Makes one TrueType face per weight and style of a web font family from its WOFF2 files, one a Unicode subset
(NAME-SUBSET-WEIGHT-STYLE.woff2, as the npm font packages ship them), so that the office finds every character of
a face in one font under the family's own name.

Usage: fonts-merge.py FAMILY FILES-DIR OUT-DIR
"""
import collections
import os
import re
import sys

from fontTools import merge
from fontTools.ttLib import TTFont

# The subsets that hold the characters decks use first: a character two subsets share is taken from the first.
ORDER = ["latin", "latin-ext", "cyrillic", "cyrillic-ext", "greek", "greek-ext", "vietnamese"]


def faces(files_dir):
    """(weight, style) -> the subset files of that face, the subsets decks use first."""
    # The family's own name may hold hyphens ("titillium-web-latin-ext-400-normal"): the subset is read from the end.
    pattern = re.compile(r"-(%s)-(\d{3})-(normal|italic)\.woff2$" % "|".join(sorted(ORDER, key=len, reverse=True)))
    found = collections.defaultdict(list)
    for name in sorted(os.listdir(files_dir)):
        m = pattern.search(name)
        if m:
            found[(m.group(2), m.group(3))].append((ORDER.index(m.group(1)), os.path.join(files_dir, name)))
    return {face: [path for _, path in sorted(paths)] for face, paths in found.items()}


def merged(paths, tmp_dir):
    """The subsets as one font: each is written as TrueType first, as the merger reads only those."""
    plain = []
    for k, path in enumerate(paths):
        font = TTFont(path)
        font.flavor = None
        out = os.path.join(tmp_dir, "part%d.ttf" % k)
        font.save(out)
        plain.append(out)
    if len(plain) == 1:
        return TTFont(plain[0])
    # Layout tables differ between subsets and are not needed to set slide text: kept from none.
    options = merge.Options(drop_tables=["GSUB", "GPOS", "GDEF", "vhea", "vmtx", "DSIG", "meta"])
    return merge.Merger(options=options).merge(plain)


WEIGHTS = {100: "Thin", 200: "ExtraLight", 300: "Light", 400: "Regular", 500: "Medium", 600: "SemiBold",
           700: "Bold", 800: "ExtraBold", 900: "Black"}


def named(font, family, weight, italic):
    """Names the face as its family, weight and style: the web packages keep the names of the variable font they
    were cut from ("Montserrat Thin" for every weight), under which the office would not find the family."""
    weight_name = WEIGHTS.get(weight, "Regular")
    style = ("%s Italic" % weight_name if weight_name != "Regular" else "Italic") if italic else weight_name
    ribbi = weight in (400, 700)
    legacy_family = family if ribbi else "%s %s" % (family, weight_name)
    legacy_style = ("Bold " if weight == 700 else "") + ("Italic" if italic else "")
    legacy_style = legacy_style.strip() or "Regular"
    names = font["name"]
    for record in list(names.names):
        if record.nameID in (1, 2, 3, 4, 6, 16, 17, 21, 22, 25):
            names.removeNames(nameID=record.nameID)
    full = "%s %s" % (family, style) if style != "Regular" else family
    for name_id, text in ((1, legacy_family), (2, legacy_style), (3, "%s %s" % (full, "vorlane")), (4, full),
                          (6, "%s-%s" % (family.replace(" ", ""), style.replace(" ", ""))), (16, family),
                          (17, style)):
        names.setName(text, name_id, 3, 1, 0x409)
        names.setName(text, name_id, 1, 0, 0)
    font["OS/2"].usWeightClass = weight
    selection = font["OS/2"].fsSelection & ~0b1100001  # italic, bold, regular
    regular = weight == 400 and not italic
    selection |= (1 if italic else 0) | (32 if weight == 700 else 0) | (64 if regular else 0)
    font["OS/2"].fsSelection = selection
    font["head"].macStyle = (1 if weight >= 700 else 0) | (2 if italic else 0)
    for table in ("fvar", "STAT", "avar", "gvar", "HVAR", "MVAR"):
        if table in font:
            del font[table]


def main():
    family, files_dir, out_dir = sys.argv[1:4]
    os.makedirs(out_dir, exist_ok=True)
    made = 0
    for (weight, style), paths in sorted(faces(files_dir).items()):
        try:
            font = merged(paths, out_dir)
        except Exception as e:  # one face that cannot be made leaves the others
            print("fonts: %s %s %s not made: %s" % (family, weight, style, e), file=sys.stderr)
            continue
        named(font, family, int(weight), style == "italic")
        name = "%s-%s-%s.ttf" % (family.replace(" ", ""), weight, style)
        font.save(os.path.join(out_dir, name))
        made += 1
    for leftover in os.listdir(out_dir):
        if leftover.startswith("part") and leftover.endswith(".ttf"):
            os.remove(os.path.join(out_dir, leftover))
    print("fonts: %s: %d faces" % (family, made))
    return 0 if made else 1


if __name__ == "__main__":
    sys.exit(main())
