shared {
uniform vec4 a[(-9223372036854775807 - 1) / -1];
const int B = 9223372036854775807 * 2;
uniform vec4 b[B];
}
