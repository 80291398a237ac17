# kt482.Form from Python: a template filled from dicts and lists with
# keyword arguments, exact decimals from floats and decimal.Decimal, CSV
# rows, and problems raised as kt482.FormError with their JSON paths.
import decimal
import pathlib
import shutil
import subprocess

import pytest

import kt482

FORMS = pathlib.Path(__file__).resolve().parents[2] / "examples" / "forms"

TEMPLATE = """{
  "every_page": [{"type": "text", "row": 0, "col": 0, "text": "{title} {page}/{pages}"}],
  "list": {"data": "items", "first_row": 2, "rows_per_page": 4, "sums": ["amount"],
           "heading": [{"type": "text", "row": 1, "col": 0, "text": "ITEM"}],
           "row": [{"type": "text", "row": 0, "col": 0, "field": "name"},
                   {"type": "number", "row": 0, "col": 40, "field": "amount", "picture": "#,##0.00", "align": "right"}],
           "carried": [{"type": "text", "row": 0, "col": 0, "text": "CARRIED {sum.amount}"}],
           "brought": [{"type": "text", "row": 0, "col": 0, "text": "BROUGHT {sum.amount}"}]},
  "calc": {"tax": {"multiply": "sum.amount", "by": "0.08", "round": "half_up", "places": 0}},
  "summary": {"rows": 1, "items": [{"type": "text", "row": 0, "col": 0, "text": "TOTAL {sum.amount} TAX {calc.tax}"}]}
}"""


def page_texts(path):
    if not shutil.which("pdftotext"):
        pytest.skip("pdftotext is not installed")
    text = subprocess.run(["pdftotext", "-layout", str(path), "-"], check=True, capture_output=True,
                          text=True).stdout
    return text.split("\f")[:-1]


def test_dicts_fill_pages_with_exact_sums(tmp_path):
    form = kt482.Form(text=TEMPLATE)
    # 0.1 + 0.2 is 0.3 here, not 0.30000000000000004.
    items = [{"name": f"item {i}", "amount": 0.1 if i % 2 else decimal.Decimal("0.20")} for i in range(7)]
    assert form.write_pdf(tmp_path / "out.pdf", data={"title": "T", "items": items}) == 3
    pages = page_texts(tmp_path / "out.pdf")
    assert len(pages) == 3
    assert "CARRIED 0.5" in pages[0] and "BROUGHT 0.5" in pages[1]
    assert "CARRIED 0.8" in pages[1] and "BROUGHT 0.8" in pages[2]
    assert "TOTAL 1.1 TAX 0" in pages[2]
    assert all(f"T {n}/3" in page and "ITEM" in page for n, page in enumerate(pages, 1))


def test_fill_records_on_a_job_and_reports_the_page_count(tmp_path):
    job = kt482.KT482_Print()
    job.P_Temp_Dir = str(tmp_path)
    form = kt482.Form(FORMS / "qualified-invoice.json")
    assert form.fill(job, data=FORMS / "qualified-invoice-data.json") == 3
    assert (job.P_Min_Page, job.P_Max_Page) == (1, 3)
    assert (form.paper_size, form.orientation) == (9, 1)


def test_csv_rows_replace_the_list(tmp_path):
    csv = tmp_path / "items.csv"
    csv.write_text("name,amount\nbolt,12.5\nnut,\"7\"\n", encoding="utf-8")
    form = kt482.Form(text=TEMPLATE)
    with pytest.raises(kt482.FormError, match=r"items\.csv:3:5: items\[1\]\.amount: expected a number, got \"7\""):
        form.write_pdf(tmp_path / "out.pdf", data={"title": "T"}, rows={"items": csv})
    csv.write_text("name,amount\nbolt,12.5\nnut,7\n", encoding="utf-8")
    assert form.write_pdf(tmp_path / "out.pdf", data={"title": "T"}, rows={"items": csv}) == 1
    assert "TOTAL 19.5 TAX 2" in page_texts(tmp_path / "out.pdf")[0]


@pytest.mark.parametrize(
    "data, message",
    [
        ({"title": "T", "items": [{"name": "a", "amount": "12,000"}]},
         r'data:1:\d+: items\[0\]\.amount: expected a number, got "12,000"'),
        ({"title": "T", "items": [{"name": "a"}]}, r'items\[0\]: no field "amount"'),
        ({"items": []}, r'\(top\): no field "title"'),
    ],
)
def test_data_problems_name_their_path(tmp_path, data, message):
    with pytest.raises(kt482.FormError, match=message):
        kt482.Form(text=TEMPLATE).write_pdf(tmp_path / "out.pdf", data=data)
    assert not (tmp_path / "out.pdf").exists()


def test_python_values_that_are_not_data_are_type_errors(tmp_path):
    with pytest.raises(TypeError, match=r"items\[0\]\.amount: cannot be form data"):
        kt482.Form(text=TEMPLATE).write_pdf(tmp_path / "o.pdf", data={"title": "T", "items": [{"amount": object()}]})
    with pytest.raises(ValueError, match="finite"):
        kt482.Form(text=TEMPLATE).write_pdf(tmp_path / "o.pdf", data={"title": "T", "items": [{"amount": float("nan")}]})


def test_template_problems_raise_on_load():
    with pytest.raises(kt482.FormError, match=r'template:1:11: pages: unknown key "pages"'):
        kt482.Form(text='{"pages": {}}')
    with pytest.raises(kt482.FormError, match="cannot read the template"):
        kt482.Form("/no/such/template.json")
