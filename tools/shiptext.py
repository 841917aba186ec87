#!/usr/bin/env python3
"""The text files the installer and the portable zip ship, made for Notepad and the browser.

  shiptext.py crlf IN OUT       IN with Windows line ends (CR LF), whatever it had
  shiptext.py guide MD OUTDIR   MD as OUTDIR/user-guide.html (cmark-gfm, GitHub's Markdown), its
                                pictures copied to OUTDIR/guide/ and the page's links to them and
                                to its own headings made to work there
"""
import html
import os
import re
import shutil
import subprocess
import sys


def crlf(text):
    return text.replace("\r\n", "\n").replace("\n", "\r\n")


def slug(title):
    """The anchor GitHub gives a heading: lower case, punctuation dropped, spaces as hyphens."""
    text = re.sub(r"<[^>]+>", "", html.unescape(title)).strip().lower()
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


def guide(md_path, out_dir):
    body = subprocess.run(
        ["cmark-gfm", "--unsafe", "-e", "table", "-e", "autolink", "-e", "strikethrough", md_path],
        check=True, capture_output=True, text=True).stdout
    used = {}

    def heading(m):
        base = slug(m.group(3))
        anchor, n = base, used.get(base, 0)
        if n:
            anchor = "%s-%d" % (base, n)
        used[base] = n + 1
        return '<h%s%s id="%s">%s</h%s>' % (m.group(1), m.group(2), anchor, m.group(3), m.group(1))

    body = re.sub(r"<h([1-6])([^>]*)>(.*?)</h\1>", heading, body)
    # Links to this guide itself (a README's "user-guide.md#section") stay on the page.
    body = re.sub(r'href="(?:\./)?user-guide\.md(#[^"]*)?"', lambda m: 'href="%s"' % (m.group(1) or "#"), body)
    pictures = []

    def picture(m):
        src = m.group(1)
        if re.match(r"[a-z]+:", src):
            return m.group(0)
        pictures.append(src)
        return 'src="guide/%s"' % src

    body = re.sub(r'src="([^"]+)"', picture, body)
    title = re.search(r"<h1[^>]*>(.*?)</h1>", body)
    title = re.sub(r"<[^>]+>", "", title.group(1)) if title else "User guide"
    page = ('<!DOCTYPE html>\n<html>\n<head>\n<meta charset="utf-8">\n<title>%s</title>\n<style>\n'
            "body { font-family: Segoe UI, Tahoma, sans-serif; max-width: 52em; margin: 1em auto; padding: 0 1em; }\n"
            "table { border-collapse: collapse; } th, td { border: 1px solid #ccc; padding: 0.2em 0.5em; }\n"
            "code, pre { background: #f4f4f4; } img { max-width: 100%%; }\n"
            "</style>\n</head>\n<body>\n%s</body>\n</html>\n") % (title, body)
    os.makedirs(out_dir, exist_ok=True)
    with open(os.path.join(out_dir, "user-guide.html"), "w", encoding="utf-8", newline="") as f:
        f.write(crlf(page))
    shutil.rmtree(os.path.join(out_dir, "guide"), ignore_errors=True)
    folder = os.path.dirname(os.path.abspath(md_path))
    for src in sorted(set(pictures)):
        target = os.path.join(out_dir, "guide", src)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(os.path.join(folder, src), target)


def main(argv):
    if len(argv) == 4 and argv[1] == "crlf":
        with open(argv[2], "rb") as f:  # bytes: the profile's code page stays as it is
            text = f.read()
        with open(argv[3], "wb") as f:
            f.write(text.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n"))
        return 0
    if len(argv) == 4 and argv[1] == "guide":
        guide(argv[2], argv[3])
        return 0
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
