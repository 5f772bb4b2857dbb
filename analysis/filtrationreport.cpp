#include "analysis/filtrationreport.h"

#include <cstdio>
#include <fstream>

#include "analysis/matlab.h"
#include "pockets/pocket.h"

namespace {

void write_fil(std::FILE* out, const std::vector<filter*>& filters) {
  std::fputs("#SIM: simplex\n", out);
  std::fputs("#VER: vertex\n", out);
  std::fputs("#EDG: edge\n", out);
  std::fputs("#TRI: triangle\n", out);
  std::fputs("#TET: tetrahedra\n", out);
  std::fputs("#sign: 1(build up a cycle), -1(otherwise)\n#\n", out);
  std::fputs("#SIM       V1       V2       V3       V4       sign       alphavalue\n#\n", out);
  for (const filter* f : filters) {
    switch (f->dimension) {
      case 0: {
        const info* a = f->info_ref;
        std::fprintf(out, "%-4s%8d%c%8s%9s%9s%9d%19.4f\n", "VER", a->serial, a->chain_id, "", "",
                     "", f->sign, f->alpha);
        break;
      }
      case 1: {
        const info* const* v = f->edge_ref->v;
        std::fprintf(out, "%-4s%8d%c%8d%c%8s%9s%9d%19.4f\n", "EDG", v[0]->serial, v[0]->chain_id,
                     v[1]->serial, v[1]->chain_id, "", "", f->sign, f->alpha);
        break;
      }
      case 2: {
        const info* const* v = f->tria_ref->v;
        std::fprintf(out, "%-4s%8d%c%8d%c%8d%c%8s%9d%19.4f\n", "TRI", v[0]->serial, v[0]->chain_id,
                     v[1]->serial, v[1]->chain_id, v[2]->serial, v[2]->chain_id, "", f->sign,
                     f->alpha);
        break;
      }
      case 3: {
        const info* const* v = f->tetra_ref->v;
        std::fprintf(out, "%-4s%8d%c%8d%c%8d%c%8d%c%8d%19.4f\n", "TET", v[0]->serial,
                     v[0]->chain_id, v[1]->serial, v[1]->chain_id, v[2]->serial, v[2]->chain_id,
                     v[3]->serial, v[3]->chain_id, f->sign, f->alpha);
        break;
      }
      default:
        break;
    }
  }
}

template <class Element>
void write_chain(std::FILE* out, const std::vector<Element*>& chain) {
  for (const Element* x : chain) std::fprintf(out, "%6d", x->position);
}

void write_pairs(std::FILE* out, const std::vector<filter*>& filters) {
  std::fputs("#ID         V1       V2       V3       V4       sign  PAIRID\n#\n", out);
  for (const filter* f : filters) {
    switch (f->dimension) {
      case 0: {
        const info* a = f->info_ref;
        std::fprintf(out, "%-6d%8d%c%8s%9s%9s%9d", f->position, a->serial, a->chain_id, "", "", "",
                     f->sign);
        break;
      }
      case 1: {
        const info* const* v = f->edge_ref->v;
        std::fprintf(out, "%-6d%8d%c%8d%c%8s%9s%9d", f->position, v[0]->serial, v[0]->chain_id,
                     v[1]->serial, v[1]->chain_id, "", "", f->sign);
        break;
      }
      case 2: {
        const info* const* v = f->tria_ref->v;
        std::fprintf(out, "%-6d%8d%c%8d%c%8d%c%8s%9d", f->position, v[0]->serial, v[0]->chain_id,
                     v[1]->serial, v[1]->chain_id, v[2]->serial, v[2]->chain_id, "", f->sign);
        break;
      }
      case 3: {
        const info* const* v = f->tetra_ref->v;
        std::fprintf(out, "%-6d%8d%c%8d%c%8d%c%8d%c%8d\n", f->position, v[0]->serial,
                     v[0]->chain_id, v[1]->serial, v[1]->chain_id, v[2]->serial, v[2]->chain_id,
                     v[3]->serial, v[3]->chain_id, f->sign);
        continue;
      }
      default:
        continue;
    }
    if (f->paired) std::fprintf(out, "%8d:", f->partner);
    switch (f->dimension) {
      case 0:
        write_chain(out, f->info_ref->chain);
        break;
      case 1:
        write_chain(out, f->edge_ref->chain);
        break;
      default:
        write_chain(out, f->tria_ref->chain);
        break;
    }
    std::fputs("\n", out);
  }
}

void write_script(std::ostream& out, const std::vector<filter*>& filters) {
  matlab_header(out);
  out << "\n";
  for (const filter* f : filters) {
    switch (f->dimension) {
      case 0:
        out << "% atom " << f->info_ref->serial << "\n";
        break;
      case 1: {
        const info* a = f->edge_ref->v[0];
        const info* b = f->edge_ref->v[1];
        out << "x=[" << a->x << "," << b->x << "];\n";
        out << "y=[" << a->y << "," << b->y << "];\n";
        out << "z=[" << a->z << "," << b->z << "];\n";
        out << "handle1=line(x,y,z);"
            << " %" << f->alpha << " edge " << a->serial << " " << b->serial << "\n";
        out << "set(handle1,'color','" << (f->sign == 1 ? "red" : "blue") << "');\n";
        break;
      }
      case 2: {
        const tria* t = f->tria_ref;
        const bool positive = f->sign == 1;
        matlab_triangle_coordinates(out, t);
        out << "handle1=fill3(x,y,z,'" << (positive ? "yellow" : "green") << "');"
            << " %" << f->alpha << " triangle " << t->v[0]->serial << " " << t->v[1]->serial << " "
            << t->v[2]->serial << "\n";
        out << "set([handle1],'FaceAlpha'," << (positive ? 0.8 : 0.4) << ");\n";
        break;
      }
      case 3: {
        const info* const* v = f->tetra_ref->v;
        out << "% tetrahedra " << v[0]->serial << " " << v[1]->serial << " " << v[2]->serial << " "
            << v[3]->serial << "\n";
        break;
      }
      default:
        continue;
    }
    out << "\n";
  }
  matlab_footer(out);
}

}  // namespace

void persistence(std::vector<filter*>& filters, std::string name, double /*value*/) {
  const std::string base = pocket_base_name(name);

  const std::string fil = base + ".fil";
  if (std::FILE* out = std::fopen(fil.c_str(), "w")) {
    write_fil(out, filters);
    std::fclose(out);
  }

  const std::string pair = base + ".fil.pair";
  if (std::FILE* out = std::fopen(pair.c_str(), "w")) {
    write_pairs(out, filters);
    std::fclose(out);
  }

  // A stream that failed to open drops the script's lines.
  const std::string script = base + ".fil.m";
  std::ofstream out(script.c_str());
  write_script(out, filters);
}
