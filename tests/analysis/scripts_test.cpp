// Texts of the filtration report files and of the pocket MATLAB and R
// scripts, on small hand-made records.
#include <gtest/gtest.h>

#include <memory>

#include "analysis/filtrationreport.h"
#include "analysis/pocketscripts.h"
#include "analysis_fixtures.h"
#include "support/run.h"

namespace {

using testrun::file_exists;
using testrun::read_file;
using testrun::split_lines;
using testrun::TempDir;

const char* const HEADER =
    "n=20;\nt1 = 0:pi/n:2*pi;\nt2 = 0:pi/n:pi;\n[X,Z]=meshgrid(t1,t2);\nhold on\n";
const char* const FOOTER =
    "daspect([1 1 1]);\nview(3); axis tight; grid on;\ncamlight;\nlighting gouraud;\n";

std::string spaces(int n) { return std::string(n, ' '); }

struct Filters {
  std::vector<std::unique_ptr<filter>> owned;
  std::vector<filter*> list;
  filter* add(int dimension, double alpha, int sign) {
    owned.emplace_back(new filter());
    filter* f = owned.back().get();
    f->dimension = dimension;
    f->alpha = alpha;
    f->sign = sign;
    f->position = static_cast<int>(list.size()) + 1;
    list.push_back(f);
    return f;
  }
};

TEST(FiltrationReport, ColumnsPairsChainsAndScript) {
  HandComplex h(4, {{0, 1, 2, 3}});
  h.atoms[0].x = 1.5;
  Filters f;
  filter* v = f.add(0, -1.5, 1);
  v->info_ref = &h.atoms[0];
  v->paired = true;
  v->partner = 7;
  h.atoms[1].position = 3;
  h.atoms[2].position = 5;
  h.atoms[0].chain = {&h.atoms[1], &h.atoms[2]};
  f.add(1, 0.5, 1)->edge_ref = h.edge_of(0, 1);
  f.add(1, 0.25, 0)->edge_ref = h.edge_of(1, 2);
  f.add(2, 2.0, 1)->tria_ref = h.face(0, 1, 2);
  f.add(2, 2.5, -1)->tria_ref = h.face(0, 1, 3);
  f.add(3, 3.0, -1)->tetra_ref = &h.tetras[0];

  TempDir dir;
  persistence(f.list, dir.file("1abc.pdb.old"), 0.0);
  const std::vector<std::string> fil = split_lines(read_file(dir.file("1abc.fil")));
  ASSERT_EQ(fil.size(), 9u + 6u);
  EXPECT_EQ(fil[0], "#SIM: simplex");
  EXPECT_EQ(fil[7], "#SIM       V1       V2       V3       V4       sign       alphavalue");
  EXPECT_EQ(fil[9], "VER      100A" + spaces(26) + "        1" + spaces(12) + "-1.5000");
  EXPECT_EQ(fil[10], "EDG      100A     101A" + spaces(17) + "        1" + spaces(13) + "0.5000");
  EXPECT_EQ(fil[14], "TET      100A     101A     102A     103A      -1" + spaces(13) + "3.0000");
  for (size_t i = 9; i < fil.size(); ++i) EXPECT_EQ(fil[i].size(), 48u + 19u) << fil[i];

  const std::vector<std::string> pair = split_lines(read_file(dir.file("1abc.fil.pair")));
  ASSERT_EQ(pair.size(), 2u + 6u);
  EXPECT_EQ(pair[0], "#ID         V1       V2       V3       V4       sign  PAIRID");
  EXPECT_EQ(pair[2], "1          100A" + spaces(26) + "        1       7:     3     5");
  EXPECT_EQ(pair[4], "3          101A     102A" + spaces(17) + "        0");
  EXPECT_EQ(pair[7], "6          100A     101A     102A     103A      -1");

  const std::string script = read_file(dir.file("1abc.fil.m"));
  EXPECT_EQ(script.rfind(std::string(HEADER) + "\n% atom 100\n\nx=[1.5,1];\n", 0), 0u);
  EXPECT_NE(script.find("handle1=line(x,y,z); %0.5 edge 100 101\nset(handle1,'color','red');\n"),
            std::string::npos);
  EXPECT_NE(script.find("handle1=line(x,y,z); %0.25 edge 101 102\nset(handle1,'color','blue');\n"),
            std::string::npos);
  EXPECT_NE(script.find("handle1=fill3(x,y,z,'yellow'); %2 triangle 100 101 102\n"
                        "set([handle1],'FaceAlpha',0.8);\n"),
            std::string::npos);
  EXPECT_NE(script.find("handle1=fill3(x,y,z,'green'); %2.5 triangle 100 101 103\n"
                        "set([handle1],'FaceAlpha',0.4);\n"),
            std::string::npos);
  EXPECT_NE(script.find("% tetrahedra 100 101 102 103\n\n" + std::string(FOOTER)),
            std::string::npos);
}

TEST(FiltrationReport, EmptyListAndUnwritableFiles) {
  TempDir dir;
  std::vector<filter*> none;
  persistence(none, dir.file("model"), 0.0);
  EXPECT_EQ(split_lines(read_file(dir.file("model.fil"))).size(), 9u);
  EXPECT_EQ(split_lines(read_file(dir.file("model.fil.pair"))).size(), 2u);
  EXPECT_EQ(read_file(dir.file("model.fil.m")), std::string(HEADER) + "\n" + FOOTER);

  // Files that cannot be created are skipped without a word.
  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  persistence(none, dir.file("missing/model"), 0.0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// Three pockets side by side; faces in the complex are drawn once.
struct ThreePockets {
  HandComplex h{7, {{0, 1, 2, 3}, {1, 2, 3, 4}, {2, 3, 4, 5}, {3, 4, 5, 6}}};
  std::vector<pocket> pockets{3};
  ThreePockets() {
    for (tria& f : h.trias) f.in_complex = true;
    h.face(0, 1, 3)->in_complex = false;
    pockets[0].number = 2;
    pockets[0].tetrahedra = {&h.tetras[0], &h.tetras[1]};
    pockets[1].number = 3;
    pockets[1].tetrahedra = {&h.tetras[2]};
    pockets[2].number = 1;
    pockets[2].tetrahedra = {&h.tetras[3]};
  }
};

int count(const std::string& text, const std::string& piece) {
  int n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

TEST(PocketScripts, PocketFacesByPlaceColourOnce) {
  ThreePockets t;
  TempDir dir;
  const std::string name = dir.file("1abc.pdb");
  visualization_poc_matlab(t.h.tetras, t.h.atoms, t.pockets, name, 0, 0);
  const std::string first = read_file(dir.file("1abc.2.poc.m"));
  const std::string second = read_file(dir.file("1abc.3.poc.m"));
  const std::string third = read_file(dir.file("1abc.1.poc.m"));
  // Two tetrahedra have 7 distinct faces, one of them outside the complex.
  EXPECT_EQ(count(first, "handle1=fill3(x,y,z,'green');\nset([handle1],'FaceAlpha',0.95);\n"), 6);
  // The next tetrahedron shares face 2 3 4 with the first pocket.
  EXPECT_EQ(count(second, "'yellow'"), 3);
  EXPECT_EQ(count(third, "'red'"), 3);
  EXPECT_EQ(first.rfind(HEADER + std::string("x=["), 0), 0u);
  EXPECT_EQ(first.substr(first.size() - std::string(FOOTER).size()), FOOTER);
  for (const tria& f : t.h.trias) EXPECT_TRUE(f.drawn);

  visualization_poc_matlab(t.h.tetras, t.h.atoms, t.pockets, name, 0, 0);
  EXPECT_EQ(read_file(dir.file("1abc.2.poc.m")), std::string(HEADER) + FOOTER);
}

TEST(PocketScripts, UncreatableScriptsAreSkippedWithoutAWord) {
  ThreePockets t;
  TempDir dir;
  const std::string name = dir.file("missing/1abc.pdb");
  t.pockets[0].number = 66;
  t.pockets[0].subpockets = {std::make_shared<subpocket>(), std::make_shared<subpocket>()};
  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  visualization_poc_matlab(t.h.tetras, t.h.atoms, t.pockets, name, 0, 0);
  sub_pocket_m(name, t.pockets);
  life_time_r_script(name, t.pockets);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  // The faces are flagged all the same.
  for (const tria& f : t.h.trias) EXPECT_TRUE(f.drawn);
}

TEST(PocketScripts, SubpocketScriptsAndCombinationTable) {
  ThreePockets t;
  TempDir dir;
  const std::string name = dir.file("1abc.pdb");
  // No pocket numbered 66: only the collecting script's header.
  sub_pocket_m(name, t.pockets);
  EXPECT_EQ(read_file(dir.file("1abc.all.m")), std::string(HEADER) + "\n");
  EXPECT_FALSE(file_exists(dir.file("1abc.66.0.poc.m")));
  EXPECT_EQ(read_file(dir.file("1abc.combin")), "");

  pocket& p = t.pockets[0];
  p.number = 66;
  auto a = std::make_shared<subpocket>();
  auto b = std::make_shared<subpocket>();
  a->begin = 0.5;
  a->end = 4.0;
  b->begin = 1.5;
  b->end = 3.0;
  filter drawn, hidden;
  drawn.dimension = hidden.dimension = 2;
  drawn.tria_ref = t.h.face(0, 1, 2);
  drawn.alpha = 0.0;
  hidden.tria_ref = t.h.face(1, 2, 3);
  hidden.alpha = 0.5;
  b->filters = {&drawn, &hidden};
  tria* top = t.h.face(2, 3, 4);
  top->signed_size = 2.5;
  a->alphas = {2.5};
  b->alphas = {2.5};
  p.subpockets = {a, b};
  p.boundary_triangles = {top};
  tria* lone = t.h.face(1, 2, 4);
  lone->signed_size = 9.0;  // matched by no sub-pocket
  p.boundary_triangles.push_back(lone);
  for (int i : {2, 3, 4}) t.h.atoms[i].functional_residue = true;
  t.h.atoms[1].functional_residue = true;  // the unmatched triangle is functional too

  sub_pocket_m(name, t.pockets);
  EXPECT_EQ(read_file(dir.file("1abc.66.0.poc.m")), std::string(HEADER) + "\n" + FOOTER);
  const std::string block =
      "x=[0,1,2];\ny=[0,2,4];\nz=[0,3,6];\n"
      "handle1=fill3(x,y,z,'yellow'); %0 triangle 100 101 102\n"
      "set([handle1],'FaceAlpha',1);% 1\n\n";
  EXPECT_EQ(read_file(dir.file("1abc.66.1.poc.m")), std::string(HEADER) + "\n" + block + FOOTER);
  EXPECT_EQ(read_file(dir.file("1abc.all.m")), std::string(HEADER) + "\n" + block + FOOTER);
  EXPECT_EQ(read_file(dir.file("1abc.combin")), "2.5,0.5,4,1.5,3\n");

  t.h.atoms[3].functional_residue = false;
  sub_pocket_m(name, t.pockets);
  EXPECT_EQ(read_file(dir.file("1abc.combin")), "");
}

TEST(LifeSpanScript, PointsSegmentsAndNumbering) {
  HandComplex h(6, {{0, 1, 2, 3}, {1, 2, 3, 4}, {2, 3, 4, 5}});
  std::vector<pocket> pockets(2);
  pocket& p = pockets[0];
  p.number = 3;
  for (int k = 0; k < 3; ++k) p.subpockets.push_back(std::make_shared<subpocket>());
  auto knot = [](subpocket& s, tria* t) {
    auto m = std::make_shared<mouth>();
    m->triangles = {t};
    s.knot_tops.push_back(m);
  };
  tria* early = h.face(2, 3, 4);
  early->signed_size = 2.5;
  knot(*p.subpockets[1], early);
  knot(*p.subpockets[2], early);
  p.boundary_triangles = {early};
  p.subpockets[1]->begin = 1.5;
  p.subpockets[1]->end = 4.0;
  p.subpockets[2]->begin = 0.5;
  p.subpockets[2]->end = 3.0;
  pockets[1].number = 4;
  pockets[1].subpockets.push_back(std::make_shared<subpocket>());

  TempDir dir;
  life_time_r_script(dir.file("a.pdb.b.pdb"), pockets);
  EXPECT_EQ(read_file(dir.file("a.3.r")),
            "x=c(2.5,2.5)\n"
            "y=c(1,2)\n"
            "plot(x,y,xlab='alpha value',ylab='sub_pocket id',col='red')\n"
            "segments(2.5,1,2.5,2,col='blue')\n"
            "segments(1.5,1,4,1,col='green')\n"
            "segments(0.5,2,3,2,col='green')\n");
  EXPECT_FALSE(file_exists(dir.file("a.4.r")));  // one sub-pocket

  // A sub-pocket first named by a later triangle takes the next number.
  tria* late = h.face(1, 2, 3);
  late->signed_size = 3.125;
  knot(*p.subpockets[0], late);
  knot(*p.subpockets[2], late);
  p.boundary_triangles.push_back(late);
  life_time_r_script(dir.file("model.ent"), pockets);
  const std::vector<std::string> lines = split_lines(read_file(dir.file("model.ent.3.r")));
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], "x=c(2.5,2.5,3.125,3.125)");
  EXPECT_EQ(lines[1], "y=c(1,2,3,2)");
  EXPECT_EQ(lines[4], "segments(3.125,3,3.125,2,col='blue')");
  EXPECT_EQ(lines[7], "segments(10,3,-10,3,col='green')");

  // Without boundary triangles there is nothing to plot.
  p.boundary_triangles.clear();
  life_time_r_script(dir.file("empty"), pockets);
  EXPECT_FALSE(file_exists(dir.file("empty.3.r")));
}

}  // namespace
