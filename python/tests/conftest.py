# The module runs headless here: message boxes become lines on standard
# error and nothing waits for a user. PYTHONPATH names the folder of the
# built or installed module.
import os

for variable in ("DISPLAY", "WAYLAND_DISPLAY"):
    os.environ.pop(variable, None)
os.environ["QT_QPA_PLATFORM"] = "offscreen"
