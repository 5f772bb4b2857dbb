// The whole pocket pipeline: synthetic shells of atoms whose cavity is known,
// and real structures, whose report files must agree with each other.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "pockets/assembly.h"
#include "pockets/marks.h"
#include "pockets/mouths.h"
#include "pockets/areavolume.h"
#include "pockets/pipeline.h"
#include "structure/bead.h"
#include "structure/file.h"
#include "support/run.h"

namespace {

using testrun::read_file;
using testrun::split_lines;
using testrun::TempDir;

// Atoms of radius 1.8 spread evenly over a sphere of radius 12 (about 3 A
// apart, jittered off the common sphere), leaving out those within `hole`
// degrees of the +z axis.
std::vector<Bead> shell(double hole) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> jitter(-0.25, 0.25);
  const int n = 200;
  const double radius = 12.0;
  const double golden = M_PI * (3 - std::sqrt(5.0));
  std::vector<Bead> beads;
  for (int i = 0; i < n; ++i) {
    const double z = 1 - 2 * (i + 0.5) / n;
    const double r = std::sqrt(1 - z * z);
    const double phi = golden * i;
    const double dx = jitter(rng), dy = jitter(rng), dz = jitter(rng);
    if (std::acos(z) * 180 / M_PI < hole) continue;
    Bead b;
    b.x = radius * r * std::cos(phi) + dx;
    b.y = radius * r * std::sin(phi) + dy;
    b.z = radius * z + dz;
    b.radius = 1.8;
    b.serial = i + 1;
    b.res_num = i + 1;
    std::strcpy(b.atom_name, "C");
    std::strcpy(b.res_name, "GLY");
    b.chain_id = 'A';
    beads.push_back(b);
  }
  return beads;
}

struct Shell {
  std::vector<Bead> beads;
  PocketComplex c;
  std::vector<pocket> pockets;
  std::vector<mouth> mouths;

  explicit Shell(double hole) : beads(shell(hole)) {
    build_pocket_complex(beads, 1.4, 0.0, c);
    pocketsrepresentation(c.tetras, pockets, 1.4);
    mouths.resize(pockets.size());
    pocketspocindex(c.atoms, pockets);
    mouthsrepresentation(pockets, mouths, c.atoms, 1.4);
    pocketsareavolume(c.atoms, pockets, 0, 1.4, 0.0);
  }

  const pocket& largest() const {
    return *std::max_element(pockets.begin(), pockets.end(), [](const pocket& a, const pocket& b) {
      return a.tetrahedra.size() < b.tetrahedra.size();
    });
  }
};

double polar_degrees(const info& a) {
  return std::acos(a.z / std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z)) * 180 / M_PI;
}

// Volume of the pocket's tetrahedra outside every ball, by sampling each
// (about 150 points per cubic angstrom), with its standard deviation.
double sampled_empty_volume(const pocket& p, const std::vector<info>& atoms, double probe,
                            double* sigma) {
  std::mt19937_64 rng(1);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  double total = 0, variance = 0;
  for (const tetra* t : p.tetrahedra) {
    double v[4][3];
    for (int k = 0; k < 4; ++k) {
      v[k][0] = t->v[k]->x;
      v[k][1] = t->v[k]->y;
      v[k][2] = t->v[k]->z;
    }
    double e[3][3];
    for (int k = 0; k < 3; ++k)
      for (int d = 0; d < 3; ++d) e[k][d] = v[k + 1][d] - v[0][d];
    const double volume = std::fabs(e[0][0] * (e[1][1] * e[2][2] - e[1][2] * e[2][1]) -
                                    e[0][1] * (e[1][0] * e[2][2] - e[1][2] * e[2][0]) +
                                    e[0][2] * (e[1][0] * e[2][1] - e[1][1] * e[2][0])) /
                          6;
    const int samples = std::max(200, static_cast<int>(150 * volume));
    int empty = 0;
    for (int s = 0; s < samples; ++s) {
      double b[3] = {u(rng), u(rng), u(rng)};
      std::sort(b, b + 3);
      const double w[4] = {b[0], b[1] - b[0], b[2] - b[1], 1 - b[2]};
      double q[3] = {0, 0, 0};
      for (int k = 0; k < 4; ++k)
        for (int d = 0; d < 3; ++d) q[d] += w[k] * v[k][d];
      bool covered = false;
      for (const info& a : atoms) {
        const double dx = q[0] - a.x, dy = q[1] - a.y, dz = q[2] - a.z, r = a.radius + probe;
        if (dx * dx + dy * dy + dz * dz < r * r) {
          covered = true;
          break;
        }
      }
      empty += !covered;
    }
    const double f = static_cast<double>(empty) / samples;
    total += volume * f;
    variance += volume * volume * f * (1 - f) / samples;
  }
  *sigma = std::sqrt(variance);
  return total;
}

TEST(PocketPipeline, ClosedShellHoldsOneCavityWithoutMouth) {
  Shell s(0.0);
  ASSERT_FALSE(s.pockets.empty());
  const pocket& cavity = s.largest();
  EXPECT_EQ(s.mouths[cavity.number - 1].triangle_count, 0);
  EXPECT_EQ(s.mouths[cavity.number - 1].opening_count, 0);
  for (const auto& sub : cavity.subpockets) EXPECT_EQ(sub->type, -1);
  // Every empty tetrahedron whose power centre lies deep inside is in it.
  for (const tetra& t : s.c.tetras) {
    const double r = std::sqrt(t.center[0] * t.center[0] + t.center[1] * t.center[1] +
                               t.center[2] * t.center[2]);
    if (!t.in_complex && r < 6.0) {
      EXPECT_EQ(t.pocket_number, cavity.number);
    }
  }
  for (const info& a : s.c.atoms) EXPECT_FALSE(a.marks[MARK_MOUTH]);
  // Its empty volume, against sampling of its own tetrahedra.
  double sigma = 0;
  const double sampled = sampled_empty_volume(cavity, s.c.atoms, 1.4, &sigma);
  EXPECT_GT(sampled, 2000.0);
  EXPECT_LT(sigma, 0.002 * sampled);
  EXPECT_NEAR(cavity.volume_sa, sampled, 4 * sigma);
}

TEST(PocketPipeline, ShellWithAHoleOpensAtItsRim) {
  const double hole = 30.0;
  Shell s(hole);
  const pocket& cavity = s.largest();
  const mouth& m = s.mouths[cavity.number - 1];
  EXPECT_GT(m.triangle_count, 0);
  EXPECT_EQ(m.opening_count, 1);
  ASSERT_EQ(m.openings.size(), 1u);
  int mouth_atoms = 0;
  for (const info& a : s.c.atoms) {
    const double polar = polar_degrees(a);
    if (a.marks[MARK_MOUTH]) {
      ++mouth_atoms;
      EXPECT_EQ(a.mouth_ids, std::vector<int>{cavity.number});
      EXPECT_LT(polar, hole + 15.0);  // on the rim, not elsewhere on the shell
    } else {
      EXPECT_GT(polar, hole + 6.0);  // the innermost ring is all mouth
    }
  }
  EXPECT_GE(mouth_atoms, 6);
  for (const auto& sub : cavity.subpockets) EXPECT_EQ(sub->type, 1);
}

// ---- the records of a real structure -------------------------------------

template <class List>
std::vector<int> ids(const List& list) {
  std::vector<int> out;
  for (const auto* x : list) out.push_back(x->id);
  return out;
}

// The builder writes its incidence lists in bulk; every list must still read
// as if each simplex had been appended when the walk met it: cofaces and atom
// lists by ascending id, neighbours in the order of their shared faces, each
// once.  The assembly and every pocket order follow from these lists.
TEST(PocketPipeline, RecordListsFollowTheOrderOfTheWalk) {
  std::vector<Bead> beads;
  read_pdb(std::string(DATA_DIR) + "/1a0q.pdb", beads);
  for (double alpha : {0.0, -1.0}) {
    PocketComplex c;
    build_pocket_complex(beads, 1.4, alpha, c);
    const size_t nt = c.tetras.size(), na = c.atoms.size();
    std::vector<std::vector<int>> cofaces(c.trias.size()), edge_tetras(c.edges.size()),
        edge_trias(c.edges.size()), all(na), in_complex(na), incident(na), neighbours(nt),
        shared(nt);
    std::vector<char> hull_atom(na, 0), hull_tetra(nt, 0);
    int voids = 0;
    for (const tetra& t : c.tetras) {
      for (const tria* f : t.faces) cofaces[f->id - 1].push_back(t.id);
      for (const edge* e : t.edges) edge_tetras[e->id - 1].push_back(t.id);
      for (const info* v : t.v) {
        all[v->index].push_back(t.id);
        if (t.in_complex) in_complex[v->index].push_back(t.id);
      }
      EXPECT_EQ(t.in_complex, t.signed_size <= alpha);
      EXPECT_EQ(t.void_id, t.in_complex ? -1 : ++voids);
      EXPECT_EQ(t.position, t.id);
    }
    auto link = [&](const tetra* a, const tetra* b, int face) {
      std::vector<int>& n = neighbours[a->id - 1];
      if (std::find(n.begin(), n.end(), b->id) != n.end()) return;
      n.push_back(b->id);
      shared[a->id - 1].push_back(face);
    };
    for (const tria& f : c.trias) {
      EXPECT_EQ(ids(f.cofaces), cofaces[f.id - 1]);
      for (const edge* e : f.e) edge_trias[e->id - 1].push_back(f.id);
      if (f.cofaces.size() == 2) {
        link(f.cofaces[0], f.cofaces[1], f.id);
        link(f.cofaces[1], f.cofaces[0], f.id);
      } else if (f.cofaces.size() == 1) {
        hull_tetra[f.cofaces[0]->id - 1] = 1;
        for (const info* v : f.v) hull_atom[v->index] = 1;
      }
      EXPECT_EQ(f.in_complex, f.signed_size <= alpha);
      EXPECT_EQ(f.position, static_cast<int>(nt) + f.id);
    }
    for (const edge& e : c.edges) {
      EXPECT_EQ(ids(e.coface_tetras), edge_tetras[e.id - 1]);
      EXPECT_EQ(ids(e.coface_trias), edge_trias[e.id - 1]);
      incident[e.v[0]->index].push_back(e.id);
      incident[e.v[1]->index].push_back(e.id);
    }
    for (const info& a : c.atoms) {
      EXPECT_EQ(ids(a.all_tetras), all[a.index]);
      EXPECT_EQ(ids(a.complex_tetras), in_complex[a.index]);
      EXPECT_EQ(ids(a.incident_edges), incident[a.index]);
      EXPECT_EQ(a.marks[MARK_HULL], hull_atom[a.index] != 0);
      if (hull_atom[a.index]) {
        for (int t : all[a.index]) hull_tetra[t - 1] = 1;
      }
    }
    for (const tetra& t : c.tetras) {
      EXPECT_EQ(ids(t.neighbours), neighbours[t.id - 1]);
      EXPECT_EQ(ids(t.shared_trias), shared[t.id - 1]);
      EXPECT_EQ(t.hull, hull_tetra[t.id - 1] != 0);
    }
    if (::testing::Test::HasFailure()) return;
  }
}

// ---- real structures, through the report files --------------------------

struct Row {
  int pocket;
  std::vector<int> serials;  // sorted
  double size;
};

std::vector<Row> tetra_rows(const std::string& text) {
  std::vector<Row> rows;
  for (const std::string& line : split_lines(text)) {
    if (line.empty() || line[0] == '#') continue;
    Row r;
    int s[4];
    EXPECT_EQ(std::sscanf(line.c_str(), "%d %d %d %d %d %lf", &r.pocket, &s[0], &s[1], &s[2], &s[3],
                          &r.size),
              6)
        << line;
    r.serials.assign(s, s + 4);
    std::sort(r.serials.begin(), r.serials.end());
    rows.push_back(r);
  }
  return rows;
}

// Power centre of four balls: the point of equal power |x - c|^2 - R^2.
bool power_centre(const Bead* b[4], double probe, double out[3]) {
  double m[3][4];
  for (int k = 1; k < 4; ++k) {
    const double r0 = b[0]->radius + probe, rk = b[k]->radius + probe;
    m[k - 1][0] = 2 * (b[k]->x - b[0]->x);
    m[k - 1][1] = 2 * (b[k]->y - b[0]->y);
    m[k - 1][2] = 2 * (b[k]->z - b[0]->z);
    m[k - 1][3] = (b[k]->x * b[k]->x + b[k]->y * b[k]->y + b[k]->z * b[k]->z - rk * rk) -
                  (b[0]->x * b[0]->x + b[0]->y * b[0]->y + b[0]->z * b[0]->z - r0 * r0);
  }
  auto det = [](double a[3][4], int skip) {
    double c[3][3];
    for (int i = 0; i < 3; ++i)
      for (int j = 0, k = 0; j < 4; ++j)
        if (j != skip) c[i][k++] = a[i][j];
    return c[0][0] * (c[1][1] * c[2][2] - c[1][2] * c[2][1]) -
           c[0][1] * (c[1][0] * c[2][2] - c[1][2] * c[2][0]) +
           c[0][2] * (c[1][0] * c[2][1] - c[1][1] * c[2][0]);
  };
  const double d = det(m, 3);
  if (std::fabs(d) < 1e-12) return false;
  // Cramer: replace column k by the right-hand side (column 3).
  for (int k = 0; k < 3; ++k) {
    double a[3][4];
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) a[i][j] = (j == k) ? m[i][3] : m[i][j];
      a[i][3] = 0;
    }
    out[k] = det(a, 3) / d;
  }
  return true;
}

struct Structure {
  std::string file;
  TempDir dir;
  std::vector<Bead> beads;
  std::string out;

  explicit Structure(const std::string& f, double alpha = 0.0, int pymol = 0) : file(f) {
    read_pdb(std::string(DATA_DIR) + "/" + f, beads);
    run(alpha, pymol);
  }
  void run(double alpha, int pymol) {
    std::ostringstream log;
    extract_pocket_short(beads, dir.file(file), pymol, 1.4, alpha, log);
    out = log.str();
  }
  std::string text(const std::string& suffix) const {
    return read_file(dir.file(pocket_base_name(file) + suffix));
  }
};

const char* const kSuffixes[] = {".poc",       ".subpoc",  ".poc.pdb",         ".mouth",
                                 ".mouthInfo", ".pocInfo", ".pocInfo.complex", ".alpha.tetra",
                                 ".subpocket"};

TEST(PocketPipeline, ReportFilesAgreeWithEachOther) {
  for (const char* f : {"1ubq.pdb", "1a0q.pdb", "1a1p.pdb"}) {
    SCOPED_TRACE(f);
    Structure s(f);
    EXPECT_EQ(s.out, "pocket segments judging done!\npockets detection done!\n");
    for (const char* suffix : kSuffixes) {
      EXPECT_TRUE(testrun::file_exists(s.dir.file(pocket_base_name(f) + suffix))) << suffix;
    }
    const std::vector<Row> pocket_rows = tetra_rows(s.text(".pocInfo.complex"));
    const std::vector<Row> complex_rows = tetra_rows(s.text(".alpha.tetra"));
    ASSERT_FALSE(pocket_rows.empty());

    // Pocket sizes do not decrease with the number; no tetrahedron twice,
    // none also in the complex.
    std::map<int, int> count;
    std::map<std::vector<int>, int> owner;
    for (const Row& r : pocket_rows) {
      ++count[r.pocket];
      EXPECT_TRUE(owner.emplace(r.serials, r.pocket).second) << "tetrahedron in two pockets";
    }
    for (const Row& r : complex_rows) EXPECT_EQ(owner.count(r.serials), 0u);
    int previous = 0;
    for (size_t n = 1; n <= count.size(); ++n) {
      ASSERT_EQ(count.count(static_cast<int>(n)), 1u);
      EXPECT_GE(count[n], previous);
      previous = count[n];
    }
    EXPECT_EQ(split_lines(s.text(".pocInfo")).size(), count.size() + 1);
    EXPECT_EQ(split_lines(s.text(".mouthInfo")).size(), count.size() + 1);

    // Every pocket atom is a vertex of a tetrahedron of its pocket.
    std::set<std::pair<int, int>> members;
    for (const Row& r : pocket_rows)
      for (int serial : r.serials) members.insert({serial, r.pocket});
    for (const std::string& line : split_lines(s.text(".poc"))) {
      const int serial = std::atoi(line.substr(4, 7).c_str());
      const int number = std::atoi(line.substr(66, 4).c_str());
      EXPECT_EQ(members.count({serial, number}), 1u) << line;
    }

    // Pseudo-atoms: one per tetrahedron, in the same order, each at the
    // power centre of its tetrahedron's four expanded balls.
    std::map<int, const Bead*> by_serial;
    for (const Bead& b : s.beads) by_serial[b.serial] = &b;
    const std::vector<std::string> pseudo = split_lines(s.text(".poc.pdb"));
    ASSERT_EQ(pseudo.size(), pocket_rows.size());
    for (size_t k = 0; k < pseudo.size(); ++k) {
      const std::string& line = pseudo[k];
      const double x[3] = {std::atof(line.substr(26, 12).c_str()),
                           std::atof(line.substr(38, 8).c_str()),
                           std::atof(line.substr(46, 8).c_str())};
      EXPECT_EQ(std::atoi(line.substr(66, 8).c_str()), pocket_rows[k].pocket);
      const Bead* b[4];
      for (int i = 0; i < 4; ++i) b[i] = by_serial.at(pocket_rows[k].serials[i]);
      double centre[3];
      if (!power_centre(b, 1.4, centre)) continue;
      const double scale =
          std::max(1.0, std::fabs(centre[0]) + std::fabs(centre[1]) + std::fabs(centre[2]));
      for (int d = 0; d < 3; ++d) EXPECT_NEAR(x[d], centre[d], 6e-4 * scale) << line;
    }
  }
}

TEST(PocketPipeline, RunsAreByteIdenticalWhateverTheViewerSwitch) {
  Structure s("1ubq.pdb", 0.0, 0);
  std::vector<std::string> first;
  for (const char* suffix : kSuffixes) first.push_back(s.text(suffix));
  EXPECT_FALSE(first[5].empty());
  for (int pymol : {0, 1}) {
    s.run(0.0, pymol);
    for (size_t k = 0; k < first.size(); ++k)
      EXPECT_EQ(s.text(kSuffixes[k]), first[k]) << kSuffixes[k];
  }
}

TEST(PocketPipeline, NoPocketWritesNoFile) {
  // At an alpha above every tetrahedron's size nothing is left empty.
  Structure s("1a1p.pdb", 100.0);
  EXPECT_EQ(s.out,
            "pocket segments judging done!\npockets detection done!\nNo pocket detected!!\n");
  EXPECT_TRUE(testrun::list_dir(s.dir.path()).empty());
}

// Four coplanar atoms make a flat tetrahedron, which the complex reports as
// degenerate: without a centre it takes no part in the flow and makes no
// pocket.  The first four are coplanar to rounding (the arithmetic gives an
// infinite centre, and they made a pocket); the second hold three collinear
// atoms (it gives a huge but finite one).
TEST(PocketPipeline, FlatTetrahedraHaveNoCentreAndMakeNoPocket) {
  const char* sets[2] = {
      "ATOM      1  N   GLY A   1      11.400  30.400  64.600  1.00 10.00           N\n"
      "ATOM      2  O   GLY A   1      15.200  30.400  60.800  1.00 10.00           O\n"
      "ATOM      3  NE2 HIS A   2      19.000  22.800  57.000  1.00 10.00           N\n"
      "ATOM      4  C   GLY A   3      22.800  26.600  53.200  1.00 10.00           C\n",
      "ATOM      1  O   GLY A   1      15.200  15.200  15.200  1.00 10.00           O\n"
      "ATOM      2  CA  ALA A   2      15.200  26.600  11.400  1.00 10.00           C\n"
      "ATOM      3  NE2 HIS A   3      19.000  22.800  11.400  1.00 10.00           N\n"
      "ATOM      4  O   GLY A   4      30.400  11.400  11.400  1.00 10.00           O\n"};
  for (const char* set : sets) {
    TempDir dir;
    FILE* f = std::fopen(dir.file("flat.pdb").c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs(set, f);
    std::fclose(f);
    std::vector<Bead> beads;
    read_pdb(dir.file("flat.pdb"), beads);
    PocketComplex c;
    build_pocket_complex(beads, 1.4, 0.0, c);
    ASSERT_EQ(c.tetras.size(), 1u);
    const double* centre = c.tetras[0].center;
    EXPECT_FALSE(std::isfinite(centre[0]) && std::isfinite(centre[1]) && std::isfinite(centre[2]));
    std::vector<pocket> pockets;
    pocketsrepresentation(c.tetras, pockets, 1.4);
    EXPECT_TRUE(pockets.empty());
  }
}

TEST(PocketPipeline, AlphaGrowsTheRadiiOnlyForTheReports) {
  // alpha > 0 admits more of the complex: fewer or smaller pockets, and the
  // initial alpha value is written.
  Structure base("1ubq.pdb", 0.0), grown("1ubq.pdb", 1.0);
  const std::vector<Row> a = tetra_rows(base.text(".pocInfo.complex"));
  const std::vector<Row> b = tetra_rows(grown.text(".pocInfo.complex"));
  EXPECT_LT(b.size(), a.size());
  for (const Row& r : tetra_rows(grown.text(".alpha.tetra"))) EXPECT_LE(r.size, 1.0);
  for (const Row& r : b) EXPECT_GE(r.size, 1.0);
  EXPECT_NE(grown.text(".alpha.tetra").find("#initial alpha value: 1.000000\n"), std::string::npos);
}

}  // namespace
