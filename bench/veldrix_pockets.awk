# Writes two synthetic pockets for the aligner benchmark.
#   awk -v n=300 -v seed=1 -v out1=a.pocket -v out2=b.pocket -f veldrix_pockets.awk
# The first pocket is n atoms scattered over a rough shell whose radius grows
# with the square root of n (pocket atoms line a surface); the second is the
# same atoms rotated, shifted, jittered by about 0.4 A, shuffled, with a tenth
# of them replaced by fresh atoms.
function gauss() { return sqrt(-2 * log(1 - rand())) * cos(6.283185307179586 * rand()) }
BEGIN {
    srand(seed)
    split("C N O S C C O N", atoms, " ")
    split("A C D E F G H I K L M N P Q R S T V W Y", res, " ")
    radius = 0.6 * sqrt(n)
    for (i = 0; i < n; i++) {
        do { x = 2 * rand() - 1; y = 2 * rand() - 1; z = 2 * rand() - 1; r2 = x * x + y * y + z * z } while (r2 > 1 || r2 < 0.01)
        s = radius * (0.75 + 0.25 * rand()) / sqrt(r2)
        X[i] = x * s; Y[i] = y * s; Z[i] = z * s
        T[i] = atoms[1 + int(8 * rand())]; R[i] = res[1 + int(20 * rand())]
        printf "%.3f %.3f %.3f %s %s\n", X[i], Y[i], Z[i], T[i], R[i] > out1
    }
    # rotation about a skew axis, then a shift
    c = cos(0.9); sn = sin(0.9)
    for (i = 0; i < n; i++) P[i] = i
    for (i = n - 1; i > 0; i--) { j = int((i + 1) * rand()); t = P[i]; P[i] = P[j]; P[j] = t }
    for (k = 0; k < n; k++) {
        i = P[k]
        x = X[i]; y = Y[i]; z = Z[i]; t = T[i]; rr = R[i]
        if (rand() < 0.1) { x = radius * (2 * rand() - 1); y = radius * (2 * rand() - 1); z = radius * (2 * rand() - 1) }
        x += 0.4 * gauss(); y += 0.4 * gauss(); z += 0.4 * gauss()
        u = c * x - sn * y; v = sn * x + c * y
        w = c * v - sn * z; z2 = sn * v + c * z
        printf "%.3f %.3f %.3f %s %s\n", u + 7.5, w - 3.25, z2 + 12, t, rr > out2
    }
}
