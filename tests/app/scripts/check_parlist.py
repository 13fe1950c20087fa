#!/usr/bin/env python3
"""Parses an exported parameter page with a real HTML parser and prints what a
reader sees: per table row the cell texts joined by '|'; tables and a check that
every row of the parameter table has eight cells (or one cell spanning eight)."""
import sys
from html.parser import HTMLParser


class Page(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tables = []      # per table: list of rows; a row: list of cell texts
        self.spans = []       # per table: list of rows; a row: list of colspans
        self.depth = 0
        self.cell = None
        self.title = ""
        self.in_title = False
        self.charset = None

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "meta" and "content" in attrs:
            self.charset = attrs["content"].split("charset=")[-1]
        elif tag == "title":
            self.in_title = True
        elif tag == "table":
            self.tables.append([])
            self.spans.append([])
        elif tag == "tr" and self.tables:
            self.tables[-1].append([])
            self.spans[-1].append([])
        elif tag == "td" and self.tables and self.tables[-1]:
            self.cell = ""
            self.tables[-1][-1].append("")
            self.spans[-1][-1].append(int(attrs.get("colspan", "1")))

    def handle_endtag(self, tag):
        if tag == "title":
            self.in_title = False
        elif tag == "td":
            self.cell = None

    def handle_data(self, data):
        if self.in_title:
            self.title += data
        if self.cell is not None and self.tables and self.tables[-1] and self.tables[-1][-1]:
            self.tables[-1][-1][-1] += data


def main():
    raw = open(sys.argv[1], "rb").read()
    page = Page()
    page.feed(raw.decode("cp1251"))
    page.close()
    print("charset " + str(page.charset))
    print("title " + page.title)
    print("tables %d" % len(page.tables))
    bad = 0
    if page.tables:
        for row, spans in zip(page.tables[0], page.spans[0]):
            if sum(spans) != 8:
                bad += 1
            print("row " + "|".join(" ".join(c.split()) for c in row))
    print("bad rows %d" % bad)


main()
