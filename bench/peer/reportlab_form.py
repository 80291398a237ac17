#!/usr/bin/python3
"""The dense form page drawn with ReportLab, for comparison with kt482_bench_print.

Reads one page's primitives as kt482_bench_print --dump-primitives writes them
(texts and lines in points from the top left corner of an A4 page, the fonts
as Qt resolved them, the pens as Qt set them) and writes a PDF of N such
pages, timing each document from the canvas's creation to save() with
time.perf_counter.

ReportLab at its best for this job: compressed page streams (as Qt writes
them), invariant output, the IPA TrueType fonts registered as TTFont (embedded
as subsets), and each graphics setting issued only when it changes. Bold text
is drawn twice, the second copy shifted right by 1/40 of the font size, as Qt
emboldens a face without a bold of its own in its PDFs.

Run it with Debian's /usr/bin/python3 (python3-reportlab):

    /usr/bin/python3 bench/peer/reportlab_form.py PRIMITIVES.json [--pages N] [--runs R] [--keep PDF]
    /usr/bin/python3 bench/peer/reportlab_form.py PRIMITIVES.json --documents N

With --documents, writes N one-page documents instead, each a file of its own
on /dev/shm, and reports documents per second and bytes per document (the
batch of kt482_bench_batch).

Memory: ru_maxrss is the process's peak resident size (kB), the interpreter
and ReportLab included; the growth is the peak while writing the first
document less the resident size just before it (the kernel's peak is reset
first where it allows).
"""

import argparse
import json
import os
import resource
import statistics
import sys
import tempfile
import time

from reportlab.pdfbase import pdfmetrics
from reportlab.pdfbase.ttfonts import TTFont
from reportlab.pdfgen import canvas

# The fonts Qt draws the form's faces with, by family.
FONT_FILES = {
    "IPAMincho": ["/usr/share/fonts/opentype/ipafont-mincho/ipam.ttf"],
    "IPAPMincho": ["/usr/share/fonts/opentype/ipafont-mincho/ipamp.ttf"],
    "IPAGothic": ["/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"],
    "IPAPGothic": ["/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf"],
}

# The shift of the second copy of bold text, as a share of the font size.
BOLD_SHIFT = 1 / 40


def rss_kb():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGESIZE") // 1024


def image_peak_kb():
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def reset_peak():
    try:
        with open("/proc/self/clear_refs", "w") as f:
            f.write("5")
        return True
    except OSError:
        return False


def register_fonts(families):
    for family in sorted(set(families)):
        paths = [p for p in FONT_FILES.get(family, []) if os.path.exists(p)]
        if not paths:
            sys.exit(f"reportlab_form: no font file for {family!r} (install fonts-ipafont)")
        pdfmetrics.registerFont(TTFont(family, paths[0]))


def page_ops(primitives):
    """The page as a list of drawing steps in PDF coordinates (origin bottom left)."""
    height = primitives["page"]["height"]
    fonts = primitives["fonts"]
    steps = []
    for op in primitives["ops"]:
        if op["op"] == "text":
            family = fonts.get(op["face"], op["family"])
            baseline = height - (op["y"] + op["ascent"])
            steps.append(("text", family, op["size"], op["bold"], op["underline"], op["x"], baseline, op["text"]))
        else:
            cap = 0 if op["cap"] == "butt" else 2
            steps.append(("line", op["x1"], height - op["y1"], op["x2"], height - op["y2"],
                          op["width"], tuple(op["dash"]), cap, op["color"]))
    return steps


class PageDrawer:
    """Draws the steps on a canvas, issuing a setting only when it changes."""

    def __init__(self, c):
        self.c = c
        self.font = None
        self.width = None
        self.dash = None
        self.cap = None
        self.stroke = None
        self.fill = None

    def new_page(self):
        # showPage() starts the next page with the default graphics state.
        self.__init__(self.c)

    def set_width(self, width):
        if width != self.width:
            self.c.setLineWidth(width)
            self.width = width

    def set_stroke(self, color):
        if color != self.stroke:
            self.c.setStrokeColor(color)
            self.stroke = color

    def set_fill(self, color):
        if color != self.fill:
            self.c.setFillColor(color)
            self.fill = color

    def draw(self, steps):
        c = self.c
        for step in steps:
            if step[0] == "text":
                _, family, size, bold, underline, x, y, text = step
                self.set_fill("#000000")
                if self.font != (family, size):
                    c.setFont(family, size)
                    self.font = (family, size)
                c.drawString(x, y, text)
                if bold:
                    c.drawString(x + size * BOLD_SHIFT, y, text)
                if underline:
                    w = pdfmetrics.stringWidth(text, family, size)
                    self.set_width(size / 20)
                    self.set_stroke("#000000")
                    c.line(x, y - size / 10, x + w, y - size / 10)
            else:
                _, x1, y1, x2, y2, width, dash, cap, color = step
                if (x1, y1) == (x2, y2):
                    self.set_fill(color)
                    c.rect(x1 - width / 2, y1 - width / 2, width, width, stroke=0, fill=1)
                    continue
                self.set_width(width)
                self.set_stroke(color)
                if dash != self.dash:
                    if dash:
                        c.setDash(list(dash))
                    else:
                        c.setDash()
                    self.dash = dash
                if cap != self.cap:
                    c.setLineCap(cap)
                    self.cap = cap
                c.line(x1, y1, x2, y2)


def write_document(path, size, steps, pages):
    c = canvas.Canvas(path, pagesize=size, pageCompression=1, invariant=1)
    drawer = PageDrawer(c)
    for _ in range(pages):
        drawer.draw(steps)
        c.showPage()
        drawer.new_page()
    c.save()


def write_batch(size, steps, documents):
    """One-page documents, each its own file, under the same 16 names in turn."""
    folder = tempfile.mkdtemp(prefix="kt482-reportlab-batch-", dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
    start, cpu_start = time.perf_counter(), time.process_time()
    for n in range(documents):
        write_document(os.path.join(folder, f"document-{n % 16}.pdf"), size, steps, 1)
    seconds = time.perf_counter() - start
    cpu_ms = (time.process_time() - cpu_start) * 1000 / documents
    size_bytes = os.path.getsize(os.path.join(folder, "document-0.pdf"))
    for name in os.listdir(folder):
        os.remove(os.path.join(folder, name))
    os.rmdir(folder)
    print(f"ReportLab {__import__('reportlab').Version}: {documents} one-page documents: "
          f"{documents / seconds:.0f} documents/s, {cpu_ms:.2f} ms processor time and {size_bytes / 1024:.1f} kB each")
    print(f"RESULT documents={documents} documents_per_s={documents / seconds:.1f} cpu_ms_per_doc={cpu_ms:.3f} "
          f"pdf_bytes={size_bytes}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("primitives", help="the JSON from kt482_bench_print --dump-primitives")
    parser.add_argument("--pages", type=int, default=1000)
    parser.add_argument("--runs", type=int, default=3, help="documents written; the median is reported")
    parser.add_argument("--keep", metavar="PDF", help="keep the last document as PDF")
    parser.add_argument("--documents", type=int, help="write this many one-page documents instead")
    args = parser.parse_args()

    with open(args.primitives, encoding="utf-8") as f:
        primitives = json.load(f)
    register_fonts([op["family"] for op in primitives["ops"] if op["op"] == "text"] +
                   list(primitives["fonts"].values()))
    steps = page_ops(primitives)
    size = (primitives["page"]["width"], primitives["page"]["height"])
    texts = sum(1 for s in steps if s[0] == "text")
    lines = len(steps) - texts

    if args.documents:
        write_batch(size, steps, args.documents)
        return

    folder = tempfile.mkdtemp(prefix="kt482-reportlab-")
    path = os.path.join(folder, "reportlab_form.pdf")
    reset = reset_peak()
    before = rss_kb()
    seconds = []
    growth = None
    pdf_bytes = 0
    for run in range(args.runs):
        start = time.perf_counter()
        write_document(path, size, steps, args.pages)
        seconds.append(time.perf_counter() - start)
        if growth is None:
            growth = image_peak_kb() - before
        pdf_bytes = os.path.getsize(path)
        if args.keep and run == args.runs - 1:
            os.replace(path, args.keep)
        else:
            os.remove(path)
    os.rmdir(folder)

    rate = args.pages / statistics.median(seconds)
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    print(f"ReportLab {__import__('reportlab').Version}: {args.pages} pages of {texts} texts and {lines} lines, "
          f"{args.runs} documents: {rate:.0f} pages/s (median; each {', '.join(f'{s:.2f}' for s in seconds)} s), "
          f"PDF {pdf_bytes / 1024:.0f} kB")
    print(f"Memory: peak {peak} kB (ru_maxrss), +{growth} kB over the first document"
          + ("" if reset else " (peak not reset: includes start-up)"))
    print(f"RESULT pages={args.pages} pages_per_s={rate:.1f} peak_rss_kB={peak} rss_growth_kB={growth} "
          f"pdf_kB={pdf_bytes / 1024:.0f}")


if __name__ == "__main__":
    main()
