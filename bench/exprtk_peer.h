// ExprTk as a benchmark peer, kept behind plain functions: its header takes minutes
// and gigabytes to compile, so only exprtk_peer.cpp includes it.
#pragma once

struct ExprtkPeer;

// Compiles `text` over the variables x and y bound to *x and *y; null on a parse error.
ExprtkPeer *ExprtkCompile(const char *text, double *x, double *y);
void ExprtkFree(ExprtkPeer *p);
double ExprtkValue(ExprtkPeer *p);
// Sum of the values over the grid xs × ys; the loop lives beside the evaluation so
// that the call can be inlined, as in a program that uses ExprTk directly.
double ExprtkSweep(ExprtkPeer *p, const double *xs, int nx, const double *ys, int ny);
// Compiles and discards, for the compile-time comparison.
bool ExprtkCompileOnly(const char *text);
