#!/usr/bin/python3
"""Makes the user guide page that the start page's help button opens from the README:

    make_user_guide.py README.md OUT.html

Knows the Markdown the README uses: headings, paragraphs, "-" and "1." lists, fenced code,
`code`, **bold** and [links](address)."""
import html
import re
import sys


def inline(text):
    parts = re.split(r"(`[^`]*`)", text)
    out = []
    for part in parts:
        if part.startswith("`") and part.endswith("`") and len(part) >= 2:
            out.append("<code>" + html.escape(part[1:-1]) + "</code>")
            continue
        part = html.escape(part, quote=False)
        part = re.sub(r"\*\*(.+?)\*\*", r"<strong>\1</strong>", part)
        part = re.sub(r"\[([^\]]+)\]\(([^)\s]+)\)",
                      lambda m: '<a href="%s">%s</a>' % (html.escape(m.group(2)), m.group(1)), part)
        out.append(part)
    return "".join(out)


def convert(lines):
    body, paragraph, items, kind = [], [], [], None

    def flush():
        nonlocal paragraph, items, kind
        if paragraph:
            body.append("<p>" + inline(" ".join(paragraph)) + "</p>")
            paragraph = []
        if items:
            body.append("<%s>%s</%s>" % (kind, "".join("<li>" + inline(i) + "</li>" for i in items), kind))
            items, kind = [], None

    code = None
    title = "Vistrel"
    for line in lines:
        line = line.rstrip("\n")
        if code is not None:
            if line.startswith("```"):
                body.append("<pre><code>" + html.escape("\n".join(code)) + "</code></pre>")
                code = None
            else:
                code.append(line)
            continue
        if line.startswith("```"):
            flush()
            code = []
            continue
        heading = re.match(r"(#{1,6})\s+(.*)", line)
        bullet = re.match(r"\s*[-*]\s+(.*)", line)
        number = re.match(r"\s*\d+\.\s+(.*)", line)
        if heading:
            flush()
            level = len(heading.group(1))
            if level == 1:
                title = heading.group(2)
            body.append("<h%d>%s</h%d>" % (level, inline(heading.group(2)), level))
        elif bullet or number:
            found = "ul" if bullet else "ol"
            if paragraph or (items and kind != found):
                flush()
            kind = found
            items.append((bullet or number).group(1))
        elif not line.strip():
            flush()
        elif items and line.startswith(" "):
            items[-1] += " " + line.strip()  # a list item continued on the next line
        else:
            paragraph.append(line.strip())
    flush()
    return title, "\n".join(body)


def main():
    with open(sys.argv[1], encoding="utf-8") as source:
        title, body = convert(source)
    page = ("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<title>%s</title>\n<style>body{font-family:sans-serif;max-width:50em;margin:2em auto;"
            "line-height:1.4}pre{background:#f4f4f4;padding:.6em;overflow:auto}</style>\n"
            "</head>\n<body>\n%s\n</body>\n</html>\n") % (html.escape(title), body)
    with open(sys.argv[2], "w", encoding="utf-8") as out:
        out.write(page)


if __name__ == "__main__":
    main()
