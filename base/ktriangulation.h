#ifndef ZEQ_BASE_KTRIANGULATION_H
#define ZEQ_BASE_KTRIANGULATION_H

namespace zeqsdk_400 {

// Splits a polygon of n vertices into n - 2 triangles of polygon-local vertex
// indices, three ints each, as a strip zig-zagging from both ends:
// (0, 1, 2), (2, 3, 0), (0, 3, n-1), (3, 4, n-1), (n-1, 4, n-2), ...
// The winding of the polygon is kept. out needs room for 3 x (n - 2) ints.
// Fewer than 3 vertices (or a null out) write nothing.
void KTriangulation(int* out, int n);

}  // namespace zeqsdk_400

#endif
