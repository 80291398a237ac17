import os
import pathlib
import shutil
import subprocess
import sys
import threading

import pytest

import kt482


def pages(folder):
    return sorted(p.name for p in folder.iterdir() if p.name.startswith("KT482_PRT_PAGE_"))


def record_invoice(p):
    p.E_StartEdit()
    p.E_Pitch(15, 6)
    p.E_Font("ＭＳ 明朝", 10.5, False, 0)
    p.E_String(2, 3, "請求書")
    p.E_Keisen(4, 2, 8, 60)
    p.E_Line_Hor(4, 2, "0;2;4", "0-58")
    p.E_ChangePage()
    p.E_Numeric(5, 40, 1234567.5, "#,##0.00")
    p.E_String_Right(6, 60, "合計")
    p.E_EndEdit()


def test_every_member_of_the_table_is_there_under_its_own_name():
    table = kt482.members()
    assert len(table) == 47
    for name, dispid, kind, _params in table:
        attribute = getattr(kt482.KT482_Print, name)
        if kind == "method":
            assert callable(attribute), name
        else:
            assert isinstance(attribute, property), name
            if kind in ("let", "set"):
                assert attribute.fset is not None, name


def test_recording_writes_a_file_per_page_and_the_properties_follow(job, tmp_path):
    record_invoice(job)
    assert (job.P_Min_Page, job.P_Max_Page) == (1, 2)
    assert pages(tmp_path) == ["KT482_PRT_PAGE_0001.tmp", "KT482_PRT_PAGE_0002.tmp"]
    assert "請求書".encode() in (tmp_path / "KT482_PRT_PAGE_0001.tmp").read_bytes()
    assert job.LastFailure().number == 0


@pytest.mark.parametrize(
    "name, value, expected",
    [
        ("P_Bairitu", 2, 2.0),
        ("P_Bairitu", 7, 1.0),  # outside 0.2 to 5: ignored
        ("P_Bairitu", 1.5, 1.5),
        ("P_PRT_Copy", 3, 3),
        ("P_PRT_Copy", 100, 1),
        ("P_TopMargin", 12.5, 12.5),
        ("P_LeftMargin", -1, 10.0),
        ("P_Temp_Dir", "spool/job1", "spool/job1"),
    ],
)
def test_writable_properties_take_valid_values_and_ignore_others(strict, name, value, expected):
    setattr(strict, name, value)
    assert getattr(strict, name) == expected


def test_read_only_properties_refuse_assignment(job):
    with pytest.raises(AttributeError):
        job.P_Max_Page = 3


@pytest.mark.parametrize(
    "value, writes",
    [(None, False), (True, True), (12, True), (2**40, True), (1.5, True), ("x", True), ("", True)],
    ids=["None", "bool", "int", "wide-int", "float", "str", "empty-str"],
)
def test_values_convert_from_python(strict, tmp_path, value, writes):
    strict.E_StartEdit()
    strict.E_String(1, 1, value)
    strict.E_EndEdit()
    assert strict.P_CheckData  # a null value writes nothing but the page counts
    assert ((tmp_path / "KT482_PRT_PAGE_0001.tmp").stat().st_size > 0) == writes


def test_keyword_arguments_and_defaults(strict):
    strict.E_StartEdit(P_StartP=1, P_EndP=2)
    strict.E_String(P_Data_Srow=1, P_Data_Scol=2, P_Data_str="x")
    strict.E_ChangePage()
    strict.E_String(1, 1, "y")
    strict.E_ChangePage()  # page 3 is past P_EndP: the session is over
    strict.E_EndEdit()
    assert (strict.P_Min_Page, strict.P_Max_Page) == (1, 2)
    assert strict.P_CheckEnd


def test_a_value_python_cannot_pass_is_a_type_error(strict):
    strict.E_StartEdit()
    with pytest.raises(TypeError):
        strict.E_String(1, 1, [1, 2])


def test_failures_report_the_standard_message_and_return(job, tmp_path, capfd):
    job.P_Temp_Dir = str(tmp_path / "missing")
    assert job.E_StartEdit() is None
    assert "KT482_Print : E_StartEdit: Path not found" in capfd.readouterr().err
    last = job.LastFailure()
    assert (last.number, last.description, last.procedure) == (76, "Path not found", "E_StartEdit")
    job.ClearLastFailure()
    assert not job.LastFailure()


def test_raise_errors_turns_failures_into_exceptions(strict, capfd):
    strict.P_Temp_Dir += "/missing"
    with pytest.raises(kt482.Error) as raised:
        strict.E_StartEdit()
    error = raised.value
    assert (error.number, error.description, error.procedure) == (76, "Path not found", "E_StartEdit")
    assert str(error) == "KT482_Print : E_StartEdit: Path not found (error 76)"
    assert "KT482_Print" not in capfd.readouterr().err  # no message besides the exception


def test_preview_without_a_display_reports_and_returns(job, strict, capfd):
    record_invoice(job)
    job.V_Size_Set(9, 1)
    job.V_Preview()
    assert "KT482_Print : V_Preview: The preview needs a display" in capfd.readouterr().err
    assert job.LastFailure().procedure == "V_Preview"

    strict.V_Size_Set(9, 1)
    with pytest.raises(kt482.Error) as raised:
        strict.V_Preview()
    assert (raised.value.number, raised.value.procedure) == (5, "V_Preview")


def test_message_handler_takes_the_messages_and_answers(job, tmp_path, capfd):
    seen = []
    kt482.set_message_handler(lambda title, text, buttons: seen.append((title, text, buttons)) or 2)
    try:
        job.P_Temp_Dir = str(tmp_path / "missing")
        job.E_StartEdit()
    finally:
        kt482.set_message_handler(None)
    assert seen == [("KT482_Print : E_StartEdit", "Path not found", 48)]
    assert job.Answer() == 2
    assert capfd.readouterr().err == ""
    job.E_StartEdit()
    assert "Path not found" in capfd.readouterr().err


def record_for_the_pdf_printer(job, tmp_path, monkeypatch):
    """Records the invoice; returns the PDF printer's folder."""
    out = tmp_path / "pdf"
    out.mkdir()
    monkeypatch.setenv("KT482_PDF_DIR", str(out))
    spool = tmp_path / "spool"
    spool.mkdir()
    job.P_Temp_Dir = str(spool)
    record_invoice(job)
    return out


def test_print_a_pdf_on_the_pdf_printer(strict, tmp_path, monkeypatch):
    out = record_for_the_pdf_printer(strict, tmp_path, monkeypatch)
    strict.W_Device("KT482 PDF")
    strict.W_StartDoc(9, 1)
    assert isinstance(strict.P_PRINT, kt482.DrawSurface)
    strict.W_Print()
    strict.W_EndDoc()
    assert strict.P_PRINT is None
    written = list(out.glob("*.pdf"))
    assert len(written) == 1
    assert written[0].read_bytes().startswith(b"%PDF-")
    if shutil.which("pdfinfo"):
        info = subprocess.run(["pdfinfo", str(written[0])], capture_output=True, text=True, check=True).stdout
        assert any(line.split() == ["Pages:", "2"] for line in info.splitlines())


def test_the_host_names_the_next_pdf_and_reads_back_where_each_went(strict, tmp_path, monkeypatch):
    out = record_for_the_pdf_printer(strict, tmp_path, monkeypatch)
    named = tmp_path / "請求書 0001.pdf"
    strict.SetNextPdfPath(str(named))
    strict.W_Device("KT482 PDF")
    for document in range(2):
        strict.W_StartDoc(9, 1)
        strict.W_Print()
        strict.W_EndDoc()
        if document == 0:
            assert strict.LastPdfPath() == str(named)
    # The name served one document; the next went to the printer's folder.
    assert named.read_bytes().startswith(b"%PDF-")
    written = list(out.glob("*.pdf"))
    assert [str(p) for p in written] == [strict.LastPdfPath()]


@pytest.mark.skipif(not shutil.which("pdfinfo"), reason="pdfinfo is not installed")
def test_document_info_and_archiving_reach_the_pdf(strict, tmp_path, monkeypatch):
    record_for_the_pdf_printer(strict, tmp_path, monkeypatch)
    named = tmp_path / "archived.pdf"
    strict.SetNextPdfPath(str(named))
    strict.SetDocumentInfo("請求書 0001", author="経理部", keywords="請求書, 2026")
    strict.SetPdfArchive(True)
    strict.W_Device("KT482 PDF")
    strict.W_StartDoc(9, 1)
    strict.W_Print()
    strict.W_EndDoc()
    info = subprocess.run(["pdfinfo", str(named)], capture_output=True, text=True, check=True).stdout
    fields = dict(line.split(":", 1) for line in info.splitlines() if ":" in line)
    assert fields["Title"].strip() == "請求書 0001"
    assert fields["Author"].strip() == "経理部"
    assert fields["Keywords"].strip() == "請求書, 2026"
    assert "Subject" not in fields
    assert fields["Metadata Stream"].strip() == "yes"


def test_threads_record_their_own_jobs_at_the_same_time(tmp_path):
    # Each thread has its own job state, and members run without the
    # interpreter lock.
    results = {}

    def record(n):
        folder = tmp_path / f"job{n}"
        folder.mkdir()
        p = kt482.KT482_Print(raise_errors=True)
        p.P_Temp_Dir = str(folder)
        p.E_StartEdit()
        for page in range(1, 4 + n):
            p.E_String(1, 1, f"job {n} page {page}")
            p.E_ChangePage()
        p.E_EndEdit()
        results[n] = (p.P_Min_Page, p.P_Max_Page, len(pages(folder)))

    workers = [threading.Thread(target=record, args=(n,)) for n in range(4)]
    for w in workers:
        w.start()
    for w in workers:
        w.join(timeout=60)
    assert results == {n: (1, 3 + n, 3 + n) for n in range(4)}


def test_pictures_fills_and_colour_record_with_keyword_names(strict, tmp_path):
    seal = pathlib.Path(__file__).resolve().parents[2] / "examples" / "assets" / "seal.png"
    strict.E_StartEdit()
    strict.E_Image(P_Start_Srow=1, P_Start_Scol=2, P_End_Srow=5, P_End_Scol=12, P_File=str(seal), P_Fit=1)
    strict.E_Fill(2, 2, 3, 40, P_Color=0xD9D9D9)
    strict.E_Color(P_Color=0xC81E1E)
    with pytest.raises(kt482.Error) as raised:
        strict.E_Image(1, 1, 2, 2, str(tmp_path / "missing.png"))
    assert raised.value.number == 53
    with pytest.raises(kt482.Error) as raised:
        strict.E_Image(1, 1, 2, 2, __file__)
    assert raised.value.number == 481
    strict.E_EndEdit()
    page = (tmp_path / "KT482_PRT_PAGE_0001.tmp").read_bytes()
    assert b"IMG " in page and ("1" + str(seal)).encode() in page
    assert b"D9D9D9" in page and b"C81E1E" in page


EXAMPLE = pathlib.Path(__file__).resolve().parents[2] / "examples" / "python" / "invoice.py"


@pytest.mark.parametrize(
    "arguments, status, said",
    [([], 0, " yen printed on KT482 PDF, pages 1 to 1"), (["--printer", "no such printer"], 1, "invoice: ")],
    ids=["prints", "reports-a-failure"],
)
def test_the_invoice_example(tmp_path, arguments, status, said):
    env = dict(os.environ, KT482_PDF_DIR=str(tmp_path), PYTHONPATH=os.path.dirname(kt482.__file__))
    run = subprocess.run([sys.executable, str(EXAMPLE), *arguments], env=env, capture_output=True, text=True,
                         timeout=120)
    assert run.returncode == status, run.stderr
    assert said in (run.stdout if status == 0 else run.stderr)
    assert len(list(tmp_path.glob("*.pdf"))) == 1 - status


@pytest.mark.parametrize("args, number", [
    ((2, 3, 6, 40, "JAN13", "490123456789", "text=1"), 0),
    ((2, 3, 6, 40, "JAN13", "49012345678X"), 5),
    ((2, 3, 6, 40, "QR", "slip", "size=2"), 5),
])
def test_barcodes_record_or_raise_with_the_reason(strict, args, number):
    strict.E_StartEdit()
    if number == 0:
        strict.E_Barcode(*args)
        return
    with pytest.raises(kt482.Error) as raised:
        strict.E_Barcode(*args)
    assert raised.value.number == number and raised.value.procedure == "E_Barcode"


@pytest.mark.parametrize("call, number", [
    (lambda p: p.E_Numeric_Right(P_Data_Srow=2, P_End_Scol=40, P_Data_Num=-1200, P_Data_Format="#,##0;△#,##0"), 0),
    (lambda p: p.E_Numeric_Right(2, 40, 5, "0;0;0;0"), 5),
    (lambda p: p.E_String_Fit(P_Data_Srow=2, P_Data_Scol=3, P_Data_str="品名", P_Out_Length=10, P_Mode=1), 0),
    (lambda p: p.E_String_Fit(2, 3, "品名", 0, 0), 5),
    (lambda p: p.E_String_Box(P_Start_Srow=2, P_Start_Scol=3, P_End_Srow=4, P_End_Scol=30, P_Data_str="宛先",
                              P_Align=1), 0),
    (lambda p: p.E_String_Box(2, 3, 2, 30, "宛先", 0), 5),
])
def test_fitted_texts_take_their_keywords_or_raise(strict, call, number):
    strict.E_StartEdit()
    if number == 0:
        call(strict)
        return
    with pytest.raises(kt482.Error) as raised:
        call(strict)
    assert raised.value.number == number
@pytest.mark.parametrize(
    "call, number",
    [
        (lambda p: p.SetPrintOffset(20.5, 0), 380),
        (lambda p: p.SetPrintOffset(float("nan"), 0), 380),
        (lambda p: p.V_Background(__file__), 481),
        (lambda p: setattr(p, "P_PRT_Source", "manual"), 438),
        (lambda p: p.WaitForJob(1, float("nan")), 5),
    ],
    ids=["offset-beyond", "offset-nan", "background-not-a-picture", "source-on-the-pdf-printer", "wait-nan"],
)
def test_stationery_members_refuse_bad_values(strict, monkeypatch, tmp_path, call, number):
    monkeypatch.setenv("CUPS_SERVER", str(tmp_path / "no-server.sock"))
    strict.W_Device("KT482 PDF")
    with pytest.raises(kt482.Error) as raised:
        call(strict)
    assert raised.value.number == number
    assert strict.P_PRT_Source == ""
    assert strict.LastJobId() == 0


def test_job_state_without_a_print_server_is_a_failure(job, monkeypatch, tmp_path):
    monkeypatch.setenv("CUPS_SERVER", str(tmp_path / "no-server.sock"))
    status = job.JobState(7)
    assert isinstance(status, kt482.JobStatus)
    assert status.state == "" and status.reasons == []
    assert job.LastFailure().number == 482
