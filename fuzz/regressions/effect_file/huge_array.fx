shared {
uniform mat4 bones[2147483647];
uniform vec4 c[4294967296 * 4294967296];
}
