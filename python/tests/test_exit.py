"""The interpreter exits cleanly while a daemon thread is inside the module."""
import os
import subprocess
import sys

import pytest

# A daemon thread keeps calling into the module (recording, or failing into a
# Python message handler) while the main thread ends the interpreter.
RECORDING = """
import tempfile, threading, time, kt482
def work():
    p = kt482.KT482_Print()
    p.P_Temp_Dir = tempfile.mkdtemp()
    while True:
        p.E_StartEdit(); p.E_String(1, 1, "x" * 200); p.E_EndEdit()
threading.Thread(target=work, daemon=True).start()
time.sleep(0.05)
"""
HANDLER = """
import threading, time, kt482
def work():
    kt482.set_message_handler(lambda title, text, buttons: sum(range(1000)) and 1)
    p = kt482.KT482_Print(raise_errors=False)
    while True:
        p.E_String(1, 1, "no page open")
threading.Thread(target=work, daemon=True).start()
time.sleep(0.05)
"""


@pytest.mark.parametrize("name,script", [("recording", RECORDING), ("message handler", HANDLER)])
def test_exit_with_a_daemon_thread_inside_the_module_is_clean_every_time(name, script, tmp_path):
    environment = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    failures = []
    for run in range(20):
        done = subprocess.run([sys.executable, "-c", script], env=environment, capture_output=True, text=True,
                              timeout=60, cwd=tmp_path)
        if done.returncode != 0:
            failures.append(f"run {run}: exit {done.returncode}: {done.stderr.strip()[-200:]}")
    assert failures == [], name
