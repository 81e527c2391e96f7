// The factors command with a stand-in model and stand-in readers: the
// options, the exit statuses, the outputs and their independence of -j.
#include "driver/factors_command.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "complete/model.hpp"
#include "outputs/factors_outputs.hpp"

namespace tcsum::complete {
namespace {

namespace fs = std::filesystem;

// Each gamma's factor is 1 + its total efficiency, and one sum peak of the
// two first gammas: enough to see where the numbers go.
Result standIn(const DecayScheme& s, const SourceEfficiency& source, const Settings&) {
  Result r;
  const Efficiency& e = *source.front().efficiency;
  for (const SchemeTransition& t : s.transitions) {
    const EfficiencyPair eff = e.at(t.energy);
    r.photons.push_back({LineKind::gamma, "", t.upper, t.lower, t.energy, t.gamma, eff});
    const double rate0 = t.gamma * eff.peak;
    r.lines.push_back(
        {LineKind::gamma, "", t.upper, t.lower, t.energy, t.gamma, rate0, rate0 / (1 + eff.total), 1 + eff.total});
  }
  if (s.transitions.size() >= 2)
    r.lines.push_back({LineKind::sum, "", -1, -1, s.transitions[0].energy + s.transitions[1].energy,
                       0.0, 0.0, 0.01, 0.0});
  return r;
}

DecayScheme scheme(std::string name, std::string parent, std::vector<double> energies) {
  DecayScheme s;
  s.name = name;
  s.parent = parent;
  s.dsid = parent + " B- DECAY";
  s.decayMode = "B-";
  s.source = "test.ens";
  s.record = 7;
  double level = 0.0;
  s.levels.push_back({0.0, 0.0, 0.0, std::nullopt, 0.0, std::numeric_limits<double>::infinity(), 0});
  for (double e : energies) {
    level += e;
    s.levels.push_back({level, 0.0, 0.0, std::nullopt, 0.0, std::nullopt, 0});
  }
  s.levels.back().feeding = 100.0;
  for (std::size_t k = energies.size(); k-- > 0;)
    s.transitions.push_back({static_cast<int32_t>(k + 1), static_cast<int32_t>(k), energies[k],
                             99.0, 0.001, 0.0008, std::nullopt, 0});
  return s;
}

FactorsServices services() {
  FactorsServices s;
  s.compute = standIn;
  s.ensdf = [](const std::vector<std::string>&, const std::vector<std::string>& nuclides, double) {
    std::vector<LoadedScheme> out;
    for (const std::string& n : nuclides) {
      if (n == "all" || n == "Co-60") out.push_back({scheme("CO-60", "CO-60", {1173.2, 1332.5}), {}, ""});
      if (n == "all" || n == "Eu-152")
        for (int k = 0; k < 5; ++k)
          out.push_back({scheme("=EU" + std::to_string(k), "-EU-152", {121.8, 244.7 + k, 344.3}),
                         {"test.ens:9: EU: a warning of the reader"}, ""});
      if (n == "all" || n == "Xx-1") out.push_back({scheme("XX", "XX-1", {}), {}, "test.ens:3: XX: no levels"});
    }
    return out;
  };
  return s;
}

struct Scratch {
  fs::path dir = fs::temp_directory_path() / ("tcsum_factors_test_" + std::to_string(::getpid()));
  Scratch() {
    fs::create_directories(dir);
    std::ofstream(dir / "eff.csv") << "energy_keV,total,peak\n100,0.4,0.2\n1000,0.2,0.03\n1200,0.18,0.025\n";
    std::ofstream(dir / "ensdf.060") << "not read by the stand-in\n";
  }
  ~Scratch() { fs::remove_all(dir); }
  std::string path(const std::string& name) const { return (dir / name).string(); }
};

struct Outcome {
  int status;
  std::string out, err;
};

Outcome run(std::vector<std::string> args, const FactorsServices& with = services()) {
  args.insert(args.begin(), "factors");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  std::ostringstream out, err;
  const auto parsed = parseFactorsCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
  if (const int* status = std::get_if<int>(&parsed)) return {*status, out.str(), err.str()};
  const int status = runFactors(std::get<FactorsOptions>(parsed), with, out, err);
  return {status, out.str(), err.str()};
}

const std::string kGeometry = std::string(TCSUM_SOURCE_DIR) + "/examples/geometry/";

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(FactorsCommand, UsageErrorsExit2AndCreateNothing) {
  Scratch s;
  const std::string eff = s.path("eff.csv"), ens = s.path("ensdf.060");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--efficiency", eff},
           {"--ensdf", ens, "--efficiency", eff},
           {"--ensdf", ens, "--nuclide", "Cobalt", "--efficiency", eff},
           {"--ensdf", ens, "--nuclide", "Co-60"},
           {"--ensdf", ens, "--nuclide", "Co-60", "--efficiency", eff, "--curve", eff},
           {"--ensdf", ens, "-i", ens, "--nuclide", "Co-60", "--efficiency", eff},
           {"--ensdf", ens, "--nuclide", "Co-60", "--efficiency", eff, "--annihilation", "sideways"},
           {"--ensdf", ens, "--nuclide", "Co-60", "--efficiency", eff, "--peak-window", "-1"},
           {"--ensdf", ens, "--nuclide", "Co-60", "--efficiency", eff, "--isomer-threshold", "soon"},
           {"--ensdf", ens, "--nuclide", "Co-60", "--efficiency", eff, "--samples", "50"},
           {"--ensdf", ens, "--nuclide", "Co-60", "--efficiency", eff, "--seed", "3"},
           {"--ensdf", ens, "--nuclide", "Co-60", "--efficiency", eff, "--json", "-", "--csv", "-"},
           {"--ensdf", ens, "--nuclide", "Co-60", "--efficiency", eff, "--json", s.path("a"), "--csv",
            s.path("b/../a")},
           {"--ensdf", ens, "--nuclide", "Co-60", "--efficiency", eff, "--json", ens, "--force"},
           {"--ensdf", ens, "--nuclide", "Co-60", "--efficiency", eff, "--json="},
           {"--ensdf", ens, "--nuclide", "Co-60", "--efficiency", eff, "-j", "0"},
           {"--ensdf", ens, "--nuclide", "Co-60", "--efficiency", eff, "--report", "r.out"},
       }) {
    const Outcome o = run(args);
    EXPECT_EQ(o.status, 2) << args.back() << ": " << o.err;
    EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
    EXPECT_NE(o.err.find("(see tcsum factors --help)"), std::string::npos) << o.err;
  }
  EXPECT_FALSE(fs::exists(s.path("a")));
  EXPECT_EQ(run({"--help"}).status, 0);
  EXPECT_NE(run({"--help"}).out.find("Examples:"), std::string::npos);
}

TEST(FactorsCommand, FaultsExit1WithOneLine) {
  Scratch s;
  const std::string ens = s.path("ensdf.060");
  const Outcome percent = [&] {
    std::ofstream(s.path("pct.csv")) << "energy_keV,total,peak\n100,40,20\n1000,20,3\n";
    return run({"--ensdf", ens, "--nuclide", "Co-60", "--efficiency", s.path("pct.csv")});
  }();
  EXPECT_EQ(percent.status, 1);
  EXPECT_EQ(percent.err, s.path("pct.csv") +
                             ":2: total efficiency 40 is above 1: it looks like percent; give "
                             "fractions (0.4 for 40 %)\n");
  const Outcome directory = run({"--ensdf", ens, "--nuclide", "Co-60", "--curve", s.dir.string()});
  EXPECT_EQ(directory.status, 1);
  EXPECT_EQ(directory.err, s.dir.string() + ": is a directory, not a file\n");
  const Outcome none = run({"--ensdf", ens, "--nuclide", "Ni-60", "--efficiency", s.path("eff.csv")});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.err, "no decay data set found for Ni-60\n");
  // An existing output is kept without --force, before anything is computed.
  std::ofstream(s.path("old.json")) << "old";
  const Outcome kept = run({"--ensdf", ens, "--nuclide", "Co-60", "--efficiency", s.path("eff.csv"),
                            "--json", s.path("old.json")});
  EXPECT_EQ(kept.status, 1);
  EXPECT_EQ(slurp(s.path("old.json")), "old");
  EXPECT_EQ(kept.out, "");
}

TEST(FactorsCommand, WarnsRefusesAndExits3WhenStrict) {
  Scratch s;
  const std::vector<std::string> args{"--ensdf", s.dir.string(), "--nuclide", "Co-60", "--nuclide",
                                      "Xx-1", "--efficiency", s.path("eff.csv")};
  const Outcome o = run(args);
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err,
            "warning: CO-60 B- DECAY: efficiency table " + s.path("eff.csv") +
                ": photon energies outside the table (100 to 1200 keV), continued in log-log from "
                "its end intervals: 1332.5 keV\n"
                "refused: test.ens:3: XX: no levels\n");
  EXPECT_NE(o.out.find("CO-60, parent CO-60, CO-60 B- DECAY (test.ens:7)"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("  refused: test.ens:3: XX: no levels"), std::string::npos);
  std::vector<std::string> strict = args;
  strict.push_back("--strict");
  EXPECT_EQ(run(strict).status, 3);
  strict.push_back("-q");
  const Outcome quiet = run(strict);
  EXPECT_EQ(quiet.status, 3);
  EXPECT_EQ(quiet.err, "refused: test.ens:3: XX: no levels\n");
}

TEST(FactorsCommand, OutputsAreTheSameForAnyJobsAndValidAgainstTheSchema) {
  Scratch s;
  auto outputs = [&](const std::string& jobs) {
    const std::string tag = "j" + jobs;
    const Outcome o = run({"--ensdf", s.dir.string(), "--nuclide", "all", "--efficiency",
                           s.path("eff.csv"), "--json", s.path(tag + ".json"), "--csv",
                           s.path(tag + ".csv"), "--html", s.path(tag + ".html"), "-j", jobs, "-q"});
    EXPECT_EQ(o.status, 0) << o.err;
    return std::vector<std::string>{o.out, slurp(s.path(tag + ".json")), slurp(s.path(tag + ".csv")),
                                    slurp(s.path(tag + ".html"))};
  };
  const auto one = outputs("1");
  EXPECT_EQ(one, outputs("2"));
  EXPECT_EQ(one, outputs("7"));

  // The CSV: one row per line; texts that a spreadsheet would run are defused.
  const std::string& csv = one[2];
  EXPECT_EQ(csv.substr(0, csv.find('\n')),
            "nuclide,dataset,kind,energy_keV,emission_percent,rate0_percent,rate_percent,factor");
  EXPECT_NE(csv.find("\n\"'-EU-152\",\"'-EU-152 B- DECAY\",gamma,344.3,99,"), std::string::npos) << csv;
  EXPECT_NE(csv.find("\nCO-60,CO-60 B- DECAY,sum,2505.7,0,0,0.01,0\n"), std::string::npos) << csv;
  // The page needs nothing from the network and runs no script.
  const std::string& page = one[3];
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_EQ(page.find("://"), std::string::npos);
  EXPECT_NE(page.find("=EU0"), std::string::npos);

  // The JSON against the published schema, where Python has jsonschema.
  if (std::system("python3 -c 'import jsonschema' 2>/dev/null") != 0) GTEST_SKIP() << "no jsonschema";
  const std::string command =
      "python3 -c 'import json,sys,jsonschema; "
      "jsonschema.Draft202012Validator(json.load(open(sys.argv[1]))).validate(json.load(open(sys.argv[2])))' " +
      std::string(TCSUM_SOURCE_DIR) + "/docs/tcsum-factors.schema.json " + s.path("j1.json");
  EXPECT_EQ(std::system(command.c_str()), 0);
}

TEST(FactorsCommand, TheGeometryOptionsComeTogether) {
  Scratch s;
  const std::string ens = s.path("ensdf.060"), eff = s.path("eff.csv");
  const std::string det = kGeometry + "detector.toml", src = kGeometry + "beaker100ml.toml";
  const std::string cal = kGeometry + "point10cm.csv", ref = kGeometry + "point10cm.toml";
  const std::vector<std::string> co{"--ensdf", ens, "--nuclide", "Co-60"};
  for (const std::vector<std::string>& extra : std::vector<std::vector<std::string>>{
           {"--detector", det},
           {"--source", src},
           {"--detector", det, "--source", src},
           {"--detector", det, "--source", src, "--calibration", cal},
           {"--detector", det, "--source", src, "--calibration-geometry", ref},
           {"--detector", det, "--source", src, "--efficiency", eff, "--peak-to-total", cal},
           {"--detector", det, "--source", src, "--calibration", cal, "--calibration-geometry", ref,
            "--peak-to-total", cal},
           {"--efficiency", eff, "--calibration", cal, "--calibration-geometry", ref},
           {"--detector", det, "--source", src, "--calibration", cal, "--calibration-geometry", ref,
            "--json", src},
       }) {
    std::vector<std::string> args = co;
    args.insert(args.end(), extra.begin(), extra.end());
    const Outcome o = run(args);
    EXPECT_EQ(o.status, 2) << extra.back() << ": " << o.err;
    EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
  }
  // A description that cannot be used: one line naming its file and line.
  std::ofstream(s.path("bad.toml")) << "[source]\ntype = \"cylinder\"\nradius = 10\nhieght = 5\n";
  const Outcome bad = run({"--ensdf", ens, "--nuclide", "Co-60", "--detector", det, "--source",
                           s.path("bad.toml"), "--calibration", cal, "--calibration-geometry", ref});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err, "unknown key hieght in [source], file " + s.path("bad.toml") + ", line 4\n");
}

TEST(FactorsCommand, ASampleCountedPointByPointBesideItsVolumeAverage) {
  Scratch s;
  FactorsServices model = services();
  model.compute = compute;
  auto outputs = [&](const std::string& source, const std::string& jobs) {
    const std::string tag = source + jobs;
    const Outcome o = run({"--ensdf", s.dir.string(), "--nuclide", "Co-60", "--nuclide", "Eu-152",
                           "--detector", kGeometry + "detector.toml", "--source", kGeometry + source,
                           "--calibration", kGeometry + "point10cm.csv", "--calibration-geometry",
                           kGeometry + "point10cm.toml", "--json", s.path(tag + ".json"), "--csv",
                           s.path(tag + ".csv"), "-j", jobs, "-q"},
                          model);
    EXPECT_EQ(o.status, 0) << o.err;
    return std::vector<std::string>{o.out, slurp(s.path(tag + ".json")), slurp(s.path(tag + ".csv"))};
  };
  const auto beaker = outputs("beaker100ml.toml", "1");
  EXPECT_EQ(beaker, outputs("beaker100ml.toml", "2"));
  const std::string& table = beaker[0];
  EXPECT_NE(table.find("Complete model (the sample counted point by point"), std::string::npos) << table;
  EXPECT_NE(table.find("Geometry: cylinder, 70 mm across, 100.1 mL of water"), std::string::npos) << table;
  EXPECT_NE(table.find("averaged  diff/%"), std::string::npos) << table;
  EXPECT_NE(table.find("  integration: factors within "), std::string::npos) << table;
  EXPECT_NE(beaker[1].find("\"source\":\"volume\""), std::string::npos);
  EXPECT_NE(beaker[1].find("\"averaged_factor\":"), std::string::npos);
  EXPECT_NE(beaker[1].find("\"integration_relative\":"), std::string::npos);
  EXPECT_EQ(beaker[2].substr(0, beaker[2].find('\n')),
            "nuclide,dataset,kind,energy_keV,emission_percent,rate0_percent,rate_percent,factor,averaged_factor");
  // The calibration's own point: one emission point, the same factors either way.
  const auto point = outputs("point10cm.toml", "1");
  EXPECT_NE(point[1].find("\"source\":\"point\""), std::string::npos);
  const std::regex pair("\"factor\":([^,]+),\"averaged_factor\":([^,}]+)");
  int lines = 0;
  for (std::sregex_iterator it(point[1].begin(), point[1].end(), pair), end; it != end; ++it, ++lines)
    EXPECT_EQ((*it)[1], (*it)[2]);
  EXPECT_EQ(lines, 2 + 5 * 3);
  if (std::system("python3 -c 'import jsonschema' 2>/dev/null") != 0) GTEST_SKIP() << "no jsonschema";
  const std::string command =
      "python3 -c 'import json,sys,jsonschema; "
      "jsonschema.Draft202012Validator(json.load(open(sys.argv[1]))).validate(json.load(open(sys.argv[2])))' " +
      std::string(TCSUM_SOURCE_DIR) + "/docs/tcsum-factors.schema.json " + s.path("beaker100ml.toml1.json");
  EXPECT_EQ(std::system(command.c_str()), 0);
}

TEST(FactorsCommand, UncertaintyOfExactEfficienciesIsNone) {
  Scratch s;
  const Outcome o = run({"--ensdf", s.dir.string(), "--nuclide", "Co-60", "--efficiency",
                         s.path("eff.csv"), "--u-total", "0", "--samples", "100", "--json",
                         s.path("u.json"), "-q"});
  EXPECT_EQ(o.status, 0) << o.err;
  const std::string json = slurp(s.path("u.json"));
  EXPECT_NE(json.find("\"uncertainty\":{\"u_total_percent\":0,\"u_peak_percent\":0,\"correlation\":"
                      "\"full\",\"samples\":100,\"seed\":20231117}"),
            std::string::npos);
  EXPECT_NE(json.find("\"uncertainty\":{\"mean\":"), std::string::npos);
  EXPECT_NE(json.find("\"standard\":0,"), std::string::npos);
  // With 10 % on the total efficiency the factors 1 + eps_t spread.
  const Outcome spread = run({"--ensdf", s.dir.string(), "--nuclide", "Co-60", "--efficiency",
                              s.path("eff.csv"), "--u-total", "10", "--samples", "400"});
  EXPECT_EQ(spread.status, 0) << spread.err;
  EXPECT_NE(spread.out.find("95 % interval"), std::string::npos);
}

TEST(FactorsOutputs, CsvTextKeepsFormulasFromSpreadsheets) {
  EXPECT_EQ(csvText("CO-60"), "CO-60");
  EXPECT_EQ(csvText("=1+2"), "\"'=1+2\"");
  EXPECT_EQ(csvText("+A1"), "\"'+A1\"");
  EXPECT_EQ(csvText("@SUM(A1)"), "\"'@SUM(A1)\"");
  EXPECT_EQ(csvText("a,\"b\""), "\"a,\"\"b\"\"\"");
}

}  // namespace
}  // namespace tcsum::complete
