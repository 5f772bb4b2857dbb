#include "measure/contribreport.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "structure/bead.h"
#include "structure/output.h"

namespace {

// v right-aligned in `width` columns, as "%<width>d".
void put_int(std::string& out, int v, int width) {
  char text[16];
  const char* end = std::to_chars(text, text + sizeof text, v).ptr;
  const int n = static_cast<int>(end - text);
  if (n < width) out.append(static_cast<std::size_t>(width - n), ' ');
  out.append(text, static_cast<std::size_t>(n));
}

// A text padded to `width` columns, as "%-<width>s" (left) or "%<width>s".
void put_text(std::string& out, const char* text, int width, bool left) {
  const int n = static_cast<int>(std::strlen(text));
  if (!left && n < width) out.append(static_cast<std::size_t>(width - n), ' ');
  out.append(text, static_cast<std::size_t>(n));
  if (left && n < width) out.append(static_cast<std::size_t>(width - n), ' ');
}

// The text of printf's "%.4f" for a finite v below 2^50 or so: the exact
// binary value m 2^e times 10^4 (m 625 2^(e+4), whose product fits in 64
// bits) rounded half to even.  Returns its length, or -1 for a value outside
// that range.
int fixed4(double v, char* out) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  const int biased = static_cast<int>((bits >> 52) & 0x7ff);
  if (biased == 0x7ff) return -1;
  const uint64_t fraction = bits & ((uint64_t(1) << 52) - 1);
  const uint64_t m = biased == 0 ? fraction : fraction | (uint64_t(1) << 52);
  const int shift = -((biased == 0 ? -1074 : biased - 1075) + 4);
  if (shift < 0) return -1;
  const uint64_t scaled = m * 625;
  uint64_t q = 0;  // also when shift >= 64: the value is below 1/2 there
  if (shift == 0) {
    q = scaled;
  } else if (shift < 64) {
    q = scaled >> shift;
    const uint64_t rest = scaled & ((uint64_t(1) << shift) - 1);
    const uint64_t half = uint64_t(1) << (shift - 1);
    if (rest > half || (rest == half && (q & 1))) ++q;
  }
  char* p = out;
  if (bits >> 63) *p++ = '-';
  p = std::to_chars(p, p + 24, q / 10000).ptr;
  const unsigned part = static_cast<unsigned>(q % 10000);
  p[0] = '.';
  p[1] = static_cast<char>('0' + part / 1000);
  p[2] = static_cast<char>('0' + part / 100 % 10);
  p[3] = static_cast<char>('0' + part / 10 % 10);
  p[4] = static_cast<char>('0' + part % 10);
  return static_cast<int>(p + 5 - out);
}

// v with four decimals right-aligned in six columns, as "%6.4f": the same
// correctly rounded digits, "nan" and "inf" included.  A value too long for
// the buffer goes through printf itself.
void put_fixed4(std::string& out, double v) {
  char text[64];
  int n = fixed4(v, text);
  if (n < 0) {
    const std::to_chars_result r =
        std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, 4);
    if (r.ec != std::errc()) {
      const int wide_n = std::snprintf(nullptr, 0, "%6.4f", v);
      std::string wide(static_cast<std::size_t>(wide_n) + 1, '\0');
      std::snprintf(&wide[0], wide.size(), "%6.4f", v);
      out.append(wide.data(), static_cast<std::size_t>(wide_n));
      return;
    }
    n = static_cast<int>(r.ptr - text);
  }
  if (n < 6) out.append(static_cast<std::size_t>(6 - n), ' ');
  out.append(text, static_cast<std::size_t>(n));
}

}  // namespace

void area_volume_measure(std::vector<info>& atoms, std::vector<Bead>& beads, std::string stem,
                         double probe, int report_type, int cusp) {
  const std::string path = stem + "." + std::to_string(report_type) + ".contrib";
  std::FILE* out = open_output(path);
  if (out == nullptr) return;
  static const char* const titles[5] = {
      "#  individual area contributions to TOTAL VOIDS.\n#\n",
      "#  individual area contributions to SPACE FILLING.\n#\n",
      "#  individual area contributions to ENVELOPE.\n#\n",
      "#  individual area contributions to OUTSIDE FRINGE.\n#\n",
      "#  individual area & volume contributions to CHECKING.\n#\n"};
  const int type = report_type >= 0 && report_type <= 4 ? report_type : 4;
  std::fputs(cusp != 0 ? "# With cusp correction.\n" : "# No cusp correction.\n", out);
  std::fputs("#\n", out);
  std::fprintf(out, "#  file: %s,   with solv rad: %f\n", stem.c_str(), probe);
  std::fputs(titles[type], out);
  if (type == 4) {
    std::fputs("#                                           Area                    Volume\n", out);
    std::fputs("#\t\t\t       Vert     SA\tMS              SA\tMS\n", out);
  } else {
    std::fputs("#\t\t\t       Vert     SA\tMS \n", out);
  }
  // The accumulators of the first two columns; type 4 adds the volumes.
  double info::*sa = &info::area_sa;
  double info::*ms = &info::area_ms;
  if (type == 0) {
    sa = &info::void_area_sa;
    ms = &info::void_area_ms;
  } else if (type == 2 || type == 3) {
    sa = &info::envelope_sa;
    ms = &info::envelope_ms;
  }
  // The rows are formatted here, as printf would ("%-6s%5d  %-4s%3s %c%4d
  // %8d   \t" and "%6.4f" columns), and written in large blocks.
  std::string block;
  block.reserve(1 << 16);
  for (std::size_t n = 0; n < atoms.size() && n < beads.size(); ++n) {
    const info& a = atoms[n];
    const Bead& b = beads[n];
    block += "ATOM  ";
    put_int(block, pdb_serial(b.serial), 5);
    block += "  ";
    put_text(block, b.atom_name, 4, true);
    put_text(block, b.res_name, 3, false);
    block += ' ';
    // The chain identifier goes out as a raw byte, even a zero one.
    block += b.chain_id;
    put_int(block, pdb_residue_number(b.res_num), 4);
    block += ' ';
    put_int(block, static_cast<int>(n) + 1, 8);
    block += "   \t";
    put_fixed4(block, a.*sa);
    block += '\t';
    put_fixed4(block, a.*ms);
    block += "  \t";
    if (type == 4) {
      put_fixed4(block, a.volume_sa);
      block += '\t';
      put_fixed4(block, a.volume_ms);
    }
    block += '\n';
    if (block.size() > (1 << 16) - 256) {
      std::fwrite(block.data(), 1, block.size(), out);
      block.clear();
    }
  }
  std::fwrite(block.data(), 1, block.size(), out);
  close_output(out, path);
}
