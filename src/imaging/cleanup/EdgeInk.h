#pragma once
// Ink that reaches a cut page's edge from outside its content: what is left of a scanner's
// border or a gutter's shadow where the page's margin, or the size it shares with the book's
// other pages, runs past the paper (as it does at the corners of a levelled page).

#include "imaging/Picture.h"
#include "imaging/cleanup/InkMap.h"

namespace vellumark::imaging {

// Makes paper, of the margin's own colour, of every pixel well darker than the margin's paper
// that is joined to the picture's edge without passing through `keep` (the content, in the
// picture's pixels), and of the grey fringe around them. Ink inside `keep`, and specks in the
// margin that do not reach the edge, stay; so does all of it when most of the margin is dark and
// joined to the edge (a picture printed to the paper's edge). Grey or RGB pictures.
// Thread-safe.
void ClearEdgeInk(Picture& picture, const PixelBox& keep);

}  // namespace vellumark::imaging
