#!/usr/bin/env bash
# Rebuilds the window's own font, ui/font/KeycardWindowHei.ttf: WenQuanYi Micro Hei (Debian's
# fonts-wqy-microhei) cut down to the characters the window can show, under a family name of its
# own so that it never stands in for, nor is mistaken for, an installed copy.
#
#   scripts/window-font.sh
#
# Run it after a caption changes: the window's tests fail while a caption has a character the font
# lacks. It takes every non-ASCII character of the ui/ sources (the captions are there), printable
# ASCII (the status line, the fields), and the full-width forms and ideographic space an input
# method types into a field. The build never runs it: the font is committed.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source_font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
font_dir=$root/ui/font
out=$font_dir/KeycardWindowHei.ttf
family="Keycard Window Hei"
# Debian's interpreter, which python3-fonttools serves (a pyenv or venv python3 may not).
python=/usr/bin/python3

missing=()
[ -f "$source_font" ] || missing+=(fonts-wqy-microhei)
"$python" -c 'import fontTools.subset' 2>/dev/null || missing+=(python3-fonttools)
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "window-font.sh needs: sudo apt-get install --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}" >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

"$python" - "$source_font" "$out" "$family" "$root"/ui/*.ui "$root"/ui/*.h "$root"/ui/*.cpp <<'EOF'
import sys
from fontTools import subset
from fontTools.ttLib import TTFont

source, out, family, *texts = sys.argv[1:]
# The light hinting the window's text gets on Linux (FreeType's automatic hinter) sets the height
# of every Han glyph from these characters' tops and bottoms, and its stem widths from the last
# two: a font without them would hint the captions a pixel differently from the whole font.
hinting_references = (
    "他们你來們到和地对對就席我时時會来為能舰說说这這齊军同已愿既星是景民照现現理用置要軍那配里開雷露面顾"
    "个为人以大個有要主些因它想意理生當看着置者自著裡过还进進過道還"
    "田囗")
wanted = set(range(0x20, 0x7F)) | {0x3000} | set(range(0xFF01, 0xFF5F))
wanted |= {ord(c) for c in hinting_references}
for path in texts:
    with open(path, encoding="utf-8") as text:
        wanted |= {ord(c) for c in text.read() if ord(c) > 0x7F and c.isprintable()}

options = subset.Options()
options.font_number = 0          # the proportional face of the collection, not the Mono one
options.layout_features = ["*"]  # shaped as the whole font shapes the same text
options.notdef_outline = True    # a character it lacks still shows as a box
options.name_IDs = ["*"]
options.name_languages = [0x0409]
options.drop_tables += ["FFTM"]  # the source's build stamp, nothing to draw with
font = subset.load_font(source, options)
subsetter = subset.Subsetter(options)
subsetter.populate(unicodes=sorted(wanted))
subsetter.subset(font)

names = font["name"]
postscript = family.replace(" ", "")
for record in list(names.names):
    if record.nameID in (1, 4, 16, 18):
        record.string = family
    elif record.nameID == 3:
        record.string = family + " (WenQuanYi Micro Hei 0.2.0-beta, subset)"
    elif record.nameID == 6:
        record.string = postscript
subset.save_font(font, out, options)
print(f"{out}: {len(font.getGlyphOrder())} glyphs for {len(wanted)} characters")
EOF
{
  echo "KeycardWindowHei.ttf is WenQuanYi Micro Hei 0.2.0-beta (Debian's fonts-wqy-microhei), cut"
  echo "down to the characters of the key card encoder's window and renamed by"
  echo "scripts/window-font.sh. The original's copyright and licence follow."
  echo
  cat /usr/share/doc/fonts-wqy-microhei/copyright
} >"$font_dir/COPYRIGHT"
