shared {
#define BONES 30
#line 7 0
const int N = (BONES * 3 + 1) / 2 - 4;
uniform vec4 bones[BONES * 3], data[N];
uniform mat4 matWVP;
}
vertex V { void main() { gl_Position = mul(inPosition, matWVP); } }
fragment F { void main() { outColor = vec4(1.0); } }
sampler S { MinFilter = Linear; }
technique T { pass P { vertex = V; fragment = F; ZEnable = true; AlphaBlendEnable = false; } }
