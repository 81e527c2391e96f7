"""Efficiencies, decay schemes and compute() against tcsum factors: the same
lines bit for bit from the same input, faults as tcsum.Error, the same
results from threads at once."""
import json
import math
import os
import pathlib
import subprocess
import threading
import warnings

import numpy as np
import pytest

import tcsum

SOURCE = pathlib.Path(os.environ.get("TCSUM_SOURCE", pathlib.Path(__file__).parents[2]))
PROGRAM = os.environ.get("TCSUM_PROGRAM")
ENSDF = SOURCE.parent / "shared" / "ensdf"
EXAMPLES = [p for p in sorted(SOURCE.glob("examples/*/TALVEN")) if p.parent.name != "inconsistent"]
BAD_INPUT = sorted(SOURCE.glob("tests/bad_input/*/TALVEN"))

# A 40 % coaxial detector close to the end cap, and a curve of the same form.
TABLE = (SOURCE / "tests" / "support" / "coaxial_40_percent_1cm.csv").read_text()
CURVE = """energy_range = [40.0, 3000.0]
[total]
coefficients = [-9.945, 4.643, -0.7664, 0.03888]
[peak]
coefficients = [-16.81, 8.528, -1.489, 0.07789]
"""
# Parent, ENSDF files: a sample with positrons, isomers, several branches.
NUCLIDES = {
    "Co-60": ["CO60_B-.ens"],
    "Eu-152": ["EU152_EC.ens", "EU152_B-.ens"],
    "Na-22": ["NA22_EC.ens"],
    "Se-75": ["SE75_EC.ens"],
    "Ho-166m": ["HO166M_B-.ens"],
    "Cs-134": ["CS134_B-.ens", "CS134_EC.ens"],
}


@pytest.fixture(scope="module")
def files(tmp_path_factory):
    folder = tmp_path_factory.mktemp("efficiency")
    (folder / "table.csv").write_text(TABLE)
    (folder / "curve.toml").write_text(CURVE)
    return folder


def quietly(call, *args, **options):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", tcsum.TcsumWarning)
        return call(*args, **options)


def factors_json(tmp_path, *arguments):
    if not PROGRAM:
        pytest.skip("TCSUM_PROGRAM not set")
    run = subprocess.run([PROGRAM, "factors", *map(str, arguments), "--json", "-", "-q"],
                         cwd=tmp_path, capture_output=True, check=True)
    return [d for d in json.loads(run.stdout)["datasets"] if d["status"] == "computed"]


def same(json_value, value):
    # The JSON writes a value that is not finite as null.
    if json_value is None:
        return not math.isfinite(value)
    return json_value == value


def assert_same_lines(data_set, result, classic=None):
    assert (result.name, result.parent, result.dsid) == \
        (data_set["name"], data_set["parent"], data_set["dsid"])
    assert len(result.lines) == len(data_set["lines"])
    for line, want in zip(result.lines, data_set["lines"]):
        assert (line.kind, line.label) == (want["kind"], want.get("label", ""))
        for key in ("energy_keV", "emission_percent", "rate0_percent", "rate_percent", "factor"):
            assert same(want[key], getattr(line, key)), (key, want, line)
        if "uncertainty" in want:
            u = line.uncertainty
            assert [u["mean"], u["standard"], *u["interval95"]] == \
                [want["uncertainty"][k] for k in ("mean", "standard", "low95", "high95")]
    if classic is not None:
        # The classic model's gamma and K x-ray factors, as the command gives
        # them beside its own.
        beside = {}
        for want in data_set["lines"]:
            if "classic_factor" in want and want["kind"] == "gamma":
                beside[("gamma", want["energy_keV"])] = want["classic_factor"]
            elif "classic_factor" in want:
                beside["kxray"] = want["classic_factor"]
        by_levels = {(l.upper, l.lower): l.energy_keV for l in result.lines if l.kind == "gamma"}
        got = {}
        for line in classic.lines:
            if line.kind == "gamma":
                got[("gamma", by_levels[(line.upper, line.lower)])] = line.factor
            else:
                got["kxray"] = line.factor
        assert got == beside


@pytest.mark.parametrize("path", EXAMPLES, ids=lambda p: p.parent.name)
def test_data_files_match_the_factors_command(path, files, tmp_path):
    expected = factors_json(tmp_path, "-i", path, "--efficiency", files / "table.csv")
    efficiency = tcsum.Efficiency.from_csv(str(files / "table.csv"))
    schemes = quietly(tcsum.DecayScheme.from_data_file, str(path))
    assert len(schemes) == len(expected)
    for scheme, data_set in zip(schemes, expected):
        result = quietly(tcsum.compute, scheme, efficiency)
        classic = quietly(tcsum.compute, scheme, efficiency, model="classic")
        assert_same_lines(data_set, result, classic)


@pytest.mark.parametrize("nuclide", NUCLIDES)
def test_ensdf_nuclides_match_the_factors_command(nuclide, files, tmp_path):
    paths = [ENSDF / "nuclides" / f for f in NUCLIDES[nuclide]]
    if not all(p.exists() for p in paths):
        pytest.skip("../shared/ensdf not present")
    arguments = [a for p in paths for a in ("--ensdf", p)] + ["--nuclide", nuclide]
    for option, name, make in (("--efficiency", "table.csv", tcsum.Efficiency.from_csv),
                               ("--curve", "curve.toml", tcsum.Efficiency.from_toml)):
        expected = factors_json(tmp_path, *arguments, option, files / name)
        efficiency = make(str(files / name))
        schemes = quietly(tcsum.DecayScheme.from_ensdf, [str(p) for p in paths], nuclide)
        assert [s.dsid for s in schemes] == [d["dsid"] for d in expected]
        for scheme, data_set in zip(schemes, expected):
            result = quietly(tcsum.compute, scheme, efficiency)
            classic = None
            if any("classic_factor" in l for l in data_set["lines"]):
                classic = quietly(tcsum.compute, scheme, efficiency, model="classic")
            assert_same_lines(data_set, result, classic)


def test_a_sample_of_the_geometry_model_matches_the_factors_command(tmp_path):
    # Co-60 in the 100 mL beaker on the end cap, the peak transferred from the
    # point-source calibration at 10 cm: counted point by point as the
    # command counts it.
    path = ENSDF / "nuclides" / "CO60_B-.ens"
    if not path.exists():
        pytest.skip("../shared/ensdf not present")
    g = SOURCE / "examples" / "geometry"
    expected = factors_json(tmp_path, "--ensdf", path, "--nuclide", "Co-60",
                            "--detector", g / "detector.toml", "--source", g / "beaker100ml.toml",
                            "--calibration", g / "point10cm.csv",
                            "--calibration-geometry", g / "point10cm.toml")
    efficiency = tcsum.Efficiency.from_geometry(
        str(g / "detector.toml"), str(g / "beaker100ml.toml"),
        calibration=str(g / "point10cm.csv"), calibration_geometry=str(g / "point10cm.toml"))
    schemes = quietly(tcsum.DecayScheme.from_ensdf, str(path), "Co-60")
    assert len(schemes) == len(expected) == 1
    result = quietly(tcsum.compute, schemes[0], efficiency)
    assert_same_lines(expected[0], result)
    # The point-by-point factors are not those of the mean efficiencies.
    total, peak = efficiency([1173.228, 1332.492])
    mean = tcsum.Efficiency.from_points([1000.0, 1173.228, 1332.492, 1500.0],
                                        [total[0]] + list(total) + [total[1]],
                                        [peak[0]] + list(peak) + [peak[1]])
    averaged = quietly(tcsum.compute, schemes[0], mean)
    assert result.lines[0].factor != averaged.lines[0].factor
    with pytest.raises(tcsum.Error, match="calibration_geometry, or peak_to_total"):
        tcsum.Efficiency.from_geometry(str(g / "detector.toml"), str(g / "beaker100ml.toml"))
    with pytest.raises(tcsum.Error):
        tcsum.Efficiency.from_geometry(str(g / "missing.toml"), str(g / "beaker100ml.toml"),
                                       peak_to_total=str(g / "point10cm.csv"))


@pytest.mark.parametrize("mass", ["022", "060", "133", "166"])
def test_every_decay_data_set_of_a_mass_matches_the_factors_command(mass, files, tmp_path):
    path = ENSDF / f"ensdf.{mass}"
    if not path.exists():
        pytest.skip("../shared/ensdf not present")
    expected = factors_json(tmp_path, "--ensdf", path, "--nuclide", "all", "--efficiency",
                            files / "table.csv")
    efficiency = tcsum.Efficiency.from_csv(str(files / "table.csv"))
    schemes = quietly(tcsum.DecayScheme.from_ensdf, path, "all")
    assert [s.dsid for s in schemes] == [d["dsid"] for d in expected]
    for scheme, data_set in zip(schemes, expected):
        assert_same_lines(data_set, quietly(tcsum.compute, scheme, efficiency))


def test_settings_and_uncertainty_match_the_factors_command(files, tmp_path):
    path = ENSDF / "nuclides" / "NA22_EC.ens"
    if not path.exists():
        pytest.skip("../shared/ensdf not present")
    expected = factors_json(tmp_path, "--ensdf", path, "--nuclide", "Na-22", "--efficiency",
                            files / "table.csv", "--annihilation", "independent",
                            "--peak-window", "1.5", "--u-total", "4", "--u-peak", "2",
                            "--samples", "150", "--seed", "7")
    scheme, = quietly(tcsum.DecayScheme.from_ensdf, str(path), "Na-22")
    result = quietly(tcsum.compute, scheme, tcsum.Efficiency.from_csv(str(files / "table.csv")),
                     annihilation="independent", peak_window_keV=1.5, u_total=4, u_peak=2,
                     samples=150, seed=7)
    assert_same_lines(expected[0], result)
    assert result.settings["annihilation"] == "independent"
    assert any(l.uncertainty for l in result.lines)
    assert "factor_standard" in result.to_numpy().dtype.names


def test_efficiency_sources_agree_and_keep_the_shape(files):
    energies, total, peak = np.loadtxt(files / "table.csv", delimiter=",", skiprows=1,
                                       unpack=True)
    from_csv = tcsum.Efficiency.from_csv(str(files / "table.csv"))
    from_points = tcsum.Efficiency.from_points(energies, total, peak)
    grid = np.geomspace(5.0, 5000.0, 60).reshape(6, 10)
    t, p = from_points(grid)
    assert t.shape == p.shape == (6, 10)
    assert np.array_equal(t, from_csv(grid)[0]) and np.array_equal(p, from_csv(grid)[1])
    # Through every point, bounded everywhere.
    assert np.allclose(from_points(energies)[0], total, rtol=1e-14, atol=0)
    assert np.all(p <= t) and np.all(t <= 1.0)
    assert from_points.points == len(energies)

    curve = tcsum.Efficiency.from_curve([-9.945, 4.643, -0.7664, 0.03888],
                                        [-16.81, 8.528, -1.489, 0.07789],
                                        energy_range=(40.0, 3000.0))
    toml = tcsum.Efficiency.from_toml(str(files / "curve.toml"))
    assert [np.array_equal(a, b) for a, b in zip(curve(grid), toml(grid))] == [True, True]
    assert curve.points == 1
    mev = tcsum.Efficiency.from_curve([-1.0], [-2.0], energy_unit="MeV")
    assert mev(661.7)[0] == pytest.approx(math.exp(-1.0))


@pytest.mark.parametrize("energies, total, peak, message", [
    ([100, 50], [0.3, 0.2], [0.1, 0.1], "point 1 (50 keV)"),
    ([50, 100], [30, 20], [10, 10], "percent"),
    ([50, 100], [0.3, 0.2], [0.4, 0.1], "point 0"),
    ([50, 100], [0.3, float("nan")], [0.1, 0.1], "point 1"),
    ([0.05, 0.1], [0.3, 0.2], [0.1, 0.1], "MeV"),
    ([50], [0.3], [0.1], ""),
    ([50, 100], [0.3, 0.2], [0.1], "one length"),
    ([[50, 100]], [[0.3, 0.2]], [[0.1, 0.1]], "one-dimensional"),
])
def test_bad_points_are_refused(energies, total, peak, message):
    with pytest.raises(tcsum.Error, match=message.replace("(", r"\(").replace(")", r"\)")):
        tcsum.Efficiency.from_points(energies, total, peak)


def test_bad_curves_and_files_are_refused(tmp_path):
    for total, peak, options in (([2.0], [-1.0], {}),  # above 1: fitted to percent
                                 ([-1.0] * 11, [-1.0], {}),
                                 ([], [-1.0], {}),
                                 ([float("inf")], [-1.0], {}),
                                 ([-1.0], [-1.0], {"energy_unit": "eV"}),
                                 ([-1.0], [-1.0], {"energy_range": (100.0, 50.0)})):
        with pytest.raises(tcsum.Error):
            tcsum.Efficiency.from_curve(total, peak, **options)
    (tmp_path / "percent.csv").write_text("energy_keV,total,peak\n100,42,28\n1000,22,4.2\n")
    with pytest.raises(tcsum.Error, match="percent.csv:2:"):
        tcsum.Efficiency.from_csv(str(tmp_path / "percent.csv"))
    for path in ("/nonexistent.csv", str(tmp_path), "/dev/zero"):
        with pytest.raises(tcsum.Error):
            tcsum.Efficiency.from_csv(path)
    (tmp_path / "bad.toml").write_text("[total]\ncoefficients = [1, 2\n")
    with pytest.raises(tcsum.Error, match="bad.toml:"):
        tcsum.Efficiency.from_toml(str(tmp_path / "bad.toml"))


def test_ensdf_reading_faults_and_warnings(tmp_path):
    folder = ENSDF / "nuclides"
    if not folder.exists():
        pytest.skip("../shared/ensdf not present")
    # A folder is every file in it; Eu-152 has two decay data sets.
    eu152 = quietly(tcsum.DecayScheme.from_ensdf, folder, "152EU")
    assert sorted(s.decay_mode for s in eu152) == ["B-", "EC"]
    assert all(s.xrays["k_lines"] for s in eu152)
    with pytest.raises(tcsum.Error, match="no decay data set found for Fe-55"):
        tcsum.DecayScheme.from_ensdf(folder / "CO60_B-.ens", "Fe-55")
    with pytest.raises(tcsum.Error, match="not a nuclide"):
        tcsum.DecayScheme.from_ensdf(folder, "cobalt")
    with pytest.raises(tcsum.Error, match="isomer_threshold"):
        tcsum.DecayScheme.from_ensdf(folder, "Co-60", isomer_threshold="soon")
    with pytest.raises(tcsum.Error, match="missing.ens: cannot open"):
        tcsum.DecayScheme.from_ensdf(tmp_path / "missing.ens", "Co-60")
    empty = tmp_path / "empty"
    empty.mkdir()
    with pytest.raises(tcsum.Error, match="a folder without files"):
        tcsum.DecayScheme.from_ensdf(empty, "Co-60")
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        tcsum.DecayScheme.from_ensdf(folder / "NA22_EC.ens", "Na-22")
    assert all(issubclass(w.category, tcsum.TcsumWarning) for w in caught)


def test_a_scheme_rebuilt_from_its_own_lists_computes_the_same(files):
    folder = ENSDF / "nuclides"
    if not folder.exists():
        pytest.skip("../shared/ensdf not present")
    efficiency = tcsum.Efficiency.from_csv(str(files / "table.csv"))
    for nuclide in ("Co-60", "Na-22", "Eu-152", "Se-75"):
        for read in quietly(tcsum.DecayScheme.from_ensdf, folder, nuclide):
            options = dict(name=read.name, parent=read.parent, decay_mode=read.decay_mode,
                           daughter_z=read.daughter_z)
            rebuilt = tcsum.DecayScheme(read.levels, read.transitions, xrays=read.xrays, **options)
            expected = quietly(tcsum.compute, read, efficiency).to_dicts()
            assert quietly(tcsum.compute, rebuilt, efficiency).to_dicts() == expected
            # Without xrays, those of the daughter from the atomic data, as for ENSDF.
            assert tcsum.DecayScheme(read.levels, read.transitions, **options).xrays == read.xrays
    assert tcsum.DecayScheme([{"energy_keV": 0.0}], [], daughter_z=28, xrays={}).xrays["k_lines"] == []
    with pytest.raises(tcsum.Error, match="no element"):
        tcsum.DecayScheme([{"energy_keV": 0.0}], [], daughter_z=-3)


def test_compute_refuses_bad_settings(files):
    scheme = quietly(tcsum.DecayScheme.from_data_file, str(SOURCE / "examples/co60/TALVEN"))[0]
    efficiency = tcsum.Efficiency.from_csv(str(files / "table.csv"))
    for options in ({"model": "simple"}, {"annihilation": "sideways"},
                    {"peak_window_keV": 0.0}, {"peak_window_keV": float("nan")},
                    {"isomer_threshold": -1.0}, {"u_total": 150}, {"u_peak": 3, "samples": 1},
                    {"model": "classic", "u_total": 3}):
        with pytest.raises(tcsum.Error):
            quietly(tcsum.compute, scheme, efficiency, **options)
    with pytest.warns(tcsum.TcsumWarning, match="not meaningful"):
        tcsum.compute(scheme, efficiency, u_total=3, samples=20)
    # The classic model holds at most 32 levels.
    levels = [{"energy_keV": 10.0 * k} for k in range(40)]
    levels[-1]["feeding_percent"] = 100.0
    transitions = [{"upper": k + 1, "lower": k, "gamma_percent": 100.0} for k in range(39)]
    big = tcsum.DecayScheme(levels, transitions, name="LADDER", decay_mode="B-")
    assert len(quietly(tcsum.compute, big, efficiency)) >= 39
    with pytest.raises(tcsum.Error, match="40 levels"):
        quietly(tcsum.compute, big, efficiency, model="classic")


@pytest.mark.parametrize("path", BAD_INPUT, ids=lambda p: p.parent.name)
def test_bad_data_files_raise_or_read(path, files):
    # Never a crash of the interpreter: the schemes, or tcsum.Error.
    efficiency = tcsum.Efficiency.from_csv(str(files / "table.csv"))
    try:
        schemes = quietly(tcsum.DecayScheme.from_data_file, str(path))
    except tcsum.Error as error:
        if PROGRAM:
            # The diagnostic is the command's last line on standard error.
            run = subprocess.run([PROGRAM, "factors", "-i", str(path), "--efficiency",
                                  str(files / "table.csv")], capture_output=True)
            assert run.returncode == 1
            assert str(error) == run.stderr.decode("utf-8", "replace").splitlines()[-1]
        return
    for scheme in schemes:
        for model in ("complete", "classic"):
            try:
                quietly(tcsum.compute, scheme, efficiency, model=model)
            except tcsum.Error as error:
                assert str(error)


def test_threads_compute_at_once_with_the_same_results(files):
    schemes = [s for p in EXAMPLES for s in quietly(tcsum.DecayScheme.from_data_file, str(p))]
    efficiency = tcsum.Efficiency.from_csv(str(files / "table.csv"))
    alone = [quietly(tcsum.compute, s, efficiency, u_total=5, samples=100).to_dicts()
             for s in schemes]
    found = {}

    def work(k):
        found[k] = tcsum.compute(schemes[k % len(schemes)], efficiency, u_total=5,
                                 samples=100).to_dicts()

    threads = [threading.Thread(target=work, args=(k,)) for k in range(3 * len(schemes))]
    # The filters are the interpreter's, not a thread's: set once around all.
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", tcsum.TcsumWarning)
        for t in threads:
            t.start()
        for t in threads:
            t.join()
    for k in range(len(threads)):
        assert json.dumps(found[k]) == json.dumps(alone[k % len(schemes)])


def test_the_interpreter_runs_on_while_a_thread_computes(files):
    path = ENSDF / "nuclides" / "EU152_EC.ens"
    if not path.exists():
        pytest.skip("../shared/ensdf not present")
    scheme, = quietly(tcsum.DecayScheme.from_ensdf, path, "Eu-152")
    efficiency = tcsum.Efficiency.from_csv(str(files / "table.csv"))
    import time
    start = time.perf_counter()
    quietly(tcsum.compute, scheme, efficiency, u_total=3, samples=30)
    alone = time.perf_counter() - start
    # The longest the main thread waits between two of its steps while
    # another computes: a held lock would make it the whole computation.
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", tcsum.TcsumWarning)
        worker = threading.Thread(target=tcsum.compute, args=(scheme, efficiency),
                                  kwargs={"u_total": 3, "samples": 30})
        longest, last = 0.0, time.perf_counter()
        worker.start()
        while worker.is_alive():
            now = time.perf_counter()
            longest, last = max(longest, now - last), now
        worker.join()
    assert longest < alone / 2, (longest, alone)
