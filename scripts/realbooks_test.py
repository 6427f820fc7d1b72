#!/usr/bin/env python3
"""Checks scripts/realbooks-score on texts damaged by hand: python3 scripts/realbooks_test.py"""
import sys, types, unittest
from pathlib import Path

# The scorer is a script without a .py suffix: its source is run as a module of its own.
_source = Path(__file__).with_name("realbooks-score")
rs = types.ModuleType("realbooks_score")
rs.__file__ = str(_source)
sys.modules[rs.__name__] = rs
exec(compile(_source.read_text(encoding="utf-8"), str(_source), "exec"), rs.__dict__)

TRUTH = ["Kapitola první", "Byl jednou jeden mlynář, který měl tři syny a starý mlýn u řeky.",
         "„Pojď sem,“ řekl mu jednou večer nejstarší syn…", "A tak šli spolu až k lesu, kde stála chalupa.",
         "Nikdo tam nebydlel.", "Jen vítr hvízdal komínem a v okně se svítilo česko-německým slovníkem."]
ENTRY = {"page_numbers": ["12", "13"], "heads": ["Pohádky"], "pages": 2}


class ScoreTest(unittest.TestCase):
    def test_the_truth_itself_is_perfect_and_the_ellipsis_may_be_three_dots(self):
        out = [rs.plain(l.replace("…", "...")) for l in TRUTH]
        r = rs.score(out, [rs.plain(l) for l in TRUTH], ENTRY)
        self.assertEqual((r["exact"], r["f1"], r["words_lost"], r["words_extra"]), (6, 1.0, 0, 0))

    def test_each_kind_of_damage_counts_once(self):
        out = [TRUTH[0], TRUTH[1] + " " + TRUTH[2],            # a wrong join
               "A tak šli spolu až", "k lesu, kde stála chalupa.",  # a wrong split
               "12 Pohádky", "Nikdo tam ne- bydlel.",              # a running head left, a word in two
               "Jen vítr hvízdal kom- ínem a v okně se svítilo českoněmeckým slovníkem."]
        r = rs.score(out, TRUTH, ENTRY)
        self.assertEqual((r["boundaries"], r["right"], r["found"]), (5, 4, 6))
        self.assertEqual((r["page_left"], r["head_left"], r["split"], r["hyph_removed"]), (1, 1, 2, 1))
        self.assertEqual((r["exact"], r["words_lost"], r["words_extra"]), (1, 0, 0))

    def test_ocr_misreads_align_and_a_misread_page_number_is_still_one(self):
        out = ["Kapitola první", "Byl jednou jedcn mlynář, ktcrý měl tři syny a starý mlýn u řeky. l3",
               TRUTH[2], TRUTH[3], TRUTH[4], TRUTH[5]]
        r = rs.score(out, TRUTH, ENTRY)
        self.assertEqual((r["words_lost"], r["words_extra"], r["page_left"], r["f1"]), (0, 0, 1, 1.0))


if __name__ == "__main__":
    unittest.main()
