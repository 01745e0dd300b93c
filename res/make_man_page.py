#!/usr/bin/python3
"""Makes the viewer's manual page from its template, with the version and the table of keys and
buttons that the README keeps (the table whose header reads "| Input | Action |"):

    make_man_page.py TEMPLATE README.md VERSION OUT
"""
import re
import sys


def roff_text(text):
    """Markdown cell text as roff: `code` in bold, backslashes and leading dots made safe."""
    text = text.replace("\\", "\\e").replace("-", "\\-")
    text = re.sub(r"`([^`]*)`", r"\\fB\1\\fR", text)
    text = text.replace("**", "")
    return "\\&" + text if text.startswith((".", "'")) else text


def key_table(readme):
    rows, inside = [], False
    for line in readme.splitlines():
        cells = [c.strip() for c in line.strip().strip("|").split("|")] if line.startswith("|") else []
        if cells[:2] == ["Input", "Action"]:
            inside = True
            continue
        if not inside:
            continue
        if not cells:
            break
        if set("".join(cells)) <= set("-: "):
            continue  # the header's rule
        rows.append(cells)
    if not rows:
        sys.exit("make_man_page.py: no table of keys in the README")
    out = []
    for key, action in rows:
        out += [".TP", roff_text(key), roff_text(action)]
    return "\n".join(out)


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    template, readme, version, out = sys.argv[1:]
    with open(template, encoding="utf-8") as f:
        page = f.read()
    with open(readme, encoding="utf-8") as f:
        keys = key_table(f.read())
    page = page.replace("@VERSION@", version).replace("@KEYS@", keys)
    with open(out, "w", encoding="utf-8") as f:
        f.write(page)


if __name__ == "__main__":
    main()
