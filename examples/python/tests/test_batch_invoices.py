"""The month-end example run on a two-worker LocalCluster, every PDF checked."""
import os
import re
import shutil
import subprocess
import sys
from decimal import Decimal

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))
import batch_invoices  # noqa: E402



def tool(name):
    if not shutil.which(name):
        pytest.skip(f"{name} is not installed")
    return name


@pytest.mark.parametrize("invoice,usable", [
    ("INV-202612-00001", True), ("請求-1", True), ("", False), (".hidden", False),
    ("../elsewhere", False), ("a/b", False),
])
def test_invoice_numbers_become_file_names_only_when_safe(invoice, usable):
    assert batch_invoices.safe_name(invoice) == usable


def test_lines_of_an_invoice_are_grouped_wherever_they_are(tmp_path):
    path = tmp_path / "lines.csv"
    path.write_text("invoice,date,customer,item,quantity,unit_price\n"
                    "B,d,c,x,1,2\nA,d,c,y,1,2\nB,d,c,z,3,4\n", encoding="utf-8")
    grouped = batch_invoices.read_invoices(path)
    assert [(invoice, [line["item"] for line in lines]) for invoice, lines in grouped] == \
        [("B", ["x", "z"]), ("A", ["y"])]


def lines(*rows):
    return [dict(zip(("quantity", "unit_price", "tax_rate"), row)) for row in rows]


@pytest.mark.parametrize("name,rows,amounts,taxes,total", [
    # The price as written, the amount its product with the yen's fraction cut off.
    ("fraction cut off", lines(("341", "386.50", "10")), ["131796"], [(10, "131796", "13179")], "144975"),
    ("whole yen", lines(("3", "1200", "")), ["3600"], [(10, "3600", "360")], "3960"),
    ("quarter yen", lines(("7", "99.75", "8")), ["698"], [(8, "698", "55")], "753"),
    # The tax once per rate, on the rate's subtotal, not per line.
    ("tax per rate, not per line", lines(("1", "9.99", "10"), ("1", "9.99", "10"), ("1", "15", "8")),
     ["9", "9", "15"], [(10, "18", "1"), (8, "15", "1")], "35"),
    ("no rate column", [{"quantity": "2", "unit_price": "0.5"}], ["1"], [(10, "1", "0")], "1"),
])
def test_figures_are_exact_decimals_taxed_per_rate(name, rows, amounts, taxes, total):
    got_rows, got_taxes, got_total = batch_invoices.figures(rows)
    assert [str(amount) for _, _, amount, _ in got_rows] == amounts, name
    assert [(rate, str(subtotal), str(tax)) for rate, subtotal, tax in got_taxes] == taxes, name
    assert str(got_total) == total, name


@pytest.mark.parametrize("row", [("x", "1", "10"), ("1", "NaN", "10"), ("1", "Infinity", "10"),
                                 ("1", "2", "5"), ("1", "2", "ten")])
def test_figures_refuse_what_is_no_number_or_rate(row):
    with pytest.raises(ValueError):
        batch_invoices.figures(lines(row))


ITEM_ROW = re.compile(r"\S.*?\s([\d,]+(?:\.\d+)?)\s+([\d,]+(?:\.\d+)?)\s+([\d,]+)$")
TAX_ROW = re.compile(r"(\d+)%対象\s+([\d,]+)\s+消費税\s+([\d,]+)")
TOTAL_ROW = re.compile(r"合計\s+([\d,]+)")


def shown(number):
    return Decimal(number.replace(",", ""))


def check_arithmetic(invoice, text, line_count):
    """What a reader sees adds up: each amount is its quantity × price shown,
    fractions cut off; each rate's tax its subtotal × rate; the total all."""
    items = [m.groups() for m in map(ITEM_ROW.search, text.splitlines()) if m]
    assert len(items) == line_count, f"{invoice}: {len(items)} item rows"
    for quantity, price, amount in items:
        assert (shown(quantity) * shown(price)).to_integral_value(rounding="ROUND_DOWN") == shown(amount), \
            f"{invoice}: {quantity} × {price} shown as {amount}"
    taxes = TAX_ROW.findall(text)
    assert taxes, invoice
    for rate, subtotal, tax in taxes:
        assert (shown(subtotal) * int(rate) / 100).to_integral_value(rounding="ROUND_DOWN") == shown(tax), invoice
    assert sum(shown(amount) for *_, amount in items) == sum(shown(s) for _, s, _ in taxes), invoice
    assert shown(TOTAL_ROW.search(text).group(1)) == sum(shown(s) + shown(t) for _, s, t in taxes), invoice


def test_two_hundred_invoices_on_a_local_cluster(tmp_path):
    pytest.importorskip("distributed")
    pytest.importorskip("kt482")
    qpdf, pdftotext = tool("qpdf"), tool("pdftotext")
    lines = tmp_path / "lines.csv"
    batch_invoices.make_sample(lines, 200)
    invoices = dict(batch_invoices.read_invoices(lines))
    assert len(invoices) == 200

    results = batch_invoices.run(lines, tmp_path / "out", workers=2, threads=2)

    assert [r[3] for r in results if r[3]] == []
    assert sorted(r[0] for r in results) == sorted(invoices)
    for invoice, path, pages, _ in results:
        item_lines = invoices[invoice]
        expected_pages = -(-len(item_lines) // batch_invoices.ROWS_PER_PAGE)
        assert pages == expected_pages
        check = subprocess.run([qpdf, "--check", path], capture_output=True, text=True)
        assert check.returncode == 0, f"{invoice}: {check.stdout}{check.stderr}"
        text = subprocess.run([pdftotext, "-layout", path, "-"], capture_output=True, text=True, check=True).stdout
        # One form feed ends each page.
        assert text.count("\f") == expected_pages, invoice
        for expected in (invoice, item_lines[0]["customer"]):
            assert expected in text, f"{invoice}: {expected!r} not found"
        check_arithmetic(invoice, text, len(item_lines))


def test_another_interpreter_is_told_what_it_lacks_in_one_line(tmp_path):
    # -S leaves Debian's dist-packages out, as an interpreter of its own would.
    sample = tmp_path / "lines.csv"
    batch_invoices.make_sample(sample, 1)
    run = subprocess.run([sys.executable, "-S", batch_invoices.__file__, str(sample), str(tmp_path / "out")],
                         capture_output=True, text=True, timeout=120)
    assert run.returncode == 1
    assert run.stderr.count("\n") == 1, run.stderr
    assert "'dask'" in run.stderr and "/usr/bin/python3" in run.stderr, run.stderr
