#!/usr/bin/env python3
"""Writes the benchmark's deterministic input and its filters.

generate.py DIR [LINES] writes into DIR:
  lines.txt        LINES short order lines (about 40 bytes each, some non-ASCII)
  pairs.tsv        1,000 product codes and their names, tab-separated
  pairs.sed        the same 1,000 substitutions as a sed script
The text comes from a fixed linear congruential generator, so every run and
every machine gets the same bytes.
"""
import os
import sys

CITIES = ["Leeds", "York", "Hull", "Derby", "Bath", "Ely", "Malmö", "Zürich", "Köln",
          "Kraków", "Łódź", "Porto", "Lyon", "Gent", "Oslo", "Cork", "Bern", "Graz",
          "Nîmes", "Århus"]
GOODS = ["café", "tea", "paper", "bolts", "soap", "crème", "nails", "rope", "ink",
         "glue", "jam", "salt", "oil", "flour", "thé", "wax"]
ADJECTIVES = ["Oak", "Pine", "Steel", "Brass", "Linen", "Stone", "Cedar", "Copper",
              "Slate", "Birch"]
NOUNS = ["Shelf", "Stool", "Lamp", "Crate", "Bench", "Hook", "Tray", "Frame", "Rack",
         "Bowl"]
PAIRS = 1000


class Lcg:
    def __init__(self, seed):
        self.state = seed

    def next(self, bound):
        self.state = (self.state * 6364136223846793005 + 1442695040888963407) % (1 << 64)
        return (self.state >> 33) % bound


def main():
    folder = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
    rng = Lcg(20240517)
    with open(os.path.join(folder, "lines.txt"), "w", encoding="utf-8", newline="\n") as out:
        lines = []
        for _ in range(count):
            lines.append("20%02d-%02d-%02d SKU-%04d x%d %s %s %d.%02d\n" % (
                rng.next(25), 1 + rng.next(12), 1 + rng.next(28), rng.next(2 * PAIRS),
                1 + rng.next(9), CITIES[rng.next(len(CITIES))], GOODS[rng.next(len(GOODS))],
                rng.next(100), rng.next(100)))
            if len(lines) == 10000:
                out.write("".join(lines))
                lines.clear()
        out.write("".join(lines))
    # Every other code is renamed. The codes all have the same length and no
    # name contains "SKU-", so sed's one substitution after another and the
    # filter's single pass give the same text.
    with open(os.path.join(folder, "pairs.tsv"), "w", encoding="utf-8", newline="\n") as tsv, \
         open(os.path.join(folder, "pairs.sed"), "w", encoding="utf-8", newline="\n") as sed:
        for i in range(PAIRS):
            code = "SKU-%04d" % (2 * i + 1)
            name = "%s %s %d" % (ADJECTIVES[i % 10], NOUNS[(i // 10) % 10], i)
            tsv.write("%s\t%s\n" % (code, name))
            sed.write("s/%s/%s/g\n" % (code, name))


if __name__ == "__main__":
    main()
