"""One module's run in a child process of its own, so that a run which crashes
or hangs costs that module and nothing else: the batch records it as crashed
or timed out and goes on. Both the local pool and the Dask workers call
run_isolated(); the child is `python -m zorvel.isolated`.

The child runs in the configuration's folder, so relative paths inside the
configuration and any debug files resolve there.
"""

import json
import os
import signal
import socket
import subprocess
import sys
import threading
import time
from datetime import datetime, timezone


def _search_path():
    """PYTHONPATH for the child: wherever this process found zorvel and its
    compiled module, ahead of what the environment already says."""
    import zorvel
    folders = [os.path.dirname(os.path.dirname(os.path.abspath(zorvel.__file__))),
               os.path.dirname(os.path.abspath(zorvel._native.__file__))]
    folders += [p for p in os.environ.get("PYTHONPATH", "").split(os.pathsep) if p]
    return os.pathsep.join(dict.fromkeys(folders))


def child_command():
    return [sys.executable, "-m", "zorvel.isolated"]


def _now():
    return datetime.now(timezone.utc).isoformat(timespec="seconds")


# Children under way in this process, for kill_all().
_children = set()
_children_lock = threading.Lock()


def kill_all():
    """Kills every child under way (a batch abandoning its runs)."""
    with _children_lock:
        for child in _children:
            try:
                child.kill()
            except OSError:
                pass


def failed_record(entry, mode, message, outcome="crashed"):
    record = dict(entry)
    record.update(outcome=outcome, message=message, result_json=None, text="", mode=int(mode),
                  host=socket.gethostname(), elapsed_s=0.0, processed_at=_now())
    return record


def run_isolated(entry, timeout=None, mode=0, json_dir=None, command=None):
    """Runs entry (a dict with module_id, config_path, station, timestamp) in a
    child process and returns the entry completed with outcome ("ran",
    "crashed" or "timeout"), message, result_json, text, elapsed_s, host and
    processed_at. Never raises for anything the child does."""
    record = dict(entry)
    record.update(outcome="crashed", message="", result_json=None, text="", mode=int(mode),
                  host=socket.gethostname())
    request = {"config_path": entry["config_path"], "mode": int(mode)}
    if json_dir:
        request["json_path"] = os.path.join(json_dir, _file_name(entry["module_id"]) + ".json")
    env = dict(os.environ, PYTHONPATH=_search_path(), PYTHONDONTWRITEBYTECODE="1")
    started = time.monotonic()
    try:
        # A session of its own: Ctrl-C in the terminal reaches the batch, which
        # decides what happens to the runs under way.
        child = subprocess.Popen(command or child_command(), stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE, cwd=os.path.dirname(entry["config_path"]) or None,
                                 env=env, start_new_session=True)
    except OSError as e:
        return failed_record(entry, mode, f"could not start the run: {e}")
    with _children_lock:
        _children.add(child)
    try:
        out, err = child.communicate(json.dumps(request).encode(), timeout=timeout)
    except subprocess.TimeoutExpired:
        child.kill()
        child.communicate()
        record.update(outcome="timeout", message=f"no result after {timeout:g} s; the run was killed")
    except BaseException:
        child.kill()
        child.communicate()
        raise
    else:
        reply = None
        if child.returncode == 0:
            try:
                reply = json.loads(out)
            except ValueError:
                reply = None
        if reply is not None:
            record.update(outcome="ran", result_json=reply["result_json"], text=reply["text"])
        else:
            record["message"] = _crash_message(child.returncode, err)
    finally:
        with _children_lock:
            _children.discard(child)
    record.update(elapsed_s=round(time.monotonic() - started, 6), processed_at=_now())
    return record


def _crash_message(returncode, err):
    if returncode < 0:
        try:
            name = signal.Signals(-returncode).name
        except ValueError:
            name = f"signal {-returncode}"
        why = f"the run died of {name}"
    else:
        why = f"the run exited with status {returncode} without a result"
    last = err.decode(errors="replace").strip().splitlines()[-1:] if err else []
    return why + (f": {last[0]}" if last else "")


def _file_name(module_id):
    return "".join(c if c.isalnum() or c in "-_." else "_" for c in str(module_id)) or "_"


def _child():
    import zorvel
    request = json.loads(sys.stdin.buffer.read())
    result = zorvel.run(request["config_path"], request["mode"], json_path=request.get("json_path"), check=False)
    reply = json.dumps({"result_json": result.json, "text": result.text})
    sys.stdout.write(reply)
    sys.stdout.flush()


if __name__ == "__main__":
    _child()
