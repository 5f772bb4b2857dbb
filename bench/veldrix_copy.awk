# Writes a moved copy of a pocket file (five tokens per atom) and what the
# aligner should find for it.
#   awk -v seed=3 -v noise=0.2 -v shuffle=1 -v out=b -v truth=b.truth -f veldrix_copy.awk a
# The copy is the pocket turned by a random rotation R, shifted by up to 20 A,
# every atom moved by up to `noise` A in a random direction, and its lines
# shuffled when shuffle is 1.  truth gets R's nine entries row by row on the
# first line, then for each line of the copy the index of its atom in the
# original.
function gauss() { return sqrt(-2 * log(1 - rand())) * cos(6.283185307179586 * rand()) }
BEGIN { n = 0 }
{ X[n] = $1; Y[n] = $2; Z[n] = $3; T[n] = $4; R[n] = $5; n++ }
END {
    srand(seed)
    # uniform random rotation from a uniform unit quaternion
    u1 = rand(); u2 = 6.283185307179586 * rand(); u3 = 6.283185307179586 * rand()
    a = sqrt(1 - u1) * sin(u2); b = sqrt(1 - u1) * cos(u2); c = sqrt(u1) * sin(u3); d = sqrt(u1) * cos(u3)
    m[0] = 1 - 2 * (c * c + d * d); m[1] = 2 * (b * c - a * d); m[2] = 2 * (b * d + a * c)
    m[3] = 2 * (b * c + a * d); m[4] = 1 - 2 * (b * b + d * d); m[5] = 2 * (c * d - a * b)
    m[6] = 2 * (b * d - a * c); m[7] = 2 * (c * d + a * b); m[8] = 1 - 2 * (b * b + c * c)
    for (k = 0; k < 3; k++) s[k] = 40 * rand() - 20
    printf "%.12g %.12g %.12g %.12g %.12g %.12g %.12g %.12g %.12g\n", m[0], m[1], m[2], m[3], m[4], m[5], m[6], m[7], m[8] > truth
    for (i = 0; i < n; i++) P[i] = i
    if (shuffle)
        for (i = n - 1; i > 0; i--) { j = int((i + 1) * rand()); t = P[i]; P[i] = P[j]; P[j] = t }
    for (k = 0; k < n; k++) {
        i = P[k]
        do { dx = gauss(); dy = gauss(); dz = gauss(); l = sqrt(dx * dx + dy * dy + dz * dz) } while (l == 0)
        e = noise * rand() / l
        x = X[i] + e * dx; y = Y[i] + e * dy; z = Z[i] + e * dz
        printf "%.3f %.3f %.3f %s %s\n", m[0] * x + m[1] * y + m[2] * z + s[0], m[3] * x + m[4] * y + m[5] * z + s[1], m[6] * x + m[7] * y + m[8] * z + s[2], T[i], R[i] > out
        print i > truth
    }
}
