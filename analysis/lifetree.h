// Sub-pocket life trees: how a pocket falls apart into its sub-pockets as
// alpha grows and the knot triangles between them enter the complex, and
// the text renderings of such a tree.
#ifndef ANALYSIS_LIFETREE_H
#define ANALYSIS_LIFETREE_H

#include <string>
#include <vector>

#include "pockets/pocket.h"

// One knot between two sub-pockets.
struct branch {
  int subpocket_id = 0;  // id of the sub-pocket whose knot tops hold it
  int partner_id = 0;    // id of the partner sub-pocket
  double time = 0.0;     // size of the top triangle: when the two are cut apart
  tria* top_triangle = nullptr;
};

// One node: a group of sub-pockets, the time of its next cut and the groups
// it falls into then.  Made with new; the root hangs in its pocket's
// `trees`, every other node in its parent's `children`.
struct tree {
  int id = 0;                    // id of the top triangle of the node's earliest branch
  double time = 0.0;             // next cut; without branches the first sub-pocket's max_alpha
  std::vector<branch> branches;  // knots among its sub-pockets, ascending time
  std::vector<tree*> children;   // none, one or two
  std::vector<subpocket*> subpockets;

  void tree_building() {}
};

// For every pocket of two or more sub-pockets with at least one knot top:
// builds its life tree, appends the root to the pocket's `trees`, and
// appends to each sub-pocket's `path` one digit (0 first group, 1 second) and
// to its `split_times` the time of each two-way cut above its leaf.  A
// pocket whose sub-pockets have no knot tops gets no tree.
void pocket_life_tree(std::vector<pocket>& pockets);

// Builds the subtree below a node holding `time`, `branches` (ascending) and
// `subpockets`: the branches later than the node's time join its
// sub-pockets into groups; one group gives one child, two groups two children
// (with their path digits), more or none no children.  Works without
// recursion, so deep trees cannot exhaust the call stack.
void tree_building(tree* node);

// Deletes the trees of the pockets (every node) and empties their lists.
void release_life_trees(std::vector<pocket>& pockets);

// Renders a pocket's life tree from its sub-pockets' paths and split times:
// appends to rows[r] the ASCII row and to commands[r] the R definition of
// the r-th sub-pocket in path order, to tree_text the tree in Newick
// notation (no closing semicolon), then appends the R plot commands to
// `commands`.  Lists shorter than the number of sub-pockets are extended.
void poc_tree_string(pocket* pocket, std::vector<std::string>& rows, std::string& tree_text,
                     std::vector<std::string>& commands);

#endif
