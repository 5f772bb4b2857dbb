#include "analysis/pocketscripts.h"

#include <fstream>
#include <sstream>

#include "analysis/filtration.h"
#include "analysis/matlab.h"

namespace {

const char* const COLOURS[7] = {"green", "yellow", "red", "blue", "magenta", "cyan", "black"};

// The fixed selection of sub_pocket_m.
const int SELECTED_POCKET = 66;

bool functional(const tria* t) {
  return t->v[0]->functional_residue && t->v[1]->functional_residue && t->v[2]->functional_residue;
}

void write_subpocket_triangle(std::ostream& out, const filter* f, const char* colour, size_t k) {
  const tria* t = f->tria_ref;
  matlab_triangle_coordinates(out, t);
  out << "handle1=fill3(x,y,z,'" << colour << "');"
      << " %" << f->alpha << " triangle " << t->v[0]->serial << " " << t->v[1]->serial << " "
      << t->v[2]->serial << std::endl;
  out << "set([handle1],'FaceAlpha'," << 1 << ");"
      << "% " << k << std::endl;
  out << std::endl;
}

// Positions of the sub-pockets whose knot tops name triangle t (by id), in
// list order; a sub-pocket stops being scanned once two are found.
std::vector<size_t> sides_of(const pocket& p, const tria* t) {
  std::vector<size_t> sides;
  for (size_t k = 0; k < p.subpockets.size(); ++k) {
    for (const std::shared_ptr<mouth>& top : p.subpockets[k]->knot_tops) {
      if (top->triangles.empty() || top->triangles[0]->id != t->id) continue;
      sides.push_back(k);
      if (sides.size() >= 2) break;
    }
  }
  return sides;
}

template <class T>
std::string joined(const std::vector<T>& values) {
  std::ostringstream s;
  for (size_t i = 0; i < values.size(); ++i) s << (i == 0 ? "" : ",") << values[i];
  return s.str();
}

}  // namespace

void visualization_poc_matlab(std::vector<tetra>&, std::vector<info>&, std::vector<pocket>& pockets,
                              std::string name, double, double) {
  const std::string base = pocket_base_name(name);
  for (size_t p = 0; p < pockets.size(); ++p) {
    const std::string path = base + "." + std::to_string(pockets[p].number) + ".poc.m";
    std::ofstream out(path.c_str());
    const char* colour = COLOURS[p % 7];
    matlab_header(out);
    for (tetra* t : pockets[p].tetrahedra) {
      for (tria* f : t->faces) {
        if (f->drawn) continue;
        f->drawn = true;
        if (!f->in_complex) continue;
        matlab_triangle_coordinates(out, f);
        out << "handle1=fill3(x,y,z,'" << colour << "');" << std::endl;
        out << "set([handle1],'FaceAlpha'," << 0.95 << ");" << std::endl;
      }
    }
    matlab_footer(out);
  }
}

void sub_pocket_m(std::string name, std::vector<pocket>& pockets) {
  const std::string base = pocket_base_name(name);

  const std::string all_path = base + ".all.m";
  std::ofstream all(all_path.c_str());
  matlab_header(all);
  all << std::endl;
  for (const pocket& p : pockets) {
    if (p.subpockets.empty() || p.number != SELECTED_POCKET) continue;
    for (size_t k = 0; k < p.subpockets.size(); ++k) {
      const char* colour = COLOURS[k % 7];
      const std::string path =
          base + "." + std::to_string(p.number) + "." + std::to_string(k) + ".poc.m";
      std::ofstream out(path.c_str());
      matlab_header(out);
      out << std::endl;
      for (const filter* f : p.subpockets[k]->filters) {
        // Only triangle filters stand in a sub-pocket's list.
        if (f->dimension != 2 || f->tria_ref == nullptr || !(f->alpha <= 0.0)) continue;
        write_subpocket_triangle(out, f, colour, k);
        write_subpocket_triangle(all, f, colour, k);
      }
      matlab_footer(out);
    }
    matlab_footer(all);
    all.close();
  }

  const std::string combin_path = base + ".combin";
  std::ofstream combin(combin_path.c_str());
  if (!combin) return;
  for (const pocket& p : pockets) {
    for (const tria* t : p.boundary_triangles) {
      std::vector<size_t> matches;
      for (size_t k = 0; k < p.subpockets.size(); ++k) {
        for (double a : p.subpockets[k]->alphas) {
          if (a != t->signed_size) continue;
          matches.push_back(k);
          if (matches.size() >= 2) break;
        }
      }
      if (matches.size() < 2 || !functional(t)) continue;
      const subpocket& m0 = *p.subpockets[matches[0]];
      const subpocket& m1 = *p.subpockets[matches[1]];
      combin << t->signed_size << "," << m0.begin << "," << m0.end << "," << m1.begin << ","
             << m1.end << std::endl;
    }
  }
}

void life_time_r_script(std::string name, std::vector<pocket>& pockets) {
  const std::string base = pocket_base_name(name);
  for (const pocket& p : pockets) {
    if (p.subpockets.size() < 2) continue;

    std::vector<size_t> order;  // sub-pocket positions in the order first named
    auto y_of = [&order](size_t position) -> int {
      for (size_t i = 0; i < order.size(); ++i) {
        if (order[i] == position) return static_cast<int>(i) + 1;
      }
      order.push_back(position);
      return static_cast<int>(order.size());
    };
    std::vector<double> x;
    std::vector<int> y;
    for (const tria* t : p.boundary_triangles) {
      const std::vector<size_t> sides = sides_of(p, t);
      if (sides.size() < 2) continue;
      const int y1 = y_of(sides[0]);
      const int y2 = y_of(sides[1]);
      x.push_back(t->signed_size);
      x.push_back(t->signed_size);
      y.push_back(y1);
      y.push_back(y2);
    }
    if (x.empty()) continue;

    const std::string path = base + "." + std::to_string(p.number) + ".r";
    std::ofstream out(path.c_str());
    if (!out) continue;
    out << "x=c(" << joined(x) << ")\n";
    out << "y=c(" << joined(y) << ")\n";
    out << "plot(x,y,xlab='alpha value',ylab='sub_pocket id',col='red')" << std::endl;
    for (size_t i = 0; i < x.size(); i += 2) {
      out << "segments(" << x[i] << "," << y[i] << "," << x[i] << "," << y[i + 1]
          << ",col='blue')\n";
    }
    for (size_t i = 0; i < order.size(); ++i) {
      const subpocket& q = *p.subpockets[order[i]];
      out << "segments(" << q.begin << "," << i + 1 << "," << q.end << "," << i + 1
          << ",col='green')\n";
    }
  }
}
