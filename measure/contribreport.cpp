#include "measure/contribreport.h"

#include <cstdio>
#include <string>
#include <vector>

#include "structure/bead.h"
#include "structure/output.h"

void area_volume_measure(std::vector<info>& atoms, std::vector<Bead>& beads, std::string name,
                         double probe, int report_type, int cusp) {
  const std::string prefix = name.substr(0, 4);
  const std::string path = prefix + "." + std::to_string(report_type) + ".contrib";
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
  std::fprintf(out, "#  file: %s,   with solv rad: %f\n", prefix.c_str(), probe);
  std::fputs(titles[type], out);
  if (type == 4) {
    std::fputs("#                                           Area                    Volume\n", out);
    std::fputs("#\t\t\t       Vert     SA\tMS              SA\tMS\n", out);
  } else {
    std::fputs("#\t\t\t       Vert     SA\tMS \n", out);
  }
  for (std::size_t n = 0; n < atoms.size() && n < beads.size(); ++n) {
    const info& a = atoms[n];
    const Bead& b = beads[n];
    // One call per line: the chain identifier goes out as a raw byte, even a
    // zero one, as %c writes it.
    std::fprintf(out, "%-6s%5d  %-4s%3s %c%4d %8d   \t", "ATOM", pdb_serial(b.serial), b.atom_name,
                 b.res_name, b.chain_id, pdb_residue_number(b.res_num), static_cast<int>(n) + 1);
    switch (type) {
      case 0:
        std::fprintf(out, "%6.4f\t%6.4f  \t\n", a.void_area_sa, a.void_area_ms);
        break;
      case 1:
        std::fprintf(out, "%6.4f\t%6.4f  \t\n", a.area_sa, a.area_ms);
        break;
      case 2:
      case 3:
        std::fprintf(out, "%6.4f\t%6.4f  \t\n", a.envelope_sa, a.envelope_ms);
        break;
      default:
        std::fprintf(out, "%6.4f\t%6.4f  \t%6.4f\t%6.4f\n", a.area_sa, a.area_ms, a.volume_sa,
                     a.volume_ms);
        break;
    }
  }
  close_output(out, path);
}
