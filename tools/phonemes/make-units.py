#!/usr/bin/env python3
"""Writes data/diphone/units.txt: every database unit that the shipped letter
rules can ask for. Syllables built from every onset and nucleus spelling go
through lamina-phonemes --units, together with any text files named on the
command line (UTF-8, or cp1252 when they are not valid UTF-8). The shipped
list is made with the system's Brazilian word list (package wbrazilian):

    make-units.py BUILD_DIR /usr/share/dict/brazilian

usage: make-units.py BUILD_DIR [TEXT_FILE...]
"""
import subprocess
import sys
from pathlib import Path

ONSETS = ["", "b", "c", "ç", "ch", "d", "f", "g", "gu", "j", "k", "l", "lh", "m", "n",
          "nh", "p", "qu", "r", "rr", "s", "ss", "sc", "t", "v", "x", "z", "h", "ph", "th",
          "br", "bl", "cr", "cl", "dr", "fr", "fl", "gr", "gl", "pr", "pl", "tr", "tl", "vr",
          "ks", "w", "y", "gü", "qü"]
NUCLEI = ["a", "e", "i", "o", "u", "á", "é", "í", "ó", "ú", "â", "ê", "ô", "ã", "õ", "à",
          "î", "û", "è", "ò", "ì", "ù", "ë", "ï", "ö", "ü",
          "ão", "ãe", "õe", "ãos", "ães", "ões",
          "an", "en", "in", "on", "un", "am", "em", "im", "om", "um", "ens", "ans", "ins",
          "ons", "uns", "âm", "ân", "êm", "ên", "ôm", "ôn", "ém", "éns", "ín", "ím", "ón", "úm",
          "ai", "ei", "oi", "ui", "au", "eu", "iu", "ou", "éu", "ói", "éi", "ái", "áu", "ôu",
          "al", "el", "il", "ol", "ul", "ar", "er", "ir", "or", "ur", "as", "es", "is", "os",
          "us", "az", "ez", "iz", "oz", "uz", "ax", "ex", "ix", "ox", "ux", "ais", "eis",
          "ia", "io", "ua", "uo", "ea", "eo", "oa", "oe", "ae", "ao", "ie", "ue"]
CODAS = ["", "s", "r", "l", "m", "n", "z", "x", "ta", "ca", "pa", "da", "ba", "ga", "ma",
         "na", "ra", "la", "sa", "ça", "fa", "va", "ja", "xa"]


SYLLABLES = ["ca", "sa", "pro", "gra", "ção", "ções", "men", "te", "lho", "nha", "ri", "qua",
             "gue", "xi", "tra", "pão", "dis", "al", "ar", "es", "bem", "in", "for", "ma", "di",
             "cul", "da", "de", "é", "ô", "são", "cha", "ge", "ji", "quei", "ou", "rr", "ss", "sc",
             "ex", "iu", "ai", "ui", "wa", "au", "ll", "nh"]


def words():
    for a in SYLLABLES:
        for b in SYLLABLES:
            for c in [""] + SYLLABLES:
                for d in ("", "a", "ou", "é", "in", "ex"):
                    yield a + b + c + d
    for onset in ONSETS:
        for nucleus in NUCLEI:
            for coda in ("", "s", "ta", "ma"):
                syllable = onset + nucleus + coda
                yield syllable
                yield "a" + syllable
                yield syllable + "a"
                yield "ma" + syllable + "do"
                yield "e" + syllable + "e"
                yield "pa" + syllable + "te"
                yield "ta" + syllable + "de"
    for nucleus in NUCLEI:
        for coda in CODAS:
            for onset in ONSETS:
                yield "pa" + nucleus + coda + onset + "o"


def as_cp1252(data):
    try:
        return data.decode("utf-8").encode("cp1252", errors="replace")
    except UnicodeDecodeError:
        return data


def main():
    build = Path(sys.argv[1])
    text = "\n".join(words()).encode("cp1252")
    exceptions = Path(__file__).resolve().parents[2] / "data" / "diphone" / "portug.exc"
    for line in exceptions.read_bytes().split(b"\n"):
        text += b"\n" + line.split(b"=")[0]
    for extra in sys.argv[2:]:
        text += b"\n" + as_cp1252(Path(extra).read_bytes())
    tool = build / "tools" / "phonemes" / "lamina-phonemes"
    result = subprocess.run([str(tool), "--units"], input=text, capture_output=True, check=True)
    units = set(result.stdout.decode("ascii").split())
    units.add("$NN")
    out = Path(__file__).resolve().parents[2] / "data" / "diphone" / "units.txt"
    lines = ["# Database units (index names) that the letter rules in regras.rgr and the",
             "# respellings in portug.exc can make the diphone speaker look up.",
             *[f"# Texts added: {Path(extra).name}" for extra in sys.argv[2:]],
             "# Written by tools/phonemes/make-units.py; one name a line.",
             *sorted(units)]
    out.write_text("\n".join(lines) + "\n", encoding="ascii")
    print(f"{len(units)} units written to {out}")


if __name__ == "__main__":
    main()
