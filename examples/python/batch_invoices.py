#!/usr/bin/python3
"""A month-end run: one PDF per invoice from a CSV of invoice lines, on Dask.

    PYTHONPATH=<prefix>/lib/python3.11/site-packages \\
        /usr/bin/python3 batch_invoices.py LINES.csv OUTPUT_FOLDER [--scheduler tcp://HOST:8786]
                                           [--workers 2] [--threads 2]
    /usr/bin/python3 batch_invoices.py --make-sample LINES.csv --invoices 200

Debian's interpreter, which has Dask from python3-distributed; another one
first on PATH is told in one line what it lacks.

The CSV has a header row and one row per invoice line:

    invoice,date,customer,item,quantity,unit_price,tax_rate

Lines of one invoice need not be adjacent. Numbers are exact decimals, never
binary fractions: the unit price is shown as written (386.50), a line's amount
is the quantity times that price with fractions of a yen cut off, and the
consumption tax is reckoned once per invoice and rate (tax_rate in percent,
10 when the column is missing or empty; 8 marks a reduced-rate line with ※):
the rate's subtotal times the rate, fractions cut off. Each invoice becomes
OUTPUT_FOLDER/<invoice>.pdf, printed on the built-in "KT482 PDF" printer;
an invoice longer than one page continues on the next.

Without --scheduler the run starts a LocalCluster of --workers processes with
--threads threads each on this machine. With --scheduler the same tasks go to
that cluster's workers; OUTPUT_FOLDER must then be a folder every worker
writes to (a shared file system) and kt482 importable on every worker.

Each worker thread keeps one KT482_Print object for all the invoices it
prints (a job belongs to the thread that made it), with its spool on /dev/shm
where there is one. Prints a line per failed invoice and a summary; the exit
status is 1 when any invoice failed.
"""
import argparse
import csv
import os
import random
import sys
import tempfile
import threading
from collections import defaultdict
from decimal import ROUND_DOWN, Decimal, InvalidOperation

# The form: rows of 15 points, columns of 6.
ROWS_PER_PAGE = 30
FIRST_ROW = 9
COLUMNS = {"item": 2, "quantity": 50, "price": 60, "amount": 74, "end": 90}

_local = threading.local()


def _job():
    """This thread's print object, made on its first invoice."""
    import kt482

    job = getattr(_local, "job", None)
    if job is None:
        # raise_errors=True whatever the module's default is: a failed
        # invoice is reported by its exception, never by a message alone.
        job = kt482.KT482_Print(raise_errors=True)
        base = "/dev/shm" if os.path.isdir("/dev/shm") else None
        _local.spool = tempfile.mkdtemp(prefix="kt482-batch-", dir=base)
        job.P_Temp_Dir = _local.spool
        job.W_Device("KT482 PDF")
        _local.job = job
    return job


STANDARD_RATE = 10
REDUCED_RATE = 8


def _money(value):
    """Whole yen with thousands separators."""
    return f"{value:,.0f}"


def _number(value):
    """A decimal as written, with thousands separators: 1,234.50."""
    return f"{value:,}"


def _decimal(text, what):
    try:
        value = Decimal(text)
    except InvalidOperation:
        raise ValueError(f"{what} {text!r} is not a number") from None
    if not value.is_finite():
        raise ValueError(f"{what} {text!r} is not a number")
    return value


def line_amount(quantity, price):
    """A line's amount in whole yen: quantity × unit price, fractions cut off."""
    return (quantity * price).to_integral_value(rounding=ROUND_DOWN)


def figures(lines):
    """The figures of an invoice, as exact decimals.

    Returns (rows, taxes, total): per line (quantity, price, amount, rate);
    per rate, highest first, (rate, subtotal, tax); and the total with tax.
    """
    rows = []
    subtotals = defaultdict(Decimal)
    for line in lines:
        quantity = _decimal(line["quantity"], "quantity")
        price = _decimal(line["unit_price"], "unit price")
        rate = int(_decimal(line.get("tax_rate") or STANDARD_RATE, "tax rate"))
        if rate not in (STANDARD_RATE, REDUCED_RATE):
            raise ValueError(f"tax rate {rate} is neither {STANDARD_RATE} nor {REDUCED_RATE}")
        amount = line_amount(quantity, price)
        rows.append((quantity, price, amount, rate))
        subtotals[rate] += amount
    taxes = [(rate, subtotal, (subtotal * rate / 100).to_integral_value(rounding=ROUND_DOWN))
             for rate, subtotal in sorted(subtotals.items(), reverse=True)]
    total = sum(subtotal + tax for _, subtotal, tax in taxes)
    return rows, taxes, Decimal(total)


def _record(job, invoice, lines):
    """Records one invoice: a heading on every page, its lines, the totals last."""
    first = lines[0]
    rows, taxes, total = figures(lines)
    pages = max(1, -(-len(lines) // ROWS_PER_PAGE))
    job.E_StartEdit()
    for page in range(pages):
        if page:
            job.E_ChangePage()
        job.E_Pitch(15, 6)
        job.E_Font("ＭＳ ゴシック", 16, True, 0)
        job.E_String_Center(1, 0, "請　求　書", 90)
        job.E_Font("ＭＳ 明朝", 10.5, False, 0)
        job.E_String(3, 2, f"{first['customer']} 御中")
        job.E_String_Right(3, 88, f"{first['date']}  {invoice}  {page + 1}/{pages}")
        job.E_DrawStyle(0, 1)
        job.E_Line_Hor(FIRST_ROW - 1, COLUMNS["item"], "0;1", f"0-{COLUMNS['end'] - COLUMNS['item']}")
        for label, column in (("品名", "item"), ("数量", "quantity"), ("単価", "price"), ("金額", "amount")):
            job.E_String(FIRST_ROW - 1, COLUMNS[column], label)
        page_lines = slice(page * ROWS_PER_PAGE, (page + 1) * ROWS_PER_PAGE)
        for row, (line, (quantity, price, amount, rate)) in enumerate(
                zip(lines[page_lines], rows[page_lines]), start=FIRST_ROW):
            item = line["item"] + (" ※" if rate == REDUCED_RATE else "")
            job.E_String_Left(row, COLUMNS["item"], item, COLUMNS["quantity"] - COLUMNS["item"] - 1)
            job.E_String_Right(row, COLUMNS["price"] - 1, _number(quantity))
            job.E_String_Right(row, COLUMNS["amount"] - 1, _number(price))
            job.E_String_Right(row, COLUMNS["end"], _money(amount))
    row = FIRST_ROW + ROWS_PER_PAGE + 1
    for rate, subtotal, tax in taxes:
        job.E_String(row, COLUMNS["quantity"] - 10, f"{rate}%対象")
        job.E_String_Right(row, COLUMNS["amount"] - 1, _money(subtotal))
        job.E_String(row, COLUMNS["amount"], "消費税")
        job.E_String_Right(row, COLUMNS["end"], _money(tax))
        row += 1
    job.E_String(row, COLUMNS["price"], "合計")
    job.E_String_Right(row, COLUMNS["end"], _money(total))
    if any(rate == REDUCED_RATE for *_, rate in rows):
        job.E_String(row + 1, COLUMNS["item"], f"※は軽減税率（{REDUCED_RATE}%）対象、金額は1円未満切り捨て")
    else:
        job.E_String(row + 1, COLUMNS["item"], "金額は1円未満切り捨て")
    job.E_EndEdit()
    return pages


def print_invoices(batch, folder):
    """Prints a batch of (invoice, lines); returns (invoice, path, pages, error) each."""
    job = _job()
    results = []
    for invoice, lines in batch:
        path = os.path.join(folder, f"{invoice}.pdf")
        try:
            pages = _record(job, invoice, lines)
            job.SetNextPdfPath(path)
            job.W_StartDoc(9, 1)
            # The page bounds of a job only ever widen (an earlier, longer
            # invoice keeps P_Max_Page up), so the pages are named.
            job.W_Print(1, pages)
            job.W_EndDoc()
            results.append((invoice, path, pages, None))
        except Exception as error:  # one bad invoice does not stop the run
            results.append((invoice, path, 0, str(error)))
        finally:
            try:
                job.E_Clear()
            except Exception:
                pass
    return results


def read_invoices(path):
    """The invoices of a CSV file in the order they first appear, lines grouped."""
    invoices = defaultdict(list)
    with open(path, newline="", encoding="utf-8") as f:
        for line in csv.DictReader(f):
            invoices[line["invoice"]].append(line)
    return list(invoices.items())


def safe_name(invoice):
    """An invoice number is a file name: no folders, nothing hidden."""
    return bool(invoice) and not invoice.startswith(".") and "/" not in invoice and "\0" not in invoice


# (item, tax rate): food and drink take the reduced rate.
ITEMS = [("A4コピー用紙 500枚×5冊", 10), ("ボールペン 黒 0.7mm 10本入", 10), ("トナーカートリッジ 黒 大容量", 10),
         ("六角ボルト M8×30 ステンレス", 10), ("ｶﾞﾑﾃｰﾌﾟ 50mm", 10), ("クリアファイル Ａ４ ２０枚", 10),
         ("付箋 75×75mm ～10色", 10), ("緑茶 500ml×24本", 8), ("ドリップコーヒー 100袋", 8)]
CUSTOMERS = ["株式会社サンプル商事", "有限会社ヤマダ工業", "合同会社みなと物流", "東都システム株式会社"]


def make_sample(path, invoices, seed=20261231):
    """A CSV of invoices with 1 to 12 lines each; every 50th has 45 (two pages)."""
    rng = random.Random(seed)
    with open(path, "w", newline="", encoding="utf-8") as f:
        out = csv.writer(f)
        out.writerow(["invoice", "date", "customer", "item", "quantity", "unit_price", "tax_rate"])
        for n in range(1, invoices + 1):
            count = 45 if n % 50 == 0 else rng.randint(1, 12)
            customer = rng.choice(CUSTOMERS)
            for _ in range(count):
                item, rate = rng.choice(ITEMS)
                out.writerow([f"INV-202612-{n:05d}", "2026年12月31日", customer, item,
                              rng.randint(1, 400), f"{rng.randint(20, 20000)}.{rng.choice(['00', '50', '75'])}",
                              rate])


def _this_module():
    """This file imported as the module batch_invoices, as the workers import it."""
    if __name__ == "batch_invoices":
        return sys.modules[__name__]
    here = os.path.dirname(os.path.abspath(__file__))
    if here not in sys.path:
        sys.path.insert(0, here)
    import batch_invoices
    return batch_invoices


def _require(module, package):
    """Imports module, or exits with one line saying what this interpreter lacks."""
    try:
        return __import__(module, fromlist=["_"])
    except ImportError as missing:
        raise SystemExit(f"batch_invoices.py: {sys.executable} has no module {missing.name!r} "
                         f"({package}; Debian's /usr/bin/python3 has it from its package)") from None


def run(csv_path, folder, scheduler=None, workers=2, threads=2, batch_size=8):
    """Prints every invoice of the CSV; returns the results of all of them."""
    distributed = _require("dask.distributed", "Dask: python3-distributed")
    Client, LocalCluster = distributed.Client, distributed.LocalCluster
    if not scheduler:
        _require("kt482", "kt482: put <prefix>/lib/python3.11/site-packages on PYTHONPATH")

    invoices = read_invoices(csv_path)
    bad = [(invoice, os.path.join(folder, str(invoice)), 0, "not usable as a file name")
           for invoice, _ in invoices if not safe_name(invoice)]
    invoices = [(invoice, lines) for invoice, lines in invoices if safe_name(invoice)]
    folder = os.path.abspath(folder)
    os.makedirs(folder, exist_ok=True)
    batches = [invoices[i:i + batch_size] for i in range(0, len(invoices), batch_size)]

    cluster = None
    if scheduler:
        client = Client(scheduler)
    else:
        cluster = LocalCluster(n_workers=workers, threads_per_worker=threads, processes=True,
                               dashboard_address=None)
        client = Client(cluster)
    try:
        # The workers import this file as a module of their own: a function
        # of the script run as __main__ would be sent by value, with the
        # thread-local jobs it refers to.
        client.upload_file(os.path.abspath(__file__))
        module = _this_module()
        futures = client.map(module.print_invoices, batches, folder=folder, pure=False)
        results = [result for batch in client.gather(futures) for result in batch]
    finally:
        client.close()
        if cluster:
            cluster.close()
    return bad + results


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("csv", help="the invoice lines")
    parser.add_argument("folder", nargs="?", help="where the PDF files go")
    parser.add_argument("--scheduler", help="a running cluster's scheduler address (tcp://host:8786)")
    parser.add_argument("--workers", type=int, default=2, help="local worker processes (default 2)")
    parser.add_argument("--threads", type=int, default=2, help="threads per local worker (default 2)")
    parser.add_argument("--make-sample", action="store_true", help="write a sample CSV instead")
    parser.add_argument("--invoices", type=int, default=200, help="invoices in the sample (default 200)")
    args = parser.parse_args()

    if args.make_sample:
        make_sample(args.csv, args.invoices)
        return 0
    if not args.folder:
        parser.error("the output folder is missing")
    results = run(args.csv, args.folder, args.scheduler, args.workers, args.threads)
    failed = [r for r in results if r[3]]
    for invoice, _, _, error in failed:
        print(f"{invoice}: {error}", file=sys.stderr)
    pages = sum(r[2] for r in results)
    print(f"{len(results) - len(failed)} invoices printed ({pages} pages), {len(failed)} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
