# SPDX-License-Identifier: Apache-2.0
"""The package's surface: typed (it and the examples pass mypy --strict, which catches misuse),
every operation documented and awaitable in qel.aio, every module's names listed."""
import os
import subprocess
import sys
from pathlib import Path

import qel
import qel.aio
import qel.pytest_plugin
import qel.sim

EXAMPLES = Path(__file__).parents[2] / "examples" / "python"


def mypy(tmp_path, *targets):
    environment = dict(os.environ, MYPYPATH=str(Path(qel.__file__).parents[1]))
    return subprocess.run([sys.executable, "-m", "mypy", "--strict", "--no-error-summary",
                           "--cache-dir", str(tmp_path / "cache"), *targets],
                          env=environment, capture_output=True, text=True, cwd=tmp_path)


def test_mypy_strict_passes_the_package_and_catches_misuse(tmp_path):
    package = Path(qel.__file__).parent
    run = mypy(tmp_path, str(package), str(EXAMPLES / "sp_watch.py"), str(EXAMPLES / "fleet.py"))
    assert (run.returncode, run.stdout) == (0, ""), run.stderr
    (tmp_path / "misuse.py").write_text(
        "import qel\n"
        "qel.sensors.get_value(5)\n"
        "state: str = qel.Client().platform.get_state(timeout='1')\n")
    assert mypy(tmp_path, "misuse.py").stdout.splitlines() == [
        'misuse.py:2: error: Argument 1 has incompatible type "int"; expected "str"  [arg-type]',
        'misuse.py:3: error: Incompatible types in assignment (expression has type '
        '"PlatformState", variable has type "str")  [assignment]',
        'misuse.py:3: error: Argument "timeout" to "get_state" of "Platform" has incompatible '
        'type "str"; expected "Union[float, None, UseClientTimeout]"  [arg-type]']


def test_every_operation_is_documented_awaitable_and_listed():
    groups = [(qel.server.Server, qel.aio.AsyncServer), (qel.network.Network, qel.aio.AsyncNetwork),
              (qel.platform.Platform, qel.aio.AsyncPlatform),
              (qel.sensors.Sensors, qel.aio.AsyncSensors), (qel.admin.Admin, qel.aio.AsyncAdmin)]
    operations = 0
    for group, awaited in groups:
        names = {name for name in vars(group) if not name.startswith("_")}
        assert names == {name for name in vars(awaited) if not name.startswith("_")}
        assert [name for name in names if not getattr(group, name).__doc__] == []
        operations += len(names)
    assert operations == 49
    for module in (qel, qel.server, qel.network, qel.platform, qel.sensors, qel.admin,
                   qel.errors, qel.aio, qel.sim, qel.pytest_plugin):
        assert set(module.__all__) <= set(dir(module)), module.__name__
