#!/usr/bin/env python3
"""Writes a scenario description for browser_scenarios: many random tests a
teacher could build, drawn from a fixed seed, for comparing the files that
"Done" writes before and after a change of the program.

    make_corpus.py <seed> <count>  > corpus.json
"""
import json
import random
import sys

MARGINS = ["0", ".5", "1", "1.5", "2", "2.5", "3"]
DECIMALS = ["No", "0", "1", "2", "3", "4", "5", "6", "7"]
WORDS = ["car", "speed", "Würfel", "cm³", "x--y", "xxxx", "a'b", 'say "hi"', "<b>bold</b>",
         "&amp;", "$1", "\\n", "km/h", "日本", "é", "--", "100 %", "tab\there", "½"]
TITLE_CHARS = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-.'&$ üß日"


def number(rng):
    choice = rng.random()
    if choice < 0.1:
        return ""
    if choice < 0.2:
        return rng.choice(["1,5", "1o", "o.5", "-3,25", "10oo"])
    value = rng.uniform(-50, 200)
    return str(round(value, rng.randint(0, 3)))


def statement(rng):
    parts = []
    for _ in range(rng.randint(0, 8)):
        parts.append(rng.choice(WORDS + ["[x]", "[y]", "[z]", "[x]", "\r", "\n"]))
    return " ".join(parts)


def solution(rng):
    terms = [rng.choice(["[x]", "[y]", "[z]", "2", "3.5", "Math.sqrt([x])", "[x]--[y]"])
             for _ in range(rng.randint(1, 4))]
    return rng.choice(["+", "*", "-", "/"]).join(terms)


def title(rng):
    while True:
        text = "".join(rng.choice(TITLE_CHARS) for _ in range(rng.randint(1, 16)))
        if text not in (".", ".."):
            return text


def scenario(rng, index):
    count = 99 if index % 25 == 0 else rng.randint(0, 12)
    s = {"name": f"t{index:04d}", "title": title(rng), "problems": []}
    if rng.random() < 0.3:
        s["pref"] = rng.choice(["http://www.example.org/cgi-bin/form.pl", "http://a'b.example.com/$1", ""])
    if rng.random() < 0.3:
        s["prefe"] = rng.choice(["teacher@example.org", "o'brien@example.com", "a&b@example.org"])
    click = rng.random()
    if click < 0.3:
        s["click"] = "mailto"
        if rng.random() < 0.5:
            s["address"] = "teacher@example.com"
    elif click < 0.6:
        s["click"] = "cgi"
        if rng.random() < 0.5:
            s["address"] = "www.example.org"
    for _ in range(count):
        p = {"statement": statement(rng), "solution": solution(rng),
             "margin": rng.choice(MARGINS), "decimals": rng.choice(DECIMALS)}
        for var in ("x", "y", "z"):
            if rng.random() < 0.8:
                p[var] = [number(rng), number(rng), rng.choice(["0", "1", "2", "o", ""])]
        s["problems"].append(p)
    return s


def main():
    seed, count = int(sys.argv[1]), int(sys.argv[2])
    rng = random.Random(seed)
    json.dump([scenario(rng, i) for i in range(count)], sys.stdout, ensure_ascii=False, indent=0)


if __name__ == "__main__":
    main()
