# The module runs headless here: message boxes become lines on standard
# error and nothing waits for a user. PYTHONPATH names the folder of the
# built or installed module.
import os

for variable in ("DISPLAY", "WAYLAND_DISPLAY"):
    os.environ.pop(variable, None)
os.environ["QT_QPA_PLATFORM"] = "offscreen"

import pytest  # noqa: E402

import kt482  # noqa: E402


@pytest.fixture
def job(tmp_path):
    """Failures show their message and return, as in C++."""
    p = kt482.KT482_Print(raise_errors=False)
    p.P_Temp_Dir = str(tmp_path)
    return p


@pytest.fixture
def strict(tmp_path):
    """Failures raise kt482.Error: the default."""
    p = kt482.KT482_Print()
    assert p.raise_errors
    p.P_Temp_Dir = str(tmp_path)
    return p
