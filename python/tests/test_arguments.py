# Arguments as Python sees them: typed parameters, what each type takes, and
# what a value that does not fit does. A value that fails records nothing.
import decimal
import os
import subprocess
import sys
import textwrap

import pytest

import kt482

TOO_BIG = 10**400  # beyond any float


class IndexFails:
    """A number type whose __index__ raises: its own exception reaches the caller."""

    def __index__(self):
        raise LookupError("no index today")


def record(p, call):
    """Runs call inside a session; True when the page kept a record."""
    p.E_StartEdit()
    try:
        call(p)
    finally:
        p.E_EndEdit()
    return p.P_CheckData


# (call, what it gives: a Python exception type, or the library's error number)
REFUSED = [
    (lambda p: p.E_String(TOO_BIG, 3, "x"), OverflowError),
    (lambda p: p.E_String(1, -TOO_BIG, "x"), OverflowError),
    (lambda p: p.E_String(1, 1, TOO_BIG), OverflowError),
    (lambda p: p.E_DrawStyle(0, TOO_BIG), OverflowError),
    (lambda p: p.E_DrawStyle(1, 40000), 6),
    (lambda p: p.E_DrawStyle(-32769, 1), 6),
    (lambda p: p.E_Pitch(1e39, 6), 6),
    (lambda p: p.E_String(2**130, 1, "x"), 6),  # beyond 64 bits and a 32-bit float, within a double
    (lambda p: p.E_String("two", 3, "x"), TypeError),
    (lambda p: p.E_Font("ＭＳ 明朝", None, False, 0), TypeError),
    (lambda p: p.E_DrawStyle(1.5, 1), TypeError),
    (lambda p: p.E_Line_Hor(1, 1, 0, "0-1"), TypeError),
    (lambda p: p.E_String(1, 1, [1]), TypeError),
    (lambda p: p.E_String(1, 1, b"x"), TypeError),
    (lambda p: p.E_DrawStyle(IndexFails(), 1), LookupError),
    (lambda p: p.E_String(IndexFails(), 1, "x"), LookupError),
]
REFUSED_IDS = [
    "row-beyond-float", "negative-column", "value-beyond-float", "int16-beyond-float", "int16-high",
    "int16-low", "float32-range", "wide-int-row", "str-for-float", "None-for-float", "float-for-int",
    "int-for-str", "list-value", "bytes-value", "index-raises-int16", "index-raises-float",
]


@pytest.mark.parametrize("raise_errors", [True, False], ids=["raise", "message"])
@pytest.mark.parametrize("call, outcome", REFUSED, ids=REFUSED_IDS)
def test_a_value_that_does_not_fit_records_nothing(tmp_path, capfd, raise_errors, call, outcome):
    p = kt482.KT482_Print(raise_errors=raise_errors)
    p.P_Temp_Dir = str(tmp_path)
    if isinstance(outcome, int) and not raise_errors:
        assert not record(p, call)
        assert (p.LastFailure().number, p.LastFailure().description) == (outcome, "Overflow")
        assert "Overflow" in capfd.readouterr().err
        return
    expected = kt482.Error if isinstance(outcome, int) else outcome
    with pytest.raises(expected) as raised:
        record(p, call)
    if isinstance(outcome, int):
        assert raised.value.number == outcome
    else:
        assert p.LastFailure().number == 0  # raised by Python, before the member ran
    assert not p.P_CheckData
    assert list(tmp_path.iterdir()) == []  # the page held nothing and was dropped


@pytest.mark.parametrize(
    "call",
    [
        lambda p: p.E_Pitch(15, 6),  # int for float
        lambda p: p.E_Pitch(decimal.Decimal("15.5"), 6.0),  # a number type with __float__
        lambda p: p.E_DrawStyle(True, 1),  # bool is an int
        lambda p: p.E_Font("ＭＳ 明朝", 10.5, 1, 0),  # an int taken as its truth
        lambda p: p.E_String(2**40, 1, 2**63),  # wide ints within a float
        lambda p: p.E_Numeric(1, 1, decimal.Decimal("1234.5"), "#,##0.00"),
    ],
    ids=["int-for-float", "decimal", "bool-for-int", "int-for-bool", "wide-ints", "decimal-value"],
)
def test_python_number_types_convert(strict, call):
    record(strict, call)
    assert strict.LastFailure().number == 0


def test_a_bool_for_a_number_is_its_int(strict, tmp_path):
    strict.E_StartEdit()
    strict.E_DrawStyle(True, False)
    strict.E_String(1, 1, True)  # a value keeps its type
    strict.E_ChangePage()  # the page is written out
    page = (tmp_path / "KT482_PRT_PAGE_0001.tmp").read_bytes()
    assert page.split(b"DR  ", 1)[1][12:14] == b"10"  # six field lengths, then style 1 and width 0
    assert b"True" in page


# The exit of an interpreter whose thread left its message handler installed:
# the thread's handler is destroyed after the thread's Python state, while
# the main thread finalises.
EXIT_SCRIPT = textwrap.dedent(
    """
    import threading, kt482
    def work():
        kt482.set_message_handler(lambda title, text, buttons: 1)
    workers = [threading.Thread(target=work) for _ in range(2)]
    for w in workers: w.start()
    for w in workers: w.join()
    kt482.set_message_handler(print)
    """
)


def test_handlers_left_installed_do_not_abort_the_exit():
    env = dict(os.environ, PYTHONPATH=os.path.dirname(kt482.__file__))
    codes = [
        subprocess.run([sys.executable, "-c", EXIT_SCRIPT], env=env, capture_output=True, timeout=60).returncode
        for _ in range(20)
    ]
    assert codes == [0] * 20
