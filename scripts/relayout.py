#!/usr/bin/env python3
"""Breaks a clean book (one paragraph per line, Windows-1250, CR LF) the way scanned e-texts are
broken, in a layout of one's choice, to test the smart glue on layouts it has not seen.

usage: relayout.py CLEAN OUT.txt [options]
  --width N            wrap width (first-line indent included)
  --mark indent|blank|neither
  --indent N           first-line indent for --mark indent
  --page STYLE         bare | dash | dash-spaced | en-dash | bracket | header:TEXT |
                       alternate:EVEN|ODD (running headers, '#' in them is the page number)
  --page-lines N       non-blank lines per page;  --jitter N  pages vary by up to N lines
  --page-blanks none|both|random|before|after    --centre   centre the page lines
                       (before, after: a blank line on that side of every page line only)
  --chapter-pages      every heading starts a new page, so the page before it is short
  --title-as-header N  N headings, spread over the book, read like the running header (a header
                       without '#'), in the broken book and in its truth alike
  --hyphen P           chance that a word that does not fit is split at a hyphenation point
  --spelled P          share of paragraphs where one word is spelled syllable by syllable
                       ("ne-smír-ně"), in the broken book and in its truth alike
  --compounds P        share of paragraphs where an adjective in -ský/-cký becomes a compound
                       with another adjective of the book ("česko-německý"), in both alike
  --ties               keep a one-letter preposition or conjunction ("v", "k", "a"...) off a
                       line's end, with the word after it, as Czech typesetting does
  --patterns FILE      libhyphen patterns (the build's engine/hyph_cs_CZ.dic)
Writes OUT.txt and OUT.json (the truth's page lines and word breaks, for score.py); a copy of
the clean book goes to OUT-truth.txt with the same .json beside it.
"""
import argparse, ctypes, json, random
from pathlib import Path


class Hyphenation:
    def __init__(self, patterns):
        self.lib = ctypes.CDLL("libhyphen.so.0")
        self.lib.hnj_hyphen_load.restype = ctypes.c_void_p
        self.dict = self.lib.hnj_hyphen_load(str(patterns).encode())
        self.charset = Path(patterns).read_bytes().split(b"\n", 1)[0].strip().decode()

    def points(self, word):
        """Indices i where word may break before word[i]: 2 letters before, 3 after."""
        if not word.isalpha():
            return []
        data = word.lower().encode(self.charset, "replace")
        hyph = ctypes.create_string_buffer(len(data) + 5)
        null = ctypes.c_void_p()
        self.lib.hnj_hyphen_hyphenate3(ctypes.c_void_p(self.dict), data, len(data), hyph, None,
                                       ctypes.byref(null), ctypes.byref(null), ctypes.byref(null), 2, 3, 1, 1)
        return [i + 1 for i in range(len(data) - 1) if hyph.raw[i] & 1 and 2 <= i + 1 <= len(word) - 3]


def is_heading(p):
    return len(p) < 40 and not p.endswith((".", ",", "!", "?", ":", ";", "“", "…", "–")) or p == "* * *"


def tied(word):
    return word.lstrip("„(") in set("KkSsVvZzOoUuAaIi") and len(word.lstrip("„(")) == 1


def wrap(par, pno, width, first_indent, hy, chance, rng, events, ties=False):
    lines, line = [], " " * first_indent
    words = par.split(" ")
    for wno, word in enumerate(words):
        sep = "" if line.strip() == "" else " "
        # A tied letter goes to the next line with its word rather than end this one.
        need, k = len(word), wno
        while ties and tied(words[k]) and k + 1 < len(words):  # "v a les": tied one to the next
            need, k = need + 1 + len(words[k + 1]), k + 1
        if len(line) + len(sep) + need <= width:
            line += sep + word
            continue
        room = width - len(line) - len(sep)
        split = None
        if "-" in word[:-1] and word.index("-") + 1 <= room:
            cut = word.rindex("-", 0, room) + 1
            split = (word[:cut], word[cut:], "hard")
        elif rng.random() < chance:
            core = word.rstrip(".,;:!?“”\"…)")
            lead = len(core) - len(core.lstrip("„\"(‚"))
            for i in reversed(hy.points(core[lead:])):
                if lead + i + 1 <= room:
                    split = (word[:lead + i] + "-", word[lead + i:], "soft")
                    break
        if split and split[1]:
            line += sep + split[0]
            events.append([pno, wno, split[2], split[0], split[1]])
            lines.append(line)
            line = split[1]
        else:
            if line.strip():
                lines.append(line)
            line = word
    lines.append(line)
    return lines


def respell(pars, hy, spelled, compounds, rng):
    """Spells a word of some paragraphs syllable by syllable, and makes compound adjectives of
    others, as the truth then has them."""
    plain = lambda w: w.isalpha() and w.islower()
    adjectives = sorted({w for p in pars for w in p.split(" ") if plain(w) and len(w) >= 6 and w[-1] in "ýáé"})
    out = []
    for par in pars:
        words = par.split(" ")
        if rng.random() < spelled:
            choices = [i for i, w in enumerate(words) if plain(w) and len(hy.points(w)) >= 2]
            if choices:
                i = rng.choice(choices)
                w, cuts = words[i], [0] + hy.points(words[i]) + [len(words[i])]
                words[i] = "-".join(w[x:y] for x, y in zip(cuts, cuts[1:]))
        if rng.random() < compounds and adjectives:
            choices = [i for i, w in enumerate(words) if plain(w) and w[:-1].endswith(("sk", "ck"))]
            if choices:
                i = rng.choice(choices)
                other = [v for v in adjectives if v[-1] == words[i][-1] and v != words[i]]
                if other:
                    words[i] = words[i][:-1] + "o-" + rng.choice(other)
        out.append(" ".join(words))
    return out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("clean"), ap.add_argument("out")
    ap.add_argument("--width", type=int, default=60)
    ap.add_argument("--mark", default="indent")
    ap.add_argument("--indent", type=int, default=4)
    ap.add_argument("--page", default="bare")
    ap.add_argument("--page-lines", type=int, default=40)
    ap.add_argument("--jitter", type=int, default=0)
    ap.add_argument("--page-blanks", default="random")
    ap.add_argument("--centre", action="store_true")
    ap.add_argument("--chapter-pages", action="store_true")
    ap.add_argument("--title-as-header", type=int, default=0)
    ap.add_argument("--hyphen", type=float, default=0.7)
    ap.add_argument("--spelled", type=float, default=0.0)
    ap.add_argument("--compounds", type=float, default=0.0)
    ap.add_argument("--ties", action="store_true")
    ap.add_argument("--first-page", type=int, default=5)
    ap.add_argument("--patterns", default="build/engine/hyph_cs_CZ.dic")
    ap.add_argument("--seed", type=int, default=1)
    a = ap.parse_args()
    rng = random.Random(a.seed)
    hy = Hyphenation(a.patterns)
    pars = [p for p in Path(a.clean).read_bytes().decode("cp1250").split("\r\n") if p.strip()]
    if a.title_as_header:
        header = a.page.split(":", 1)[1].split("|")[0]
        headings = [i for i, p in enumerate(pars) if is_heading(p) and p != "* * *"]
        step = max(1, len(headings) // a.title_as_header)
        for i in headings[::step][:a.title_as_header]:
            pars[i] = header
    if a.spelled or a.compounds:
        pars = respell(pars, hy, a.spelled, a.compounds, rng)
    body, events = [], []
    for pno, par in enumerate(pars):
        if is_heading(par):
            if a.chapter_pages and body:
                body.append(None)  # the page ends here
            body += ["", "", par, ""]
            continue
        indent = a.indent if a.mark == "indent" else 0
        if a.mark == "blank" and body and body[-1] != "":
            body.append("")
        body += wrap(par, pno, a.width, indent, hy, a.hyphen, rng, events, a.ties)
    out, furniture, count, page = [], [], 0, a.first_page
    target = a.page_lines + rng.randint(-a.jitter, a.jitter)
    for line in body:
        if line is not None:
            out.append(line)
            if line.strip():
                count += 1
        if count >= target or (line is None and count > 0):
            if a.page.startswith("alternate:"):
                text = a.page.split(":", 1)[1].split("|")[page % 2].replace("#", str(page))
            elif a.page.startswith("header:"):
                text = a.page.split(":", 1)[1].replace("#", str(page))
            else:
                text = {"bare": "{}", "dash": "-{}-", "dash-spaced": "- {} -", "en-dash": "– {} –",
                        "bracket": "[{}]"}[a.page].format(page)
            furniture.append(text)
            shown = text.center(a.width).rstrip() if a.centre else text
            blanks = a.page_blanks == "both" or (a.page_blanks == "random" and rng.random() < 0.5)
            out += ["", shown, ""] if blanks else [""] * (a.page_blanks == "before") + [shown] + [
                ""] * (a.page_blanks == "after")
            page, count = page + 1, 0
            target = a.page_lines + rng.randint(-a.jitter, a.jitter)
    Path(a.out).write_bytes(("\r\n".join(out) + "\r\n").encode("cp1250"))
    info = json.dumps({"furniture": furniture, "hyphen_events": events}, ensure_ascii=False)
    stem = Path(a.out).with_suffix("")
    Path(str(stem) + ".json").write_text(info, encoding="utf-8")
    Path(str(stem) + "-truth.txt").write_bytes(("\r\n".join(pars) + "\r\n").encode("cp1250"))
    Path(str(stem) + "-truth.json").write_text(info, encoding="utf-8")


if __name__ == "__main__":
    main()
