#include "pockets/reports.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "pockets/areavolume.h"
#include "pockets/pseudoatoms.h"
#include "structure/numformat.h"
#include "structure/output.h"

namespace {

// Room for any one row: its fixed text, numbers of any size and a margin.
const size_t kRowMax = 12 * kFixedTextMax + 512;

// A report file opened for writing; one that cannot be created is reported
// and never written through.  Rows are formatted straight into a buffer,
// which reaches the file in large blocks.
class Report {
 public:
  explicit Report(const std::string& path)
      : path_(path), file_(open_output(path)), buf_(1 << 14), used_(0) {
    // The blocks go to the file as they are: no second buffer.
    if (file_ != nullptr) std::setvbuf(file_, nullptr, _IONBF, 0);
  }
  ~Report() { close(); }
  Report(const Report&) = delete;
  Report& operator=(const Report&) = delete;

  explicit operator bool() const { return file_ != nullptr; }

  // Where to write the next row of at most extra + kRowMax bytes; hand the
  // end of what was written to commit().
  char* room(size_t extra = 0) {
    const size_t n = extra + kRowMax;
    if (used_ + n > buf_.size()) {
      flush();
      if (n > buf_.size()) buf_.resize(n);
    }
    return buf_.data() + used_;
  }
  void commit(const char* end) { used_ = static_cast<size_t>(end - buf_.data()); }
  void put(const std::string& text) { commit(put_text(room(text.size()), text.c_str())); }

  // False when the file could not be written whole (reported then).
  bool close() {
    flush();
    bool ok = close_output(file_, path_);
    file_ = nullptr;
    return ok;
  }

 private:
  void flush() {
    if (file_ != nullptr && used_ > 0) std::fwrite(buf_.data(), 1, used_, file_);
    used_ = 0;
  }

  std::string path_;
  FILE* file_;
  std::vector<char> buf_;
  size_t used_;
};

const char* const kHeaderTetra = "     V1       V2       V3       V4       alphavalue\n";

// A value in its fixed-width column.  A value that fills the width would run
// into the column before it, so it gets a blank first: one blank, then the
// value right-aligned in the rest of the width.
char* column(char* out, long long value, int width) {
  *out++ = ' ';
  return put_integer(out, value, width - 1);
}
char* column(char* out, double value, int width, int precision) {
  *out++ = ' ';
  return put_fixed(out, value, width - 1, precision);
}
// The text "a.b".
char* tag_column(char* out, int a, int b, int width) {
  char tag[2 * kNumberTextMax];
  char* end = put_integer(tag, a);
  *end++ = '.';
  *put_integer(end, b) = '\0';
  *out++ = ' ';
  return put_text(out, tag, width - 1);
}

char* put_literal(char* out, const char* text, size_t n) {
  std::memcpy(out, text, n);
  return out + n;
}
template <size_t N>
char* put_literal(char* out, const char (&text)[N]) {
  return put_literal(out, text, N - 1);
}

// A PDB-like atom row up to its temperature column; the serial and the
// residue number stay in their PDB columns.
char* atom_columns(char* out, int serial, const char* name, const char* residue, char chain,
                   int number, double x, double y, double z, double temperature) {
  out = put_literal(out, "ATOM");
  out = put_integer(out, pdb_serial(serial), 7);
  out = put_literal(out, "  ");
  out = put_text_left(out, name, 4);
  out = put_text(out, residue, 3);
  *out++ = ' ';
  *out++ = chain;
  out = put_integer(out, pdb_residue_number(number), 4);
  out = put_fixed(out, x, 12, 3);
  out = put_fixed(out, y, 8, 3);
  out = put_fixed(out, z, 8, 3);
  out = put_literal(out, "  1.00");  // the occupancy, 1 as "%6.2f" has it
  return put_fixed(out, temperature, 6, 2);
}

// The atom columns of an atom that stands in several rows: made at its
// first row, copied into the rows after it.
class AtomRow {
 public:
  AtomRow(const info& a, int serial) : a_(a), serial_(serial) {}
  char* put(char* out) {
    if (n_ > 0) {
      std::memcpy(out, text_, n_);
      return out + n_;
    }
    char* end = atom_columns(out, serial_, a_.atom_name, a_.residue_name, a_.chain_id,
                             a_.residue_number, a_.x, a_.y, a_.z, a_.bfactor);
    const size_t n = static_cast<size_t>(end - out);
    if (n <= sizeof text_) {
      std::memcpy(text_, out, n);
      n_ = n;
    }
    return end;
  }

 private:
  const info& a_;
  int serial_;
  size_t n_ = 0;
  char text_[128];
};

// The serial columns of a tetrahedron table: an atom stands in many rows,
// so its column text is made once and copied after that.
class SerialColumns {
 public:
  char* put(char* out, const info& a) {
    if (a.index < 0) return column(out, a.serial, 9);
    const size_t i = static_cast<size_t>(a.index);
    if (i >= texts_.size()) texts_.resize(i + 1);
    Text& t = texts_[i];
    // The text depends on the serial alone; the check keeps it right for
    // records that share an index.
    if (t.length == 0 || t.serial != a.serial) {
      char text[2 * kNumberTextMax];
      t.length = static_cast<unsigned char>(column(text, a.serial, 9) - text);
      t.serial = a.serial;
      std::memcpy(t.text, text, sizeof t.text);
    }
    std::memcpy(out, t.text, sizeof t.text);
    return out + t.length;
  }

 private:
  struct Text {
    int serial = 0;
    unsigned char length = 0;  // 0: not made yet
    char text[16];             // a blank and up to 11 characters of an int
  };
  std::vector<Text> texts_;
};

// The decimal text of a row number that goes up by one at a time, kept
// instead of made again for each row.
class RowNumber {
 public:
  RowNumber() {
    std::memset(digits_, '0', sizeof digits_);
    next();  // 1
  }
  void next() {
    int k = kDigits - 1;
    while (k >= first_ && digits_[k] == '9') digits_[k--] = '0';
    if (k < first_) first_ = k;
    ++digits_[k];
  }
  // "%-*d": the digits, then blanks up to `width`.
  char* put(char* out, int width) const {
    const int n = kDigits - first_;
    std::memcpy(out, digits_ + first_, static_cast<size_t>(n));
    out += n;
    for (int k = n; k < width; ++k) *out++ = ' ';
    return out;
  }

 private:
  static const int kDigits = 24;
  char digits_[kDigits];
  int first_ = kDigits - 1;  // where the digits start
};

void write_tetra_row(Report& out, SerialColumns& serials, const RowNumber& number,
                     const tetra& t) {
  char* p = number.put(out.room(), 4);
  for (int k = 0; k < 4; ++k) p = serials.put(p, *t.v[k]);
  p = column(p, t.signed_size, 9, 4);
  *p++ = '\n';
  out.commit(p);
}

// The two header lines of a tetrahedron table.
void write_tetra_header(Report& out, const char* kind, double alpha) {
  char* p = put_text(out.room(), kind);
  p = put_text(p, kHeaderTetra);
  p = put_literal(p, "#initial alpha value: ");
  p = put_fixed(p, alpha, 0, 6);
  *p++ = '\n';
  out.commit(p);
}

}  // namespace

bool write_poc(const std::string& path, const std::vector<info>& atoms) {
  Report out(path);
  if (!out) return false;
  for (const info& a : atoms) {
    if (!a.marks[MARK_POCKET]) continue;
    AtomRow row(a, a.serial);
    for (int n : a.pocket_numbers) {
      char* p = row.put(out.room());
      p = column(p, n, 4);
      out.commit(put_literal(p, "  POC\n"));
    }
  }
  return out.close();
}

bool write_subpoc(const std::string& path, const std::vector<info>& atoms) {
  Report out(path);
  if (!out) return false;
  for (const info& a : atoms) {
    if (!a.marks[MARK_POCKET]) continue;
    AtomRow row(a, a.serial);
    for (const sub_id& s : a.sub_ids) {
      for (int j : s.subpockets) {
        char* p = row.put(out.room());
        p = tag_column(p, s.pocket, j, 8);
        out.commit(put_literal(p, "  POC\n"));
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
        char* p =
            atom_columns(out.room(), serial, "CA", "XXX", 'X', serial, q.x, q.y, q.z, q.radius);
        p = tag_column(p, q.pocket_numbers[k], q.pocket_numbers[k + 1], 8);
        out.commit(put_literal(p, "  POC\n"));
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
    AtomRow row(a, static_cast<int>(i) + 1);
    for (int v : a.mouth_ids) {
      char* p = row.put(out.room());
      p = column(p, v, 4);
      out.commit(put_literal(p, "  M4P\n"));
    }
  }
  return out.close();
}

bool write_mouth_info(const std::string& path, const std::string& base,
                      const std::vector<mouth>& mouths) {
  Report out(path);
  if (!out) return false;
  out.put("MTH: Molecule ID N_mth  Area_sa  Area_ms   Len_sa   Len_ms   Ntri\n");
  for (size_t u = 0; u < mouths.size(); ++u) {
    const mouth& m = mouths[u];
    char* p = put_literal(out.room(base.size()), "MTH: ");
    p = put_text(p, base.c_str());
    *p++ = ' ';
    p = put_integer(p, static_cast<int>(u) + 1, 3);
    *p++ = ' ';
    p = put_integer(p, m.opening_count, 3);
    p = put_fixed(put_literal(p, "  "), m.area_sa, 8, 3);
    p = put_fixed(put_literal(p, "  "), m.area_ms, 7, 2);
    p = put_fixed(put_literal(p, "  "), m.length_sa, 8, 3);
    p = put_fixed(put_literal(p, "  "), m.length_ms, 7, 2);
    p = put_integer(put_literal(p, "  "), m.triangle_count, 4);
    *p++ = '\n';
    out.commit(p);
  }
  return out.close();
}

bool write_poc_info(const std::string& path, const std::string& base,
                    const std::vector<pocket>& pockets, const std::vector<mouth>& mouths) {
  Report out(path);
  if (!out) return false;
  out.put("POC: Molecule ID N_mth  Area_sa  Area_ms   Vol_sa   Vol_ms    Lenth  cnr\n");
  const PocketRanking ranking = rank_pockets(pockets);
  for (size_t r = 1; r <= ranking.order.size(); ++r) {
    const pocket& p = pockets[ranking.order[r - 1]];
    const int openings = r - 1 < mouths.size() ? mouths[r - 1].opening_count : 0;
    char* o = put_literal(out.room(base.size()), "POC: ");
    o = put_text(o, base.c_str(), 4);
    o = column(o, static_cast<long long>(r), 7);
    o = column(o, openings, 4);
    o = column(o, p.area_sa, 10, 3);
    o = column(o, p.area_ms, 9, 2);
    o = column(o, p.volume_sa, 10, 3);
    o = column(o, p.volume_ms, 9, 2);
    o = column(o, p.length, 9, 2);
    o = column(o, p.cnr, 5);
    *o++ = '\n';
    out.commit(o);
  }
  return out.close();
}

bool write_poc_info_complex(const std::string& path, const std::vector<pocket>& pockets,
                            double alpha) {
  Report out(path);
  if (!out) return false;
  write_tetra_header(out, "#POC", alpha);
  SerialColumns serials;
  const PocketRanking ranking = rank_pockets(pockets);
  RowNumber number;  // r
  for (size_t r = 1; r <= ranking.order.size(); ++r, number.next()) {
    for (const tetra* t : pockets[ranking.order[r - 1]].tetrahedra) {
      write_tetra_row(out, serials, number, *t);
    }
  }
  return out.close();
}

bool write_alpha_tetra(const std::string& path, const std::vector<tetra>& tetras, double alpha) {
  Report out(path);
  if (!out) return false;
  write_tetra_header(out, "#TET", alpha);
  SerialColumns serials;
  RowNumber number;  // i + 1
  for (size_t i = 0; i < tetras.size(); ++i, number.next()) {
    if (tetras[i].in_complex) write_tetra_row(out, serials, number, tetras[i]);
  }
  return out.close();
}

bool write_subpocket_table(const std::string& path, const std::string& base,
                           const std::vector<pocket>& pockets) {
  Report out(path);
  if (!out) return false;
  out.put("# sub_pocket input file\n");
  out.put("# PDB: " + base + '\n');
  out.put(
      "#\n# POC: pocket id\n# SUBPOC: sub_pocket id\n# TYPE: 1-mouth, 2-neck and 3-body\n"
      "# BEGIN: time the sub_pocket about to shrink\n# END: time the sub_pocket is dead\n"
      "# KNOT: split juncture\n# BLANK: there is no sub_pocket\n\n");
  out.put("POC\tSUBPOC\tTYPE\tBEGIN\tEND\tKNOT\n");
  // Integers in decimal and doubles as a stream writes them by default.
  const PocketRanking ranking = rank_pockets(pockets);
  for (size_t r = 1; r <= ranking.order.size(); ++r) {
    const pocket& p = pockets[ranking.order[r - 1]];
    if (p.subpockets.size() == 1) {
      char* o = put_integer(out.room(), static_cast<long long>(r));
      *o++ = '\n';
      out.commit(o);
      continue;
    }
    for (size_t j = 0; j < p.subpockets.size(); ++j) {
      const subpocket& s = *p.subpockets[j];
      char* o = put_integer(out.room(), static_cast<long long>(r));
      *o++ = '.';
      o = put_integer(o, static_cast<long long>(j));
      *o++ = ';';
      o = put_integer(o, s.type);
      *o++ = ';';
      o = put_integer(o, static_cast<long long>(s.tetrahedra.size()));
      *o++ = ';';
      o = put_general(o, s.begin);
      *o++ = ';';
      o = put_general(o, s.end);
      *o++ = ';';
      out.commit(o);
      bool first = true;
      for (size_t u = 0; u < s.knot_partners.size() && u < s.knot_tops.size(); ++u) {
        if (s.knot_tops[u]->triangles.empty()) continue;
        o = out.room();
        if (!first) *o++ = ',';
        o = put_integer(o, s.knot_partners[u]);
        *o++ = ':';
        out.commit(put_general(o, s.knot_tops[u]->triangles[0]->signed_size));
        first = false;
      }
      o = out.room();
      *o++ = '\n';
      out.commit(o);
    }
  }
  return out.close();
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
