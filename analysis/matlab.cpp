#include "analysis/matlab.h"

void matlab_header(std::ostream& out) {
  out << "n=20;\n";
  out << "t1 = 0:pi/n:2*pi;\n";
  out << "t2 = 0:pi/n:pi;\n";
  out << "[X,Z]=meshgrid(t1,t2);\n";
  out << "hold on\n";
}

void matlab_footer(std::ostream& out) {
  out << "daspect([1 1 1]);\n";
  out << "view(3); axis tight; grid on;\n";
  out << "camlight;\n";
  out << "lighting gouraud;\n";
}

void matlab_triangle_coordinates(std::ostream& out, const tria* t) {
  const info* a = t->v[0];
  const info* b = t->v[1];
  const info* c = t->v[2];
  out << "x=[" << a->x << "," << b->x << "," << c->x << "];\n";
  out << "y=[" << a->y << "," << b->y << "," << c->y << "];\n";
  out << "z=[" << a->z << "," << b->z << "," << c->z << "];\n";
}
