#include "pockets/reports.h"

#include <cstdio>
#include <fstream>
#include <string>

#include "pockets/areavolume.h"
#include "pockets/pseudoatoms.h"
#include "structure/output.h"

namespace {

// A report file opened for writing; one that cannot be created is reported
// and never written through.
class Report {
 public:
  explicit Report(const std::string& path) : path_(path), file_(open_output(path)) {}
  ~Report() { close(); }
  Report(const Report&) = delete;
  Report& operator=(const Report&) = delete;

  FILE* get() const { return file_; }
  explicit operator bool() const { return file_ != nullptr; }
  // False when the file could not be written whole (reported then).
  bool close() {
    bool ok = close_output(file_, path_);
    file_ = nullptr;
    return ok;
  }

 private:
  std::string path_;
  FILE* file_;
};

const char* const kHeaderTetra = "     V1       V2       V3       V4       alphavalue\n";

// Prints a value in its fixed-width column.  A value that fills the width
// would run into the column before it, so it gets a blank first.
template <class T>
void column(FILE* f, const char* format, T value) {
  const int n = std::snprintf(nullptr, 0, format, value);
  if (n < 0) return;
  std::string text(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(&text[0], text.size(), format, value);
  text.resize(static_cast<size_t>(n));
  if (text.empty() || text[0] != ' ') std::fputc(' ', f);
  std::fputs(text.c_str(), f);
}

// A PDB-like atom row up to its temperature column; the serial and the
// residue number stay in their PDB columns.
void atom_columns(FILE* f, int serial, const char* name, const char* residue, char chain,
                  int number, double x, double y, double z, double temperature) {
  std::fprintf(f, "ATOM%7d  %-4s%3s %c%4d%12.3f%8.3f%8.3f%6.2f%6.2f", pdb_serial(serial), name,
               residue, chain, pdb_residue_number(number), x, y, z, 1.0, temperature);
}

void write_tetra_row(FILE* f, int number, const tetra& t) {
  std::fprintf(f, "%-4d", number);
  for (int k = 0; k < 4; ++k) column(f, "%9d", t.v[k]->serial);
  column(f, "%9.4f", t.signed_size);
  std::fputc('\n', f);
}

std::string tag(int a, int b) { return std::to_string(a) + "." + std::to_string(b); }

}  // namespace

bool write_poc(const std::string& path, const std::vector<info>& atoms) {
  Report out(path);
  if (!out) return false;
  for (const info& a : atoms) {
    if (!a.marks[MARK_POCKET]) continue;
    for (int n : a.pocket_numbers) {
      atom_columns(out.get(), a.serial, a.atom_name, a.residue_name, a.chain_id, a.residue_number,
                   a.x, a.y, a.z, a.bfactor);
      column(out.get(), "%4d", n);
      std::fputs("  POC\n", out.get());
    }
  }
  return out.close();
}

bool write_subpoc(const std::string& path, const std::vector<info>& atoms) {
  Report out(path);
  if (!out) return false;
  for (const info& a : atoms) {
    if (!a.marks[MARK_POCKET]) continue;
    for (const sub_id& s : a.sub_ids) {
      for (int j : s.subpockets) {
        atom_columns(out.get(), a.serial, a.atom_name, a.residue_name, a.chain_id, a.residue_number,
                     a.x, a.y, a.z, a.bfactor);
        column(out.get(), "%8s", tag(s.pocket, j).c_str());
        std::fputs("  POC\n", out.get());
      }
    }
  }
  return out.close();
}

bool write_poc_pdb(const std::string& path, const std::vector<pocket>& pockets) {
  Report out(path);
  if (!out) return false;
  const PocketRanking ranking = rank_pockets(pockets);
  for (int position : ranking.order) {
    const std::vector<info>& pseudo = pockets[position].pseudo_atoms;
    for (size_t m = 0; m < pseudo.size(); ++m) {
      const info& q = pseudo[m];
      // One row per (pocket number, sub-pocket index) pair; an odd last
      // entry has no partner and is left out.
      for (size_t k = 0; k + 1 < q.pocket_numbers.size(); k += 2) {
        const int serial = static_cast<int>(m) + 1;
        atom_columns(out.get(), serial, "CA", "XXX", 'X', serial, q.x, q.y, q.z, q.radius);
        column(out.get(), "%8s", tag(q.pocket_numbers[k], q.pocket_numbers[k + 1]).c_str());
        std::fputs("  POC\n", out.get());
      }
    }
  }
  return out.close();
}

bool write_mouth(const std::string& path, const std::vector<info>& atoms) {
  Report out(path);
  if (!out) return false;
  for (size_t i = 0; i < atoms.size(); ++i) {
    const info& a = atoms[i];
    if (!a.marks[MARK_MOUTH]) continue;
    for (int v : a.mouth_ids) {
      atom_columns(out.get(), static_cast<int>(i) + 1, a.atom_name, a.residue_name, a.chain_id,
                   a.residue_number, a.x, a.y, a.z, a.bfactor);
      column(out.get(), "%4d", v);
      std::fputs("  M4P\n", out.get());
    }
  }
  return out.close();
}

bool write_mouth_info(const std::string& path, const std::string& base,
                      const std::vector<mouth>& mouths) {
  Report out(path);
  if (!out) return false;
  std::fputs("MTH: Molecule ID N_mth  Area_sa  Area_ms   Len_sa   Len_ms   Ntri\n", out.get());
  for (size_t u = 0; u < mouths.size(); ++u) {
    const mouth& m = mouths[u];
    std::fprintf(out.get(), "MTH: %s %3d %3d  %8.3f  %7.2f  %8.3f  %7.2f  %4d\n", base.c_str(),
                 static_cast<int>(u) + 1, m.opening_count, m.area_sa, m.area_ms, m.length_sa,
                 m.length_ms, m.triangle_count);
  }
  return out.close();
}

bool write_poc_info(const std::string& path, const std::string& base,
                    const std::vector<pocket>& pockets, const std::vector<mouth>& mouths) {
  Report out(path);
  if (!out) return false;
  std::fputs("POC: Molecule ID N_mth  Area_sa  Area_ms   Vol_sa   Vol_ms    Lenth  cnr\n",
             out.get());
  const PocketRanking ranking = rank_pockets(pockets);
  for (size_t r = 1; r <= ranking.order.size(); ++r) {
    const pocket& p = pockets[ranking.order[r - 1]];
    const int openings = r - 1 < mouths.size() ? mouths[r - 1].opening_count : 0;
    std::fprintf(out.get(), "POC: %4s", base.c_str());
    column(out.get(), "%7d", static_cast<int>(r));
    column(out.get(), "%4d", openings);
    column(out.get(), "%10.3f", p.area_sa);
    column(out.get(), "%9.2f", p.area_ms);
    column(out.get(), "%10.3f", p.volume_sa);
    column(out.get(), "%9.2f", p.volume_ms);
    column(out.get(), "%9.2f", p.length);
    column(out.get(), "%5d", p.cnr);
    std::fputc('\n', out.get());
  }
  return out.close();
}

bool write_poc_info_complex(const std::string& path, const std::vector<pocket>& pockets,
                            double alpha) {
  Report out(path);
  if (!out) return false;
  std::fprintf(out.get(), "#POC%s", kHeaderTetra);
  std::fprintf(out.get(), "#initial alpha value: %f\n", alpha);
  const PocketRanking ranking = rank_pockets(pockets);
  for (size_t r = 1; r <= ranking.order.size(); ++r) {
    for (const tetra* t : pockets[ranking.order[r - 1]].tetrahedra) {
      write_tetra_row(out.get(), static_cast<int>(r), *t);
    }
  }
  return out.close();
}

bool write_alpha_tetra(const std::string& path, const std::vector<tetra>& tetras, double alpha) {
  Report out(path);
  if (!out) return false;
  std::fprintf(out.get(), "#TET%s", kHeaderTetra);
  std::fprintf(out.get(), "#initial alpha value: %f\n", alpha);
  for (size_t i = 0; i < tetras.size(); ++i) {
    if (tetras[i].in_complex) write_tetra_row(out.get(), static_cast<int>(i) + 1, tetras[i]);
  }
  return out.close();
}

bool write_subpocket_table(const std::string& path, const std::string& base,
                           const std::vector<pocket>& pockets) {
  std::ofstream out;
  if (!open_output(out, path)) return false;
  // Lines end without a flush: the file is written out when it is closed.
  out << "# sub_pocket input file\n";
  out << "# PDB: " << base << '\n';
  out << "#\n# POC: pocket id\n# SUBPOC: sub_pocket id\n# TYPE: 1-mouth, 2-neck and 3-body\n"
         "# BEGIN: time the sub_pocket about to shrink\n# END: time the sub_pocket is dead\n"
         "# KNOT: split juncture\n# BLANK: there is no sub_pocket\n\n";
  out << "POC\tSUBPOC\tTYPE\tBEGIN\tEND\tKNOT\n";
  const PocketRanking ranking = rank_pockets(pockets);
  for (size_t r = 1; r <= ranking.order.size(); ++r) {
    const pocket& p = pockets[ranking.order[r - 1]];
    if (p.subpockets.size() == 1) {
      out << r << '\n';
      continue;
    }
    for (size_t j = 0; j < p.subpockets.size(); ++j) {
      const subpocket& s = *p.subpockets[j];
      out << r << "." << j << ";" << s.type << ";" << s.tetrahedra.size() << ";" << s.begin << ";"
          << s.end << ";";
      bool first = true;
      for (size_t u = 0; u < s.knot_partners.size() && u < s.knot_tops.size(); ++u) {
        if (s.knot_tops[u]->triangles.empty()) continue;
        if (!first) out << ",";
        out << s.knot_partners[u] << ":" << s.knot_tops[u]->triangles[0]->signed_size;
        first = false;
      }
      out << '\n';
    }
  }
  return close_output(out, path);
}

void pocketsmeasure(std::vector<tetra>& tetras, std::vector<info>& atoms,
                    std::vector<pocket>& pockets, std::vector<mouth>& mouths, std::string name,
                    int pymol, double probe, double alpha) {
  number_pockets(pockets);
  pocketsareavolume(atoms, pockets, pymol, probe, alpha);
  pocketsnegativeimage(atoms, pockets, pymol, probe, alpha);

  const std::string base = pocket_base_name(name);
  write_poc(base + ".poc", atoms);
  write_subpoc(base + ".subpoc", atoms);
  write_poc_pdb(base + ".poc.pdb", pockets);
  write_mouth(base + ".mouth", atoms);
  write_mouth_info(base + ".mouthInfo", base, mouths);
  write_poc_info(base + ".pocInfo", base, pockets, mouths);
  write_poc_info_complex(base + ".pocInfo.complex", pockets, alpha);
  write_alpha_tetra(base + ".alpha.tetra", tetras, alpha);
  write_subpocket_table(base + ".subpocket", base, pockets);
}
