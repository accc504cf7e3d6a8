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
