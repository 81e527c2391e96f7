#include "geometry/description.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <initializer_list>
#include <numbers>
#include <sstream>

#include <toml++/toml.h>

#include "geometry/materials.hpp"
#include "geometry/xcom.hpp"

namespace tcsum::geometry {

namespace {

constexpr double kMmToCm = 0.1;
// The rounded front edge of a crystal as this many rings of stepped radius.
constexpr int kEdgeRings = 4;

std::string number(double value) {
  char buffer[32];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, end);
}

// One file being read: the parsed table and the diagnostics that name it.
class Description {
 public:
  explicit Description(const std::string& path) : path_(path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw DescriptionError("cannot read the description, file " + path);
    std::ostringstream text;
    text << in.rdbuf();
    try {
      root_ = toml::parse(text.str(), path);
    } catch (const toml::parse_error& e) {
      throw DescriptionError("not a TOML file (" + std::string(e.description()) + "), file " + path +
                             ", line " + std::to_string(e.source().begin.line));
    }
  }

  [[noreturn]] void fail(const std::string& message, const toml::node& where) const {
    throw DescriptionError(message + ", file " + path_ + ", line " + std::to_string(where.source().begin.line));
  }
  [[noreturn]] void fail(const std::string& message) const {
    throw DescriptionError(message + ", file " + path_);
  }

  const toml::table& root() const { return root_; }

  // The table NAME, required or not (nullptr when absent and optional).
  const toml::table* table(const char* name, bool required) const {
    const toml::node* node = root_.get(name);
    if (!node) {
      if (required) fail(std::string("missing table [") + name + "]");
      return nullptr;
    }
    if (!node->is_table()) fail(std::string(name) + " is not a table", *node);
    return node->as_table();
  }

  // Every key of TABLE is one of KEYS: a misspelt key is an error, not ignored.
  void only(const toml::table& t, const char* name, std::initializer_list<const char*> keys) const {
    for (const auto& [key, node] : t) {
      const std::string_view given = key.str();
      bool known = std::any_of(keys.begin(), keys.end(), [&](const char* k) { return given == k; });
      if (!known) fail("unknown key " + std::string(key.str()) + " in [" + name + "]", node);
    }
  }

  // A non-negative number (mm in the file, cm returned), DEFAULT when absent
  // (negative DEFAULT: required).
  double length(const toml::table& t, const char* table, const char* key, double fallback = -1.0) const {
    const toml::node* node = t.get(key);
    if (!node) {
      if (fallback < 0.0) fail(std::string("missing ") + key + " (mm) in [" + table + "]", t);
      return fallback * kMmToCm;
    }
    double value = numberOf(*node, key);
    if (!(value >= 0.0) || !std::isfinite(value)) fail(std::string(key) + " must be a length >= 0 (mm)", *node);
    return value * kMmToCm;
  }

  double numberOf(const toml::node& node, const char* key) const {
    if (auto v = node.value<double>()) return *v;
    fail(std::string(key) + " must be a number", node);
  }

  std::string text(const toml::table& t, const char* table, const char* key, const char* fallback = nullptr) const {
    const toml::node* node = t.get(key);
    if (!node) {
      if (!fallback) fail(std::string("missing ") + key + " in [" + table + "]", t);
      return fallback;
    }
    if (auto v = node->value<std::string>()) return *v;
    fail(std::string(key) + " must be a string", *node);
  }

  // A material: a name from the table ("aluminium"), or a table with one of
  // name, formula, fractions (mass fractions by element) and a density.
  Material material(const toml::node& node, const char* what) const {
    if (auto name = node.value<std::string>()) {
      auto m = namedMaterial(*name);
      if (!m) fail("unknown material \"" + *name + "\" for " + what + " (a name of the table, or a table with formula and density)", node);
      return *m;
    }
    const toml::table* t = node.as_table();
    if (!t) fail(std::string("the material of ") + what + " must be a name or a table", node);
    return materialTable(*t, what);
  }

  Material materialTable(const toml::table& t, const char* what, std::initializer_list<const char*> extra = {}) const {
    for (const auto& [key, node] : t) {
      std::string_view k = key.str();
      bool known = k == "name" || k == "formula" || k == "fractions" || k == "density" ||
                   std::any_of(extra.begin(), extra.end(), [&](const char* e) { return k == e; });
      if (!known) fail("unknown key " + std::string(k) + " in the material of " + what, node);
    }
    int given = (t.contains("name") ? 1 : 0) + (t.contains("formula") ? 1 : 0) + (t.contains("fractions") ? 1 : 0);
    if (given != 1) fail(std::string("the material of ") + what + " needs one of name, formula, fractions", t);
    Material m;
    const toml::node* density = t.get("density");
    if (const toml::node* n = t.get("name")) {
      auto named = n->value<std::string>() ? namedMaterial(*n->value<std::string>()) : std::nullopt;
      if (!named) fail("unknown material name for " + std::string(what), *n);
      m = *named;
    } else if (const toml::node* f = t.get("formula")) {
      auto formula = f->value<std::string>();
      if (!formula) fail("formula must be a string", *f);
      try {
        m.massFractions = formulaMassFractions(*formula);
      } catch (const std::invalid_argument& e) {
        fail(e.what(), *f);
      }
      m.name = *formula;
      if (!density) fail(std::string("the material of ") + what + " needs a density (g/cm3)", t);
    } else {
      const toml::node* node = t.get("fractions");
      const toml::table* fractions = node->as_table();
      if (!fractions) fail("fractions must be a table of element = mass fraction", *node);
      std::vector<std::pair<int, double>> list;
      for (const auto& [symbol, value] : *fractions) {
        int z = atomicNumber(symbol.str());
        if (z == 0) fail("no element " + std::string(symbol.str()), value);
        list.emplace_back(z, numberOf(value, "a mass fraction"));
      }
      try {
        m.massFractions = normalisedFractions(std::move(list));
      } catch (const std::invalid_argument& e) {
        fail(e.what(), *node);
      }
      m.name = "mixture";
      if (!density) fail(std::string("the material of ") + what + " needs a density (g/cm3)", t);
    }
    if (density) {
      double d = numberOf(*density, "density");
      if (!(d >= 0.0) || !std::isfinite(d)) fail("density must be >= 0 (g/cm3)", *density);
      if (d != m.density) m.name += " " + number(d) + " g/cm3";
      m.density = d;
    }
    return m;
  }

 private:
  std::string path_;
  toml::table root_;
};

void addRegion(World& world, Region region) {
  if (region.rOut - region.rIn <= 0.0 || region.zHi - region.zLo <= 0.0) return;
  world.regions.push_back(std::move(region));
}

struct DetectorInfo {
  double endcapRadius = 0.0;
  double endcapLength = 0.0;
};

DetectorInfo readDetector(const Description& d, Geometry& g) {
  World& world = g.world;
  d.only(d.root(), "the file", {"crystal", "endcap", "holder"});
  const toml::table& c = *d.table("crystal", true);
  d.only(c, "crystal", {"type", "radius", "length", "hole_radius", "hole_depth", "front_dead_layer",
                        "side_dead_layer", "core_dead_layer", "edge_radius"});
  std::string type = d.text(c, "crystal", "type");
  bool coaxial = type == "p-type" || type == "n-type";
  if (!coaxial && type != "planar")
    d.fail("crystal type must be \"p-type\", \"n-type\" or \"planar\"", *c.get("type"));
  double radius = d.length(c, "crystal", "radius");
  double length = d.length(c, "crystal", "length");
  if (radius <= 0.0 || length <= 0.0) d.fail("the crystal needs a radius and a length > 0", c);
  double holeRadius = coaxial ? d.length(c, "crystal", "hole_radius") : 0.0;
  double holeDepth = coaxial ? d.length(c, "crystal", "hole_depth") : 0.0;
  if (!coaxial && (c.contains("hole_radius") || c.contains("hole_depth")))
    d.fail("a planar crystal has no core hole", c);
  double front = d.length(c, "crystal", "front_dead_layer", 0.0);
  double side = d.length(c, "crystal", "side_dead_layer", 0.0);
  double core = d.length(c, "crystal", "core_dead_layer", 0.0);
  double edge = d.length(c, "crystal", "edge_radius", 0.0);

  const toml::table& e = *d.table("endcap", true);
  d.only(e, "endcap", {"material", "outer_radius", "wall", "length", "window_material", "window", "gap"});
  const toml::node* capMaterial = e.get("material");
  if (!capMaterial) d.fail("missing material in [endcap]", e);
  Material cap = d.material(*capMaterial, "the end cap");
  Material window = e.contains("window_material") ? d.material(*e.get("window_material"), "the window") : cap;
  double capRadius = d.length(e, "endcap", "outer_radius");
  double wall = d.length(e, "endcap", "wall");
  double windowThickness = d.length(e, "endcap", "window");
  double gap = d.length(e, "endcap", "gap");
  double zFront = windowThickness + gap;
  double capLength = e.contains("length") ? d.length(e, "endcap", "length") : zFront + length + 1.0;

  // The holder: a cup around the crystal (side wall, front foil).
  double holderSide = 0.0;
  double holderFront = 0.0;
  Material holder;
  if (const toml::table* h = d.table("holder", false)) {
    d.only(*h, "holder", {"material", "side", "front"});
    const toml::node* m = h->get("material");
    if (!m) d.fail("missing material in [holder]", *h);
    holder = d.material(*m, "the holder");
    holderSide = d.length(*h, "holder", "side", 0.0);
    holderFront = d.length(*h, "holder", "front", 0.0);
    if (holderFront > gap) d.fail("the holder's front is thicker than the gap between window and crystal", *h);
  }

  // Plausibility of the crystal's dimensions.
  if (coaxial) {
    if (holeRadius <= 0.0 || holeDepth <= 0.0) d.fail("a coaxial crystal needs hole_radius and hole_depth > 0", c);
    if (holeRadius + core >= radius - side) d.fail("the core hole and the dead layers leave no active germanium", c);
    if (holeDepth + core >= length - front) d.fail("the core hole reaches the front dead layer", c);
  } else if (front >= length || side >= radius) {
    d.fail("the dead layers leave no active germanium", c);
  }
  if (edge > std::min(radius, length) - front) d.fail("edge_radius larger than the crystal allows", c);
  if (radius + holderSide > capRadius - wall + 1e-9) d.fail("the crystal and its holder do not fit into the end cap", e);
  if (capLength < zFront + length) d.fail("the end cap is shorter than window, gap and crystal", e);

  int ge = world.add(*namedMaterial("germanium"));
  int capIndex = world.add(cap);
  int windowIndex = world.add(window);
  addRegion(world, {0.0, capRadius, 0.0, windowThickness, windowIndex, false, false, "end-cap window"});
  addRegion(world, {capRadius - wall, capRadius, windowThickness, capLength, capIndex, false, false, "end-cap wall"});
  if (holderSide > 0.0 || holderFront > 0.0) {
    int h = world.add(holder);
    addRegion(world, {0.0, radius + holderSide, zFront - holderFront, zFront, h, false, false, "holder front"});
    addRegion(world, {radius, radius + holderSide, zFront, zFront + length, h, false, false, "holder side"});
  }

  // The crystal in slices of z: front dead layer, the rings of a rounded
  // front edge, the part in front of the hole, the hole's bottom dead layer,
  // the part around the hole.
  double zBack = zFront + length;
  double zHole = zBack - holeDepth;  // the bottom of the core hole
  std::vector<double> cuts = {zFront, zFront + front, zBack};
  if (coaxial) cuts.insert(cuts.end(), {zHole - core, zHole});
  if (edge > 0.0)
    for (int k = 1; k <= kEdgeRings; ++k) cuts.push_back(zFront + edge * k / kEdgeRings);
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  // The rounded edge at height z: the crystal's surface, and the active
  // volume's, a dead layer further in (the side's thickness, towards the
  // edge's centre).
  auto edgeRadius = [&](double z, double inset) {
    double dz = edge - (z - zFront);
    double rounded = edge - inset;
    return radius - edge + std::sqrt(std::max(0.0, rounded * rounded - dz * dz));
  };
  std::vector<std::pair<double, double>> inFront;  // (back face, outer radius) of the slices so far
  for (std::size_t k = 0; k + 1 < cuts.size(); ++k) {
    double z1 = cuts[k];
    double z2 = cuts[k + 1];
    double zm = 0.5 * (z1 + z2);
    double outer = radius;
    double activeOuter = radius - side;
    if (zm < zFront + edge) {
      outer = edgeRadius(zm, 0.0);
      activeOuter = edgeRadius(zm, side);
    }
    // Where this slice is wider than those in front of it, the step is
    // covered by their dead germanium: the active part stays a dead layer
    // inside every slice less than a dead layer in front, so that no ray
    // reaches it through less germanium than the dead layer's thickness.
    for (auto [back, r] : inFront)
      if (back > z1 - side - 1e-12) activeOuter = std::min(activeOuter, r - side);
    inFront.emplace_back(z2, outer);
    if (zm < zFront + front) {
      addRegion(world, {0.0, outer, z1, z2, ge, false, true, "front dead layer"});
      continue;
    }
    double inner = 0.0;
    if (coaxial && zm > zHole) {
      addRegion(world, {holeRadius, holeRadius + core, z1, z2, ge, false, true, "core dead layer"});
      inner = holeRadius + core;
    } else if (coaxial && zm > zHole - core) {
      addRegion(world, {0.0, holeRadius + core, z1, z2, ge, false, true, "core dead layer"});
      inner = holeRadius + core;
    }
    addRegion(world, {inner, activeOuter, z1, z2, ge, true, true, "active germanium"});
    addRegion(world, {activeOuter, outer, z1, z2, ge, false, true, "side dead layer"});
  }

  g.detectorSummary = type + (coaxial ? " coaxial" : "") + ", " + number(2.0 * radius / kMmToCm) + " mm x " +
                      number(length / kMmToCm) + " mm";
  return {capRadius, capLength};
}

void readSource(const Description& d, Geometry& g, const DetectorInfo& detector) {
  World& world = g.world;
  d.only(d.root(), "the file", {"source", "matrix", "container"});
  const toml::table& s = *d.table("source", true);
  std::string type = d.text(s, "source", "type");
  const toml::table* matrixTable = d.table("matrix", false);
  const toml::table* containerTable = d.table("container", false);
  double distance = d.length(s, "source", "distance", 0.0);

  double wall = 0.0;
  double bottom = 0.0;
  int containerIndex = -1;
  if (containerTable) {
    d.only(*containerTable, "container", {"material", "wall", "bottom"});
    const toml::node* m = containerTable->get("material");
    if (!m) d.fail("missing material in [container]", *containerTable);
    containerIndex = world.add(d.material(*m, "the container"));
    wall = d.length(*containerTable, "container", "wall", 0.0);
    bottom = d.length(*containerTable, "container", "bottom", 0.0);
  }
  auto matrix = [&]() -> int {
    if (!matrixTable) d.fail("a " + type + " source needs its [matrix] (material and density)", s);
    return world.add(d.materialTable(*matrixTable, "the matrix"));
  };
  auto container = [&](Region r) {
    if (containerIndex < 0) return;
    r.material = containerIndex;
    addRegion(world, r);
  };

  if (type == "point") {
    d.only(s, "source", {"type", "distance", "offset"});
    if (matrixTable || containerTable) d.fail("a point source has no [matrix] or [container]", s);
    double offset = d.length(s, "source", "offset", 0.0);
    g.source.push_back({offset, offset, -distance, -distance});
    g.sourceSummary = "point at " + number(distance / kMmToCm) + " mm" +
                      (offset > 0.0 ? ", " + number(offset / kMmToCm) + " mm off axis" : "");
  } else if (type == "cylinder" || type == "disk") {
    d.only(s, "source", {"type", "distance", "radius", type == "disk" ? "thickness" : "height"});
    double radius = d.length(s, "source", "radius");
    double height = type == "disk" ? d.length(s, "source", "thickness", 0.0) : d.length(s, "source", "height");
    if (radius <= 0.0 || (type == "cylinder" && height <= 0.0))
      d.fail("a " + type + " source needs a radius" + (type == "cylinder" ? " and a height" : "") + " > 0", s);
    double zBottom = -distance - bottom;  // the matrix's face towards the detector
    double zTop = zBottom - height;
    container({0.0, radius + wall, -distance - bottom, -distance, 0, false, false, "container bottom"});
    container({radius, radius + wall, zTop, zBottom, 0, false, false, "container wall"});
    if (height > 0.0) addRegion(world, {0.0, radius, zTop, zBottom, matrix(), false, false, "source matrix"});
    else if (matrixTable) d.fail("a disk without thickness has no [matrix]", *matrixTable);
    g.source.push_back({0.0, radius, zTop, zBottom});
    double volume = std::numbers::pi * radius * radius * height;
    g.sourceSummary = type + ", " + number(2.0 * radius / kMmToCm) + " mm across" +
                      (height > 0.0 ? ", " + number(std::round(volume * 10.0) / 10.0) + " mL of " +
                                          world.materials[world.regions.back().material].name
                                    : "");
  } else if (type == "marinelli") {
    d.only(s, "source", {"type", "distance", "well_radius", "well_depth", "outer_radius", "height"});
    double wellRadius = d.length(s, "source", "well_radius");
    double wellDepth = d.length(s, "source", "well_depth");
    double outerRadius = d.length(s, "source", "outer_radius");
    double height = d.length(s, "source", "height");
    if (wellRadius < detector.endcapRadius)
      d.fail("the well of the Marinelli beaker is narrower than the end cap", s);
    if (wellDepth > detector.endcapLength) d.fail("the well of the Marinelli beaker is deeper than the end cap is long", s);
    if (outerRadius <= wellRadius + wall) d.fail("outer_radius must exceed well_radius and the wall", s);
    // z: the well's roof rests at DISTANCE from the end cap, its open end
    // (the beaker's bottom face) at well_depth behind that.
    double zRoof = -distance;
    double zOpen = zRoof + wellDepth;
    double zFloor = zOpen - bottom;      // the matrix's bottom
    double zTop = zFloor - height;       // the fill level
    if (zTop >= zRoof - wall) d.fail("the fill height does not reach above the well", s);
    int m = matrix();
    container({0.0, wellRadius + wall, zRoof - wall, zRoof, 0, false, false, "well roof"});
    container({wellRadius, wellRadius + wall, zRoof, zFloor, 0, false, false, "well wall"});
    container({wellRadius, outerRadius + wall, zFloor, zOpen, 0, false, false, "container bottom"});
    container({outerRadius, outerRadius + wall, zTop, zFloor, 0, false, false, "container wall"});
    addRegion(world, {0.0, wellRadius + wall, zTop, zRoof - wall, m, false, false, "source matrix"});
    addRegion(world, {wellRadius + wall, outerRadius, zTop, zFloor, m, false, false, "source matrix"});
    g.source.push_back({0.0, wellRadius + wall, zTop, zRoof - wall});
    g.source.push_back({wellRadius + wall, outerRadius, zTop, zFloor});
    double volume = std::numbers::pi * ((wellRadius + wall) * (wellRadius + wall) * (zRoof - wall - zTop) +
                                        (outerRadius * outerRadius - (wellRadius + wall) * (wellRadius + wall)) *
                                            (zFloor - zTop));
    g.sourceSummary = "Marinelli beaker, " + number(std::round(volume)) + " mL of " + world.materials[m].name;
  } else {
    d.fail("source type must be \"point\", \"disk\", \"cylinder\" or \"marinelli\"", *s.get("type"));
  }
  std::string clash = overlap(world);
  if (!clash.empty()) d.fail("the source overlaps the detector (" + clash + ")", s);
}

}  // namespace

Geometry loadGeometry(const std::string& detectorFile, const std::string& sourceFile) {
  Geometry g;
  g.detectorFile = detectorFile;
  g.sourceFile = sourceFile;
  Description detector(detectorFile);
  DetectorInfo info = readDetector(detector, g);
  std::string clash = overlap(g.world);
  if (!clash.empty()) detector.fail("the parts of the detector overlap (" + clash + ")");
  Description source(sourceFile);
  readSource(source, g, info);
  return g;
}

}  // namespace tcsum::geometry
