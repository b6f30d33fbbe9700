// The game's one effect: every look of the 3D scene and of the screen passes.
// The code asks for its techniques and parameters by name, so a name here is
// a contract: renaming one silently turns off whatever used it.
//
// Matrices arrive as D3DX stores them; mul(v, M) is D3DX's v * M.
// Vertex inputs by layout: position, normal, COLOR0 (a skinned vertex's four
// bone weights), COLOR1 (its four palette indices as normalized bytes),
// TEXCOORD0 (uv), TEXCOORD1 (lightmap uv), TEXCOORD2 (tangent, handedness in w).

shared {
    // --- placement -------------------------------------------------------------
    uniform mat4 world_matrix;
    uniform mat4 matWVP;
    uniform mat4 matVP;
    uniform mat4 matWVP_Last;

    // --- surface textures (diffuse, lightmap, normal map) ---------------------
    uniform sampler2D DiffuseTexture;
    uniform sampler2D LightmapTexture;
    uniform sampler2D NormalmapTexture;

    // --- lights ------------------------------------------------------------------
    uniform vec3 viewDir;
    uniform vec3 viewPos;
    uniform vec3 lightPos;
    uniform vec3 lightDir;
    uniform float light1_Influence;
    uniform vec3 light2Pos;
    uniform vec3 lightDir2;
    uniform float light2_Influence;
    uniform vec3 light3Pos;
    uniform vec3 lightDir3;
    uniform float light3_Influence;
    uniform vec3 light4Pos;
    uniform vec3 lightDir4;
    uniform float light4_Influence;
    uniform float specularFilterAmount;

    // --- shadow map (light 1) ------------------------------------------------------
    uniform sampler2D ShadowMapTexture;
    uniform mat4 g_light_WVP_1;
    // False while the map holds no caster, only its cleared background.
    uniform bool shadow_casters = true;
    // Left, top, right, bottom: where in the map a point's taps can meet a
    // caster's texels; outside it they would read the background.
    uniform vec4 shadow_rect = vec4(-1e30, -1e30, 1e30, 1e30);

    // --- skinning: three rows [R | t] per palette bone, 60 bones ------------------
    uniform vec4 bones[180];

    // --- motion blur -------------------------------------------------------------
    uniform mat4 ModelView;
    uniform mat4 Last_ModelView;
    uniform mat4 ModelViewProjection;
    uniform mat4 Last_ModelViewProjection;
    // False when both matrices above are the same: nothing moved on screen.
    uniform bool blur_moving = true;
    // True when no point of the object moved by more than a texel on screen:
    // every tap of its smear then falls between the same four texels.
    uniform bool smear_short = false;

    // --- final composite -----------------------------------------------------------
    uniform sampler2D SceneTexture;
    uniform sampler2D currVelocityTexture;
    uniform sampler2D lastVelocityTexture;
    uniform sampler2D depthTexture;
    uniform sampler2D depth_peopleTexture;
    uniform sampler2D RainTexture;
    uniform sampler2D DirtTexture1;
    uniform sampler2D DirtTexture2;
    uniform sampler2D Damage1Texture;
    uniform sampler2D Damage2Texture;
    uniform sampler2D Damage3Texture;
    uniform sampler2D damagedInfoTexture;
    uniform sampler2D damageFront;
    uniform sampler2D damageBack;
    uniform sampler2D damageLeft;
    uniform sampler2D damageRight;
    uniform float RainDir;
    uniform float CamPitch;
    uniform float CamYaw;           // 1 where it rains (the island)
    uniform bool raining = true;    // false where CamYaw says it cannot rain
    uniform float world_time;
    uniform float player_life = 1.0; // 0..1
    // Blood shows below this life; above it, with no hit, the damage pass
    // lays nothing (the game skips it then).
    uniform float damage_from_life = 0.6;
    uniform vec4 damageColor;       // hit from the front, back, one side, the other
    uniform float damageDecay;
    uniform float apuntando;        // 1 while the hero aims
    uniform float flash = 1.0;      // lightning brightness, 1 when there is none
    uniform bool vinyetas;          // a comic-panel sequence is on screen
    uniform bool apply_dof;
    // The velocity pass drew only the objects that moved in the world
    // (currVelocityTexture, alpha 1 where one was drawn); every other pixel
    // is smeared here by the camera's motion, placed in the world from
    // depthTexture and seen again through the last frame's camera.
    uniform bool moving_only = false;
    uniform bool camera_moved = true;
    uniform mat4 inverse_view_projection;
    uniform mat4 previous_view_projection;

    // --- bloom ---------------------------------------------------------------------
    uniform float bloom_cutoff_level = 0.78;
    uniform float bloom_offset_x = 1.0;
    uniform float bloom_offset_y = 1.0;
    uniform float stage_weight = 1.0;
    // Up to four stages added to the frame in one pass; the first always
    // there, the others only while their switch is on.
    uniform sampler2D BloomStage0;
    uniform sampler2D BloomStage1;
    uniform sampler2D BloomStage2;
    uniform sampler2D BloomStage3;
    uniform bool bloom_stage1 = true;
    uniform bool bloom_stage2 = true;
    uniform bool bloom_stage3 = true;
    // BloomStage1 already holds the square of every stage after the first,
    // summed: two filtered reads instead of one per stage.
    uniform bool bloom_summed = false;
    // The blur's nine taps per axis as seven bilinear reads weighing the same
    // texels, when the code could place them for the stage's sizes: per read,
    // x: u offset, y: its weight, z: v offset, w: its weight.
    uniform bool bloom_folded = false;
    uniform vec4 bloom_taps[7];

    // --- the overlays laid by the composite itself -------------------------------
    // With the damage pass left out or laid here, nothing comes between the
    // frame and the bloom and particle overlays: the composite adds the bloom stages (the
    // switches above) and lays the particle target over the frame, as their
    // own passes would have blended them, in that order.
    uniform bool bloom_over = false;
    uniform bool particles_over = false;
    uniform sampler2D ParticleLayer;
    // The blood laid by the composite itself, before the overlays, as the
    // damage pass would have blended it: up to six of its layers, those that
    // weigh something, in their order (the device's sixteen textures leave
    // room for no more beside the composite's own).
    uniform bool damage_over = false;
    uniform sampler2D BloodLayer0;
    uniform sampler2D BloodLayer1;
    uniform sampler2D BloodLayer2;
    uniform sampler2D BloodLayer3;
    uniform sampler2D BloodLayer4;
    uniform sampler2D BloodLayer5;
    // Blood slots 2 and 3, and 4 and 5, read at all: the first two are read
    // whenever blood is laid. A slot read beyond the layers shown weighs nothing.
    uniform bool blood_pair1 = false;
    uniform bool blood_pair2 = false;
    uniform vec4 blood_weights_a;
    uniform vec4 blood_weights_b;

    // --- particles -------------------------------------------------------------------
    uniform mat4 view_projection_matrix;
    uniform vec3 camera_left;
    uniform vec3 camera_up;
    uniform sampler2D ParticleTexture;
    uniform float particleTextureNumber = 1.0;
    // 40 particles, three registers each: position and size; colour; spin,
    // texture frame and two unused values. Decals take two more each (24 to
    // a draw): the left and up of the surface they lie in.
    uniform vec4 particle_data[120];

    VARYING vec3 vWorldPos;
    VARYING vec3 vNormal;
    VARYING vec4 vTangent;
    VARYING vec2 vUV;
    VARYING vec2 vUV2;
    VARYING vec4 vColor;
    VARYING vec4 vLightPos;
    VARYING vec4 vCurr;
    VARYING vec4 vPrev;
    VARYING float vDepth;
    // What a lit pixel reads of the eye and the lights: the same for every
    // vertex of a draw, handed on flat by the vertex shader. The renderer
    // reads a parameter once per pixel but a flat input once per group of
    // pixels, so the pixels read none.
    flat VARYING vec4 vEye;        // position; the highlight's scale
    flat VARYING vec4 vLight1;     // position; weight by influence
    flat VARYING vec4 vLight2;
    flat VARYING vec4 vSpot1;      // normalised direction; 1 with a cone, 0 without
    flat VARYING vec4 vSpot2;
    flat VARYING vec4 vShadowRect; // shadow_rect
    flat VARYING vec3 vAwayView;   // the view looked back along, for a pixel at the eye
    // What the composite reads of the frame's values, handed on flat by
    // its vertex shader in the same way.
    flat VARYING vec4 vFrameMotion;  // rain's slant; rain's and grain's drift
    flat VARYING vec4 vFrameTone;    // rain on (1/0); lightning; border darkening; panels (1/0)
    flat VARYING vec4 vBloodWeightsA; // blood_weights_a
    flat VARYING vec2 vBloodWeightsB; // blood_weights_b.xy
    // The bloom blur's folded reads and the stage's weight, the same way,
    // and the cut-off's level.
    flat VARYING vec4 vBloomTaps[7];
    flat VARYING float vStageWeight;
    flat VARYING float vBloomCut;
    // The camera's smear: a pixel's place in the world is linear in its
    // place on the screen but for its depth, so the screen's share comes
    // interpolated and the depth's flat, each also seen through the last
    // frame's camera (the matrices would be read a float at a time per pixel).
    VARYING vec4 vScreenWorld;
    VARYING vec4 vScreenPrevious;
    flat VARYING vec4 vDepthWorld;
    flat VARYING vec4 vDepthPrevious;

    // Distances along the light's axis are stored as a fraction of this. The
    // light projections have their near plane at 0, where the projected depth
    // is the same for every point, so the shadow pass keeps its own.
    const float SHADOW_FAR = 10000.0;
    const float SHADOW_BIAS = 0.0006;
    const float AMBIENT = 0.42;
    const int PALETTE_BONES = 60;

    // Tests of a texture's presence (BOUND) and of a bool (SWITCH), and reads
    // of one-colour textures (SAMPLE), are compiled out for each draw's values.
    // An unbound sampler reads as one opaque black texel; a surface without a
    // lightmap or a normal map must not turn black or bumpy because of it.

    // A depth in [0, 1) spread over three 8-bit channels.
    vec3 PackDepth(float v) {
        v = clamp(v, 0.0, 0.99999);
        vec3 enc = fract(v * vec3(1.0, 255.0, 65025.0));
        enc -= enc.yzz * vec3(1.0 / 255.0, 1.0 / 255.0, 0.0);
        return enc;
    }
    float UnpackDepth(vec3 rgb) { return dot(rgb, vec3(1.0, 1.0 / 255.0, 1.0 / 65025.0)); }

    // The bloom stages, each times itself, summed.
    vec4 BloomSum(vec2 uv) {
        vec4 s = tex2D(BloomStage0, uv);
        vec4 sum = s * s;
        if (SWITCH(bloom_summed)) return sum + tex2D(BloomStage1, uv);
        if (SWITCH(bloom_stage1)) { s = tex2D(BloomStage1, uv); sum += s * s; }
        if (SWITCH(bloom_stage2)) { s = tex2D(BloomStage2, uv); sum += s * s; }
        if (SWITCH(bloom_stage3)) { s = tex2D(BloomStage3, uv); sum += s * s; }
        return sum;
    }

    // One layer of blood laid over those below it by its own alpha times a
    // weight, the sum kept premultiplied.
    vec4 Over(vec4 layer, float weight, vec4 below) {
        float a = layer.a * weight;
        return vec4(layer.rgb * a + below.rgb * (1.0 - a), a + below.a * (1.0 - a));
    }

    // Blood at the borders as life runs out, with drops that change with
    // time, and a splash on the side a hit came from; premultiplied.
    vec4 DamageSum(vec2 uv) {
        float life = saturate(player_life);
        float hurt = saturate((damage_from_life - life) / damage_from_life);
        float pulse = 0.8 + 0.2 * sin(world_time * (5.0 + 6.0 * hurt));
        vec4 hits = saturate(damageColor);
        vec4 sum = Over(tex2D(damagedInfoTexture, uv), hurt * pulse, vec4(0.0));
        sum = Over(tex2D(Damage1Texture, uv), saturate(hurt * 3.0), sum);
        sum = Over(tex2D(Damage2Texture, uv), saturate(hurt * 3.0 - 1.0), sum);
        sum = Over(tex2D(Damage3Texture, uv), saturate(hurt * 3.0 - 2.0), sum);
        sum = Over(tex2D(damageFront, uv), hits.x, sum);
        sum = Over(tex2D(damageBack, uv), hits.y, sum);
        sum = Over(tex2D(damageLeft, uv), hits.z, sum);
        return Over(tex2D(damageRight, uv), hits.w, sum);
    }

    // Clip position to texture coordinates (v down).
    vec2 ClipToUV(vec4 clip) {
        vec2 ndc = clip.xy / clip.w;
        return vec2(ndc.x * 0.5 + 0.5, 0.5 - ndc.y * 0.5);
    }

#ifdef VERTEX_SHADER
    // Position, normal and tangent after skinning with the "bones" palette.
    // A vertex without blend weights reads COLOR0 as white (all four weights
    // 1, summing to 4) or black: it keeps its own position, so the skinned
    // techniques also draw static meshes.
    void Skin(out vec4 position, out vec3 normal, out vec3 tangent) {
        vec4 weights = inColor0;
        float total = weights.x + weights.y + weights.z + weights.w;
        position = vec4(inPosition.xyz, 1.0);
        normal = inNormal;
        tangent = inTexCoord2.xyz;
        if (total < 0.001 || total > 1.5) return;
        ivec4 index = ivec4(inColor1 * 255.0 + 0.5);
        vec3 p = vec3(0.0), n = vec3(0.0), t = vec3(0.0);
        for (int i = 0; i < 4; ++i) {
            float w = weights[i];
            if (w <= 0.0) continue;
            int b = clamp(index[i], 0, PALETTE_BONES - 1) * 3;
            vec4 r0 = bones[b], r1 = bones[b + 1], r2 = bones[b + 2];
            p += w * vec3(dot(r0, position), dot(r1, position), dot(r2, position));
            n += w * vec3(dot(r0.xyz, inNormal), dot(r1.xyz, inNormal), dot(r2.xyz, inNormal));
            t += w * vec3(dot(r0.xyz, inTexCoord2.xyz), dot(r1.xyz, inTexCoord2.xyz), dot(r2.xyz, inTexCoord2.xyz));
        }
        position = vec4(p / total, 1.0);
        normal = n;
        tangent = t;
    }

    // A spot's direction for its cone: none where it has no direction.
    vec4 SpotAxis(vec3 direction) {
        return dot(direction, direction) > 1e-8 ? vec4(normalize(direction), 1.0) : vec4(0.0);
    }

    // The varyings of the lit passes for a model-space position, normal and tangent.
    void LitOutputs(vec4 position, vec3 normal, vec3 tangent) {
        gl_Position = mul(position, matWVP);
        vWorldPos = mul(position, world_matrix).xyz;
        vNormal = mul(vec4(normal, 0.0), world_matrix).xyz;
        vTangent = vec4(mul(vec4(tangent, 0.0), world_matrix).xyz, inTexCoord2.w < 0.0 ? -1.0 : 1.0);
        vUV = inTexCoord0.xy;
        vUV2 = inTexCoord1.xy;
        vColor = inColor0;
        vLightPos = mul(position, g_light_WVP_1);
        vEye = vec4(viewPos, 0.35 * (1.0 - 0.75 * specularFilterAmount));
        // A far light keeps a third of its strength so that the level never
        // goes black between lamps (the influence falls below zero once the
        // hero walks out of the light's reach, but the light still stands).
        vLight1 = vec4(lightPos, mix(0.35, 1.0, clamp(light1_Influence, 0.0, 1.0)));
        vLight2 = vec4(light2Pos, mix(0.35, 1.0, clamp(light2_Influence, 0.0, 1.0)));
        vSpot1 = SpotAxis(lightDir);
        vSpot2 = SpotAxis(lightDir2);
        vShadowRect = shadow_rect;
        vAwayView = -normalize(viewDir + vec3(0.0, 0.0, 1e-4));
    }
#endif

}

// --- vertex shaders ------------------------------------------------------------------

vertex RigidLitVS {
    void main() { LitOutputs(vec4(inPosition.xyz, 1.0), inNormal, inTexCoord2.xyz); }
}

// Characters are not shadowed (they cast the shadows): no light position.
vertex SkinnedLitVS {
    void main() {
        vec4 p;
        vec3 n, t;
        Skin(p, n, t);
        LitOutputs(p, n, t);
        vLightPos = vec4(0.0);
        // COLOR0 holds the blend weights here, not a tint.
        vColor = vec4(1.0);
    }
}

// The opaque level's depth alone, ahead of its lit draw: the position comes
// out exactly as RigidLitVS gives it, so the lit fragments meet it and pass.
vertex DepthOnlyVS {
    void main() { gl_Position = mul(vec4(inPosition.xyz, 1.0), matWVP); }
}

vertex ShadowCasterVS {
    void main() {
        vec4 p;
        vec3 n, t;
        Skin(p, n, t);
        vec4 light = mul(p, g_light_WVP_1);
        vDepth = light.w / SHADOW_FAR;
        // Keep the point inside the clip volume's depth range; the fragment
        // writes the real depth.
        gl_Position = vec4(light.xy, 0.5 * light.w, light.w);
    }
}

vertex VelocityVS {
    void main() {
        vec4 p;
        vec3 n, t;
        Skin(p, n, t);
        vCurr = mul(p, ModelViewProjection);
        vPrev = mul(p, Last_ModelViewProjection);
        gl_Position = vCurr;
    }
}

// The draw helper's full-screen quad: corners already in clip space.
vertex FullScreenVS {
    void main() {
        gl_Position = vec4(inPosition.xy, 0.0, 1.0);
        vUV = inTexCoord0.xy;
        vUV2 = inTexCoord1.xy;
        vFrameMotion = vec4(RainDir, CamPitch * 0.3 - world_time * 1.7, world_time * 7.13, world_time * 3.71);
        vFrameTone = vec4(CamYaw > 0.5 ? 1.0 : 0.0, 1.0 + (flash - 1.0) * 0.08, 0.2 + 0.35 * apuntando,
                          vinyetas ? 1.0 : 0.0);
        vBloodWeightsA = blood_weights_a;
        vBloodWeightsB = blood_weights_b.xy;
        // The quad's corners sit where their texture coordinates place them.
        vScreenWorld = mul(vec4(inPosition.xy, 0.0, 1.0), inverse_view_projection);
        vScreenPrevious = mul(vScreenWorld, previous_view_projection);
        vDepthWorld = mul(vec4(0.0, 0.0, 1.0, 0.0), inverse_view_projection);
        vDepthPrevious = mul(vDepthWorld, previous_view_projection);
    }
}

// The draw helper's screen quad: the unit screen, y down.
vertex UnitScreenVS {
    void main() {
        gl_Position = vec4(inPosition.x * 2.0 - 1.0, 1.0 - inPosition.y * 2.0, 0.0, 1.0);
        vUV = inTexCoord0.xy;
        for (int i = 0; i < 7; ++i)
            vBloomTaps[i] = bloom_taps[i];
        vStageWeight = stage_weight;
        vBloomCut = min(bloom_cutoff_level, 0.999);
    }
}

vertex ParticleVS {
    void main() {
        int slot = int(inPosition.z + 0.5);
        vec4 placement = particle_data[slot];
        vec4 colour = particle_data[slot + 1];
        vec4 extra = particle_data[slot + 2];
        vec2 corner = inPosition.xy - 0.5;
        float s = sin(extra.x), c = cos(extra.x);
        vec2 spun = vec2(corner.x * c - corner.y * s, corner.x * s + corner.y * c) * placement.w;
        vec3 world = placement.xyz + camera_left * spun.x + camera_up * spun.y;
        gl_Position = mul(vec4(world, 1.0), view_projection_matrix);
        // Frames lie side by side in the texture; left is -u, so u runs back.
        vUV = vec2((1.0 - inPosition.x + floor(extra.y + 0.5)) * particleTextureNumber, 1.0 - inPosition.y);
        vColor = colour;
    }
}

// As ParticleVS, each quad in the plane of its own surface rather than
// facing the camera.
vertex DecalVS {
    void main() {
        int slot = int(inPosition.z + 0.5) / 3 * 5;
        vec4 placement = particle_data[slot];
        vec4 colour = particle_data[slot + 1];
        vec4 extra = particle_data[slot + 2];
        vec3 left = particle_data[slot + 3].xyz;
        vec3 up = particle_data[slot + 4].xyz;
        vec2 corner = inPosition.xy - 0.5;
        float s = sin(extra.x), c = cos(extra.x);
        vec2 spun = vec2(corner.x * c - corner.y * s, corner.x * s + corner.y * c) * placement.w;
        vec3 world = placement.xyz + left * spun.x + up * spun.y;
        gl_Position = mul(vec4(world, 1.0), view_projection_matrix);
        vUV = vec2((1.0 - inPosition.x + floor(extra.y + 0.5)) * particleTextureNumber, 1.0 - inPosition.y);
        vColor = colour;
    }
}

// --- fragment shaders ----------------------------------------------------------------

// Phong over the surface textures, shadowed where the vertex shader says so.
fragment LitFS {
    // The surface normal with the normal map applied where the surface has
    // both a normal map and a tangent frame.
    vec3 SurfaceNormal(vec2 uv) {
        // Worked out whole for every pixel and chosen between at the end:
        // the renderer shades pixels in groups and runs both sides of a
        // branch that some take and others not, masking each step as well.
        vec3 n = vNormal;
        float nn = dot(n, n);
        vec3 unit = n * inversesqrt(nn);
        if (BOUND(NormalmapTexture)) {
            vec3 t = vTangent.xyz;
            vec3 across = normalize(t - unit * dot(unit, t));
            vec3 b = cross(unit, across) * vTangent.w;
            vec3 m = SAMPLE(NormalmapTexture, uv).xyz * 2.0 - 1.0;
            vec3 bumped = across * m.x + b * m.y + unit * m.z;
            unit = dot(t, t) > 1e-8 && dot(bumped, bumped) > 1e-8 ? normalize(bumped) : unit;
        }
        return nn < 1e-8 ? normalize(vEye.xyz - vWorldPos + vec3(0.0, 1e-4, 0.0)) : unit;
    }

    // One spot light (vLight1 or 2, vSpot1 or 2): diffuse and specular
    // terms, weighted by its influence.
    vec2 Spot(vec3 p, vec3 n, vec3 v, vec4 light, vec4 axis) {
        vec3 toLight = light.xyz - p;
        float d = length(toLight);
        vec3 l = d > 1e-4 ? toLight / d : vec3(0.0, 1.0, 0.0);
        float cone = axis.w > 0.5 ? smoothstep(-0.15, 0.55, dot(-l, axis.xyz)) : 1.0;
        float diffuse = max(dot(n, l), 0.0);
        vec3 h = normalize(l + v);
        // The 32nd power by five squarings: pow's logarithm and exponential
        // cost more than the rest of the light.
        float highlight = max(dot(n, h), 0.0);
        highlight *= highlight;
        highlight *= highlight;
        highlight *= highlight;
        highlight *= highlight;
        highlight *= highlight;
        float specular = diffuse > 0.0 ? highlight : 0.0;
        return vec2(diffuse, specular) * cone * light.w;
    }

    // 1 where light 1 reaches the point, 0 where a caster stands between them
    // (always 1 for surfaces whose vertex shader gives no light position).
    float ShadowFactor() {
        // No early way out for some pixels of a group (see SurfaceNormal):
        // off the map, or behind the light, a point is lit, chosen at the end.
        vec2 uv = ClipToUV(vLightPos);
        bool onMap = vLightPos.w > 1e-3 && all(greaterThanEqual(uv, vec2(0.0))) && all(lessThanEqual(uv, vec2(1.0)));
        float depth = vLightPos.w / SHADOW_FAR;
        float background = depth > 1.0 + SHADOW_BIAS ? 0.0 : 1.0;
        // Every tap of a map without casters reads the background.
        if (!SWITCH(shadow_casters)) return onMap ? background : 1.0;
        vec2 texel = 1.0 / vec2(max(textureSize(ShadowMapTexture, 0), ivec2(1)));
        bool near = onMap && all(greaterThanEqual(uv, vShadowRect.xy)) && all(lessThanEqual(uv, vShadowRect.zw));
        // The taps run as a loop of as many rounds as asked for, not as a
        // branch: the renderer shades pixels in groups and runs both sides
        // of a branch, but leaves a loop once no pixel of the group is in it.
        int taps = near ? 9 : 0;
        float lit = 0.0;
        for (int k = 0; k < taps; ++k) {
            int x = k - 3 * (k / 3) - 1, y = k / 3 - 1;
            // Stored as 1 - depth so that a cleared (black) map means no caster.
            float caster = 1.0 - UnpackDepth(tex2D(ShadowMapTexture, uv + vec2(x, y) * texel).rgb);
            lit += depth > caster + SHADOW_BIAS ? 0.0 : 1.0;
        }
        return near ? lit / 9.0 : onMap ? background : 1.0;
    }

    // Phong shading of the two nearest lights over the surface textures.
    vec4 Shade() {
        vec4 base = vColor;
        if (BOUND(DiffuseTexture)) base *= SAMPLE(DiffuseTexture, vUV);
        if (BOUND(LightmapTexture)) base.rgb *= SAMPLE(LightmapTexture, vUV2).rgb;
        vec3 n = SurfaceNormal(vUV);
        vec3 v = vEye.xyz - vWorldPos;
        v = dot(v, v) > 1e-8 ? normalize(v) : vAwayView;
        vec2 one = Spot(vWorldPos, n, v, vLight1, vSpot1);
        vec2 two = Spot(vWorldPos, n, v, vLight2, vSpot2);
        float shadow = ShadowFactor();
        vec3 warm = vec3(1.0, 0.95, 0.86), cool = vec3(0.82, 0.88, 1.0);
        // Key and fill are kept so that a lit surface right under both lamps
        // stays near its own colour instead of burning out to white.
        vec3 light = vec3(AMBIENT * mix(0.7, 1.0, shadow)) + warm * (0.7 * one.x * shadow) + cool * (0.35 * two.x);
        float shine = (one.y * shadow + two.y) * vEye.w;
        return vec4(base.rgb * light + vec3(shine), base.a);
    }

    void main() { outColor = Shade(); }
}

fragment DepthOnlyFS {
    void main() { outColor = vec4(0.0); }
}

fragment ShadowDepthFS {
    void main() {
        gl_FragDepth = clamp(vDepth, 0.0, 1.0);
        outColor = vec4(PackDepth(1.0 - vDepth), 1.0);
    }
}

// The scene as it was under this object's pixels, smeared along the way the
// object moved on screen since the last frame.
fragment VelocityFS {
    void main() {
        vec2 current = ClipToUV(vCurr);
        // The pixel's own texel of the scene (the same size as this target):
        // the first tap reads it whole.
        vec3 own = texelFetch(SceneTexture, ivec2(current * vec2(textureSize(SceneTexture, 0))), 0).rgb;
        // Still: every tap reads the same texel.
        if (!SWITCH(blur_moving)) {
            outColor = vec4(own, 1.0);
            return;
        }
        vec2 velocity = vec2(0.0);
        if (abs(vPrev.w) > 1e-5) velocity = current - ClipToUV(vPrev);
        float speed = length(velocity);
        if (speed > 0.08) velocity *= 0.08 / speed;
        if (SWITCH(smear_short)) {
            // Tap i reads i/7 of the way along the velocity, within the texel
            // square behind this one: bilinear weights summed over the eight
            // taps (the i/7 add up to 4, their squares to 20/7), laid on the
            // four texels once, read where the sampler's edge clamp reads.
            ivec2 size = textureSize(SceneTexture, 0);
            ivec2 last = size - 1;
            vec2 v = velocity * vec2(size);
            ivec2 p = ivec2(current * vec2(size));
            ivec2 back = ivec2(v.x > 0.0 ? -1 : 1, v.y > 0.0 ? -1 : 1);
            vec3 side = texelFetch(SceneTexture, clamp(p + ivec2(back.x, 0), ivec2(0), last), 0).rgb;
            vec3 below = texelFetch(SceneTexture, clamp(p + ivec2(0, back.y), ivec2(0), last), 0).rgb;
            vec3 across = texelFetch(SceneTexture, clamp(p + back, ivec2(0), last), 0).rgb;
            float a = abs(v.x), b = abs(v.y), ab = a * b * (20.0 / 7.0);
            vec3 summed = own * (8.0 - 4.0 * a - 4.0 * b + ab) + side * (4.0 * a - ab) + below * (4.0 * b - ab) +
                          across * ab;
            outColor = vec4(summed / 8.0, 1.0);
            return;
        }
        vec3 sum = own;
        for (int i = 1; i < 8; ++i) sum += tex2D(SceneTexture, current - velocity * (float(i) / 7.0)).rgb;
        outColor = vec4(sum / 8.0, 1.0);
    }
}

// The frame itself: scene (or the blurred scene), depth of field at the
// borders, rain and lightning on the island, film grain, the aiming frame.
fragment CompositeSceneFS {
    // The blood from the layers that weigh something this frame, in the
    // damage pass's order, handed over by the code with their weights, read
    // two slots at a time (here, not with the shared code: every pass would
    // be compiled again for each set of layers).
    vec4 BloodSum(vec2 uv) {
        vec4 sum = vec4(0.0);
        sum = Over(tex2D(BloodLayer0, uv), vBloodWeightsA.x, sum);
        sum = Over(tex2D(BloodLayer1, uv), vBloodWeightsA.y, sum);
        if (SWITCH(blood_pair1)) {
            sum = Over(tex2D(BloodLayer2, uv), vBloodWeightsA.z, sum);
            sum = Over(tex2D(BloodLayer3, uv), vBloodWeightsA.w, sum);
        }
        if (SWITCH(blood_pair2)) {
            sum = Over(tex2D(BloodLayer4, uv), vBloodWeightsB.x, sum);
            sum = Over(tex2D(BloodLayer5, uv), vBloodWeightsB.y, sum);
        }
        return sum;
    }

    // This pixel's own texel of a target the size of the screen: the quad's
    // uv falls on its centre, where a filtered read gives the texel itself.
    vec4 AtPixel(sampler2D s, vec2 uv) { return texelFetch(s, ivec2(uv * vec2(textureSize(s, 0))), 0); }

    // How far this pixel moved on screen since the last frame with the
    // camera alone moving: its point in the world, from the depth, seen
    // through the last frame's camera; clamped as the velocity pass clamps.
    vec2 CameraVelocity(vec2 uv) {
        if (!SWITCH(camera_moved)) return vec2(0.0);
        float depth = AtPixel(depthTexture, uv).r;
        // Nothing was drawn here: nothing to smear.
        if (depth >= 1.0) return vec2(0.0);
        vec4 world = vScreenWorld + depth * vDepthWorld;
        if (abs(world.w) < 1e-20) return vec2(0.0);
        vec4 previous = (vScreenPrevious + depth * vDepthPrevious) / world.w;
        if (abs(previous.w) <= 1e-5) return vec2(0.0);
        vec2 velocity = uv - ClipToUV(previous);
        float speed = length(velocity);
        return speed > 0.08 ? velocity * (0.08 / speed) : velocity;
    }

    // The scene smeared back along a velocity over eight taps.
    vec3 Smear(vec2 uv, vec2 velocity) {
        vec3 sum = vec3(0.0);
        for (int i = 0; i < 8; ++i) sum += tex2D(SceneTexture, uv - velocity * (float(i) / 7.0)).rgb;
        return sum / 8.0;
    }

    // Under a moving object, the moving objects' smear where one was drawn,
    // else the scene; elsewhere the scene (the blur's taps next to a moving
    // object read the scene unsmeared). Read half way between two texels, as
    // the average of the two.
    vec3 Shown(ivec2 a, ivec2 b, bool underMoving) {
        vec3 scene = 0.5 * (texelFetch(SceneTexture, a, 0).rgb + texelFetch(SceneTexture, b, 0).rgb);
        if (!SWITCH(moving_only) || !underMoving) return scene;
        vec4 moving = 0.5 * (texelFetch(currVelocityTexture, a, 0) + texelFetch(currVelocityTexture, b, 0));
        return mix(scene, moving.rgb, moving.a);
    }

    void main() {
        vec2 uv = vUV;
        vec3 scene;
        bool underMoving = false;
        if (SWITCH(moving_only)) {
            vec4 moving = AtPixel(currVelocityTexture, uv);
            underMoving = moving.a > 0.5;
            if (underMoving) {
                scene = moving.rgb;
            } else {
                vec2 velocity = CameraVelocity(uv);
                scene = velocity == vec2(0.0) ? AtPixel(SceneTexture, uv).rgb : Smear(uv, velocity);
            }
        } else {
            scene = AtPixel(SceneTexture, uv).rgb;
        }
        float border = smoothstep(0.3, 0.75, length(uv - 0.5) * 1.4142);
        if (SWITCH(apply_dof)) {
            // Four reads a pixel and a half away on either side along each
            // axis: each half way between the next texel and the one after
            // (the edge texels standing in for those beyond).
            ivec2 last = max(textureSize(SceneTexture, 0), ivec2(1)) - 1;
            ivec2 p = ivec2(uv * vec2(last + 1));
            ivec2 dx = ivec2(1, 0), dy = ivec2(0, 1);
            // (The camera's smear and the blur never meet: the game draws the
            // whole velocity pass for a camera that moved under depth of field.)
            vec3 blur = Shown(min(p + dx, last), min(p + 2 * dx, last), underMoving) +
                        Shown(max(p - dx, 0), max(p - 2 * dx, 0), underMoving) +
                        Shown(min(p + dy, last), min(p + 2 * dy, last), underMoving) +
                        Shown(max(p - dy, 0), max(p - 2 * dy, 0), underMoving);
            scene = mix(scene, blur * 0.25, border);
        }
        if (SWITCH(raining) && vFrameTone.x > 0.5) {
            vec2 rainUV = vec2(uv.x * 2.0 + vFrameMotion.x * (1.0 - uv.y), uv.y * 1.5 + vFrameMotion.y);
            float drops = tex2D(RainTexture, rainUV).r;
            scene = scene * 0.88 + drops * 0.22 * vec3(0.8, 0.85, 0.92);
        }
        scene *= vFrameTone.y;
        float grain = tex2D(DirtTexture1, uv * vec2(1.33, 1.0) + vFrameMotion.zw).r;
        scene *= 0.95 + 0.1 * grain;
        scene *= 1.0 - border * vFrameTone.z;
        if (vFrameTone.w > 0.5) scene = (scene - 0.5) * 1.15 + 0.5;
        scene = saturate(scene);
        // Added as a blend of One and One adds it: clamped to white.
        if (SWITCH(damage_over)) {
            vec4 blood = BloodSum(uv);
            scene = blood.rgb + scene * (1.0 - blood.a);
        }
        if (SWITCH(bloom_over)) scene = min(scene + BloomSum(uv).rgb, 1.0);
        if (SWITCH(particles_over)) {
            vec4 particles = AtPixel(ParticleLayer, uv);
            scene = mix(scene, particles.rgb, particles.a);
        }
        outColor = vec4(scene, 1.0);
    }
}

// Laid over the frame: blood at the borders as life runs out, with drops that
// change with time, and a splash on the side a hit came from.
fragment CompositeDamageFS {
    void main() {
        vec4 sum = DamageSum(vUV);
        outColor = vec4(sum.a > 1e-4 ? sum.rgb / sum.a : vec3(0.0), sum.a);
    }
}

// The bright parts of the scene, scaled by the stage's weight.
fragment BloomCutoffFS {
    void main() {
        // Cut on brightness, not per channel: a saturated colour (red brick,
        // yellow sand) is not a light and must not glow.
        vec3 c = tex2D(DiffuseTexture, vUV).rgb;
        float cut = vBloomCut;
        float luma = dot(c, vec3(0.299, 0.587, 0.114));
        vec3 bright = c * (max(luma - cut, 0.0) / (1.0 - cut));
        outColor = vec4(bright * vStageWeight, 1.0);
    }
}

// A gaussian blur of the stage before over nine by nine taps one and a half
// of its texels apart (sigma three texels), so that each stage widens the
// halo. The frame adds each stage times itself, which would fade a spread-out
// glow to nothing: the blur keeps BLOOM_GAIN times the light it spreads.
fragment BloomBlurFS {
    const float BLOOM_GAIN = 3.0;
    void main() {
        if (SWITCH(bloom_folded)) {
            vec3 folded = vec3(0.0);
            for (int y = 0; y < 7; ++y) {
                vec3 row = vec3(0.0);
                for (int x = 0; x < 7; ++x)
                    row += vBloomTaps[x].y * tex2D(DiffuseTexture, vUV + vec2(vBloomTaps[x].x, vBloomTaps[y].z)).rgb;
                folded += vBloomTaps[y].w * row;
            }
            outColor = vec4(saturate(folded * BLOOM_GAIN) * vStageWeight, 1.0);
            return;
        }
        const float gauss[5] = float[5](1.0, 0.8825, 0.6065, 0.3247, 0.1353);
        vec2 o = 1.5 * vec2(bloom_offset_x, bloom_offset_y);
        vec3 sum = vec3(0.0);
        float total = 0.0;
        for (int y = -4; y <= 4; ++y) {
            for (int x = -4; x <= 4; ++x) {
                float w = gauss[abs(x)] * gauss[abs(y)];
                sum += w * tex2D(DiffuseTexture, vUV + vec2(x, y) * o).rgb;
                total += w;
            }
        }
        outColor = vec4(saturate(sum / total * BLOOM_GAIN) * stage_weight, 1.0);
    }
}

// The stages as the frame adds them one by one, each times itself, summed
// here and added once.
fragment BloomCompositeFS {
    void main() { outColor = BloomSum(vUV); }
}

fragment ParticleFS {
    void main() { outColor = tex2D(ParticleTexture, vUV) * vColor; }
}

fragment BasicFS {
    void main() {
        vec4 c = vColor;
        if (BOUND(DiffuseTexture)) c *= SAMPLE(DiffuseTexture, vUV);
        outColor = c;
    }
}

// --- samplers ----------------------------------------------------------------------

sampler DiffuseTexture { MinFilter = Linear; MagFilter = Linear; MipFilter = Linear; AddressU = Wrap; AddressV = Wrap; }
sampler LightmapTexture { MinFilter = Linear; MagFilter = Linear; MipFilter = Linear; AddressU = Wrap; AddressV = Wrap; }
sampler NormalmapTexture { MinFilter = Linear; MagFilter = Linear; MipFilter = Linear; AddressU = Wrap; AddressV = Wrap; }
sampler ShadowMapTexture { MinFilter = Point; MagFilter = Point; MipFilter = None; AddressU = Clamp; AddressV = Clamp; }
sampler SceneTexture { MinFilter = Linear; MagFilter = Linear; MipFilter = None; AddressU = Clamp; AddressV = Clamp; }
sampler currVelocityTexture { MinFilter = Linear; MagFilter = Linear; MipFilter = None; AddressU = Clamp; AddressV = Clamp; }
sampler depthTexture { MinFilter = Point; MagFilter = Point; MipFilter = None; AddressU = Clamp; AddressV = Clamp; }
sampler RainTexture { MinFilter = Linear; MagFilter = Linear; MipFilter = Linear; AddressU = Wrap; AddressV = Wrap; }
sampler DirtTexture1 { MinFilter = Linear; MagFilter = Linear; MipFilter = Linear; AddressU = Wrap; AddressV = Wrap; }
sampler Damage1Texture { MinFilter = Linear; MagFilter = Linear; MipFilter = None; AddressU = Clamp; AddressV = Clamp; }
sampler Damage2Texture { MinFilter = Linear; MagFilter = Linear; MipFilter = None; AddressU = Clamp; AddressV = Clamp; }
sampler Damage3Texture { MinFilter = Linear; MagFilter = Linear; MipFilter = None; AddressU = Clamp; AddressV = Clamp; }
sampler damagedInfoTexture { MinFilter = Linear; MagFilter = Linear; MipFilter = None; AddressU = Clamp; AddressV = Clamp; }
sampler damageFront { MinFilter = Linear; MagFilter = Linear; MipFilter = None; AddressU = Clamp; AddressV = Clamp; }
sampler damageBack { MinFilter = Linear; MagFilter = Linear; MipFilter = None; AddressU = Clamp; AddressV = Clamp; }
sampler damageLeft { MinFilter = Linear; MagFilter = Linear; MipFilter = None; AddressU = Clamp; AddressV = Clamp; }
sampler damageRight { MinFilter = Linear; MagFilter = Linear; MipFilter = None; AddressU = Clamp; AddressV = Clamp; }
sampler BloodLayer0 { MinFilter = Linear; MagFilter = Linear; MipFilter = None; AddressU = Clamp; AddressV = Clamp; }
sampler BloodLayer1 { MinFilter = Linear; MagFilter = Linear; MipFilter = None; AddressU = Clamp; AddressV = Clamp; }
sampler BloodLayer2 { MinFilter = Linear; MagFilter = Linear; MipFilter = None; AddressU = Clamp; AddressV = Clamp; }
sampler BloodLayer3 { MinFilter = Linear; MagFilter = Linear; MipFilter = None; AddressU = Clamp; AddressV = Clamp; }
sampler BloodLayer4 { MinFilter = Linear; MagFilter = Linear; MipFilter = None; AddressU = Clamp; AddressV = Clamp; }
sampler BloodLayer5 { MinFilter = Linear; MagFilter = Linear; MipFilter = None; AddressU = Clamp; AddressV = Clamp; }
sampler BloomStage0 { MinFilter = Linear; MagFilter = Linear; MipFilter = None; AddressU = Clamp; AddressV = Clamp; }
sampler BloomStage1 { MinFilter = Linear; MagFilter = Linear; MipFilter = None; AddressU = Clamp; AddressV = Clamp; }
sampler BloomStage2 { MinFilter = Linear; MagFilter = Linear; MipFilter = None; AddressU = Clamp; AddressV = Clamp; }
sampler BloomStage3 { MinFilter = Linear; MagFilter = Linear; MipFilter = None; AddressU = Clamp; AddressV = Clamp; }
sampler ParticleLayer { MinFilter = Linear; MagFilter = Linear; MipFilter = None; AddressU = Clamp; AddressV = Clamp; }
sampler ParticleTexture { MinFilter = Linear; MagFilter = Linear; MipFilter = Linear; AddressU = Clamp; AddressV = Clamp; }

// --- techniques ------------------------------------------------------------------------

// Static meshes: Phong with diffuse, lightmap and normal map, shadowed by light 1.
technique PhongLightingTech {
    pass P0 {
        vertex = RigidLitVS;
        fragment = LitFS;
        ZEnable = true; ZWriteEnable = true; ZFunc = LessEqual;
        AlphaBlendEnable = false;
    }
}

// Characters: the same lighting, skinned, without self-shadowing.
technique Characters_PhongLightingTech {
    pass P0 {
        vertex = SkinnedLitVS;
        fragment = LitFS;
        ZEnable = true; ZWriteEnable = true; ZFunc = LessEqual;
        AlphaBlendEnable = false;
    }
}

// The plain look: the diffuse texture and nothing else.
technique basicTech {
    pass P0 {
        vertex = RigidLitVS;
        fragment = BasicFS;
        ZEnable = true; ZWriteEnable = true; ZFunc = LessEqual;
    }
}

// The depth of what the two techniques above draw, and no colour.
technique DepthPrePassTech {
    pass P0 {
        vertex = DepthOnlyVS;
        fragment = DepthOnlyFS;
        ZEnable = true; ZWriteEnable = true; ZFunc = LessEqual;
        AlphaBlendEnable = false; ColorWriteEnable = 0;
    }
}

// Casters into the shadow map, seen from light 1.
technique BuildShadowMapTech {
    pass P0 {
        vertex = ShadowCasterVS;
        fragment = ShadowDepthFS;
        ZEnable = true; ZWriteEnable = true; ZFunc = LessEqual;
        CullMode = None; AlphaBlendEnable = false;
    }
}

technique MotionBlur {
    pass P0 {
        vertex = VelocityVS;
        fragment = VelocityFS;
        ZEnable = true; ZWriteEnable = true; ZFunc = LessEqual;
        AlphaBlendEnable = false;
    }
}

// The final composite: the frame, then the damage overlays blended on top
// (two passes keep each within the device's texture stages).
technique pruebaTech {
    pass Scene {
        vertex = FullScreenVS;
        fragment = CompositeSceneFS;
        ZEnable = false; ZWriteEnable = false; CullMode = None;
        AlphaBlendEnable = false;
        // On any screen of 320 x 240 or more, rain and grain are drawn larger
        // than their textures: never from a smaller mip level, so none is
        // weighed per pixel.
        sampler RainTexture { MipFilter = None; }
        sampler DirtTexture1 { MipFilter = None; }
    }
    pass Damage {
        vertex = FullScreenVS;
        fragment = CompositeDamageFS;
        ZEnable = false; ZWriteEnable = false; CullMode = None;
        AlphaBlendEnable = true; SrcBlend = SrcAlpha; DestBlend = InvSrcAlpha;
    }
}

technique BloomCutoffTech {
    pass P0 {
        vertex = UnitScreenVS;
        fragment = BloomCutoffFS;
        ZEnable = false; ZWriteEnable = false; CullMode = None; AlphaBlendEnable = false;
        sampler DiffuseTexture { MipFilter = None; AddressU = Clamp; AddressV = Clamp; }
    }
}

technique BloomBlurTech {
    pass P0 {
        vertex = UnitScreenVS;
        fragment = BloomBlurFS;
        ZEnable = false; ZWriteEnable = false; CullMode = None; AlphaBlendEnable = false;
        sampler DiffuseTexture { MipFilter = None; AddressU = Clamp; AddressV = Clamp; }
    }
}

technique BloomCompositeTech {
    pass P0 {
        vertex = UnitScreenVS;
        fragment = BloomCompositeFS;
        ZEnable = false; ZWriteEnable = false; CullMode = None;
        AlphaBlendEnable = true; SrcBlend = One; DestBlend = One;
    }
}

// The stages after the first summed once into one target, for the composite
// to read them all at once.
technique BloomSumTech {
    pass P0 {
        vertex = UnitScreenVS;
        fragment = BloomCompositeFS;
        ZEnable = false; ZWriteEnable = false; CullMode = None; AlphaBlendEnable = false;
    }
}

// Decals, 24 to a draw, blended as the particles are.
technique DecalsTech {
    pass P0 {
        vertex = DecalVS;
        fragment = ParticleFS;
        ZEnable = true; ZWriteEnable = false; CullMode = None;
        AlphaBlendEnable = true; SrcBlend = SrcAlpha; DestBlend = InvSrcAlpha;
    }
}

// Camera-facing quads, 40 to a draw, depth tested against the scene but not
// written, blended over the particle target.
technique ParticlesTech {
    pass P0 {
        vertex = ParticleVS;
        fragment = ParticleFS;
        ZEnable = true; ZWriteEnable = false; CullMode = None;
        AlphaBlendEnable = true; SrcBlend = SrcAlpha; DestBlend = InvSrcAlpha;
    }
}
