/*
 * Tabulating a formula with RealCalBatch: one call evaluates many points.
 *
 * The formula has two parameters. The first varies over the points (a column of
 * values); the second is left NULL, so every point uses the value in the formula's
 * own parameter slot. Each result is exactly what RealCal gives for that point.
 *
 * Build: cc batch.c $(pkg-config --cflags --libs quorel32) -o batch
 */
#include <stdio.h>

#include "Quorel32.h"

#define POINTS 5

int main(void) {
    if (!InitQuorel()) return 1;
    void *damped = NULL;
    int nPara, errBegin, errEnd;
    double *para;
    int rc = RealCom("damped(t, k) = exp(-k * t) * cos(6.283185307179586 * t)", 1, &damped, &nPara,
                     &para, &errBegin, &errEnd);
    if (rc != 0) {
        fprintf(stderr, "compile error %d at %d..%d\n", rc, errBegin, errEnd);
        FreeQuorel();
        return 1;
    }
    double t[POINTS], v[POINTS];
    for (int i = 0; i < POINTS; ++i) t[i] = i * 0.25;
    para[1] = 0.5;                        /* k: the same for every point */
    const double *columns[2] = {t, NULL}; /* t from the column, k from its slot */
    if (RealCalBatch(damped, POINTS, columns, v) != 0) {
        fprintf(stderr, "not a usable real formula\n");
        FreeQuorel();
        return 1;
    }
    for (int i = 0; i < POINTS; ++i) printf("damped(%.2f, 0.5) = %.6f\n", t[i], v[i]);
    FreeQuorel();
    return 0;
}
