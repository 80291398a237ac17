"""The month-end example run on a two-worker LocalCluster, every PDF checked."""
import os
import shutil
import subprocess
import sys
from decimal import Decimal

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))
import batch_invoices  # noqa: E402

pytest.importorskip("distributed")
pytest.importorskip("kt482")


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


def test_two_hundred_invoices_on_a_local_cluster(tmp_path):
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
        total = sum(Decimal(line["quantity"]) * Decimal(line["unit_price"]) for line in item_lines)
        for expected in (invoice, item_lines[0]["customer"], batch_invoices._money(total)):
            assert expected in text, f"{invoice}: {expected!r} not found"
