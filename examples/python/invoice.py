#!/usr/bin/python3
"""A one-page invoice recorded and printed from Python.

    PYTHONPATH=<prefix>/lib/python3.11/site-packages /usr/bin/python3 invoice.py [--printer NAME] [--preview] [SPOOL]

Without --printer it prints on the built-in "KT482 PDF" printer, into
$KT482_PDF_DIR (or the current folder). A failure raises kt482.Error,
which names the member that failed, the error number and its description:
the example reports it and exits with status 1.
"""
import argparse
import sys
import tempfile

import kt482

ITEMS = [
    ("A4コピー用紙 500枚×5冊", 3, 2480),
    ("ボールペン 黒 0.7mm 10本入", 12, 980),
    ("トナーカートリッジ 黒 大容量", 1, 18900),
    ("六角ボルト M8×30 ステンレス", 400, 24.75),
]

TABLE_ROW, TABLE_COL = 8, 2
COLUMNS = {"name": 0, "qty": 42, "price": 52, "amount": 66, "end": 84}


def record(p):
    p.E_StartEdit()
    p.E_Pitch(15, 6)

    p.E_Font("ＭＳ ゴシック", 18, True, 0)
    p.E_String_Center(1, 0, "請　求　書", 90)
    p.E_Font("ＭＳ 明朝", 10.5, False, 0)
    p.E_String(4, 2, "株式会社サンプル商事 御中")
    p.E_String_Right(4, 86, "2026年12月7日")

    # The item table: a header row and one row per item, every rule drawn
    # from one base position.
    rows = len(ITEMS) + 1
    p.E_DrawStyle(0, 2)
    p.E_Keisen(TABLE_ROW, TABLE_COL, TABLE_ROW + rows, TABLE_COL + COLUMNS["end"])
    p.E_DrawStyle(0, 1)
    # Rows as a list of offsets, columns as a range, and the other way round.
    p.E_Line_Hor(TABLE_ROW, TABLE_COL, ";".join(str(r) for r in range(1, rows)), f"0-{COLUMNS['end']}")
    inner = ";".join(str(COLUMNS[c]) for c in ("qty", "price", "amount"))
    p.E_Line_Vrt(TABLE_ROW, TABLE_COL, f"0-{rows}", inner)

    # Headings spread over the middle of their columns.
    headings = (("品名", "name", "qty"), ("数量", "qty", "price"), ("単価", "price", "amount"), ("金額", "amount", "end"))
    for label, first, last in headings:
        width = COLUMNS[last] - COLUMNS[first]
        p.E_String_Kin(TABLE_ROW, TABLE_COL + COLUMNS[first] + width / 4, label, width / 2)

    total = 0
    for i, (name, quantity, price) in enumerate(ITEMS, start=1):
        row = TABLE_ROW + i
        amount = int(quantity * price)
        total += amount
        p.E_String_Left(row, TABLE_COL + COLUMNS["name"] + 1, name, 40)
        # A number field starts at its column and is as wide as its picture.
        p.E_Numeric(row, TABLE_COL + COLUMNS["qty"] + 1, quantity, "##,##0")
        p.E_Numeric(row, TABLE_COL + COLUMNS["price"] + 1, price, "##,##0.00")
        p.E_Numeric(row, TABLE_COL + COLUMNS["amount"] + 1, amount, "###,###,##0")

    row = TABLE_ROW + rows + 1
    p.E_String(row, TABLE_COL + COLUMNS["price"], "合計")
    p.E_Numeric(row, TABLE_COL + COLUMNS["amount"] + 1, total, "###,###,##0")
    p.E_EndEdit()
    return total


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--printer", default="KT482 PDF", help='a CUPS queue or "KT482 PDF"')
    parser.add_argument("--preview", action="store_true", help="show the preview window first (needs a display)")
    parser.add_argument("spool", nargs="?", help="the spool folder (a temporary one by default)")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="kt482-invoice-") as scratch:
        p = kt482.KT482_Print()
        p.P_Temp_Dir = args.spool or scratch
        try:
            total = record(p)
            if args.preview:
                p.V_Size_Set(9, 1)
                p.V_Preview()
            p.W_Device(args.printer)
            p.W_StartDoc(9, 1)
            p.W_Print()
            p.W_EndDoc()
        except kt482.Error as e:
            # e.procedure is the member (or the renderer's step) that failed.
            print(f"invoice: {e.procedure} failed: {e.description} (error {e.number})", file=sys.stderr)
            return 1
        finally:
            # The spool is deleted whether or not the invoice printed; a
            # failure here (no page file) is not worth a word.
            try:
                p.E_Clear()
            except kt482.Error:
                pass
    print(f"invoice of {total:,} yen printed on {args.printer}, pages {p.P_Min_Page} to {p.P_Max_Page}")
    if args.printer == "KT482 PDF":
        print(f"written to {p.LastPdfPath()}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
