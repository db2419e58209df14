"""A station script in miniature, run against the unpacked python3-zorvel
package: renders a simulated module, calibrates and verifies it and lists the
record it wrote. Exits non-zero when the package is not the unpacked one or a
step does not give what the library promises.
    PYTHONPATH=ROOT/usr/lib/python3/dist-packages python3 consumer.py ROOT"""

import os
import sys
import tempfile

import zorvel

root = os.path.realpath(sys.argv[1])
for name, path in (("package", zorvel.__file__), ("compiled module", zorvel._native.__file__)):
    if not os.path.realpath(path).startswith(root + os.sep):
        sys.exit(f"the {name} came from {path}, not from {root}")

with tempfile.TemporaryDirectory() as folder:
    zorvel.simulate("good", folder)
    calibration = zorvel.run(os.path.join(folder, "calibration.cfg"))
    verification = zorvel.run(os.path.join(folder, "verification.cfg"))
    record = zorvel.read_record(os.path.join(folder, "calibration.otp"))
    if not (calibration.ok and verification.ok and record["valid"]):
        sys.exit(f"good module: calibration {calibration.status}, verification {verification.status}, "
                 f"record valid {record['valid']}")
    print(f"zorvel {zorvel.__version__} from {os.path.dirname(zorvel.__file__)}: good module "
          f"calibrated ({calibration.status}), verified ({verification.status}), "
          f"{record['kind']} record of {record['size']} bytes valid")
